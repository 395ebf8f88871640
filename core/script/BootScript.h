#pragma once
// The built-in boot script of the local script peer.

#include <string_view>

namespace morvix {

/// The script that the script binding runs when the application declares no boot script of its
/// own. ASCII text. Evaluated, it sets the global "morvix" to an object with:
///  - `Module`: modules with an id (a path relative to the server URL), a parent, a cache shared
///    with the root module and `exports` computed on first read. A module's loader is called with
///    (module, exports, require, file name, directory name), the names being the module's path
///    and directory without their first character; a JSON file's value is its exports.
///  - `require(name)`: the name's percent escapes are undone once (a malformed escape is not
///    found); then a name beginning with "." is resolved against the requiring module's
///    directory; any other name is taken from the cache by exact (undecoded) name, or searched
///    in the "node_modules" directories from the requiring module's directory upwards. Each
///    path is normalised, then tried with the suffixes "", ".js", ".json", "/package.json"
///    (leading to its "main", decoded the same way), "/index.js" and "/index.json" (only the
///    last three for a name ending with "/"). A path that climbs above its start, the
///    application folder, is not found. Module ids are decoded paths; the bridge gets them
///    escaped again, segment by segment. Misses are cached. Failures throw "Cannot find
///    module '<name>'", "Could not parse <path>" (JSON) or "Could not parse <path>:<error>".
///  - `_start(bridge)`: loads the "morvix" script library from "./node_modules/morvix", checks
///    its version against the "morvixJsVersion" of "morvix.App" (parts compared as numbers when
///    both are whole numbers), defines `_defineModule(id, loader)`, runs the library's `_init`,
///    runs the main module ("./", through the library's `_entryPoint` when it has one) and
///    triggers "flush" through the library's `trigger`.
///  - `_notify(id, event, attributes)`: hands each event to the `_notify` the library installs
///    in its place; does nothing until then.
std::string_view builtInBootScript();

} // namespace morvix
