#include "widgets/WidgetTypes.h"

#include "core/WidgetRegistry.h"
#include "shell/ApplicationFrameRoot.h"
#include "widgets/containers/Canvas.h"
#include "widgets/containers/GC.h"
#include "widgets/controls/Button.h"
#include "widgets/foundation/Animation.h"
#include "widgets/foundation/Composite.h"
#include "widgets/foundation/Display.h"
#include "widgets/foundation/Gesture.h"
#include "widgets/foundation/Shell.h"
#include "widgets/foundation/TextSizeMeasurement.h"

namespace morvix {

void registerWidgetTypes()
{
    auto& registry = WidgetRegistry::instance();
    // Widgets and native-access objects join here as their classes are written.
    registry.addHandler<Display>();
    registry.addHandler<Shell>();
    registry.addHandler<Composite>();
    registry.addHandler<Gesture>();
    registry.addHandler<Button>();
    registry.addHandler<Canvas>();
    registry.addHandler<GC>();

    // Native-access objects.
    registry.addHandler<Animation>();

    // Services.
    registry.addHandler<TextSizeMeasurement>();

    // Sessions with the application frame on make it from the shell's classes.
    ApplicationFrameRoot::install();
}

} // namespace morvix
