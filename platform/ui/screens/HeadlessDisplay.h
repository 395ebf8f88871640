#pragma once
// The display the toolkit draws on when the machine has none: a private X server of our own.

#include <chrono>
#include <string>

namespace morvix::platform {

/// Makes the toolkit (GTK) ready for the views that need a real one, the web view above all,
/// on machines with no display: servers, CI runners, tests. Nothing happens until a view first
/// asks (`ensureToolkit`); then, when the process has no display of its own (DISPLAY and
/// WAYLAND_DISPLAY unset, or the one named cannot be opened), a private X server (Xvfb) is
/// started on a free display number, listening on no network port and admitting only clients
/// that hold a cookie written for this process, and GTK is initialised on it.
///
/// Lifetime: the server is the process's. It stops when the process exits normally (a static
/// object's destructor), and, should the process die first, the kernel stops it (the child asks
/// for a signal at its parent's death). It runs in a process group of its own, so that a
/// terminal's interrupt reaches the application alone, which may still draw before it ends.
/// The server's display and cookie are put into the process environment (DISPLAY, XAUTHORITY)
/// for the web engine's helper processes, which inherit it. The cookie's file (in TMPDIR) is
/// removed when the server stops; one left by a process that died is removed by the next
/// process that starts a server.
///
/// Starting the server blocks the calling thread until it accepts connections (a few tenths
/// of a second; at most `kServerStartLimit`, 10 s), once per process.
///
/// Main thread only.
class HeadlessDisplay final {
public:
    HeadlessDisplay() = delete;

    enum class Preference {
        /// Use the process's display when one is set and opens; a private server otherwise.
        ProcessDisplay,
        /// Always a private server: tests, which must never draw on a person's screen.
        PrivateServer,
        /// No toolkit at all: the views that need one stay stand-ins, and no process is started
        /// (a fuzzer, which must not start a server and a web engine for every input).
        None,
    };

    /// Chooses where the toolkit goes; effective only before the first `ensureToolkit`.
    static void setPreference(Preference preference);

    /// True once GTK is ready, starting the private server first when one is needed. The first
    /// call does the work and may take a second or two; a failure (no server program, a server
    /// that did not come up, no display to open) is written to the system log once, and every
    /// later call answers false at once.
    static bool ensureToolkit();
    /// Whether `ensureToolkit` has succeeded; never starts anything.
    static bool isReady();
    /// The private server's display name (":N"); empty when none runs.
    static std::string privateDisplay();
    /// How long the first successful `ensureToolkit` took, server start included; zero before.
    static std::chrono::milliseconds startupTime();
};

} // namespace morvix::platform
