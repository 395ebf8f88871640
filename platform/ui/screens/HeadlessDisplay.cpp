#include "platform/ui/screens/HeadlessDisplay.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SystemLog.h"

#include <gtk/gtk.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

namespace morvix::platform {

namespace {

// How long the server may take to say which display it took. It normally answers within a few
// tenths of a second; a loaded CI machine may be slower.
constexpr auto kServerStartLimit = std::chrono::seconds(10);
// How long a stopping server gets before it is killed.
constexpr auto kServerStopLimit = std::chrono::seconds(2);
// The server's one screen. Off-screen windows do not depend on it; it only has to exist.
constexpr const char* kScreenGeometry = "1280x1024x24";
constexpr std::size_t kCookieSize = 16;
constexpr const char* kAuthorityPrefix = "morvix-display-";
// An authority file no process holds is left from one that died; one this young may belong to
// a process that has made it but not yet locked it.
constexpr auto kStaleAuthorityAge = std::chrono::minutes(1);

enum class State { NotTried, Ready, Failed };

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

// Reads the display number the server writes once it accepts connections.
std::optional<int> readDisplayNumber(int fd)
{
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + kServerStartLimit;
    while (text.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd wait { fd, POLLIN, 0 };
        int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char buffer[32];
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return std::nullopt; // the server ended before it was ready
        text.append(buffer, static_cast<std::size_t>(count));
        if (text.size() > 16)
            return std::nullopt;
    }
    char* end = nullptr;
    long number = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || number < 0 || number > 65535)
        return std::nullopt;
    return static_cast<int>(number);
}

/// The private server while it runs; stops it when the process exits.
class PrivateServer final {
public:
    ~PrivateServer() { stop(); }

    bool start();
    void stop();
    const std::string& display() const { return m_display; }
    /// Stays until the server stops: helper processes read it when they connect, which may be
    /// long after the server started.
    const std::string& authorityFile() const { return m_authorityFile; }

private:
    pid_t m_pid = -1;
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
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        systemLog("headless display: no pipe (" + errnoText() + ")");
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
        return false;
    }
    m_pid = pid;
    auto number = readDisplayNumber(pipeFds[0]);
    ::close(pipeFds[0]);
    if (!number) {
        systemLog("headless display: Xvfb did not come up within " + std::to_string(kServerStartLimit.count()) + " s");
        stop();
        return false;
    }
    m_display = ":" + std::to_string(*number);
    return true;
}

void PrivateServer::stop()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        auto deadline = std::chrono::steady_clock::now() + kServerStopLimit;
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_pid = -1;
    }
    if (!m_authorityFile.empty())
        ::unlink(m_authorityFile.c_str());
    if (m_authorityLock >= 0)
        ::close(m_authorityLock);
    m_authorityLock = -1;
    m_authorityFile.clear();
    m_display.clear();
}

struct Toolkit {
    State state = State::NotTried;
    HeadlessDisplay::Preference preference = HeadlessDisplay::Preference::ProcessDisplay;
    std::chrono::milliseconds startupTime { 0 };
    PrivateServer server;
};

Toolkit& toolkit()
{
    static Toolkit toolkit;
    return toolkit;
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

bool startPrivateServerAndToolkit(PrivateServer& server)
{
    if (!server.start())
        return false;
    // Set before GTK opens the display, while no other thread of ours reads the environment;
    // the web engine's helper processes inherit both.
    ::setenv("DISPLAY", server.display().c_str(), 1);
    ::setenv("XAUTHORITY", server.authorityFile().c_str(), 1);
    ::setenv("GDK_BACKEND", "x11", 1);
    gdk_set_allowed_backends("x11");
    if (initialiseGtk())
        return true;
    systemLog("headless display: GTK cannot open the private display " + server.display());
    server.stop();
    return false;
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
    Toolkit& state = toolkit();
    if (state.state != State::NotTried)
        return state.state == State::Ready;
    if (state.preference == Preference::None)
        return false;
    auto began = std::chrono::steady_clock::now();
    bool ready = false;
    if (state.preference == Preference::ProcessDisplay && processHasDisplay()) {
        ready = initialiseGtk();
        if (!ready)
            systemLog("headless display: the process's display does not open; starting a private one");
    }
    if (!ready)
        ready = startPrivateServerAndToolkit(state.server);
    state.state = ready ? State::Ready : State::Failed;
    if (!ready)
        return false;
    state.startupTime = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
    return true;
}

bool HeadlessDisplay::isReady()
{
    return toolkit().state == State::Ready;
}

std::string HeadlessDisplay::privateDisplay()
{
    return toolkit().server.display();
}

std::chrono::milliseconds HeadlessDisplay::startupTime()
{
    return toolkit().startupTime;
}

} // namespace morvix::platform
