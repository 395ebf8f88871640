#pragma once
// The spinner that a scroll view shows above its content while the user asks for new content.

#include "platform/graphics/AttributedString.h"
#include "platform/ui/Control.h"

#include <memory>
#include <mutex>

namespace morvix::platform {

class ActivityIndicatorView;
class Label;

/// A control placed in a scroll view that refreshes its content: beginning a refresh shows the
/// spinner turning, ending it stops it. Value-changed actions are sent when a pull begins a
/// refresh (`pullTriggered`), not when code calls `beginRefreshing`. Its owner places it in the
/// band of `kHeight` above the content's top, so that it shows while the content is pulled down
/// into view or held there while refreshing: a spinner (`spinner`) with the attributed title
/// (`titleLabel`) under it; `tintColor` is the view's own. `mutex` lets an owner make
/// its test of `isRefreshing` and the start of a refresh one step. Main thread, apart from the
/// lock.
class RefreshControl : public Control {
public:
    /// The height of the band the control takes above the content while it refreshes.
    static constexpr double kHeight = 60;
    /// How far past its top a drag must pull a scroll view's content to begin a refresh (a
    /// headless choice).
    static constexpr double kTriggerDistance = 60;

    static std::shared_ptr<RefreshControl> create();
    const char* className() const override { return "RefreshControl"; }

    bool isRefreshing() const { return m_refreshing; }
    /// Shows the spinner; nothing when already refreshing. Sends no action.
    void beginRefreshing();
    /// Hides the spinner; nothing when not refreshing.
    void endRefreshing();
    /// Begins refreshing as a person's pull does, then sends the value-changed actions; nothing
    /// when already refreshing.
    void pullTriggered();

    const AttributedString& attributedTitle() const { return m_title; }
    void setAttributedTitle(AttributedString title);

    std::recursive_mutex& mutex() const { return m_mutex; }

    const std::shared_ptr<ActivityIndicatorView>& spinner() const { return m_spinner; }
    const std::shared_ptr<Label>& titleLabel() const { return m_titleLabel; }

    void layoutSubviews() override;

protected:
    RefreshControl();

private:
    std::shared_ptr<ActivityIndicatorView> m_spinner;
    std::shared_ptr<Label> m_titleLabel;
    AttributedString m_title { "" };
    bool m_refreshing = false;
    mutable std::recursive_mutex m_mutex;
};

} // namespace morvix::platform
