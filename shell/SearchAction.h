#pragma once
// The application frame's search action.

#include "platform/ui/ViewController.h"
#include "shell/Action.h"
#include "shell/SearchDelegate.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class SearchViewController;

/// "morvix.SearchAction": an action of the application frame whose bar item opens a search
/// screen (`SearchViewController`), presented modally over the `Display` by the frame's root
/// controller. The peer supplies "proposals" while the user types.
///
/// Events, sent at once whether or not they are listened: "Selection" {} on a tap of the item
/// (before the screen opens), "Modify" {"query": text} on every change of the query, and
/// "Search" {"query": text} once the screen's dismissal has finished.
///
/// The screen's placeholder is "message" when that is not empty, else "title". Closing the
/// screen forgets it and empties "proposals" at once. Without a registered `Display`, "open"
/// (and a tap of the item) makes no screen and sends no "Modify".
///
/// Main thread only, like every remote object.
class SearchAction : public RemoteClass<SearchAction, Action>, public SearchDelegate {
public:
    static constexpr std::string_view kRemoteType = "morvix.SearchAction";

    SearchAction(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~SearchAction() override;

    static const PropertyTable& properties();
    /// "Modify" and "Search".
    static const WireTable& wire();
    /// `Action`'s names plus "query", "message", "proposals".
    static const PropertyNames& remoteObjectProperties();

    const std::vector<std::string>& proposals() const { return m_proposals; }
    /// Stores the strings (an element that is not a string counts as the empty string) and
    /// hands them to the open screen.
    void setProposals(std::optional<platform::Value> proposals);
    const std::string& message() const { return m_message; }
    void setMessage(std::optional<std::string> message);
    const std::string& query() const { return m_query; }
    void setQuery(std::optional<std::string> query) { m_query = query.value_or(std::string()); }
    /// The open screen; null while none is open.
    const std::shared_ptr<SearchViewController>& searchViewController() const { return m_searchViewController; }

    /// Closes an open screen without animation, then presents a new one with the placeholder,
    /// the proposals and the query; a non-empty query sends its "Modify" at once.
    void open();
    /// The open screen's placeholder: "message" when not empty, else "title".
    void updatePlaceholder();
    /// With a screen open: forgets it, empties "proposals" and dismisses it, running `completion`
    /// when the dismissal has finished. Nothing without one.
    void closeSearchViewControllerAnimated(platform::Animated animated, platform::ViewController::Completion completion = {});

    // Action
    void setTitle(std::optional<std::string> title) override;
    /// "Selection", then `open`.
    void pushed() override;
    /// Closes the screen without animation, then the base's destroy.
    void destroy() override;

    // SearchDelegate
    void searchModified(const std::string& text) override;
    void searchFor(const std::string& text) override;
    void searchClosed() override;

private:
    void openCall(const platform::Value* properties);
    void fireSearchEvent(const std::string& text);
    void fire(const EventDeclaration& event, const std::string& text);

    std::vector<std::string> m_proposals;
    std::string m_message;
    std::string m_query;
    std::shared_ptr<SearchViewController> m_searchViewController;
};

} // namespace morvix
