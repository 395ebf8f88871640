#pragma once
// Adds the classes of the widget modules to the process-wide type table.

namespace morvix {

/// Adds every remote-object class of the widget modules (widgets, shell, controls, containers,
/// lists, services) to `WidgetRegistry::instance()`, widgets first, then native-access objects,
/// then services. The core library cannot name these classes, since it is built below them, so an
/// application calls this once before it creates its first session; a create of a type that is
/// not in the table is logged and skipped. Calling it again does no harm: each row replaces the
/// same row.
///
/// Thread safety: any thread, like the table itself.
void registerWidgetTypes();

} // namespace morvix
