#pragma once
// A session delegate whose every setting a test may set.

#include "core/session/MorvixClientDelegate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvix::testing {

/// A delegate whose every setting a test may set; unset ones answer "not implemented", so the
/// session falls back to its defaults. Owned by the test's fixture; main thread.
class TestClientDelegate final : public MorvixClientDelegate {
public:
    std::string url;
    std::optional<bool> strict;
    std::optional<bool> infiniteTimeout;
    std::optional<std::int64_t> timeout;
    std::optional<std::string> serverId;
    std::optional<std::vector<std::string>> roots;
    std::optional<bool> developerConsole;
    std::optional<bool> reload;
    std::optional<bool> requests;
    std::optional<bool> responses;
    int readyCount = 0;

    std::string serverURL() override { return url; }
    void clientDidBecomeReady(MorvixClient&) override { ++readyCount; }
    std::optional<bool> useSSLStrict() override { return strict; }
    std::optional<bool> useInfiniteRequestTimeout() override { return infiniteTimeout; }
    std::optional<std::int64_t> requestTimeout() override { return timeout; }
    std::optional<std::string> requiredServerId() override { return serverId; }
    std::optional<std::vector<std::string>> localResourceRoots() override { return roots; }
    std::optional<bool> enableDeveloperConsole() override { return developerConsole; }
    std::optional<bool> enableReload() override { return reload; }
    std::optional<bool> logRequests() override { return requests; }
    std::optional<bool> logResponses() override { return responses; }
};

} // namespace morvix::testing
