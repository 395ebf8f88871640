#pragma once
// What a widget that takes scroll-bar children offers them.

#include <memory>

namespace morvix {

class ScrollBar;

/// A widget whose "zub.widgets.ScrollBar" children stand for its horizontal and vertical bars.
/// A bar finds its parent through this interface when it attaches and clears its slot when it
/// is destroyed or moves away. Main thread only.
class ScrollBarParent {
public:
    virtual ~ScrollBarParent() = default;

    virtual std::shared_ptr<ScrollBar> horizontalScrollBar() const = 0;
    virtual void setHorizontalScrollBar(std::shared_ptr<ScrollBar> bar) = 0;
    virtual std::shared_ptr<ScrollBar> verticalScrollBar() const = 0;
    virtual void setVerticalScrollBar(std::shared_ptr<ScrollBar> bar) = 0;

protected:
    ScrollBarParent() = default;
    ScrollBarParent(const ScrollBarParent&) = default;
    ScrollBarParent& operator=(const ScrollBarParent&) = default;
};

} // namespace morvix
