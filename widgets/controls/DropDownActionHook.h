#pragma once
// Lets the drop-down menu of text inputs decide on its own edit-menu actions.

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

class RemoteObject;

namespace platform {
class View;
}

/// A process-wide question the native text field and view ask before the platform answers
/// `canPerformAction`: given an action's name and the view's widget, the hook answers yes or no
/// for an action of the drop-down menu, and nothing for any other action, which the platform
/// then answers. Empty until the drop-down sets it, so that no action counts as its own.
///
/// Likewise for performing: the views hand an action they are asked to perform to the perform
/// hook, which carries out a drop-down action on the view and answers true, and answers false
/// for any other action. Main thread only.
class DropDownActionHook final {
public:
    using Hook = std::function<std::optional<bool>(const std::string& action, const std::shared_ptr<RemoteObject>& parent)>;
    using PerformHook = std::function<bool(const std::string& action, platform::View& receiver)>;

    DropDownActionHook() = delete;

    /// Replaces the hook; an empty one removes it.
    static void set(Hook hook);
    /// The hook's answer; nothing without a hook.
    static std::optional<bool> ask(const std::string& action, const std::shared_ptr<RemoteObject>& parent);
    /// Replaces the perform hook; an empty one removes it.
    static void setPerform(PerformHook hook);
    /// The perform hook's answer for `receiver`; false without a hook.
    static bool perform(const std::string& action, platform::View& receiver);
};

} // namespace morvix
