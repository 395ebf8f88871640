#pragma once
// Where in the application a script error happened, as "module:line:column".

#include <JavaScriptCore/JavaScript.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

/// Finds and words the place of a script error: the module (its path relative to the
/// application folder; the URL itself for a module outside it or served over http), the line
/// and the column the engine gives.
///
/// The engine gives an error object "sourceURL", "line" and "column" where it was made or
/// thrown, and a "stack" of "function@url:line:column" frames. An error made by code without a
/// source (the boot script) is placed at the first frame of its stack that has one: for
/// "Cannot find module" that is the line that required it. A syntax error comes with its line
/// only; `completeSyntaxError` finds its column.
///
/// Modules run wrapped in a function whose head stands on their first line, so the engine's
/// columns on line 1 count the head too; the widths of the heads, by module URL, are taken off.
///
/// Static functions; each runs in the given context, so on the main thread.
class JSErrorLocation final {
public:
    JSErrorLocation() = delete;

    /// The widths (UTF-16 units) of the heads put before the modules' first lines, by URL.
    using HeadWidths = std::map<std::string, std::size_t, std::less<>>;

    /// "module:line:column" (or "module:line" when the engine gives no column) for `error`;
    /// nothing for a value that is no object or that no source places.
    static std::optional<std::string> locate(JSContextRef context, JSValueRef error, const std::optional<std::string>& applicationFolder,
        const HeadWidths& headWidths);

    /// "module:line:column: <the error's text>", or the error's text alone when nothing places it.
    static std::string describe(JSContextRef context, JSValueRef error, const std::optional<std::string>& applicationFolder,
        const HeadWidths& headWidths);

    /// Gives a syntax error the engine threw while evaluating `source` its "column": the column
    /// of the token at which the source stops being a valid script on the error's line, found by
    /// checking shorter and shorter beginnings of the source (a few dozen parses at most). The
    /// engine gives the line only (and, when a native function evaluates, the column of its
    /// caller). Does nothing for other errors, for a source that parses, and for a source longer
    /// than `kLongestSourceToSearch` units.
    static void completeSyntaxError(JSContextRef context, JSValueRef error, std::string_view source);

    static constexpr std::size_t kLongestSourceToSearch = std::size_t(4) << 20;

    /// The module name of `url`: its path relative to `applicationFolder` when it is a file
    /// inside it; the URL itself otherwise.
    static std::string moduleName(const std::string& url, const std::optional<std::string>& applicationFolder);
};

} // namespace morvix
