#include "platform/ui/screens/HeadlessDisplay.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SystemLog.h"

#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
// Xlib's names that clash with the library's own.
#undef None
#undef Status

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace morvix::platform {

namespace {

// How long a stopping server gets before it is killed.
constexpr auto kServerStopLimit = std::chrono::seconds(2);
// The server's one screen. Off-screen windows do not depend on it; it only has to exist.
constexpr const char* kScreenGeometry = "1280x1024x24";
constexpr std::size_t kCookieSize = 16;
constexpr const char* kAuthorityPrefix = "morvix-display-";
// An authority file no process holds is left from one that died; one this young may belong to
// a process that has made it but not yet locked it.
constexpr auto kStaleAuthorityAge = std::chrono::minutes(1);

std::string errnoText()
{
    return std::strerror(errno);
}

bool writeAll(int fd, const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

void appendCounted(std::string& out, const std::string& field)
{
    out += static_cast<char>((field.size() >> 8) & 0xff);
    out += static_cast<char>(field.size() & 0xff);
    out += field;
}

std::string temporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

// Removes the authority files of processes that died without removing theirs: each live one is
// locked by its process for as long as its server runs.
void removeStaleAuthorityFiles()
{
    std::string folder = temporaryFolder();
    DIR* directory = ::opendir(folder.c_str());
    if (!directory)
        return;
    auto now = std::chrono::system_clock::now();
    while (dirent* entry = ::readdir(directory)) {
        if (std::strncmp(entry->d_name, kAuthorityPrefix, std::strlen(kAuthorityPrefix)) != 0)
            continue;
        std::string path = folder + "/" + entry->d_name;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat status {};
        bool old = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::getuid()
            && now - std::chrono::system_clock::from_time_t(status.st_mtime) > kStaleAuthorityAge;
        if (old && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(directory);
}

// An authority file of one entry that any address and display number match (the family
// "wild", empty address and number): the server admits the cookie, and every client that reads
// the file presents it. The file stays open and locked in `lockFd` while it is in use.
std::optional<std::string> writeAuthorityFile(int& lockFd)
{
    std::string cookie(kCookieSize, '\0');
    if (::getrandom(cookie.data(), cookie.size(), 0) != static_cast<ssize_t>(cookie.size())) {
        systemLog("headless display: no random cookie (" + errnoText() + ")");
        return std::nullopt;
    }
    std::string path = temporaryFolder() + "/" + kAuthorityPrefix + "XXXXXX";
    int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        systemLog("headless display: cannot write an authority file in " + path + " (" + errnoText() + ")");
        return std::nullopt;
    }
    std::string entry;
    entry += '\xff';
    entry += '\xff';
    appendCounted(entry, "");
    appendCounted(entry, "");
    appendCounted(entry, "MIT-MAGIC-COOKIE-1");
    appendCounted(entry, cookie);
    bool written = ::flock(fd, LOCK_SH | LOCK_NB) == 0 && writeAll(fd, entry);
    if (!written) {
        ::close(fd);
        ::unlink(path.c_str());
        systemLog("headless display: cannot write the authority file " + path);
        return std::nullopt;
    }
    lockFd = fd;
    return path;
}

std::optional<std::string> findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string candidate = folders.substr(start, end - start);
        if (!candidate.empty()) {
            candidate += "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

// How a process ended, as the log says it: "status N" or "signal N".
std::string exitText(int status)
{
    if (WIFSIGNALED(status))
        return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(WEXITSTATUS(status));
}

/// The private server while it runs; stops it when the process exits. Starting it forks the
/// server and returns: the server writes its display number on a pipe once it accepts
/// connections, which the caller watches (`displayPipe`, `readDisplayNumber`), and its end is
/// heard on `exitHandle` (a process descriptor, where the kernel has them).
class PrivateServer final {
public:
    enum class Answer { Waiting, Number, Ended, Unreadable };

    ~PrivateServer() { stop(); }

    bool start();
    /// Ends the server when it still runs, reaps it (logging how it ended when it had ended by
    /// itself), and removes its authority file.
    void stop();
    /// Reads what the server wrote so far; `number` is set with `Answer::Number`.
    Answer readDisplayNumber(int& number);
    /// How the server ended, once it has; nothing while it runs.
    std::optional<std::string> reap();

    int displayPipe() const { return m_displayPipe; }
    int exitHandle() const { return m_exitHandle; }
    pid_t pid() const { return m_pid; }
    void setDisplayNumber(int number) { m_display = ":" + std::to_string(number); }
    const std::string& display() const { return m_display; }
    /// Stays until the server stops: helper processes read it when they connect, which may be
    /// long after the server started.
    const std::string& authorityFile() const { return m_authorityFile; }

private:
    void closeDescriptors();

    pid_t m_pid = -1;
    int m_displayPipe = -1; // the read end of the server's display pipe, until it answered
    int m_exitHandle = -1; // a process descriptor of the server, readable once it ended
    std::string m_received; // what the display pipe gave so far
    std::string m_display;
    std::string m_authorityFile;
    int m_authorityLock = -1; // the authority file, open and locked while the server runs
};

bool PrivateServer::start()
{
    auto program = findProgram("Xvfb");
    if (!program) {
        systemLog("headless display: no Xvfb program on the PATH; web views show placeholders");
        return false;
    }
    removeStaleAuthorityFiles();
    auto authority = writeAuthorityFile(m_authorityLock);
    if (!authority)
        return false;
    m_authorityFile = *authority;

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        systemLog("headless display: no pipe (" + errnoText() + ")");
        stop();
        return false;
    }
    std::string displayFd = std::to_string(pipeFds[1]);
    std::vector<std::string> arguments { *program, "-displayfd", displayFd, "-nolisten", "tcp", "-noreset", "-auth",
        m_authorityFile, "-screen", "0", kScreenGeometry };
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    pid_t parent = ::getpid();

    // Between fork and exec the child calls only functions that are safe there: the parent may
    // have other threads, whose locks the child inherits held.
    pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127); // the parent died before the request took hold
        ::setpgid(0, 0);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
        }
        ::fcntl(pipeFds[1], F_SETFD, 0);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (devNull >= 0)
        ::close(devNull);
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        systemLog("headless display: cannot start Xvfb (" + errnoText() + ")");
        stop();
        return false;
    }
    m_pid = pid;
    m_displayPipe = pipeFds[0];
    m_received.clear();
    // Without process descriptors (kernels before 5.3) an end while starting is seen as the pipe
    // closing, and an end later as the lost connection.
    m_exitHandle = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    return true;
}

PrivateServer::Answer PrivateServer::readDisplayNumber(int& number)
{
    char buffer[32];
    while (m_received.find('\n') == std::string::npos) {
        ssize_t count = ::read(m_displayPipe, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return Answer::Waiting;
        if (count <= 0)
            return Answer::Ended;
        m_received.append(buffer, static_cast<std::size_t>(count));
        if (m_received.size() > 16)
            return Answer::Unreadable;
    }
    char* end = nullptr;
    long value = std::strtol(m_received.c_str(), &end, 10);
    if (end == m_received.c_str() || value < 0 || value > 65535)
        return Answer::Unreadable;
    number = static_cast<int>(value);
    return Answer::Number;
}

std::optional<std::string> PrivateServer::reap()
{
    if (m_pid <= 0)
        return std::nullopt;
    // Its process descriptor is readable once it has ended, a moment after its connections
    // closed: then it is waited for.
    pollfd ended { m_exitHandle, POLLIN, 0 };
    bool exited = m_exitHandle >= 0 && ::poll(&ended, 1, 0) == 1;
    int status = 0;
    pid_t reaped = ::waitpid(m_pid, &status, exited ? 0 : WNOHANG);
    if (reaped == 0)
        return std::nullopt;
    m_pid = -1;
    return reaped > 0 ? exitText(status) : std::string("status unknown");
}

void PrivateServer::closeDescriptors()
{
    for (int* fd : { &m_displayPipe, &m_exitHandle }) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void PrivateServer::stop()
{
    if (auto ended = reap())
        systemLog("headless display: the display server ended (" + *ended + ")");
    if (m_pid > 0) {
        // The server's process group, so that a helper it started (its keymap compiler) goes too.
        auto signal = [this](int number) {
            if (::kill(-m_pid, number) != 0)
                ::kill(m_pid, number);
        };
        signal(SIGTERM);
        auto deadline = std::chrono::steady_clock::now() + kServerStopLimit;
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                signal(SIGKILL);
                ::waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_pid = -1;
    }
    closeDescriptors();
    if (!m_authorityFile.empty())
        ::unlink(m_authorityFile.c_str());
    if (m_authorityLock >= 0)
        ::close(m_authorityLock);
    m_authorityLock = -1;
    m_authorityFile.clear();
    m_display.clear();
    m_received.clear();
}

// Set when the process's statics are destroyed: the main loop may be gone by then, so nothing is
// posted or cancelled, and a connection lost from then on is only quieted.
std::atomic<bool> s_exiting { false };

struct Toolkit {
    ~Toolkit()
    {
        s_exiting = true;
        server.stop();
    }

    HeadlessDisplay::State state = HeadlessDisplay::State::NotStarted;
    HeadlessDisplay::Preference preference = HeadlessDisplay::Preference::ProcessDisplay;
    bool gtkInitialised = false;
    // After a display was lost, only private servers are started.
    bool displayLost = false;
    // The X connection in use, and whether it broke (set inside Xlib, handled on a later turn).
    Display* connection = nullptr;
    bool connectionBroken = false;
    std::chrono::steady_clock::time_point began;
    std::chrono::milliseconds startupTime { 0 };
    PrivateServer server;
    guint pipeWatch = 0;
    guint exitWatch = 0;
    MainLoop::TimerId startLimit = 0;
    std::vector<std::pair<std::uint64_t, HeadlessDisplay::ChangeHandler>> handlers;
    std::uint64_t nextHandler = 1;
};

Toolkit& toolkit()
{
    static Toolkit toolkit;
    return toolkit;
}

void notify(HeadlessDisplay::Change change)
{
    // Handlers may add or remove handlers: each one registered now is called unless removed by
    // then.
    auto handlers = toolkit().handlers;
    for (auto& entry : handlers) {
        auto& current = toolkit().handlers;
        bool registered = std::any_of(current.begin(), current.end(), [&](const auto& other) { return other.first == entry.first; });
        if (registered)
            entry.second(change);
    }
}

bool processHasDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

// GTK would set the process's locale from the environment, which would change how the rest of
// the library reads and writes numbers: it is kept as it is. Nobody reads the off-screen windows
// with assistive technology, so GTK does not look for its bus over D-Bus (unless the
// application's environment says otherwise).
bool initialiseGtk()
{
    gtk_disable_setlocale();
    ::setenv("NO_AT_BRIDGE", "1", 0);
    return gtk_init_check(nullptr, nullptr);
}

int onConnectionError(Display*)
{
    return 0; // the exit handler below decides what follows
}

// Xlib ends the process after this handler unless it returns. Returning leaves a connection
// that refuses every further request; its descriptor is replaced by one that never becomes
// readable, so that GTK's event source does not wake the loop for a socket that stays at its
// end. The loss itself is handled on a later turn, outside Xlib.
void onConnectionLost(Display* connection, void*)
{
    int quiet = ::eventfd(0, EFD_CLOEXEC);
    if (quiet >= 0) {
        ::dup3(quiet, ConnectionNumber(connection), O_CLOEXEC); // not inherited by later children
        ::close(quiet);
    }
    if (s_exiting)
        return;
    Toolkit& kit = toolkit();
    if (connection != kit.connection)
        return;
    kit.connectionBroken = true;
    MainLoop::main().post([] { HeadlessDisplay::isReady(); });
}

void stopWatching(Toolkit& kit)
{
    for (guint* watch : { &kit.pipeWatch, &kit.exitWatch }) {
        if (*watch)
            g_source_remove(*watch);
        *watch = 0;
    }
    if (kit.startLimit)
        MainLoop::main().cancel(kit.startLimit);
    kit.startLimit = 0;
}

// The display GTK uses from now on. The X I/O error handler is the process's, and GTK installs
// its own (which ends the process) with every display it opens, so ours goes in after.
void becomeReady(Toolkit& kit, GdkDisplay* display)
{
    kit.state = HeadlessDisplay::State::Ready;
    kit.connection = nullptr;
    kit.connectionBroken = false;
    if (GDK_IS_X11_DISPLAY(display)) {
        kit.connection = gdk_x11_display_get_xdisplay(display);
        XSetIOErrorHandler(onConnectionError);
        XSetIOErrorExitHandler(kit.connection, onConnectionLost, nullptr);
    }
    kit.startupTime = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - kit.began);
}

void startFailed(Toolkit& kit, const std::optional<std::string>& message)
{
    if (message)
        systemLog(*message);
    stopWatching(kit);
    kit.server.stop();
    kit.state = HeadlessDisplay::State::Failed;
    notify(HeadlessDisplay::Change::Failed);
}

// The first display goes through GTK's initialisation; a later one (after a loss) is opened
// beside the dead one and made the default, where new windows go.
GdkDisplay* openDisplay(Toolkit& kit, const std::string& name)
{
    if (!kit.gtkInitialised) {
        if (!initialiseGtk())
            return nullptr;
        kit.gtkInitialised = true;
        return gdk_display_get_default();
    }
    GdkDisplay* display = gdk_display_open(name.c_str());
    if (display)
        gdk_display_manager_set_default_display(gdk_display_manager_get(), display);
    return display;
}

void serverAnswered(Toolkit& kit, int number)
{
    stopWatching(kit);
    kit.server.setDisplayNumber(number);
    // Set before GTK opens the display; the web engine's helper processes inherit both.
    const std::string& name = kit.server.display();
    ::setenv("DISPLAY", name.c_str(), 1);
    ::setenv("XAUTHORITY", kit.server.authorityFile().c_str(), 1);
    ::setenv("GDK_BACKEND", "x11", 1);
    if (!kit.gtkInitialised)
        gdk_set_allowed_backends("x11");
    GdkDisplay* display = openDisplay(kit, name);
    if (!display) {
        startFailed(kit, "headless display: GTK cannot open the private display " + name);
        return;
    }
    becomeReady(kit, display);
    notify(HeadlessDisplay::Change::Ready);
}

gboolean onDisplayPipe(int, GIOCondition, gpointer)
{
    Toolkit& kit = toolkit();
    int number = 0;
    switch (kit.server.readDisplayNumber(number)) {
    case PrivateServer::Answer::Waiting:
        return G_SOURCE_CONTINUE;
    case PrivateServer::Answer::Number:
        kit.pipeWatch = 0;
        serverAnswered(kit, number);
        return G_SOURCE_REMOVE;
    case PrivateServer::Answer::Ended:
        kit.pipeWatch = 0;
        // The exit watch says how the server ended; without one, this is all there is.
        if (!kit.exitWatch)
            startFailed(kit, "headless display: the display server ended before it was ready");
        return G_SOURCE_REMOVE;
    case PrivateServer::Answer::Unreadable:
        kit.pipeWatch = 0;
        startFailed(kit, "headless display: the display server gave no display number");
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_REMOVE;
}

gboolean onServerExit(int, GIOCondition, gpointer)
{
    Toolkit& kit = toolkit();
    kit.exitWatch = 0;
    std::string how = kit.server.reap().value_or("status unknown");
    systemLog("headless display: the display server ended (" + how + ")");
    // Once the display is in use, its lost connection tells the rest.
    if (kit.state == HeadlessDisplay::State::Starting)
        startFailed(kit, std::nullopt);
    return G_SOURCE_REMOVE;
}

void startPrivateServer(Toolkit& kit)
{
    if (!kit.server.start()) {
        kit.state = HeadlessDisplay::State::Failed;
        return;
    }
    kit.state = HeadlessDisplay::State::Starting;
    kit.pipeWatch = g_unix_fd_add(kit.server.displayPipe(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), onDisplayPipe, nullptr);
    // Below the connection's own events, so that a server that dies while in use is first heard
    // as the lost connection.
    if (kit.server.exitHandle() >= 0)
        kit.exitWatch = g_unix_fd_add_full(G_PRIORITY_LOW, kit.server.exitHandle(), G_IO_IN, onServerExit, nullptr, nullptr);
    kit.startLimit = MainLoop::main().postAfter(HeadlessDisplay::kServerStartLimit, [] {
        Toolkit& kit = toolkit();
        kit.startLimit = 0;
        if (kit.state == HeadlessDisplay::State::Starting)
            startFailed(kit, "headless display: Xvfb did not come up within " + std::to_string(HeadlessDisplay::kServerStartLimit.count()) + " s");
    });
}

// A connection that broke inside Xlib is handled here, on the next look at the state.
void handleBrokenConnection(Toolkit& kit)
{
    if (!kit.connectionBroken)
        return;
    kit.connectionBroken = false;
    kit.connection = nullptr;
    std::string name = kit.server.display().empty() ? std::string("of the process") : kit.server.display();
    systemLog("headless display: the connection to the display " + name + " was lost; a later web view starts a new one");
    stopWatching(kit);
    kit.server.stop();
    kit.displayLost = true;
    kit.state = HeadlessDisplay::State::NotStarted;
    notify(HeadlessDisplay::Change::Lost);
}

} // namespace

void HeadlessDisplay::setPreference(Preference preference)
{
    assertOnMainThread();
    toolkit().preference = preference;
}

bool HeadlessDisplay::ensureToolkit()
{
    assertOnMainThread();
    Toolkit& kit = toolkit();
    handleBrokenConnection(kit);
    if (kit.state != State::NotStarted)
        return kit.state == State::Ready;
    if (kit.preference == Preference::None)
        return false;
    kit.began = std::chrono::steady_clock::now();
    if (kit.preference == Preference::ProcessDisplay && !kit.displayLost && processHasDisplay()) {
        if (initialiseGtk()) {
            kit.gtkInitialised = true;
            becomeReady(kit, gdk_display_get_default());
            return true;
        }
        systemLog("headless display: the process's display does not open; starting a private one");
    }
    startPrivateServer(kit);
    return false;
}

HeadlessDisplay::State HeadlessDisplay::state()
{
    Toolkit& kit = toolkit();
    handleBrokenConnection(kit);
    return kit.state;
}

bool HeadlessDisplay::isReady()
{
    return state() == State::Ready;
}

std::uint64_t HeadlessDisplay::addChangeHandler(ChangeHandler handler)
{
    assertOnMainThread();
    Toolkit& kit = toolkit();
    std::uint64_t identifier = kit.nextHandler++;
    kit.handlers.emplace_back(identifier, std::move(handler));
    return identifier;
}

void HeadlessDisplay::removeChangeHandler(std::uint64_t identifier)
{
    assertOnMainThread();
    std::erase_if(toolkit().handlers, [identifier](const auto& entry) { return entry.first == identifier; });
}

std::string HeadlessDisplay::privateDisplay()
{
    return toolkit().server.display();
}

int HeadlessDisplay::privateServerProcess()
{
    return toolkit().server.pid();
}

std::chrono::milliseconds HeadlessDisplay::startupTime()
{
    return toolkit().startupTime;
}

} // namespace morvix::platform
