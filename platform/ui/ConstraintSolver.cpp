#include "platform/ui/ConstraintSolver.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <set>
#include <unordered_map>
#include <vector>

namespace morvix::platform {

namespace {

constexpr double kEpsilon = 1e-8;
bool nearZero(double value) { return std::fabs(value) < kEpsilon; }

// A symbol is a 64-bit key: a running number shifted left by three, with its kind in the low
// bits. Ordering keys orders symbols by creation, which the pivot rules use to stay
// deterministic and to avoid cycling.
// The marker of a required equality is a dummy: never pivoted, always 0. A folding dummy is one
// the tableau may fold into its rows once it has spread over many of them.
enum class Kind : std::uint64_t { Invalid = 0, External = 1, Slack = 2, Error = 3, Dummy = 4, FoldingDummy = 5 };
using Key = std::uint64_t;
Kind kindOf(Key key) { return static_cast<Kind>(key & 7); }
bool isPivotable(Key key) { return kindOf(key) == Kind::Slack || kindOf(key) == Kind::Error; }
bool isDummy(Key key) { return kindOf(key) == Kind::Dummy || kindOf(key) == Kind::FoldingDummy; }

// The number of rows a folding dummy may reach before it is folded. Rows then hold at most about
// this many dummies of a chain (those of its last links), instead of one per link.
constexpr std::size_t kFoldingSpread = 32;

// One term of a tableau row. Rows keep their cells sorted by symbol, so that merging two rows is
// one pass over both and the pivot rules see symbols in creation order.
struct Cell {
    Key symbol;
    double coefficient;
};

// A slot in the tableau's row table; rows are named by slot so that a pivot, which changes a row's
// basic symbol, leaves the column lists that point at the row valid.
using Slot = std::uint32_t;
constexpr Slot kNoSlot = std::numeric_limits<Slot>::max();

} // namespace

// ---- Expressions ----

ConstraintSolver::Expression& ConstraintSolver::Expression::add(const Expression& other, double factor)
{
    for (const auto& term : other.terms)
        terms.push_back({ term.variable, term.coefficient * factor });
    constant += other.constant * factor;
    return *this;
}

ConstraintSolver::Expression& ConstraintSolver::Expression::add(Variable variable, double coefficient)
{
    terms.push_back({ variable, coefficient });
    return *this;
}

ConstraintSolver::Expression ConstraintSolver::Expression::operator*(double factor) const
{
    Expression result;
    result.add(*this, factor);
    return result;
}

ConstraintSolver::Expression ConstraintSolver::Expression::normalized() const
{
    // Expressions are short: an insertion sort keeps equal variables in their order of appearance,
    // so that each merged coefficient is summed in the order the terms were written.
    std::vector<Term> sorted = terms;
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        for (std::size_t j = i; j > 0 && sorted[j].variable.id < sorted[j - 1].variable.id; --j)
            std::swap(sorted[j], sorted[j - 1]);
    }
    Expression result(constant);
    result.terms.reserve(sorted.size());
    for (std::size_t i = 0; i < sorted.size();) {
        Variable variable = sorted[i].variable;
        double coefficient = 0;
        for (; i < sorted.size() && sorted[i].variable == variable; ++i)
            coefficient += sorted[i].coefficient;
        if (!nearZero(coefficient))
            result.terms.push_back({ variable, coefficient });
    }
    return result;
}

bool ConstraintSolver::Expression::operator==(const Expression& other) const
{
    if (constant != other.constant || terms.size() != other.terms.size())
        return false;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (terms[i].variable != other.terms[i].variable || terms[i].coefficient != other.terms[i].coefficient)
            return false;
    }
    return true;
}

bool ConstraintSolver::Constraint::operator==(const Constraint& other) const
{
    return relation == other.relation && weight == other.weight && lhs == other.lhs && rhs == other.rhs;
}

// ---- Tableau ----

struct ConstraintSolver::Row {
    Key basic = 0; // the row's basic symbol; 0 for a row outside the table or a free slot
    double constant = 0;
    std::vector<Cell> cells; // sorted by symbol, no zero coefficients

    std::vector<Cell>::const_iterator findCell(Key symbol) const
    {
        auto found = std::lower_bound(cells.begin(), cells.end(), symbol, [](const Cell& cell, Key key) { return cell.symbol < key; });
        return found != cells.end() && found->symbol == symbol ? found : cells.end();
    }
    double coefficientFor(Key symbol) const
    {
        auto found = findCell(symbol);
        return found == cells.end() ? 0.0 : found->coefficient;
    }
    bool contains(Key symbol) const { return findCell(symbol) != cells.end(); }
    void erase(Key symbol)
    {
        auto found = findCell(symbol);
        if (found != cells.end())
            cells.erase(found);
    }
    void insert(Key symbol, double coefficient)
    {
        auto found = std::lower_bound(cells.begin(), cells.end(), symbol, [](const Cell& cell, Key key) { return cell.symbol < key; });
        if (found == cells.end() || found->symbol != symbol)
            found = cells.insert(found, Cell { symbol, 0.0 });
        found->coefficient += coefficient;
        if (nearZero(found->coefficient))
            cells.erase(found);
    }
    void reverseSign()
    {
        constant = -constant;
        for (auto& cell : cells)
            cell.coefficient = -cell.coefficient;
    }
    // Solves "0 = this" for `symbol`, which must be in the row.
    void solveFor(Key symbol)
    {
        auto found = findCell(symbol);
        assert(found != cells.end() && "symbol not in the row");
        double coefficient = -1.0 / found->coefficient;
        cells.erase(found);
        constant *= coefficient;
        for (auto& cell : cells)
            cell.coefficient *= coefficient;
    }
    // Solves "lhs = this" for `rhs`.
    void solveFor(Key lhs, Key rhs)
    {
        insert(lhs, -1.0);
        solveFor(rhs);
    }
};

// The rows of the tableau, kept in slots, with a column list per parametric symbol: the slots of
// the rows that may hold it. A pivot then visits only the rows that mention the entering symbol
// instead of every row. Column lists are kept lazily: a row that gains a symbol is added to the
// symbol's list at once, but a row that loses one is only dropped from the list when the list is
// next read (or grows to twice its last clean length).
struct ConstraintSolver::Tableau {
    struct Column {
        std::vector<Slot> slots;
        std::size_t cleanSize = 0;
        bool folding = false; // queued in `foldings`
    };

    // The objective: the weighted errors of every preference, so it grows with the system while
    // a pivot changes only a few of its cells. Kept as a hash map, with the symbols that could
    // enter the basis (not dummies, negative coefficient) in order beside it, so that a pivot
    // costs the size of the rows it touches, not the size of the objective.
    struct Objective {
        std::unordered_map<Key, double> cells;
        std::set<Key> entering;

        double coefficientFor(Key symbol) const
        {
            auto found = cells.find(symbol);
            return found == cells.end() ? 0.0 : found->second;
        }
        void insert(Key symbol, double coefficient)
        {
            auto [found, added] = cells.try_emplace(symbol, 0.0);
            found->second += coefficient;
            if (nearZero(found->second)) {
                cells.erase(found);
                entering.erase(symbol);
            } else if (found->second < 0 && !isDummy(symbol)) {
                entering.insert(symbol);
            } else {
                entering.erase(symbol);
            }
        }
        void erase(Key symbol)
        {
            cells.erase(symbol);
            entering.erase(symbol);
        }
        void add(const Row& source, double factor)
        {
            for (const auto& cell : source.cells)
                insert(cell.symbol, cell.coefficient * factor);
        }
        // The symbol to enter first: the oldest that lowers the objective.
        Key firstEntering() const { return entering.empty() ? 0 : *entering.begin(); }
    };

    std::vector<Row> slots;
    std::vector<Slot> freeSlots;
    std::unordered_map<Key, Slot> basics; // basic symbol -> slot of its row
    std::unordered_map<Key, Column> columns;
    std::unordered_map<std::uint32_t, Key> externals;
    Objective objective;
    std::unique_ptr<Row> artificial;
    std::uint64_t nextSymbol = 1;
    std::vector<Cell> scratch; // reused by every row merge
    std::vector<Slot> holders; // reused by every substitution
    std::vector<Key> foldings; // folding dummies that spread too far, folded after the operation

    Key makeSymbol(Kind kind) { return (nextSymbol++ << 3) | static_cast<Key>(kind); }

    Key externalFor(Variable variable)
    {
        auto [found, added] = externals.try_emplace(variable.id, 0);
        if (added)
            found->second = makeSymbol(Kind::External);
        return found->second;
    }

    const Row* rowFor(Key basic) const
    {
        auto found = basics.find(basic);
        return found == basics.end() ? nullptr : &slots[found->second];
    }

    void noteCell(Key symbol, Slot slot)
    {
        Column& column = columns[symbol];
        // Cleaned before the slot is added: the row may not hold the symbol yet (a merge notes its
        // new cells as it goes).
        if (column.slots.size() >= 2 * column.cleanSize + 16) {
            clean(symbol, column);
            if (kindOf(symbol) == Kind::FoldingDummy && column.cleanSize >= kFoldingSpread && !column.folding) {
                column.folding = true;
                foldings.push_back(symbol);
            }
        }
        column.slots.push_back(slot);
    }

    // Folds the queued dummies into their rows: each is fixed at 0 for good, so its cells go.
    // Only between operations: a fold in the middle of a pivot would change rows being merged.
    void fold()
    {
        for (Key symbol : foldings) {
            auto found = columns.find(symbol);
            if (found != columns.end()) {
                clean(symbol, found->second);
                for (Slot slot : found->second.slots) {
                    Row& row = slots[slot];
                    row.erase(symbol);
                    row.cells.shrink_to_fit();
                }
                columns.erase(found);
            }
            objective.erase(symbol);
        }
        foldings.clear();
    }

    void clean(Key symbol, Column& column)
    {
        auto& list = column.slots;
        // The first cleanSize slots are sorted and unique already.
        auto tail = list.begin() + static_cast<std::ptrdiff_t>(std::min(column.cleanSize, list.size()));
        std::sort(tail, list.end());
        std::inplace_merge(list.begin(), tail, list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        list.erase(std::remove_if(list.begin(), list.end(),
                       [&](Slot slot) { return !slots[slot].basic || !slots[slot].contains(symbol); }),
            list.end());
        column.cleanSize = list.size();
    }

    // The slots of the rows that hold `symbol`, each once.
    const std::vector<Slot>& rowsHolding(Key symbol)
    {
        static const std::vector<Slot> none;
        auto found = columns.find(symbol);
        if (found == columns.end())
            return none;
        clean(symbol, found->second);
        return found->second.slots;
    }

    // Forgets the column of a symbol that no row holds any more.
    void dropColumnIfUnused(Key symbol)
    {
        if (rowsHolding(symbol).empty())
            columns.erase(symbol);
    }

    void insertRow(Key basic, Row&& row)
    {
        Slot slot;
        if (!freeSlots.empty()) {
            slot = freeSlots.back();
            freeSlots.pop_back();
        } else {
            slot = static_cast<Slot>(slots.size());
            slots.emplace_back();
        }
        Row& placed = slots[slot];
        placed = std::move(row);
        // A new row was built up cell by cell and most rows stay as they are placed: it keeps
        // only the room it needs.
        placed.cells.shrink_to_fit();
        placed.basic = basic;
        basics.emplace(basic, slot);
        for (const auto& cell : placed.cells)
            noteCell(cell.symbol, slot);
    }

    // Takes the row of `basic` out of the table; its slot is free afterwards.
    Row takeRow(Key basic)
    {
        auto found = basics.find(basic);
        assert(found != basics.end() && "no row for the symbol");
        Slot slot = found->second;
        basics.erase(found);
        Row row = std::move(slots[slot]);
        slots[slot] = Row {};
        row.basic = 0;
        freeSlots.push_back(slot);
        return row;
    }

    // target += source * factor, in one merge of the two sorted rows. `slot` is the target's slot,
    // or kNoSlot for a row outside the table.
    void addRow(Row& target, Slot slot, const Row& source, double factor)
    {
        target.constant += source.constant * factor;
        scratch.clear();
        scratch.reserve(target.cells.size() + source.cells.size());
        auto a = target.cells.begin();
        auto aEnd = target.cells.end();
        auto b = source.cells.begin();
        auto bEnd = source.cells.end();
        while (a != aEnd || b != bEnd) {
            if (b == bEnd || (a != aEnd && a->symbol < b->symbol)) {
                scratch.push_back(*a++);
                continue;
            }
            if (a == aEnd || b->symbol < a->symbol) {
                double value = b->coefficient * factor;
                if (!nearZero(value)) {
                    scratch.push_back({ b->symbol, value });
                    if (slot != kNoSlot)
                        noteCell(b->symbol, slot);
                }
                ++b;
                continue;
            }
            double value = a->coefficient + b->coefficient * factor;
            if (!nearZero(value))
                scratch.push_back({ a->symbol, value });
            ++a;
            ++b;
        }
        // Copied rather than swapped in: the scratch buffer is as large as the largest merge so
        // far, and every row that took it over would keep that much. A row that shrank to well
        // below what it holds room for gets a buffer of its size.
        if (target.cells.capacity() > 2 * scratch.size() + 4)
            target.cells = std::vector<Cell>(scratch.begin(), scratch.end());
        else
            target.cells.assign(scratch.begin(), scratch.end());
    }

    // Replaces `symbol` in `target` by `row`.
    void substituteIn(Row& target, Slot slot, Key symbol, const Row& row)
    {
        auto found = target.findCell(symbol);
        if (found == target.cells.end())
            return;
        double coefficient = found->coefficient;
        target.cells.erase(found);
        addRow(target, slot, row, coefficient);
    }

    Row createRow(const Kept& constraint, Tag& tag)
    {
        const Expression& expression = constraint.expression;
        Row row;
        row.constant = expression.constant;
        for (const auto& term : expression.terms) {
            Key symbol = externalFor(term.variable);
            if (const Row* basic = rowFor(symbol))
                addRow(row, kNoSlot, *basic, term.coefficient);
            else
                row.insert(symbol, term.coefficient);
        }
        bool required = constraint.weight >= kRequired;
        switch (constraint.relation) {
        case Relation::LessOrEqual:
        case Relation::GreaterOrEqual: {
            double coefficient = constraint.relation == Relation::LessOrEqual ? 1.0 : -1.0;
            tag.marker = makeSymbol(Kind::Slack);
            row.insert(tag.marker, coefficient);
            if (!required) {
                tag.other = makeSymbol(Kind::Error);
                row.insert(tag.other, -coefficient);
                objective.insert(tag.other, constraint.weight);
            }
            break;
        }
        case Relation::Equal:
            if (required) {
                tag.marker = makeSymbol(constraint.tracking == Tracking::Folding ? Kind::FoldingDummy : Kind::Dummy);
                row.insert(tag.marker, 1.0);
            } else {
                tag.marker = makeSymbol(Kind::Error);
                tag.other = makeSymbol(Kind::Error);
                row.insert(tag.marker, -1.0);
                row.insert(tag.other, 1.0);
                objective.insert(tag.marker, constraint.weight);
                objective.insert(tag.other, constraint.weight);
            }
            break;
        }
        if (row.constant < 0)
            row.reverseSign();
        return row;
    }

    Key chooseSubject(const Row& row, const Tag& tag) const
    {
        for (const auto& cell : row.cells) {
            if (kindOf(cell.symbol) == Kind::External)
                return cell.symbol;
        }
        if (isPivotable(tag.marker) && row.coefficientFor(tag.marker) < 0)
            return tag.marker;
        if (tag.other && isPivotable(tag.other) && row.coefficientFor(tag.other) < 0)
            return tag.other;
        // Any other symbol that only external rows hold is as safe as a marker of the row's own:
        // solved for it the row keeps its value non-negative, and no row whose basic symbol must
        // stay non-negative changes. Without it, a view attached to the end of a chain that
        // nothing else places would move the whole chain, one pivot per view, and then back.
        for (const auto& cell : row.cells) {
            if (cell.coefficient < 0 && isPivotable(cell.symbol) && onlyExternalRowsHold(cell.symbol))
                return cell.symbol;
        }
        return 0;
    }

    bool onlyExternalRowsHold(Key symbol) const
    {
        auto found = columns.find(symbol);
        if (found == columns.end())
            return true;
        return std::none_of(found->second.slots.begin(), found->second.slots.end(), [&](Slot slot) {
            const Row& holder = slots[slot];
            return holder.basic && kindOf(holder.basic) != Kind::External && holder.contains(symbol);
        });
    }

    static bool allDummies(const Row& row)
    {
        return std::all_of(row.cells.begin(), row.cells.end(), [](const Cell& cell) { return isDummy(cell.symbol); });
    }

    // Replaces `symbol` by `row` in every row of the table, the objective and the artificial row;
    // `symbol` is basic (or gone) afterwards, so its column goes.
    void substitute(Key symbol, const Row& row)
    {
        auto found = columns.find(symbol);
        if (found != columns.end()) {
            clean(symbol, found->second);
            holders.swap(found->second.slots);
            columns.erase(found);
            for (Slot slot : holders)
                substituteIn(slots[slot], slot, symbol, row);
            holders.clear();
        }
        if (double coefficient = objective.coefficientFor(symbol)) {
            objective.erase(symbol);
            objective.add(row, coefficient);
        }
        if (artificial)
            substituteIn(*artificial, kNoSlot, symbol, row);
    }

    void pivot(Key leaving, Key entering)
    {
        auto found = basics.find(leaving);
        assert(found != basics.end() && "leaving symbol is not basic");
        Slot slot = found->second;
        basics.erase(found);
        Row& row = slots[slot];
        row.solveFor(leaving, entering);
        noteCell(leaving, slot);
        // The row no longer holds `entering`, so the substitution leaves it alone.
        substitute(entering, row);
        row.basic = entering;
        basics.emplace(entering, slot);
    }

    static Key firstEntering(const Row& row)
    {
        for (const auto& cell : row.cells) {
            if (!isDummy(cell.symbol) && cell.coefficient < 0)
                return cell.symbol;
        }
        return 0;
    }
    static Key firstEntering(const Objective& objective) { return objective.firstEntering(); }

    // Primal simplex: pivots until no symbol in `target` can lower it further. The oldest symbol
    // that lowers it enters; among rows of equal ratio the one whose basic symbol is oldest
    // leaves, which keeps the result deterministic.
    template<typename Target>
    void optimize(const Target& target)
    {
        for (;;) {
            Key entering = firstEntering(target);
            if (!entering)
                return;
            Key leaving = 0;
            double ratio = std::numeric_limits<double>::max();
            for (Slot slot : rowsHolding(entering)) {
                const Row& row = slots[slot];
                if (kindOf(row.basic) == Kind::External)
                    continue;
                double coefficient = row.coefficientFor(entering);
                if (coefficient < 0) {
                    double candidate = -row.constant / coefficient;
                    if (candidate < ratio || (candidate == ratio && leaving && row.basic < leaving)) {
                        ratio = candidate;
                        leaving = row.basic;
                    }
                }
            }
            // The objective is a sum of non-negative errors, so it is bounded below.
            assert(leaving && "constraint objective is unbounded");
            if (!leaving)
                return;
            pivot(leaving, entering);
        }
    }

    bool addWithArtificialVariable(const Row& row)
    {
        Key art = makeSymbol(Kind::Slack);
        insertRow(art, Row(row));
        artificial = std::make_unique<Row>(row);
        optimize(*artificial);
        bool success = nearZero(artificial->constant);
        artificial.reset();
        if (basics.count(art)) {
            Row artRow = takeRow(art);
            if (!artRow.cells.empty()) {
                Key entering = 0;
                for (const auto& cell : artRow.cells) {
                    if (isPivotable(cell.symbol)) {
                        entering = cell.symbol;
                        break;
                    }
                }
                if (!entering)
                    return false;
                artRow.solveFor(art, entering);
                substitute(entering, artRow);
                insertRow(entering, std::move(artRow));
            }
        }
        auto found = columns.find(art);
        if (found != columns.end()) {
            clean(art, found->second);
            for (Slot slot : found->second.slots)
                slots[slot].erase(art);
            columns.erase(found);
        }
        objective.erase(art);
        return success;
    }

    void removeMarkerEffects(Key marker, double weight)
    {
        if (const Row* row = rowFor(marker))
            objective.add(*row, -weight);
        else
            objective.insert(marker, -weight);
    }

    // The row to pivot `marker` into when its constraint goes: the most restricting row where the
    // marker lowers the basic symbol, else the one where it raises it, else an external row. Ties
    // go the way a walk over the rows in symbol order would take them.
    Key markerLeavingRow(Key marker)
    {
        double ratio1 = std::numeric_limits<double>::max();
        double ratio2 = ratio1;
        Key first = 0, second = 0, third = 0;
        for (Slot slot : rowsHolding(marker)) {
            const Row& row = slots[slot];
            double coefficient = row.coefficientFor(marker);
            if (coefficient == 0)
                continue;
            if (kindOf(row.basic) == Kind::External) {
                third = std::max(third, row.basic);
            } else if (coefficient < 0) {
                double ratio = -row.constant / coefficient;
                if (ratio < ratio1 || (ratio == ratio1 && first && row.basic < first)) {
                    ratio1 = ratio;
                    first = row.basic;
                }
            } else {
                double ratio = row.constant / coefficient;
                if (ratio < ratio2 || (ratio == ratio2 && second && row.basic < second)) {
                    ratio2 = ratio;
                    second = row.basic;
                }
            }
        }
        return first ? first : second ? second : third;
    }
};

// ---- Solver ----

ConstraintSolver::ConstraintSolver()
    : m_tableau(std::make_unique<Tableau>())
{
}

ConstraintSolver::~ConstraintSolver() = default;

ConstraintSolver::Variable ConstraintSolver::newVariable(std::string name)
{
    m_valuesValid = false;
    if (!m_freeIds.empty()) {
        std::uint32_t id = m_freeIds.back();
        m_freeIds.pop_back();
        m_names[id - 1] = std::move(name);
        m_live[id - 1] = true;
        return Variable { id };
    }
    m_names.push_back(std::move(name));
    m_uses.push_back(0);
    m_live.push_back(true);
    return Variable { static_cast<std::uint32_t>(m_names.size()) };
}

void ConstraintSolver::releaseVariable(Variable variable)
{
    if (!isLive(variable) || m_uses[variable.id - 1] != 0)
        return;
    Tableau& t = *m_tableau;
    auto external = t.externals.find(variable.id);
    if (external != t.externals.end()) {
        // No constraint mentions the variable, so no other row or the objective holds its symbol:
        // its own row, if it has one, only defines it and can go.
        Key symbol = external->second;
        if (t.rowFor(symbol))
            t.takeRow(symbol);
        t.dropColumnIfUnused(symbol);
        t.externals.erase(external);
    }
    m_names[variable.id - 1] = {};
    m_live[variable.id - 1] = false;
    m_freeIds.push_back(variable.id);
    m_valuesValid = false;
}

void ConstraintSolver::countUses(const Expression& expression, bool adding)
{
    for (const auto& term : expression.terms) {
        if (term.variable.id < 1 || term.variable.id > m_uses.size())
            continue;
        if (adding)
            ++m_uses[term.variable.id - 1];
        else
            --m_uses[term.variable.id - 1];
    }
}

const std::string& ConstraintSolver::name(Variable variable) const
{
    static const std::string unknown;
    return variable.id >= 1 && variable.id <= m_names.size() ? m_names[variable.id - 1] : unknown;
}

double ConstraintSolver::value(Variable variable) const
{
    refreshValues();
    return variable.id >= 1 && variable.id <= m_values.size() ? m_values[variable.id - 1] : 0.0;
}

void ConstraintSolver::refreshValues() const
{
    if (m_valuesValid)
        return;
    // The solution is a cache of the constraints: building the tableau again for a folded
    // constraint that went changes no constraint the caller sees.
    const_cast<ConstraintSolver*>(this)->rebuildIfStale();
    m_values.assign(m_names.size(), 0.0);
    for (const auto& [id, symbol] : m_tableau->externals) {
        const Row* row = m_tableau->rowFor(symbol);
        if (row && id >= 1 && id <= m_values.size())
            m_values[id - 1] = row->constant;
    }
    m_valuesValid = true;
}

ConstraintSolver::ConstraintId ConstraintSolver::add(const Constraint& constraint, Tracking tracking)
{
    rebuildIfStale();
    ConstraintId id = m_nextId++;
    m_valuesValid = false;
    Kept kept { (constraint.lhs - constraint.rhs).normalized(), constraint.weight, constraint.relation, tracking, {} };
    if (insert(kept)) {
        countUses(kept.expression, true);
        kept.expression.terms.shrink_to_fit();
        m_constraints.emplace(id, std::move(kept));
        return id;
    }
    // A failed attempt may leave the tableau holding parts of the rejected row, so it is rebuilt
    // from the constraints that were accepted. This only happens for conflicting required
    // constraints, which are rare.
    rebuildWithout(id);
    return 0;
}

bool ConstraintSolver::insert(Kept& kept)
{
    Tableau& t = *m_tableau;
    Tag tag;
    Row row = t.createRow(kept, tag);
    Key subject = t.chooseSubject(row, tag);
    if (!subject && Tableau::allDummies(row)) {
        if (!nearZero(row.constant))
            return false;
        subject = tag.marker;
    }
    if (!subject) {
        if (!t.addWithArtificialVariable(row))
            return false;
    } else {
        row.solveFor(subject);
        t.substitute(subject, row);
        t.insertRow(subject, std::move(row));
    }
    kept.tag = tag;
    t.optimize(t.objective);
    t.fold();
    return true;
}

void ConstraintSolver::rebuildIfStale()
{
    if (m_stale)
        rebuildWithout(0);
}

void ConstraintSolver::rebuildWithout(ConstraintId failed)
{
    m_stale = false;
    m_tableau = std::make_unique<Tableau>();
    std::vector<ConstraintId> lost;
    for (auto& [id, kept] : m_constraints) {
        if (id == failed)
            continue;
        // A constraint accepted before fails again only when rounding made it conflict; it is
        // dropped rather than left half in the tableau.
        if (!insert(kept))
            lost.push_back(id);
    }
    for (ConstraintId id : lost) {
        countUses(m_constraints.at(id).expression, false);
        m_constraints.erase(id);
    }
    if (!lost.empty())
        rebuildWithout(0);
    m_valuesValid = false;
}

void ConstraintSolver::remove(ConstraintId id)
{
    auto constraint = m_constraints.find(id);
    if (constraint == m_constraints.end())
        return;
    double weight = constraint->second.weight;
    Tag tag = constraint->second.tag;
    countUses(constraint->second.expression, false);
    m_constraints.erase(constraint);
    m_valuesValid = false;
    // A rebuild is due anyway, and it goes by the constraints alone.
    if (m_stale)
        return;
    Tableau& t = *m_tableau;

    if (kindOf(tag.marker) == Kind::Error)
        t.removeMarkerEffects(tag.marker, weight);
    if (tag.other && kindOf(tag.other) == Kind::Error)
        t.removeMarkerEffects(tag.other, weight);

    if (t.rowFor(tag.marker)) {
        t.takeRow(tag.marker);
    } else {
        Key leaving = t.markerLeavingRow(tag.marker);
        if (!leaving) {
            // The marker was folded into the rows (or rounding lost it): the tableau no longer
            // stands for the constraints, so it is built again from those that remain, once,
            // when it is next used.
            m_stale = true;
            return;
        }
        Row row = t.takeRow(leaving);
        row.solveFor(leaving, tag.marker);
        t.substitute(tag.marker, row);
    }
    // Only the removed row held the constraint's own symbols.
    t.dropColumnIfUnused(tag.marker);
    if (tag.other)
        t.dropColumnIfUnused(tag.other);
    t.optimize(t.objective);
    t.fold();
}

std::optional<ConstraintSolver::Constraint> ConstraintSolver::constraint(ConstraintId id) const
{
    auto found = m_constraints.find(id);
    if (found == m_constraints.end())
        return std::nullopt;
    const Kept& kept = found->second;
    return Constraint { kept.expression, kept.relation, {}, kept.weight };
}

namespace {

// Whether the expression is in normalized form already: terms in increasing variable order, each
// variable once, no zero coefficient.
bool isNormalized(const ConstraintSolver::Expression& expression)
{
    for (std::size_t i = 0; i < expression.terms.size(); ++i) {
        if (nearZero(expression.terms[i].coefficient))
            return false;
        if (i && !(expression.terms[i - 1].variable.id < expression.terms[i].variable.id))
            return false;
    }
    return true;
}

} // namespace

bool ConstraintSolver::holds(ConstraintId id, const Constraint& constraint) const
{
    auto found = m_constraints.find(id);
    if (found == m_constraints.end())
        return false;
    const Kept& kept = found->second;
    if (kept.relation != constraint.relation || kept.weight != constraint.weight)
        return false;
    if (constraint.rhs.terms.empty() && constraint.rhs.constant == 0 && isNormalized(constraint.lhs))
        return kept.expression == constraint.lhs;
    return kept.expression == (constraint.lhs - constraint.rhs).normalized();
}

void ConstraintSolver::clear()
{
    m_tableau = std::make_unique<Tableau>();
    m_constraints.clear();
    m_stale = false;
    std::fill(m_uses.begin(), m_uses.end(), 0);
    m_valuesValid = false;
}

std::size_t ConstraintSolver::tableauSize() const
{
    const_cast<ConstraintSolver*>(this)->rebuildIfStale();
    std::size_t size = m_tableau->objective.cells.size();
    for (const Row& row : m_tableau->slots)
        size += row.cells.size();
    return size;
}

double ConstraintSolver::cost() const
{
    refreshValues();
    double total = 0;
    for (const auto& [id, kept] : m_constraints) {
        if (kept.weight >= kRequired)
            continue;
        double difference = kept.expression.constant;
        for (const auto& term : kept.expression.terms)
            difference += term.coefficient * value(term.variable);
        double violation = 0;
        switch (kept.relation) {
        case Relation::Equal:
            violation = std::fabs(difference);
            break;
        case Relation::LessOrEqual:
            violation = std::max(0.0, difference);
            break;
        case Relation::GreaterOrEqual:
            violation = std::max(0.0, -difference);
            break;
        }
        total += violation * kept.weight;
    }
    return total;
}

} // namespace morvix::platform
