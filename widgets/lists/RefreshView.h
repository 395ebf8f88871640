#pragma once
// The scroll view whose content can be pulled down to ask for a refresh.

#include "platform/graphics/Color.h"
#include "platform/ui/ScrollView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

class Control;

namespace platform {
class RefreshControl;
}

/// A scroll view, its own delegate, holding a refresh control above the content's top and a
/// clipping content view as large as itself. The content cannot be pushed up (an offset above 0
/// goes back to (0, 0)); pulled down past `kTriggerOffset` (strictly), it begins refreshing once
/// and runs `refreshBlock`, if one is set: the test and the start are one step under the
/// refresh control's lock, so a pull that goes on while it spins starts nothing more. While it
/// refreshes the content rests below the spinner (a top inset of the control's height).
///
/// Its size, whenever it changes, becomes the content view's frame and the content size, and is
/// told to `control` (`sizeChanged`) once per new size. The natural size is that of the content
/// view's subviews (their largest right and bottom edges, truncated, at least 0), none without
/// subviews. Main thread only.
class RefreshView : public platform::ScrollView, public platform::ScrollViewDelegate {
public:
    static constexpr double kTriggerOffset = -96.0;

    static std::shared_ptr<RefreshView> create();
    const char* className() const override { return "RefreshView"; }

    const std::shared_ptr<platform::RefreshControl>& refreshControl() const { return m_refreshControl; }
    const std::shared_ptr<platform::View>& contentView() const { return m_contentView; }

    const std::optional<platform::Color>& foregroundColor() const { return m_foregroundColor; }
    /// Stores the colour, makes it the refresh control's tint and colours the stored message.
    void setForegroundColor(std::optional<platform::Color> color);
    const std::optional<std::string>& message() const { return m_message; }
    /// The refresh control's title: the message, in the foreground colour when one is set.
    void setMessage(std::optional<std::string> message);
    void setRefreshBlock(std::function<void()> block) { m_refreshBlock = std::move(block); }
    bool hasRefreshBlock() const { return static_cast<bool>(m_refreshBlock); }
    /// Held weakly.
    void setControl(const std::shared_ptr<Control>& control) { m_control = control; }
    platform::Size oldSize() const { return m_oldSize; }

    /// Begins refreshing and runs the block, when not refreshing already and a block is set;
    /// while it refreshes the content stays down by the refresh control's height, so that the
    /// spinner shows.
    void startRefresh();
    /// Ends refreshing and lets the content back up; nothing when not refreshing.
    void endRefresh();

    platform::Size intrinsicContentSize() const override;
    void layoutSubviews() override;

    // ScrollViewDelegate
    void scrollViewDidScroll(platform::ScrollView& scrollView) override;

protected:
    RefreshView();

private:
    void sizeContent();

    std::shared_ptr<platform::RefreshControl> m_refreshControl;
    std::shared_ptr<platform::View> m_contentView;
    std::optional<platform::Color> m_foregroundColor;
    std::optional<std::string> m_message;
    std::function<void()> m_refreshBlock;
    std::weak_ptr<Control> m_control;
    platform::Size m_oldSize;
};

} // namespace morvix
