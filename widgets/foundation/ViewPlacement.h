#pragma once
// The one check made before a widget's view goes into another view.

#include <memory>
#include <string>
#include <string_view>

namespace morvix {

class ClientContext;

namespace platform {
class View;
}

/// Decides whether a relation the peer asks for may put a widget's view inside a host view: a
/// widget's "parent", a tab item's "control", a swipe's page. The view tree holds no cycles, so a
/// host that is the view itself or lies inside it is refused; and the session's root view (the
/// display's view) never goes into another view at all. Each relation asks here before anything
/// moves, so that a refused one leaves both trees as they were; the widgets that show pages of
/// other widgets ask again before showing one, since a later move of their own view can make an
/// old relation close a cycle. Taking a widget's view out of its superview goes through
/// `takeOut`, which leaves the root view where it is.
///
/// Stateless; main thread only.
class ViewPlacement final {
public:
    ViewPlacement() = delete;

    /// True when putting `view` inside `host` would put a view inside itself or one of its own
    /// descendants (`host` is `view` or lies below it), or would move the root view of
    /// `client`'s session. False for a null `view`; a null `host` (a place outside every tree)
    /// checks the root view only.
    static bool isRefused(const platform::View* view, const platform::View* host, const ClientContext* client);
    /// Raises "Incorrect Parameter" when `isRefused`, naming the relation: `key` of widget
    /// `ownerId` set to `value` (as in "control 'w2' of widget 'w4'"). Nothing otherwise.
    static void check(const platform::View* view, const platform::View* host, const ClientContext* client,
        std::string_view key, const std::string& value, const std::string& ownerId);
    /// Whether `view` is the session's root view or the view of its root widget.
    static bool isRootView(const platform::View& view, const ClientContext* client);
    /// Takes `view` out of its superview unless it is a root view; nothing for null.
    static void takeOut(const std::shared_ptr<platform::View>& view, const ClientContext* client);
};

} // namespace morvix
