#include "platform/net/URLError.h"

namespace morvix::platform {

namespace {

const char* descriptionFor(long code)
{
    switch (code) {
    case kURLErrorCancelled: return "cancelled";
    case kURLErrorBadURL: return "bad URL";
    case kURLErrorTimedOut: return "The request timed out.";
    case kURLErrorUnsupportedURL: return "unsupported URL";
    case kURLErrorCannotFindHost: return "A server with the specified hostname could not be found.";
    case kURLErrorCannotConnectToHost: return "Could not connect to the server.";
    case kURLErrorNetworkConnectionLost: return "The network connection was lost.";
    case kURLErrorHTTPTooManyRedirects: return "too many HTTP redirects";
    case kURLErrorNotConnectedToInternet: return "The Internet connection appears to be offline.";
    case kURLErrorUserCancelledAuthentication: return "The operation couldn't be completed.";
    case kURLErrorBadServerResponse: return "The server returned a bad response.";
    case kURLErrorCannotDecodeContentData: return "cannot decode raw data";
    case kURLErrorFileDoesNotExist: return "The requested URL was not found on this server.";
    case kURLErrorFileIsDirectory: return "The file is a directory.";
    case kURLErrorSecureConnectionFailed: return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case kURLErrorServerCertificateUntrusted: return "The certificate for this server is invalid.";
    case kURLErrorCannotWriteToFile: return "cannot write file";
    default: return "unknown error";
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
