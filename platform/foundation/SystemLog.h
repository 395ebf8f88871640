#pragma once
// The process's system log: diagnostics that belong to no session.

#include <functional>
#include <string>
#include <string_view>

namespace morvix::platform {

/// Receives each line written to the system log.
using SystemLogSink = std::function<void(const std::string& line)>;

/// Writes one line to the system log: standard error, unless a sink is installed. Lines that
/// failed operations and refused values leave behind go here (never to the peer). Any thread;
/// the sink is called on the writing thread, outside any lock of the log.
void systemLog(std::string_view line);

/// Installs `sink` for the whole process and returns the one it replaces; an empty sink
/// restores standard error. Tests install one to read what was logged; an application may
/// forward the lines to its own log. Any thread.
SystemLogSink setSystemLogSink(SystemLogSink sink);

} // namespace morvix::platform
