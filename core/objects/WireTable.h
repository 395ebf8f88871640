#pragma once
// The per-class table of what a remote-object class says on the wire beyond its properties.

#include "core/base/WireDeclarations.h"
#include "platform/foundation/Value.h"

#include <span>
#include <vector>

namespace morvix {

/// The declarations a class adds to its base's: the events and calls it sends, the properties it
/// reports, the style words it reads and (for a class that picks its kind at creation) the
/// creation variants. The declarations themselves live beside the code that uses them; the table
/// only points at them, so each must have static storage. Built once, in a function-local static
/// of each class's `wire()`:
///
///     const WireTable& TextInput::wire()
///     {
///         static const WireTable table = WireTable::extend(Control::wire()).event(kModifyEvent);
///         return table;
///     }
///
/// A class may declare an event name, a reported property or a style word its base declares
/// too: docs/types.md shows the nearest declaration in place of the base's (all of a name's
/// events at once). Immutable once built; any thread.
class WireTable {
public:
    class Builder;

    /// A table with no base.
    static Builder create();
    /// A table chained to `base`, which must outlive it (a class's static table does).
    static Builder extend(const WireTable& base);
    /// The table of a class that declares nothing.
    static const WireTable& empty();

    const WireTable* base() const { return m_base; }
    const std::vector<const EventDeclaration*>& ownEvents() const { return m_events; }
    const std::vector<const ReportDeclaration*>& ownReports() const { return m_reports; }
    const std::vector<const StyleDeclaration*>& ownStyles() const { return m_styles; }
    /// The variants this class's factory picks from; its base's are not inherited.
    const std::vector<const CreationVariant*>& variants() const { return m_variants; }
    /// The creation properties that make a variant's kind: {"style": [value]} for a style word,
    /// {property: value} otherwise, {} for the variant with an empty value.
    static platform::Value creationProperties(const CreationVariant& variant);

private:
    explicit WireTable(const WireTable* base) : m_base(base) { }

    const WireTable* m_base = nullptr;
    std::vector<const EventDeclaration*> m_events;
    std::vector<const ReportDeclaration*> m_reports;
    std::vector<const StyleDeclaration*> m_styles;
    std::vector<const CreationVariant*> m_variants;
};

class WireTable::Builder {
public:
    explicit Builder(const WireTable* base) : m_table(base) { }

    operator WireTable() const { return m_table; }

    Builder& event(const EventDeclaration& declaration)
    {
        m_table.m_events.push_back(&declaration);
        return *this;
    }
    Builder& events(std::span<const EventDeclaration* const> declarations)
    {
        m_table.m_events.insert(m_table.m_events.end(), declarations.begin(), declarations.end());
        return *this;
    }
    Builder& report(const ReportDeclaration& declaration)
    {
        m_table.m_reports.push_back(&declaration);
        return *this;
    }
    Builder& style(const StyleDeclaration& declaration)
    {
        m_table.m_styles.push_back(&declaration);
        return *this;
    }
    Builder& variant(const CreationVariant& declaration)
    {
        m_table.m_variants.push_back(&declaration);
        return *this;
    }

private:
    WireTable m_table;
};

} // namespace morvix
