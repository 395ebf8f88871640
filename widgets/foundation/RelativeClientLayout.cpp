#include "widgets/foundation/RelativeClientLayout.h"

#include "platform/ui/Animator.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/View.h"
#include "widgets/foundation/LayoutAttributes.h"

namespace morvix {

using platform::LayoutAttribute;
using platform::View;

namespace {

constexpr double kAnimationDuration = 0.4;

struct Key {
    const char* name;
    LayoutAttribute attribute;
};

// In the order the constraints are made.
constexpr std::array<Key, 9> kKeys = { {
    { "left", LayoutAttribute::Left },
    { "top", LayoutAttribute::Top },
    { "width", LayoutAttribute::Width },
    { "height", LayoutAttribute::Height },
    { "right", LayoutAttribute::Right },
    { "bottom", LayoutAttribute::Bottom },
    { "centerX", LayoutAttribute::CenterX },
    { "centerY", LayoutAttribute::CenterY },
    { "baseline", LayoutAttribute::Baseline },
} };
enum Index : std::size_t { Left, Top, Width, Height, Right, Bottom, CenterX, CenterY, Baseline };

} // namespace

void RelativeClientLayout::layout()
{
    auto view = this->view();
    if (!view)
        return;
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto superview = view->superview();
    if (!superview)
        return;
    applyLayoutWithConstraints(*view, *superview);
    if (isAnimated())
        platform::Animator::shared().animate(kAnimationDuration, [superview] { superview->layoutIfNeeded(); });
    else
        superview->setNeedsLayout();
}

void RelativeClientLayout::dispose()
{
    uninstall(mutableConstraints());
    ClientLayout::dispose();
}

void RelativeClientLayout::applyLayoutWithConstraints(View& view, View& superview)
{
    uninstall(mutableConstraints());
    auto viewPointer = std::static_pointer_cast<View>(view.shared_from_this());
    Attachments attachments = makeAttachments(viewPointer, superview);
    applyDefaults(viewPointer, attachments);
    for (const auto& constraint : attachments) {
        if (constraint && superview.addConstraint(constraint))
            mutableConstraints().push_back(constraint);
    }
    applyHuggingPriority(view, attachments);
    updateParentConstraints(std::static_pointer_cast<View>(superview.shared_from_this()));
}

// One constraint per key present. A reference outside the superview's subtree cannot be
// installed: the superview refuses (and logs) it here, and the attachment counts as not given,
// so the defaults and the hugging rule see it as absent.
RelativeClientLayout::Attachments RelativeClientLayout::makeAttachments(const std::shared_ptr<View>& view,
    View& superview) const
{
    Attachments attachments;
    const platform::Value& values = data();
    if (!values.is_object())
        return attachments;
    for (std::size_t index = 0; index < kKeys.size(); ++index) {
        auto entry = values.find(kKeys[index].name);
        if (entry == values.end())
            continue;
        auto constraint = LayoutAttributes(*entry, view, client()).constraintFor(kKeys[index].attribute);
        auto reference = constraint ? constraint->secondItem() : nullptr;
        if (reference && !reference->isDescendantOf(superview)) {
            superview.addConstraint(constraint);
            continue;
        }
        attachments[index] = constraint;
    }
    return attachments;
}

void RelativeClientLayout::applyDefaults(const std::shared_ptr<View>& view, Attachments& attachments) const
{
    auto zero = [&](LayoutAttribute attribute) { return LayoutAttributes(0, view, client()).constraintFor(attribute); };
    if (!attachments[Top] && !attachments[Bottom] && !attachments[CenterY] && !attachments[Baseline])
        attachments[Top] = zero(LayoutAttribute::Top);
    if (!attachments[Left] && !attachments[Right] && !attachments[CenterX])
        attachments[Left] = zero(LayoutAttribute::Left);
}

// A view attached on two sides of an axis, one of them to a sibling or by a percentage, is
// meant to stretch between them; otherwise it keeps its natural size.
void RelativeClientLayout::applyHuggingPriority(View& view, const Attachments& attachments) const
{
    auto priority = [&](std::array<Index, 3> keys) {
        int given = 0;
        bool anyNotNumber = false;
        for (Index index : keys) {
            if (!attachments[index])
                continue;
            ++given;
            auto entry = data().find(kKeys[index].name);
            anyNotNumber = anyNotNumber || (entry != data().end() && !platform::isNumber(*entry));
        }
        return given == 2 && anyNotNumber ? platform::LayoutPriority::DefaultLow : platform::LayoutPriority::DefaultHigh;
    };
    view.setContentHuggingPriority(priority({ Left, CenterX, Right }), platform::LayoutAxis::Horizontal);
    view.setContentHuggingPriority(priority({ Top, CenterY, Bottom }), platform::LayoutAxis::Vertical);
}

} // namespace morvix
