#include "networking/NetURLResponseSerialization.h"

namespace morvix {

std::optional<platform::Error> NetErrorWithUnderlyingError(std::optional<platform::Error> error,
    std::optional<platform::Error> underlying)
{
    if (!error)
        return underlying;
    if (!underlying)
        return error;
    if (error->underlyingError())
        return error;
    platform::Error chained = std::move(*error);
    chained.setUnderlyingError(std::move(*underlying));
    return chained;
}

std::optional<platform::Error> NetDecodingErrorAfterValidation(std::optional<platform::Error> decodingError,
    std::optional<platform::Error> validationError)
{
    if (validationError && validationError->is(NetURLResponseSerializationErrorDomain, NetURLErrorBadServerResponse))
        return NetErrorWithUnderlyingError(std::move(validationError), std::move(decodingError));
    return NetErrorWithUnderlyingError(std::move(decodingError), std::move(validationError));
}

bool NetErrorOrUnderlyingErrorHasCodeInDomain(const std::optional<platform::Error>& error)
{
    if (!error)
        return false;
    for (const platform::Error* current = &*error; current; current = current->underlyingError().get()) {
        if (current->is(NetURLResponseSerializationErrorDomain, NetURLErrorCannotDecodeContentData))
            return true;
    }
    return false;
}

std::string NetLocalizedString(const std::string& key)
{
    // FIXME: look the key up in the application's "Networking" string table once the platform
    // layer offers string tables; without one the key is the text.
    return key;
}

} // namespace morvix
