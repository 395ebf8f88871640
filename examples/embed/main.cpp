// A small application that embeds a Morvix session: it points the session at the server given on
// its command line, prints the session log, and quits once the server's first message has been
// applied, printing the remote objects it made (exit status 0), or when the session reports an
// error (printed; exit status 1).

#include "library/Morvix.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

namespace {

class AppDelegate final : public morvix::MorvixClientDelegate {
public:
    explicit AppDelegate(std::string url)
        : m_url(std::move(url))
    {
    }
    std::string serverURL() override { return m_url; }
    void clientDidBecomeReady(morvix::MorvixClient& client) override { client.load(); }
    std::optional<bool> useSSLStrict() override { return true; } // settings left out take their defaults

private:
    std::string m_url;
};

// Errors the session meets (a server that cannot be reached, a message that cannot be read) end
// the application.
class ErrorDelegate final : public morvix::MorvixClientErrorDelegate {
public:
    void errorOccured(const morvix::platform::Error& error, const std::shared_ptr<morvix::MorvixClient>&) override
    {
        std::fprintf(stderr, "embed: %s (%s)\n", error.description().c_str(), error.failureReason().value_or("").c_str());
        failed = true;
        morvix::platform::MainLoop::main().quit();
    }
    void close() override { }
    bool failed = false;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: embed SERVER-URL\n");
        return 64;
    }
    auto& loop = morvix::platform::MainLoop::main();
    loop.bindToCurrentThread();
    morvix::registerRemoteTypes(); // every remote-object class of the library

    auto window = morvix::platform::Window::create({ 0, 0, 320, 568 });
    auto client = morvix::MorvixClient::create(window); // null on a system that is too old
    if (!client)
        return 1;
    auto delegate = std::make_shared<AppDelegate>(argv[1]);
    client->setDelegate(delegate); // held weakly: keep it alive
    auto errors = std::make_shared<ErrorDelegate>();
    client->setErrorDelegate(errors); // held weakly too
    client->setLogObserver([](const morvix::LogEntry& entry) { std::printf("%s\n", entry.message().c_str()); });

    // Quit once the server's first message has been applied, or give up after 30 seconds. An
    // exchange that failed ends as well, but is repeated: the error delegate hears of its end.
    bool applied = false;
    bool exchangeFailed = false;
    auto center = morvix::platform::NotificationCenter::defaultCenter();
    auto failures = center->addObserver(morvix::MorvixClient::kOperationFailedNotification, nullptr,
        [&](const auto&) { exchangeFailed = true; });
    auto observer = center->addObserver(std::string(morvix::BasicObject::kProcessingFinished), nullptr, [&](const auto&) {
        if (std::exchange(exchangeFailed, false))
            return;
        applied = true;
        loop.quit();
    });
    loop.postAfter(std::chrono::seconds(30), [&loop] { loop.quit(); });
    loop.run();
    if (errors->failed)
        return 1;
    if (!applied) {
        std::fprintf(stderr, "embed: no message from %s within 30 seconds\n", argv[1]);
        return 2;
    }
    std::printf("first message applied\n");
    auto registry = client->objectRegistry();
    for (const auto& id : registry->childrenIds()) {
        if (auto object = registry->objectById(id); object && object->parent())
            std::printf("%s %s in %s\n", id.c_str(), std::string(object->remoteType()).c_str(), object->parent()->objectId().c_str());
    }
    return 0;
}
