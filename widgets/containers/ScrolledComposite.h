#pragma once
// The container whose children scroll.

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ScrollView.h"
#include "widgets/containers/ScrollBarParent.h"
#include "widgets/foundation/AbstractComposite.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class DelegatingScrollView;

/// "zub.widgets.ScrolledComposite": its children's views lie in a scroll view that scrolls only
/// while a "zub.widgets.ScrollBar" is attached (each bar also shows its indicator). A child is
/// tied to the scroll view's right and bottom, which makes its right and bottom edges the
/// content size, and is as wide (high) as the scroll view unless the style has "H_SCROLL"
/// ("V_SCROLL").
///
/// Every movement records "horizontalBar.selection" and "verticalBar.selection" (the offset,
/// truncated toward zero and held to the 32-bit range) for the attached bars on the composite's
/// id and schedules them, then sends "Selection" on each listened bar's id at once, horizontal
/// first. "origin" scrolls there, animated; the data key "paging" equal to true switches paging
/// on for good. Posting `Notifications::kScrollUp` scrolls back to the top. Main thread only.
class ScrolledComposite : public RemoteClass<ScrolledComposite, AbstractComposite>,
                          public ScrollBarParent,
                          public platform::ScrollViewDelegate {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.ScrolledComposite";

    ScrolledComposite(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~ScrolledComposite() override;

    static const PropertyTable& properties();
    /// "H_SCROLL", "V_SCROLL" and the scroll offsets it reports.
    static const WireTable& wire();
    /// `AbstractComposite`'s names plus "origin".
    static const PropertyNames& remoteObjectProperties();

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingScrollView>& scrollView() const { return m_scrollView; }

    /// The base's adding, then the child's right and bottom tied to the scroll view's, and its
    /// width and height to the scroll view's unless the style scrolls that way.
    void addWidgetView(BasicWidget& child) override;
    /// The base's handling, then "paging" equal to true switches paging on.
    void setData(std::optional<platform::Value> data) override;
    void setBackgroundImage(std::optional<platform::Value> image) override;
    void destroy() override;

    platform::Point origin() const { return m_origin; }
    /// Stores the point and scrolls there, animated.
    void setOrigin(platform::Point origin);
    const std::string& content() const { return m_content; }
    void setContent(std::optional<std::string> content) { m_content = content.value_or(""); }

    // ScrollBarParent
    std::shared_ptr<ScrollBar> horizontalScrollBar() const override { return m_horizontalBar; }
    void setHorizontalScrollBar(std::shared_ptr<ScrollBar> bar) override;
    std::shared_ptr<ScrollBar> verticalScrollBar() const override { return m_verticalBar; }
    void setVerticalScrollBar(std::shared_ptr<ScrollBar> bar) override;

    // ScrollViewDelegate
    void scrollViewDidScroll(platform::ScrollView& scrollView) override;
    void scrollViewDidEndDragging(platform::ScrollView& scrollView, bool willDecelerate) override;
    void scrollViewDidEndDecelerating(platform::ScrollView& scrollView) override;

    /// Reports `point` as the position: stores it as "origin", records and schedules the bars'
    /// selections, then sends each listened bar's "Selection".
    void didScroll(platform::Point point);
    /// Scrolls to (0, 0) animated, then reports (0, 0).
    void scrollUp();

    /// An offset as the peer reads it: truncated toward zero, held to the 32-bit range (0 for a
    /// value that is not a number).
    static std::int32_t selectionValue(double offset);

protected:
    void didConstruct() override;

private:
    void barsChanged();

    std::shared_ptr<DelegatingScrollView> m_scrollView;
    std::shared_ptr<ScrollBar> m_horizontalBar;
    std::shared_ptr<ScrollBar> m_verticalBar;
    platform::Point m_origin;
    std::string m_content;
    platform::ObserverToken m_scrollUpObserver;
};

} // namespace morvix
