#pragma once
// Progress views that follow an operation's upload or download.

#include "platform/ui/Forward.h"

#include <memory>

namespace morvix::platform {
class ProgressView;
}

namespace morvix {

class NetURLConnectionOperation;

/// Makes a progress view follow an operation by chaining a block onto the operation's upload or
/// download progress block: the block the operation had before is still called first, with the
/// same values. Main thread only.
class ProgressViewNetworking final {
public:
    /// From now on each upload step sets the view's progress, on the main loop, to the bytes
    /// written over the bytes expected, divided in single precision, with `animated`. A step
    /// whose expected total is unknown or zero (below 1) changes nothing. The block holds the
    /// view weakly.
    static void setProgressWithUploadProgressOfOperation(platform::ProgressView& view, NetURLConnectionOperation& operation,
        platform::Animated animated);
    /// The same for the download progress.
    static void setProgressWithDownloadProgressOfOperation(platform::ProgressView& view, NetURLConnectionOperation& operation,
        platform::Animated animated);

    /// Two flags kept with the view for applications; the operations above take the flag from
    /// their own argument and never read them. No until set.
    static bool uploadProgressAnimated(const platform::ProgressView& view);
    static void setUploadProgressAnimated(const platform::ProgressView& view, bool animated);
    static bool downloadProgressAnimated(const platform::ProgressView& view);
    static void setDownloadProgressAnimated(const platform::ProgressView& view, bool animated);

    ProgressViewNetworking() = delete;
};

} // namespace morvix
