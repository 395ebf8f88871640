#pragma once
// What the progress overlay tells the object that follows it.

namespace morvix {

class POProgressHUD;

/// The delegate of a progress overlay, held weakly by it. The protocol has one optional
/// operation, `hudWasHidden`; a delegate that wants it adopts `POProgressHUDWasHidden` as well,
/// and the overlay asks for that interface before calling.
class POProgressHUDDelegate {
public:
    virtual ~POProgressHUDDelegate() = default;
};

/// The optional operation of `POProgressHUDDelegate`: called on the main thread as the last
/// step of hiding, after the overlay's completion block.
class POProgressHUDWasHidden {
public:
    virtual ~POProgressHUDWasHidden() = default;
    virtual void hudWasHidden(POProgressHUD& hud) = 0;
};

} // namespace morvix
