#pragma once
// Facts about the embedding application: its info entries and its folders.

#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvix::platform {

/// The embedding application's info entries ("CFBundleIdentifier",
/// "CFBundleShortVersionString", "CFBundleVersion", "CFBundleDisplayName", ...) and its
/// resource, documents and caches folders. The application sets it, or loads the entries from
/// an info file (a JSON object), before it starts a session; tests use temporary folders.
///
/// Defaults: no entries; resources in the folder of the running program; documents in the
/// application's own "Documents" folder, "<applicationSupportPath()>/Documents" (only without
/// "$HOME" and "$XDG_DATA_HOME" in "$HOME/Documents" or the temporary folder's "Documents"), so
/// that two applications never share a client store; caches in "$XDG_CACHE_HOME" or
/// "$HOME/.cache".
///
/// Rules for the documents folder:
///  1. `fromInfoFile` derives it from the file's identifier.
///  2. `setMain` keeps a folder the application chose. An empty one, or one that is only the
///     derived folder (that of no identifier, as `defaults()` gives it, or that of the facts in
///     place, as a copy of `main()` has it), is derived again from the identifier given now, so
///     that `auto b = main(); b.info[kIdentifierKey] = id; setMain(b);` moves the documents
///     with the identifier.
///
/// `main()` and `setMain()` may be called from any thread; `main()` gives a copy.
struct BundleInfo {
    static constexpr std::string_view kIdentifierKey = "CFBundleIdentifier";
    static constexpr std::string_view kShortVersionKey = "CFBundleShortVersionString";
    static constexpr std::string_view kVersionKey = "CFBundleVersion";
    static constexpr std::string_view kDisplayNameKey = "CFBundleDisplayName";
    static constexpr std::string_view kExecutableKey = "CFBundleExecutable";

    /// The info entries: a JSON object.
    Value info = Value::object();
    std::string resourcePath;
    std::string documentsPath;
    std::string cachesPath;

    /// The entry for `key`; nothing when it is absent.
    std::optional<Value> objectForInfoDictionaryKey(std::string_view key) const;
    /// The entry for `key` when it is a string; nothing otherwise.
    std::optional<std::string> stringForInfoDictionaryKey(std::string_view key) const;

    /// The application's support folder: "$XDG_DATA_HOME/<id>", else "$HOME/.local/share/<id>",
    /// where <id> is the "CFBundleIdentifier" entry or, without one, the running program's name.
    /// Nothing when neither variable is set. Read from the environment on every call.
    std::optional<std::string> applicationSupportPath() const;

    /// The default facts with the entries of the JSON object in the file at `path`; nothing
    /// when the file cannot be read or does not hold a JSON object.
    static std::optional<BundleInfo> fromInfoFile(const std::string& path);

    /// The application's facts as the library reads them.
    static BundleInfo main();
    static void setMain(BundleInfo info);
    /// Back to the defaults.
    static void resetForTesting();
    /// Facts with no entries and the default folders.
    static BundleInfo defaults();
};

} // namespace morvix::platform
