// The script binding's factory for a session: what the binding needs, read from the client.

#include "core/script/JSBinding.h"

#include "core/base/LogEntry.h"
#include "core/session/MorvixClient.h"
#include "platform/net/URLRequest.h"

namespace morvix {

namespace {

class ClientSession final : public JSBinding::Session {
public:
    explicit ClientSession(std::weak_ptr<MorvixClient> client)
        : m_client(std::move(client))
    {
    }

    void log(const LogEntry& entry) override
    {
        if (auto client = m_client.lock())
            client->log(entry);
    }
    std::optional<std::string> relativeURLToServer(const std::string& path) override
    {
        auto client = m_client.lock();
        auto url = client ? client->relativeURLToServer(path) : std::nullopt;
        return url ? std::optional<std::string>(url->absoluteString()) : std::nullopt;
    }
    double timeoutInterval() override
    {
        auto client = m_client.lock();
        if (!client)
            return platform::URLRequest::kDefaultTimeoutInterval;
        // Zero is "no time-out" for a request.
        return client->useInfiniteRequestTimeout() ? 0 : static_cast<double>(client->requestTimeout());
    }
    std::shared_ptr<CommandOperator> commandOperator() override
    {
        auto client = m_client.lock();
        return client ? client->commandOperator() : nullptr;
    }
    std::optional<std::string> serverURL() override
    {
        auto client = m_client.lock();
        auto url = client ? client->serverURL() : std::string();
        return url.empty() ? std::nullopt : std::optional<std::string>(url);
    }
    void setMorvixUIActive(bool active) override
    {
        if (auto client = m_client.lock())
            client->setMorvixUIActive(active);
    }
    void load() override
    {
        if (auto client = m_client.lock())
            client->load();
    }

private:
    std::weak_ptr<MorvixClient> m_client;
};

} // namespace

BindingFactory JSBinding::factory()
{
    return [](std::weak_ptr<MorvixClient> client) -> std::shared_ptr<Binding> {
        std::shared_ptr<Session> session = std::make_shared<ClientSession>(std::move(client));
        auto binding = JSBinding::create(session);
        binding->m_ownedSession = std::move(session);
        return binding;
    };
}

} // namespace morvix
