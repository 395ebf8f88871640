#include "library/RemoteTypes.h"

#include "core/objects/WidgetRegistry.h"
#include "core/session/MorvixClient.h"
#include "core/session/ServerPush.h"
#include "services/AppLauncher.h"
#include "services/Camera.h"
#include "services/ClientDialog.h"
#include "services/ClientStore.h"
#include "services/CloudPush.h"
#include "services/Geolocation.h"
#include "services/MorvixApp.h"
#include "services/MorvixDevice.h"
#include "services/MorvixHttpRequest.h"
#include "services/PatchManager.h"
#include "services/Printer.h"
#include "services/TextReplacement.h"
#include "services/Timer.h"
#include "services/XCallback.h"
#include "shell/Action.h"
#include "shell/ApplicationFrameRoot.h"
#include "shell/Drawer.h"
#include "shell/MorvixUI.h"
#include "shell/Page.h"
#include "shell/SearchAction.h"
#include "shell/Swipe.h"
#include "widgets/containers/Browser.h"
#include "widgets/containers/Canvas.h"
#include "widgets/containers/GC.h"
#include "widgets/containers/Group.h"
#include "widgets/containers/ImageView.h"
#include "widgets/containers/Menu.h"
#include "widgets/containers/MenuItem.h"
#include "widgets/containers/ScrollBar.h"
#include "widgets/containers/ScrolledComposite.h"
#include "widgets/containers/TabFolder.h"
#include "widgets/containers/TabItem.h"
#include "widgets/containers/ToolBar.h"
#include "widgets/containers/ToolItem.h"
#include "widgets/containers/Video.h"
#include "widgets/controls/Button.h"
#include "widgets/controls/Combo.h"
#include "widgets/controls/DateTime.h"
#include "widgets/controls/DropDown.h"
#include "widgets/controls/Label.h"
#include "widgets/controls/ProgressBar.h"
#include "widgets/controls/Scale.h"
#include "widgets/controls/Switch.h"
#include "widgets/controls/Text.h"
#include "widgets/controls/TextInput.h"
#include "widgets/controls/TextView.h"
#include "widgets/foundation/Composite.h"
#include "widgets/foundation/Display.h"
#include "widgets/foundation/Shell.h"
#include "widgets/gestures/Animation.h"
#include "widgets/gestures/Gesture.h"
#include "widgets/lists/CollectionView.h"
#include "widgets/lists/List.h"
#include "widgets/lists/RefreshComposite.h"
#include "widgets/lists/RefreshHandler.h"
#include "widgets/lists/Tree.h"
#include "widgets/lists/TreeItem.h"
#include "widgets/text/TextSizeMeasurement.h"

namespace morvix {

void registerRemoteTypes()
{
    auto& registry = WidgetRegistry::instance();
    // Widgets and native-access objects join here as their classes are written.
    registry.addHandler<Display>();
    registry.addHandler<Shell>();
    registry.addHandler<Composite>();
    registry.addHandler<Gesture>();
    registry.addHandler<Label>();
    registry.addHandler<Button>();
    registry.addHandler<Text>();
    registry.addHandler<ScrolledComposite>();
    registry.addHandler<TabFolder>();
    registry.addHandler<TabItem>();
    registry.addHandler<Browser>();
    registry.addHandler<Combo>();
    registry.addHandler<Tree>();
    registry.addHandler<TreeItem>();
    registry.addHandler<ToolBar>();
    registry.addHandler<ToolItem>();
    registry.addHandler<ProgressBar>();
    registry.addHandler<DateTime>();
    registry.addHandler<Group>();
    registry.addHandler<Canvas>();
    registry.addHandler<GC>();
    registry.addHandler<List>();
    registry.addHandler<Video>();
    registry.addHandler<Scale>();
    registry.addHandler<Camera>();
    registry.addHandler<ScrollBar>();
    registry.addHandler<Swipe>();
    registry.addHandler<Menu>();
    registry.addHandler<MenuItem>();
    registry.addHandler<MorvixUI>();
    registry.addHandler<Page>();
    registry.addHandler<Action>();
    registry.addHandler<SearchAction>();
    registry.addHandler<TextReplacement>();
    registry.addHandler<DropDown>();
    registry.addHandler<RefreshComposite>();
    registry.addHandler<ImageView>();
    registry.addHandler<CollectionView>();
    registry.addHandler<TextView>();
    registry.addHandler<TextInput>();
    registry.addHandler<Drawer>();
    registry.addHandler<Switch>();

    // Native-access objects.
    registry.addHandler<Animation>();
    registry.addHandler<Geolocation>();
    registry.addHandler<AppLauncher>();
    registry.addHandler<XCallback>();
    registry.addHandler<RefreshHandler>();
    registry.addHandler<ClientDialog>();
    registry.addHandler<Timer>();
    registry.addHandler<MorvixHttpRequest>();

    // Services, in the order sessions synchronise them.
    registry.addHandler<ServerPush>();
    registry.addHandler<TextSizeMeasurement>();
    registry.addHandler<MorvixApp>();
    registry.addHandler<ClientStore>();
    registry.addHandler<MorvixDevice>();
    registry.addHandler<Printer>();
    registry.addHandler<CloudPush>();

    // Sessions with the application frame on make it from the shell's classes.
    ApplicationFrameRoot::install();
    // Sessions keep their downloadable patches with the services' patch manager.
    PatchManager::installFactory();
    // A URL the application was opened with goes to the application service.
    MorvixClient::setOpenURLHandler([](MorvixClient& client, const std::string& url) { MorvixApp::openedURL(client, url); });
    // The push message the application was launched with waits for the push service.
    MorvixClient::setLaunchPushMessageHandler([](const std::optional<std::string>& message) { CloudPush::setMessage(message); });
}

} // namespace morvix
