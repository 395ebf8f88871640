#pragma once
// Recognises one or more taps of one or more fingers.

#include "platform/foundation/Timer.h"
#include "platform/ui/GestureRecognizer.h"

namespace morvix::platform {

/// Recognises (discretely) when the required number of taps with the required number of fingers
/// has been made: each tap lifts within `kMultiTapInterval` of going down, the next starts
/// within that interval, and no finger moves more than `kTapAllowableMovement`. Main thread only.
class TapGestureRecognizer : public GestureRecognizer {
public:
    static std::shared_ptr<TapGestureRecognizer> create(Action action = {});
    const char* className() const override { return "TapGestureRecognizer"; }

    int numberOfTapsRequired() const { return m_tapsRequired; }
    void setNumberOfTapsRequired(int taps) { m_tapsRequired = taps < 1 ? 1 : taps; }
    int numberOfTouchesRequired() const { return m_touchesRequired; }
    void setNumberOfTouchesRequired(int touches) { m_touchesRequired = touches < 1 ? 1 : touches; }

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    void reset() override;

protected:
    explicit TapGestureRecognizer(Action action) : GestureRecognizer(std::move(action)) { }

    /// Called once the taps can no longer succeed (too many fingers, a finger held or moved too
    /// far, a cancelled touch, no next tap in time), while the recogniser is possible; fails it.
    /// A subclass that must keep receiving its touches until they lift may fail it later
    /// instead: the recogniser never recognises again before `reset`.
    virtual void tapFailed() { setState(GestureState::Failed); }
    /// True from the moment the taps can no longer succeed until `reset`.
    bool hasFailedTap() const { return m_failedTap; }

private:
    void fail();
    bool m_failedTap = false;
    int m_tapsRequired = 1;
    int m_touchesRequired = 1;
    int m_taps = 0;
    std::size_t m_fingersThisTap = 0;
    std::vector<Point> m_starts;
    Timer m_timer;
};

} // namespace morvix::platform
