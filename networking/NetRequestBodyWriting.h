#pragma once
// Checks that request parameters can be written as a JSON or property-list body.

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

#include <optional>
#include <string>

namespace morvix {

/// The body formats whose writers refuse some values.
enum class NetBodyFormat { JSON, PropertyList };

/// Nothing when `parameters` can be written in `format`; otherwise the reason, naming the first
/// value that cannot: the top level must be a dictionary or a list, numbers must be finite,
/// texts and keys UTF-8; JSON has no bytes and a property list no null.
std::optional<std::string> NetUnwritableParametersReason(const platform::Value& parameters, NetBodyFormat format);

/// The request-serialisation error for a body that could not be written, with `reason`.
platform::Error NetBodyWritingError(const std::string& reason);

} // namespace morvix
