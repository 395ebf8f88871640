#include "widgets/foundation/AbsoluteClientLayout.h"

#include "platform/foundation/WireNumber.h"
#include "platform/ui/Animator.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"
#include "platform/ui/controls/Label.h"

namespace morvix {

using platform::Rect;
using platform::View;

namespace {

constexpr double kAnimationDuration = 0.4;

// The number under `key` as a single-precision value; 0 when it is missing.
double floatEntry(const platform::Value& data, const char* key)
{
    auto entry = data.find(key);
    auto number = entry == data.end() ? std::nullopt : platform::numberValue(*entry);
    return number ? platform::WireNumber::singlePrecision(*number) : 0;
}

} // namespace

Rect AbsoluteClientLayout::frameFromData() const
{
    const platform::Value& values = data();
    if (!values.is_object())
        return {};
    return { floatEntry(values, "left"), floatEntry(values, "top"), floatEntry(values, "width"), floatEntry(values, "height") };
}

void AbsoluteClientLayout::layout()
{
    auto view = this->view();
    if (!view)
        return;
    view->setTranslatesAutoresizingMaskIntoConstraints(true);
    Rect frame = frameFromData();
    if (frame != view->frame())
        setFrame(*view, frame);
    updateParentConstraints(view->superview());
}

void AbsoluteClientLayout::setFrame(View& view, Rect frame) const
{
    auto superview = view.superview();
    if (auto* scrollView = dynamic_cast<platform::ScrollView*>(superview.get())) {
        platform::Point offset = scrollView->contentOffset();
        frame = frame.offsetBy(offset.x, offset.y);
        platform::Animator::shared().performWithoutAnimation([&] { view.setFrame(frame); });
    } else if (isAnimated()) {
        using namespace platform::AnimationOption;
        platform::Animator::shared().animate(kAnimationDuration, 0, BeginFromCurrentState | CurveEaseInOut,
            [&] { view.setFrame(frame); });
    } else {
        view.setFrame(frame);
    }
    bool patterned = !view.isHidden() && view.backgroundPatternImage();
    if (dynamic_cast<platform::Label*>(&view) || patterned)
        view.setNeedsDisplay();
}

} // namespace morvix
