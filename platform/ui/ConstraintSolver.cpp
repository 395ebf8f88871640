#include "platform/ui/ConstraintSolver.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace morvix::platform {

namespace {

constexpr double kEpsilon = 1e-8;
bool nearZero(double value) { return std::fabs(value) < kEpsilon; }

// A symbol is a 64-bit key: a running number shifted left by three, with its kind in the low
// bits. Ordering keys orders symbols by creation, which the pivot rules use to stay
// deterministic and to avoid cycling.
enum class Kind : std::uint64_t { Invalid = 0, External = 1, Slack = 2, Error = 3, Dummy = 4 };
using Key = std::uint64_t;
Kind kindOf(Key key) { return static_cast<Kind>(key & 7); }
bool isPivotable(Key key) { return kindOf(key) == Kind::Slack || kindOf(key) == Kind::Error; }

// A map kept as a vector sorted by key: the same ordered iteration as std::map, without a node
// per entry. Rows are short and walked far more often than changed, so this is what the
// tableau's rows and cells are kept in.
template<typename Value>
class FlatMap {
public:
    using Entry = std::pair<Key, Value>;
    using iterator = typename std::vector<Entry>::iterator;
    using const_iterator = typename std::vector<Entry>::const_iterator;

    iterator begin() { return m_entries.begin(); }
    iterator end() { return m_entries.end(); }
    const_iterator begin() const { return m_entries.begin(); }
    const_iterator end() const { return m_entries.end(); }
    bool empty() const { return m_entries.empty(); }

    iterator find(Key key)
    {
        auto found = lowerBound(key);
        return found != m_entries.end() && found->first == key ? found : m_entries.end();
    }
    const_iterator find(Key key) const
    {
        auto found = std::lower_bound(m_entries.begin(), m_entries.end(), key, [](const Entry& entry, Key k) { return entry.first < k; });
        return found != m_entries.end() && found->first == key ? found : m_entries.end();
    }
    std::size_t count(Key key) const { return find(key) != end() ? 1 : 0; }
    Value& operator[](Key key)
    {
        auto found = lowerBound(key);
        if (found == m_entries.end() || found->first != key)
            found = m_entries.insert(found, Entry { key, Value {} });
        return found->second;
    }
    Value& at(Key key)
    {
        auto found = find(key);
        assert(found != m_entries.end() && "key not in the map");
        return found->second;
    }
    void emplace(Key key, Value value) { (*this)[key] = std::move(value); }
    iterator erase(iterator position) { return m_entries.erase(position); }
    void erase(Key key)
    {
        auto found = find(key);
        if (found != m_entries.end())
            m_entries.erase(found);
    }
    /// Removes the entry of `key` and hands its value over; `key` must be present.
    Value take(Key key)
    {
        auto found = find(key);
        assert(found != m_entries.end() && "key not in the map");
        Value value = std::move(found->second);
        m_entries.erase(found);
        return value;
    }

private:
    iterator lowerBound(Key key)
    {
        return std::lower_bound(m_entries.begin(), m_entries.end(), key, [](const Entry& entry, Key k) { return entry.first < k; });
    }
    std::vector<Entry> m_entries;
};

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
    std::map<std::uint32_t, double> merged;
    for (const auto& term : terms)
        merged[term.variable.id] += term.coefficient;
    Expression result(constant);
    for (const auto& [id, coefficient] : merged) {
        if (!nearZero(coefficient))
            result.terms.push_back({ Variable { id }, coefficient });
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
    double constant = 0;
    FlatMap<double> cells;

    double coefficientFor(Key symbol) const
    {
        auto found = cells.find(symbol);
        return found == cells.end() ? 0.0 : found->second;
    }
    void insert(Key symbol, double coefficient)
    {
        double& cell = cells[symbol];
        cell += coefficient;
        if (nearZero(cell))
            cells.erase(symbol);
    }
    void insert(const Row& other, double coefficient)
    {
        constant += other.constant * coefficient;
        for (const auto& [symbol, value] : other.cells)
            insert(symbol, value * coefficient);
    }
    void reverseSign()
    {
        constant = -constant;
        for (auto& cell : cells)
            cell.second = -cell.second;
    }
    // Solves "0 = this" for `symbol`, which must be in the row.
    void solveFor(Key symbol)
    {
        double coefficient = -1.0 / cells.at(symbol);
        cells.erase(symbol);
        constant *= coefficient;
        for (auto& cell : cells)
            cell.second *= coefficient;
    }
    // Solves "lhs = this" for `rhs`.
    void solveFor(Key lhs, Key rhs)
    {
        insert(lhs, -1.0);
        solveFor(rhs);
    }
    void substitute(Key symbol, const Row& row)
    {
        auto found = cells.find(symbol);
        if (found == cells.end())
            return;
        double coefficient = found->second;
        cells.erase(found);
        insert(row, coefficient);
    }
};

struct ConstraintSolver::Tag {
    Key marker = 0;
    Key other = 0;
};

struct ConstraintSolver::Tableau {
    FlatMap<Row> rows; // basic symbol -> row
    std::map<ConstraintId, Tag> tags;
    std::unordered_map<std::uint32_t, Key> externals;
    std::vector<Key> infeasible;
    Row objective;
    std::unique_ptr<Row> artificial;
    std::uint64_t nextSymbol = 1;

    Key makeSymbol(Kind kind) { return (nextSymbol++ << 3) | static_cast<Key>(kind); }

    Key externalFor(Variable variable)
    {
        auto found = externals.find(variable.id);
        if (found != externals.end())
            return found->second;
        Key symbol = makeSymbol(Kind::External);
        externals.emplace(variable.id, symbol);
        return symbol;
    }

    Row createRow(const Constraint& constraint, Tag& tag)
    {
        Expression expression = (constraint.lhs - constraint.rhs).normalized();
        Row row;
        row.constant = expression.constant;
        for (const auto& term : expression.terms) {
            Key symbol = externalFor(term.variable);
            auto basic = rows.find(symbol);
            if (basic != rows.end())
                row.insert(basic->second, term.coefficient);
            else
                row.insert(symbol, term.coefficient);
        }
        bool required = constraint.isRequired();
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
                tag.marker = makeSymbol(Kind::Dummy);
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

    static Key chooseSubject(const Row& row, const Tag& tag)
    {
        for (const auto& [symbol, coefficient] : row.cells) {
            if (kindOf(symbol) == Kind::External)
                return symbol;
        }
        if (isPivotable(tag.marker) && row.coefficientFor(tag.marker) < 0)
            return tag.marker;
        if (tag.other && isPivotable(tag.other) && row.coefficientFor(tag.other) < 0)
            return tag.other;
        return 0;
    }

    static bool allDummies(const Row& row)
    {
        return std::all_of(row.cells.begin(), row.cells.end(), [](const auto& cell) { return kindOf(cell.first) == Kind::Dummy; });
    }

    void substitute(Key symbol, const Row& row)
    {
        for (auto& [basic, basicRow] : rows) {
            basicRow.substitute(symbol, row);
            if (kindOf(basic) != Kind::External && basicRow.constant < 0)
                infeasible.push_back(basic);
        }
        objective.substitute(symbol, row);
        if (artificial)
            artificial->substitute(symbol, row);
    }

    void pivot(Key leaving, Key entering)
    {
        Row row = rows.take(leaving);
        row.solveFor(leaving, entering);
        substitute(entering, row);
        rows.emplace(entering, std::move(row));
    }

    // Primal simplex: pivots until no symbol in `target` can lower it further.
    void optimize(const Row& target)
    {
        for (;;) {
            Key entering = 0;
            for (const auto& [symbol, coefficient] : target.cells) {
                if (kindOf(symbol) != Kind::Dummy && coefficient < 0) {
                    entering = symbol;
                    break;
                }
            }
            if (!entering)
                return;
            Key leaving = 0;
            double ratio = std::numeric_limits<double>::max();
            for (const auto& [symbol, row] : rows) {
                if (kindOf(symbol) == Kind::External)
                    continue;
                double coefficient = row.coefficientFor(entering);
                if (coefficient < 0) {
                    double candidate = -row.constant / coefficient;
                    if (candidate < ratio) {
                        ratio = candidate;
                        leaving = symbol;
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

    // Dual simplex: restores feasibility after constants changed.
    void dualOptimize()
    {
        while (!infeasible.empty()) {
            Key leaving = infeasible.back();
            infeasible.pop_back();
            auto found = rows.find(leaving);
            if (found == rows.end() || nearZero(found->second.constant) || found->second.constant >= 0)
                continue;
            Key entering = 0;
            double ratio = std::numeric_limits<double>::max();
            for (const auto& [symbol, coefficient] : found->second.cells) {
                if (coefficient > 0 && kindOf(symbol) != Kind::Dummy) {
                    double candidate = objective.coefficientFor(symbol) / coefficient;
                    if (candidate < ratio) {
                        ratio = candidate;
                        entering = symbol;
                    }
                }
            }
            assert(entering && "dual optimisation failed");
            if (!entering)
                return;
            pivot(leaving, entering);
        }
    }

    bool addWithArtificialVariable(const Row& row)
    {
        Key art = makeSymbol(Kind::Slack);
        rows.emplace(art, row);
        artificial = std::make_unique<Row>(row);
        optimize(*artificial);
        bool success = nearZero(artificial->constant);
        artificial.reset();
        auto found = rows.find(art);
        if (found != rows.end()) {
            Row artRow = rows.take(art);
            if (artRow.cells.empty())
                return success;
            Key entering = 0;
            for (const auto& [symbol, coefficient] : artRow.cells) {
                if (isPivotable(symbol)) {
                    entering = symbol;
                    break;
                }
            }
            if (!entering)
                return false;
            artRow.solveFor(art, entering);
            substitute(entering, artRow);
            rows.emplace(entering, std::move(artRow));
        }
        for (auto& entry : rows)
            entry.second.cells.erase(art);
        objective.cells.erase(art);
        return success;
    }

    void removeMarkerEffects(Key marker, double weight)
    {
        auto found = rows.find(marker);
        if (found != rows.end())
            objective.insert(found->second, -weight);
        else
            objective.insert(marker, -weight);
    }

    Key markerLeavingRow(Key marker) const
    {
        double ratio1 = std::numeric_limits<double>::max();
        double ratio2 = ratio1;
        Key first = 0, second = 0, third = 0;
        for (const auto& [symbol, row] : rows) {
            double coefficient = row.coefficientFor(marker);
            if (coefficient == 0)
                continue;
            if (kindOf(symbol) == Kind::External) {
                third = symbol;
            } else if (coefficient < 0) {
                double ratio = -row.constant / coefficient;
                if (ratio < ratio1) {
                    ratio1 = ratio;
                    first = symbol;
                }
            } else {
                double ratio = row.constant / coefficient;
                if (ratio < ratio2) {
                    ratio2 = ratio;
                    second = symbol;
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
    m_names.push_back(std::move(name));
    m_valuesValid = false;
    return Variable { static_cast<std::uint32_t>(m_names.size()) };
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
    m_values.assign(m_names.size(), 0.0);
    for (const auto& [id, symbol] : m_tableau->externals) {
        auto found = m_tableau->rows.find(symbol);
        if (found != m_tableau->rows.end() && id >= 1 && id <= m_values.size())
            m_values[id - 1] = found->second.constant;
    }
    m_valuesValid = true;
}

ConstraintSolver::ConstraintId ConstraintSolver::add(const Constraint& constraint)
{
    ConstraintId id = m_nextId++;
    m_valuesValid = false;
    if (insert(id, constraint)) {
        m_constraints.emplace(id, constraint);
        return id;
    }
    // A failed attempt may leave the tableau holding parts of the rejected row, so it is rebuilt
    // from the constraints that were accepted. This only happens for conflicting required
    // constraints, which are rare.
    rebuildWithout(id);
    return 0;
}

bool ConstraintSolver::insert(ConstraintId id, const Constraint& constraint)
{
    Tableau& t = *m_tableau;
    Tag tag;
    Row row = t.createRow(constraint, tag);
    Key subject = Tableau::chooseSubject(row, tag);
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
        t.rows.emplace(subject, std::move(row));
    }
    t.tags.emplace(id, tag);
    t.optimize(t.objective);
    return true;
}

void ConstraintSolver::rebuildWithout(ConstraintId failed)
{
    m_tableau = std::make_unique<Tableau>();
    for (const auto& [id, constraint] : m_constraints) {
        if (id == failed)
            continue;
        [[maybe_unused]] bool added = insert(id, constraint);
        assert(added && "a previously accepted constraint failed on rebuild");
    }
    m_valuesValid = false;
}

void ConstraintSolver::remove(ConstraintId id)
{
    auto constraint = m_constraints.find(id);
    if (constraint == m_constraints.end())
        return;
    Tableau& t = *m_tableau;
    Tag tag = t.tags.at(id);
    t.tags.erase(id);
    double weight = constraint->second.weight;
    m_constraints.erase(constraint);
    m_valuesValid = false;

    if (kindOf(tag.marker) == Kind::Error)
        t.removeMarkerEffects(tag.marker, weight);
    if (tag.other && kindOf(tag.other) == Kind::Error)
        t.removeMarkerEffects(tag.other, weight);

    auto found = t.rows.find(tag.marker);
    if (found != t.rows.end()) {
        t.rows.erase(found);
    } else {
        Key leaving = t.markerLeavingRow(tag.marker);
        assert(leaving && "constraint marker not found in the tableau");
        if (leaving) {
            Row row = t.rows.take(leaving);
            row.solveFor(leaving, tag.marker);
            t.substitute(tag.marker, row);
        }
    }
    t.optimize(t.objective);
}

void ConstraintSolver::clear()
{
    m_tableau = std::make_unique<Tableau>();
    m_constraints.clear();
    m_valuesValid = false;
}

double ConstraintSolver::cost() const
{
    refreshValues();
    double total = 0;
    for (const auto& [id, constraint] : m_constraints) {
        if (constraint.isRequired())
            continue;
        double difference = 0;
        for (const auto& term : constraint.lhs.terms)
            difference += term.coefficient * value(term.variable);
        for (const auto& term : constraint.rhs.terms)
            difference -= term.coefficient * value(term.variable);
        difference += constraint.lhs.constant - constraint.rhs.constant;
        double violation = 0;
        switch (constraint.relation) {
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
        total += violation * constraint.weight;
    }
    return total;
}

} // namespace morvix::platform
