#include "shell/LogHUD.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"

namespace morvix {

std::shared_ptr<LogHUD> LogHUD::create(const std::shared_ptr<ClientContext>& client)
{
    auto root = client ? client->rootView() : nullptr;
    std::shared_ptr<LogHUD> hud(new LogHUD(root ? root->bounds() : platform::Rect {}));
    hud->setUp();
    if (root)
        root->addSubview(hud);
    hud->setMode(POProgressHUDMode::Text);
    hud->setDetailsLabelColor(platform::Color::white());
    hud->setColor(platform::Color::fromRGBA(1 / 3.0f, 1 / 3.0f, 1 / 3.0f));
    hud->setOpacity(0.3f);
    hud->setCornerRadius(3);
    hud->setUserInteractionEnabled(false);
    return hud;
}

LogHUD::LogHUD(const platform::Rect& frame)
    : POProgressHUD(frame)
{
}

void LogHUD::log(const LogEntry& entry)
{
    if (auto root = superview())
        root->bringSubviewToFront(self());
    setDetailsLabelText(entry.message());
    show(platform::Animated::Yes);
    hide(platform::Animated::Yes, kShowTime);
}

} // namespace morvix
