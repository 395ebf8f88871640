#pragma once
// The display the toolkit draws on when the machine has none: a private X server of our own.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace morvix::platform {

/// Makes the toolkit (GTK) ready for the views that need a real one, the web view above all,
/// on machines with no display: servers, CI runners, tests. Nothing happens until a view first
/// asks (`ensureToolkit`); then, when the process has no display of its own (DISPLAY and
/// WAYLAND_DISPLAY unset, or the one named cannot be opened), a private X server (Xvfb) is
/// started on a free display number, listening on no network port and admitting only clients
/// that hold a cookie written for this process, and GTK is initialised on it.
///
/// Starting never holds the calling thread: `ensureToolkit` starts the server and answers false
/// while it comes up; the change handlers hear `Change::Ready` once GTK is ready on it, or
/// `Change::Failed` when it ended first ("the display server ended (status N)") or did not
/// answer within `kServerStartLimit` (10 s on `Clock::current()`). A failure is written to the
/// system log once, and every later `ensureToolkit` answers false at once.
///
/// Losing the display: GTK's own answer to a lost X connection is to end the process. Here the
/// process goes on: the loss is logged, the change handlers hear `Change::Lost` on a later turn
/// (the views that used the display give it up), and the next `ensureToolkit` starts a new
/// private server, which GTK then uses as its default display.
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

    enum class State {
        /// Nothing started yet, or the display was lost: the next `ensureToolkit` starts one.
        NotStarted,
        /// A private server is coming up.
        Starting,
        Ready,
        /// For good.
        Failed,
    };

    enum class Change { Ready, Failed, Lost };
    using ChangeHandler = std::function<void(Change)>;

    /// How long a private server may take to say which display it took.
    static constexpr auto kServerStartLimit = std::chrono::seconds(10);

    /// Chooses where the toolkit goes; effective only before the first `ensureToolkit`.
    static void setPreference(Preference preference);

    /// True once GTK is ready. From `State::NotStarted` it opens the process's display at once
    /// (when preferred and it opens), or starts a private server and answers false; the change
    /// handlers then hear how the start ended. While starting, and after a failure, false.
    static bool ensureToolkit();
    static State state();
    /// Whether GTK is ready on a display now; never starts anything.
    static bool isReady();

    /// Calls `handler` at each change of the display, on the main thread, until removed. A
    /// handler may add or remove handlers; one added during a change hears the next one.
    static std::uint64_t addChangeHandler(ChangeHandler handler);
    /// Does nothing for an identifier that is not (or no longer) registered.
    static void removeChangeHandler(std::uint64_t identifier);

    /// The private server's display name (":N"); empty when none runs.
    static std::string privateDisplay();
    /// The private server's process, or -1 when none runs; tests end it to play a lost display.
    static int privateServerProcess();
    /// How long the latest successful start took, server start included; zero before.
    static std::chrono::milliseconds startupTime();
};

} // namespace morvix::platform
