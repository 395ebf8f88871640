#pragma once
// The error domain and codes of URL loading.

#include "platform/foundation/Error.h"

#include <string>

namespace morvix::platform {

/// The domain of every failure of URL loading, and its codes (negative, as callers compare them).
inline constexpr const char* URLErrorDomain = "NSURLErrorDomain";

enum URLErrorCode : long {
    kURLErrorUnknown = -1,
    kURLErrorCancelled = -999,
    kURLErrorBadURL = -1000,
    kURLErrorTimedOut = -1001,
    kURLErrorUnsupportedURL = -1002,
    kURLErrorCannotFindHost = -1003,
    kURLErrorCannotConnectToHost = -1004,
    kURLErrorNetworkConnectionLost = -1005,
    kURLErrorHTTPTooManyRedirects = -1007,
    kURLErrorResourceUnavailable = -1008,
    kURLErrorNotConnectedToInternet = -1009,
    kURLErrorUserCancelledAuthentication = -1012,
    kURLErrorBadServerResponse = -1011,
    kURLErrorZeroByteResource = -1014,
    kURLErrorCannotDecodeContentData = -1016,
    kURLErrorFileDoesNotExist = -1100,
    kURLErrorFileIsDirectory = -1101,
    kURLErrorSecureConnectionFailed = -1200,
    kURLErrorServerCertificateUntrusted = -1202,
    kURLErrorCannotWriteToFile = -3003,
};

/// A URL-loading error with the platform's description for `code` (a sentence that stands
/// alone, the same for every failure of that code) and, when given, the failing URL. What went
/// wrong in detail (the HTTP library's own text, the certificate check's reason) belongs in the
/// failure reason.
Error makeURLError(long code, const std::string& failingURL = {});

/// The domain of stream failures (an output stream that cannot write), with errno codes.
inline constexpr const char* POSIXErrorDomain = "NSPOSIXErrorDomain";

} // namespace morvix::platform
