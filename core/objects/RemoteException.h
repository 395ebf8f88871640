#pragma once
// Named exceptions raised by remote objects for bad values from the peer.

#include "platform/foundation/Exception.h"
#include "platform/foundation/Format.h"

#include <string>
#include <string_view>

namespace morvix {

/// A named exception with a formatted reason, raised where a remote object refuses what the
/// peer sent. It ends the operation being applied; the command operator catches it, logs its
/// name and reason and goes on with the next operation. The factories fill printf-style texts
/// ("%@", "%ld") with `platform::format`. Any thread.
///
///     throw RemoteException::incorrectParameterExceptionWithFormat(
///         "Widget %@ property %@ expects character/bool but got %@", id, key, value);
class RemoteException : public platform::Exception {
public:
    /// The name of the exception for a value the receiver cannot take.
    static constexpr std::string_view kIncorrectParameter = "Incorrect Parameter";
    /// The name of the exception for an operation the receiver does not have, such as the
    /// setter of a read-only property.
    static constexpr std::string_view kUnrecognizedSelector = "Unrecognized Selector";

    RemoteException(std::string name, std::string reason, platform::Value userInfo = nullptr);

    /// An "Incorrect Parameter" exception with the formatted reason and no user information.
    template<typename... Args>
    static RemoteException incorrectParameterExceptionWithFormat(std::string_view format, const Args&... args)
    {
        return RemoteException(std::string(kIncorrectParameter), platform::format(format, args...));
    }

    /// An exception named `name` with the formatted reason and no user information.
    template<typename... Args>
    static RemoteException exceptionWithName(std::string name, std::string_view format, const Args&... args)
    {
        return RemoteException(std::move(name), platform::format(format, args...));
    }

    /// An exception named `name` with the formatted reason, keeping `userInfo`.
    template<typename... Args>
    static RemoteException exceptionWithNameAndUserInfo(std::string name, platform::Value userInfo,
        std::string_view format, const Args&... args)
    {
        return RemoteException(std::move(name), platform::format(format, args...), std::move(userInfo));
    }

    /// Throws `incorrectParameterExceptionWithFormat(format, args...)`.
    template<typename... Args>
    [[noreturn]] static void throwIncorrectParameter(std::string_view format, const Args&... args)
    {
        throw incorrectParameterExceptionWithFormat(format, args...);
    }

    bool isIncorrectParameter() const { return name() == kIncorrectParameter; }
};

} // namespace morvix
