#pragma once
// Moving a file to a new name, refusing to replace what is there.

#include "platform/foundation/Error.h"

#include <optional>
#include <string>

namespace morvix::platform {

/// The domain of file-system failures the library reports, and its codes.
inline constexpr const char* FileErrorDomain = "NSCocoaErrorDomain";
inline constexpr long kFileNoSuchFileError = 4;
inline constexpr long kFileWriteUnknownError = 512;
inline constexpr long kFileWriteFileExistsError = 516;

/// Moves the file at `source` to `destination`. Refuses an existing destination (with
/// kFileWriteFileExistsError) rather than replacing it, and a missing source (with
/// kFileNoSuchFileError); any other failure gives kFileWriteUnknownError. The system's reason
/// is the failure reason and its errno the underlying error (POSIX domain). Across file
/// systems the file is copied, then the source deleted; a failed copy leaves no partial
/// destination behind. Nothing on success. Any thread.
[[nodiscard]] std::optional<Error> moveFile(const std::string& source, const std::string& destination);

} // namespace morvix::platform
