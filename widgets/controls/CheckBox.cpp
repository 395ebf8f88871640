#include "widgets/controls/CheckBox.h"

#include "widgets/controls/CheckImageRenderer.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

const WireTable& CheckBox::wire()
{
    static const WireTable table = WireTable::extend(Button::wire()).event(kToggledSelectionEvent);
    return table;
}

CheckBox::CheckBox(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : CheckableButton(key, std::move(id), std::move(client), std::make_unique<CheckImageRenderer>())
{
}

platform::Font CheckBox::defaultFont() const
{
    return FontHelper::checkButtonFont();
}

platform::Color CheckBox::defaultForeground() const
{
    return FontHelper::textColor();
}

} // namespace morvix
