#pragma once
// The library's type table: every remote-object class, added to the process-wide registry.

namespace morvix {

/// Adds every remote-object class of the library (widgets, the application frame, services) to
/// `WidgetRegistry::instance()`, widgets first, then native-access objects, then services with
/// the session's server push first, and installs the frame, patch and URL hooks the session calls.
/// It stands above every other folder, so that no folder below has to name the classes above it;
/// an application calls it once before it creates its first session (`library/Morvix.h` brings
/// it). A create of a type that is not in the table is logged and skipped. Calling it again does
/// no harm: each row replaces the same row.
///
/// Thread safety: any thread, like the table itself.
void registerRemoteTypes();

} // namespace morvix
