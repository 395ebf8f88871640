#pragma once
// The developer console's flash of error entries over the application.

#include "shell/progress/POProgressHUD.h"

#include <memory>

namespace morvix {

class ClientContext;
class LogEntry;

/// A text-only overlay on the session's root view that shows an error entry's message for
/// 1.5 s: white text in a dark grey box, taking no touches. Each flash first brings the
/// overlay to the front of the root view, so that views added since do not cover it, and a
/// flash during the fade-out of the last one is seen in full. Main thread only.
class LogHUD final : public POProgressHUD {
public:
    static constexpr double kShowTime = 1.5;

    /// Made on the client's root view and added to it; without a root view it stays unplaced.
    static std::shared_ptr<LogHUD> create(const std::shared_ptr<ClientContext>& client);
    const char* className() const override { return "LogHUD"; }

    /// Shows the entry's message, animated, and hides it animated 1.5 s later.
    void log(const LogEntry& entry);

private:
    explicit LogHUD(const platform::Rect& frame);
};

} // namespace morvix
