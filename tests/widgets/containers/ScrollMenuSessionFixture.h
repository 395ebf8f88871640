#pragma once
// A real session against a scripted server on loopback, on the headless screen with a manual
// clock, for the scrolling, menu and refresh widgets: the test sets what the first answer
// creates, hands the session further operations and reads every POST's operations.

#include "core/outgoing/Notifications.h"
#include "platform/foundation/DeviceInfo.h"
#include "tests/support/LoopbackSessionFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace morvix::testing {

/// `posts` leaves out the device service's connection reports, and the server binding is kept in
/// `binding`. Main thread.
class ScrollMenuSessionFixture : public LoopbackSessionFixture {
protected:
    ScrollMenuSessionFixture()
        : LoopbackSessionFixture(Options().withoutConnectionReports().withServerBindingKept())
    {
    }
    void TearDown() override
    {
        LoopbackSessionFixture::TearDown();
        platform::DeviceInfo::resetForTesting();
    }

    // Loads the session with `operations` (a JSON array) as the first answer and lets the first
    // POST go out and be answered.
    void start(std::string operations)
    {
        setFirstAnswer(answer(operations));
        LoopbackSessionFixture::start();
    }
    // Answers the next POST with `operations` (a JSON array), makes the session send one, and
    // waits until the answer has been handled and what it caused has gone out.
    void deliver(const std::string& operations)
    {
        answerNextPost(operations, [] {
            auto head = Notifications::forHead();
            head->setAttribute(true, "event");
            head->send();
        });
    }
    // The operations of the POSTs from the `first`-th on, in order, as one JSON array.
    std::string operationsSince(std::size_t first) const
    {
        platform::Value all = platform::Value::array();
        auto bodies = posts();
        for (std::size_t i = first; i < bodies.size(); ++i) {
            for (const auto& operation : bodies[i]["operations"])
                all.push_back(operation);
        }
        return all.dump();
    }
};

} // namespace morvix::testing
