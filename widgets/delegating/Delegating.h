#pragma once
// The forwarding shared by the delegating views.

#include "platform/ui/View.h"
#include "widgets/delegating/ViewDelegate.h"

#include <memory>
#include <utility>

namespace morvix {

/// Whether a delegating view hands its raw touches and its baseline view to the delegate.
enum class DelegatedTouches { No, Yes };

/// A platform view class `Base` that forwards its layout hooks, and optionally its touches and
/// baseline view, to a weakly held `ViewDelegate` (normally the widget that owns the view). Each
/// forwarding step first tests whether the delegate implements the operation; a missing delegate
/// implements nothing, and the view then behaves as `Base`:
///  1. `intrinsicContentSize`: the delegate's answer, else `fullIntrinsicSize` of the base's.
///  2. `layoutSubviews`: when the delegate implements `sizeChanged` and the frame size differs
///     from `oldSize` (exactly), the delegate hears the new size, which becomes `oldSize`; then
///     the base lays out, in every case. `oldSize` starts at the zero size and moves only for a
///     delegate that is told.
///  3. `updateConstraints`: the delegate's, then the base's, in every case.
///  4. With `DelegatedTouches::Yes` only: `viewForBaselineLayout` answers the delegate's view
///     when it gives one, and each touch callback goes first to the delegate (`touchesCancelled`
///     to `touchEnded`); a true answer skips the base, so the touches do not travel on to the
///     enclosing views.
///
/// The named members (`DelegatingView`, `DelegatingButton`, ...) give the delegate property its
/// public name and a factory. Main thread only.
template<typename Base, DelegatedTouches kTouches>
class Delegating : public Base {
public:
    /// The frame size last reported to the delegate.
    platform::Size oldSize() const { return m_oldSize; }
    void setOldSize(platform::Size size) { m_oldSize = size; }

    platform::Size intrinsicContentSize() const override
    {
        auto delegate = m_delegate.lock();
        if (auto* answer = ViewDelegate::capability<ViewDelegate::IntrinsicSize>(delegate.get()))
            return answer->intrinsicContentSize();
        return fullIntrinsicSize(Base::intrinsicContentSize());
    }

    void layoutSubviews() override
    {
        auto delegate = m_delegate.lock();
        if (auto* listener = ViewDelegate::capability<ViewDelegate::SizeChanged>(delegate.get())) {
            platform::Size size = this->frame().size;
            if (size.width != m_oldSize.width || size.height != m_oldSize.height) {
                listener->sizeChanged(size);
                m_oldSize = size;
            }
        }
        Base::layoutSubviews();
    }

    void updateConstraints() override
    {
        auto delegate = m_delegate.lock();
        if (auto* updater = ViewDelegate::capability<ViewDelegate::UpdateConstraints>(delegate.get()))
            updater->updateConstraints();
        Base::updateConstraints();
    }

    std::shared_ptr<platform::View> viewForBaselineLayout() override
    {
        if constexpr (kTouches == DelegatedTouches::Yes) {
            auto delegate = m_delegate.lock();
            if (auto* answer = ViewDelegate::capability<ViewDelegate::BaselineView>(delegate.get())) {
                // A delegate without a view to offer leaves the choice to the view itself; the
                // layout pass needs some view.
                if (auto view = answer->viewForBaselineLayout())
                    return view;
            }
        }
        return Base::viewForBaselineLayout();
    }

    void touchesBegan(const platform::TouchSet& touches, const platform::Event& event) override
    {
        if (!delegateHandled<ViewDelegate::TouchStarted>(&ViewDelegate::TouchStarted::touchStarted, touches))
            Base::touchesBegan(touches, event);
    }
    void touchesMoved(const platform::TouchSet& touches, const platform::Event& event) override
    {
        if (!delegateHandled<ViewDelegate::TouchMoved>(&ViewDelegate::TouchMoved::touchMoved, touches))
            Base::touchesMoved(touches, event);
    }
    void touchesEnded(const platform::TouchSet& touches, const platform::Event& event) override
    {
        if (!delegateHandled<ViewDelegate::TouchEnded>(&ViewDelegate::TouchEnded::touchEnded, touches))
            Base::touchesEnded(touches, event);
    }
    void touchesCancelled(const platform::TouchSet& touches, const platform::Event& event) override
    {
        if (!delegateHandled<ViewDelegate::TouchEnded>(&ViewDelegate::TouchEnded::touchEnded, touches))
            Base::touchesCancelled(touches, event);
    }

protected:
    template<typename... Arguments>
    explicit Delegating(Arguments&&... arguments)
        : Base(std::forward<Arguments>(arguments)...)
    {
    }

    /// The natural size when the delegate gives none, from the base class's; the base's own by
    /// default.
    virtual platform::Size fullIntrinsicSize(platform::Size size) const { return size; }

    std::shared_ptr<ViewDelegate> delegateReference() const { return m_delegate.lock(); }
    void setDelegateReference(const std::shared_ptr<ViewDelegate>& delegate) { m_delegate = delegate; }

private:
    template<typename Capability>
    bool delegateHandled(bool (Capability::*operation)(const platform::TouchSet&), const platform::TouchSet& touches)
    {
        if constexpr (kTouches == DelegatedTouches::No) {
            (void)operation;
            (void)touches;
            return false;
        } else {
            auto delegate = m_delegate.lock();
            auto* handler = ViewDelegate::capability<Capability>(delegate.get());
            return handler && (handler->*operation)(touches);
        }
    }

    std::weak_ptr<ViewDelegate> m_delegate;
    platform::Size m_oldSize;
};

} // namespace morvix
