#pragma once
// The session as the command operator and remote objects see it, without transport or views: a
// registry, and a count of the failures the session log would show.

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/protocol/CommandOperator.h"

#include <memory>
#include <string>

namespace morvix::bench {

class BenchSession final : public ClientContext,
                           public CommandOperator::Session,
                           public std::enable_shared_from_this<BenchSession> {
public:
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override { return registry->objectById(id); }
    void removeObjectById(const std::string& id) override { registry->removeObjectById(id); }
    void log(const LogEntry&) override { ++failures; }
    std::shared_ptr<ClientContext> clientContext() override { return shared_from_this(); }
    std::shared_ptr<ObjectRegistry> objectRegistry() override { return registry; }
    void changeBaseURL(const std::string&) override { }
    void receivedRequestCounter(long) override { }
    void setMorvixUIActive(bool) override { }

    std::shared_ptr<ObjectRegistry> registry = ObjectRegistry::create();
    int failures = 0;
};

} // namespace morvix::bench
