#include "widgets/controls/DropDownActionHook.h"

#include "platform/foundation/MainLoop.h"

namespace morvix {

namespace {

DropDownActionHook::Hook& hook()
{
    static DropDownActionHook::Hook installed;
    return installed;
}

DropDownActionHook::PerformHook& performHook()
{
    static DropDownActionHook::PerformHook installed;
    return installed;
}

} // namespace

void DropDownActionHook::set(Hook replacement)
{
    platform::assertOnMainThread();
    hook() = std::move(replacement);
}

std::optional<bool> DropDownActionHook::ask(const std::string& action, const std::shared_ptr<RemoteObject>& parent)
{
    platform::assertOnMainThread();
    // A copy, so that the hook may replace itself while it answers.
    auto current = hook();
    if (!current)
        return std::nullopt;
    return current(action, parent);
}

void DropDownActionHook::setPerform(PerformHook replacement)
{
    platform::assertOnMainThread();
    performHook() = std::move(replacement);
}

bool DropDownActionHook::perform(const std::string& action, platform::View& receiver)
{
    platform::assertOnMainThread();
    auto current = performHook();
    return current && current(action, receiver);
}

} // namespace morvix
