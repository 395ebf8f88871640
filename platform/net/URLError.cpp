#include "platform/net/URLError.h"

namespace morvix::platform {

namespace {

const char* descriptionFor(long code)
{
    switch (code) {
    case kURLErrorUnknown: return "An unknown error occurred.";
    case kURLErrorCancelled: return "The request was cancelled.";
    case kURLErrorBadURL: return "The URL is not valid.";
    case kURLErrorTimedOut: return "The request timed out.";
    case kURLErrorUnsupportedURL: return "The URL is not supported.";
    case kURLErrorCannotFindHost: return "A server with the specified hostname could not be found.";
    case kURLErrorCannotConnectToHost: return "Could not connect to the server.";
    case kURLErrorNetworkConnectionLost: return "The network connection was lost.";
    case kURLErrorHTTPTooManyRedirects: return "There were too many redirects.";
    case kURLErrorResourceUnavailable: return "The requested resource is unavailable.";
    case kURLErrorNotConnectedToInternet: return "The Internet connection appears to be offline.";
    case kURLErrorBadServerResponse: return "The server returned a bad response.";
    case kURLErrorUserCancelledAuthentication: return "The connection was cancelled during authentication.";
    case kURLErrorZeroByteResource: return "The resource has no data.";
    case kURLErrorCannotDecodeContentData: return "The data could not be decoded.";
    case kURLErrorFileDoesNotExist: return "The requested file does not exist.";
    case kURLErrorFileIsDirectory: return "The file is a directory.";
    case kURLErrorSecureConnectionFailed: return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case kURLErrorServerCertificateUntrusted: return "The certificate for this server is invalid.";
    case kURLErrorCannotWriteToFile: return "The file could not be written.";
    default: return "An unknown error occurred.";
    }
}

} // namespace

Error makeURLError(long code, const std::string& failingURL)
{
    Error error(URLErrorDomain, code, descriptionFor(code));
    if (!failingURL.empty())
        error.setFailingURL(failingURL);
    return error;
}

} // namespace morvix::platform
