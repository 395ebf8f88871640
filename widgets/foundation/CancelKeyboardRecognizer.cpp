#include "widgets/foundation/CancelKeyboardRecognizer.h"

#include "platform/ui/Event.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"

namespace morvix {

namespace {

bool isPan(const platform::GestureRecognizer& recognizer)
{
    return dynamic_cast<const platform::PanGestureRecognizer*>(&recognizer) != nullptr;
}

} // namespace

std::shared_ptr<CancelKeyboardRecognizer> CancelKeyboardRecognizer::create(std::weak_ptr<void> target, Action action)
{
    auto recognizer = std::shared_ptr<CancelKeyboardRecognizer>(new CancelKeyboardRecognizer());
    if (action)
        recognizer->addTarget(std::move(target), std::move(action));
    return recognizer;
}

CancelKeyboardRecognizer::CancelKeyboardRecognizer()
{
    setCancelsTouchesInView(false);
}

void CancelKeyboardRecognizer::touchesBegan(const platform::TouchSet&, const platform::Event& event)
{
    const auto& touches = event.allTouches();
    auto view = touches.empty() ? nullptr : touches.front()->view();
    std::shared_ptr<platform::View> input;
    if (view && view->isKeyInput())
        input = view;
    else if (auto superview = view ? view->superview() : nullptr; superview && superview->isKeyInput())
        input = superview;
    if (input) {
        if (input->becomeFirstResponder())
            setState(platform::GestureState::Cancelled);
        return;
    }
    setState(platform::kGestureRecognized);
}

bool CancelKeyboardRecognizer::canPrevent(const platform::GestureRecognizer& other) const
{
    return !isPan(other);
}

bool CancelKeyboardRecognizer::canBePreventedBy(const platform::GestureRecognizer& other) const
{
    return isPan(other);
}

} // namespace morvix
