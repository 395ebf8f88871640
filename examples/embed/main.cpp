// A small application that embeds a Morvix session: it points the session at the server given on
// its command line, prints the session log, and quits once the server's first message has been
// applied (or when the session reports an error).

#include "library/Morvix.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

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
    client->setLogObserver([](const morvix::LogEntry& entry) { std::printf("%s\n", entry.message().c_str()); });

    // Quit once the server's first message has been applied, or give up after 30 seconds.
    bool applied = false;
    auto observer = morvix::platform::NotificationCenter::defaultCenter()->addObserver(
        std::string(morvix::BasicObject::kProcessingFinished), nullptr, [&](const auto&) {
            applied = true;
            loop.quit();
        });
    loop.postAfter(std::chrono::seconds(30), [&loop] { loop.quit(); });
    loop.run();
    if (!applied) {
        std::fprintf(stderr, "embed: no message from %s within 30 seconds\n", argv[1]);
        return 2;
    }
    std::printf("first message applied\n");
    return 0;
}
