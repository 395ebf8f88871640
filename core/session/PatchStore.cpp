#include "core/session/PatchStore.h"

#include "platform/foundation/MainLoop.h"

namespace morvix {

namespace {

PatchStore::Factory& installedFactory()
{
    static PatchStore::Factory factory;
    return factory;
}

} // namespace

void PatchStore::setFactory(Factory factory)
{
    platform::assertOnMainThread();
    installedFactory() = std::move(factory);
}

std::shared_ptr<PatchStore> PatchStore::make(std::weak_ptr<ClientContext> client, std::string version)
{
    platform::assertOnMainThread();
    const auto& factory = installedFactory();
    return factory ? factory(std::move(client), std::move(version)) : nullptr;
}

} // namespace morvix
