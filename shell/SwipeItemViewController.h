#pragma once
// One page of a swipe widget.

#include "platform/ui/ViewController.h"

#include <memory>

namespace morvix {

class BasicWidget;

/// A page of `Swipe`: the item index it stands for and, unless the page is empty, the widget it
/// shows. Made with a widget, it holds the widget and moves the widget's view from wherever it
/// is into its own view, whose background is clear; the swipe checks first that the widget's
/// view may move there (`ViewPlacement`). Main thread only.
class SwipeItemViewController final : public platform::ViewController {
public:
    /// `widget` may be null: an empty page.
    static std::shared_ptr<SwipeItemViewController> create(std::shared_ptr<BasicWidget> widget, long long index);
    ~SwipeItemViewController() override;

    const char* className() const override { return "SwipeItemViewController"; }
    const std::shared_ptr<BasicWidget>& widget() const { return m_widget; }
    long long index() const { return m_index; }

private:
    SwipeItemViewController(std::shared_ptr<BasicWidget> widget, long long index);

    const std::shared_ptr<BasicWidget> m_widget;
    const long long m_index;
};

} // namespace morvix
