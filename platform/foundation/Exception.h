#pragma once
// Named exceptions: a bad value from the peer, refused at the operation boundary.

#include "platform/foundation/Value.h"

#include <stdexcept>
#include <string>

namespace morvix::platform {

/// An exception with a name (such as "Incorrect Parameter"), a reason and optional user
/// information. Thrown where a peer's value is refused and caught where an operation is applied,
/// which logs it and goes on.
class Exception : public std::runtime_error {
public:
    Exception(std::string name, std::string reason, Value userInfo = nullptr);

    const std::string& name() const { return m_name; }
    const std::string& reason() const { return m_reason; }
    /// Null when none was given.
    const Value& userInfo() const { return m_userInfo; }

private:
    std::string m_name;
    std::string m_reason;
    Value m_userInfo;
};

} // namespace morvix::platform
