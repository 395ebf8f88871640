#pragma once
// The stand-in of the newer embedded browser view.

#include "platform/ui/WebView.h"

namespace morvix::platform {

/// The newer browser view's placeholder: the same recording and picture as `WebView`, as a class
/// of its own so that code that tells the two apart can. Main thread only.
class WKView : public WebView {
public:
    static std::shared_ptr<WKView> create(const Rect& frame = {});
    const char* className() const override { return "WKView"; }

protected:
    explicit WKView(const Rect& frame) : WebView(frame) { }
};

} // namespace morvix::platform
