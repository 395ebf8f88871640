#pragma once
// "morvix.Swipe": a row of pages the user flips through, one widget per page.

#include "platform/ui/PageViewController.h"
#include "widgets/foundation/BasicWidget.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class SwipeItemViewController;

/// Shows one widget per item index on a horizontal page view controller, whose view is the
/// widget's view. The peer places widgets ("add" {"control", "index"}), empties items ("remove"
/// {"items": [index, ...]}), moves the shown item ("active") and bounds how far a person may
/// swipe ("itemCount", "lockLeft" / "lockRight" {"index"}, "unlockLeft" / "unlockRight").
///
/// - Without layout data of its own (none, or the empty dictionary a container gives it) the
///   view fills its parent widget's view and follows its size; other layout data places it as
///   it places any widget.
/// - The swipeable range starts at the left lock (0 without one) and ends, exclusive, after the
///   right lock, else at "itemCount"; it is never negative. Pages outside it are not offered.
/// - An item without a widget (a placeholder, an index past the end, or an id naming no widget)
///   shows an empty page that carries its index. Pages of widgets are cached by widget id.
/// - Every finished turn, completed or abandoned, sets "active" to the shown page's index and
///   sends "Swipe" {"item": active}, listened or not, unless the widget is disposed.
/// - "active" turns forward to a higher index and back to a lower one (animated), and shows the
///   same index again without animation. A negative index in "active", "add" or "remove" is
///   ignored and logged, and so is one in "active" or "add" at or past
///   `WireNumber::kMaximumItemCount`, so that no index sizes the items beyond that; "remove"
///   ignores an index past the end. Lock indexes and "itemCount" are read within the same
///   bound. The items are kept sparse: an "add" far out holds one entry, not every index
///   before it.
/// - "add" refuses with "Incorrect Parameter", before anything moves, a control whose view
///   holds this swipe's view (the swipe itself, an ancestor) or is the session's root view. A
///   page whose widget came to hold the swipe later (the swipe moved into it) shows empty.
/// - A child widget that leaves the swipe (destroyed or moved elsewhere) takes its view off its
///   page and its page out of the cache; its item keeps the id and shows an empty page until
///   "add" places a widget there again.
/// - "get" reads only "active" and "itemCount".
///
/// Main thread only; "active" is read and written under the widget's mutex.
class Swipe final : public RemoteClass<Swipe, BasicWidget>,
                    public platform::PageViewControllerDataSource,
                    public platform::PageViewControllerDelegate {
public:
    static constexpr std::string_view kRemoteType = "morvix.Swipe";

    static const PropertyTable& properties();
    /// "Swipe".
    static const WireTable& wire();
    /// Only "active" and "itemCount".
    static const PropertyNames& remoteObjectProperties();

    Swipe(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Swipe() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<platform::PageViewController>& pageViewController() const { return m_controller; }
    /// The id placed at each item index that holds one; an index missing here is an empty
    /// item. Sparse, so that an item far out costs no more than one near.
    const std::map<long long, std::string>& items() const { return m_items; }

    std::optional<platform::Value> active() const;
    void setActive(std::optional<platform::Value> active);
    const std::optional<platform::Value>& itemCount() const { return m_itemCount; }
    void setItemCount(std::optional<platform::Value> count);

    /// The base's handling; a child widget's view leaves its page (see the class comment).
    void removeObject(const RemoteObject& child) override;
    /// Empties the items and the page cache, then the base's destroy.
    void destroy() override;

    // PageViewControllerDataSource
    std::shared_ptr<platform::ViewController> viewControllerBefore(platform::PageViewController& controller,
        const std::shared_ptr<platform::ViewController>& page) override;
    std::shared_ptr<platform::ViewController> viewControllerAfter(platform::PageViewController& controller,
        const std::shared_ptr<platform::ViewController>& page) override;
    // PageViewControllerDelegate
    void didFinishAnimating(platform::PageViewController& controller, bool finished,
        const std::vector<std::shared_ptr<platform::ViewController>>& previous, bool completed) override;

protected:
    void didConstruct() override;
    /// While the layout data is empty the view fills the parent widget's view (the superview
    /// when the parent is no widget), flexible in both sizes, so that it follows that view.
    bool placeWithoutLayoutData() override;

private:
    struct Range {
        long long start = 0;
        long long end = 0; // exclusive
        bool contains(long long index) const { return index >= start && index < end; }
    };

    void add(const platform::Value* properties);
    void remove(const platform::Value* properties);
    void lockLeft(const platform::Value* properties);
    void lockRight(const platform::Value* properties);
    void unlockLeft(const platform::Value* properties);
    void unlockRight(const platform::Value* properties);

    Range computeRange() const;
    std::shared_ptr<platform::ViewController> neighbour(const std::shared_ptr<platform::ViewController>& page, long long step);
    std::shared_ptr<SwipeItemViewController> controllerForIndex(long long index);
    std::shared_ptr<SwipeItemViewController> prepareViewControllerForControl(const std::string& id);
    long long indexForControl(const std::string& id) const;
    void updatePageViewController();
    /// Places `id` at `index`, or empties the item when `id` is nothing.
    void setItem(long long index, std::optional<std::string> id);
    void storeActive(std::optional<long long> active);
    void logIgnored(const std::string& what);

    std::shared_ptr<platform::PageViewController> m_controller;
    std::map<long long, std::string> m_items;
    // Per id the indexes it is placed at, so that an id's first index is found without a walk.
    std::map<std::string, std::set<long long>> m_indexesById;
    std::optional<platform::Value> m_itemCount = platform::Value(0);
    mutable std::mutex m_activeMutex; // guards m_active
    std::optional<long long> m_active;
    std::map<std::string, std::shared_ptr<SwipeItemViewController>> m_swipeControllers;
    // Ids of children that left the swipe; their items show empty pages until placed again.
    std::set<std::string> m_departed;
    std::optional<long long> m_lockLeftIndex;
    std::optional<long long> m_lockRightIndex;
};

} // namespace morvix
