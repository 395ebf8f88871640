#include "core/session/ApplicationFrame.h"

#include "platform/foundation/MainLoop.h"

namespace morvix {

namespace {

ApplicationFrameController::Factory& installedFactory()
{
    static ApplicationFrameController::Factory factory;
    return factory;
}

} // namespace

void ApplicationFrameController::setFactory(Factory factory)
{
    platform::assertOnMainThread();
    installedFactory() = std::move(factory);
}

std::shared_ptr<ApplicationFrameController> ApplicationFrameController::make(std::weak_ptr<ApplicationFrameClient> client)
{
    platform::assertOnMainThread();
    const auto& factory = installedFactory();
    return factory ? factory(std::move(client)) : nullptr;
}

} // namespace morvix
