#pragma once
// An incremental linear constraint solver (the Cassowary algorithm) for view layout.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

/// Solves systems of linear equalities and inequalities over real variables, each constraint
/// either required or weighted. Required constraints must hold; among the solutions that satisfy
/// them, the solver minimises the sum of each weighted constraint's violation times its weight.
/// Constraints are added and removed one at a time and the solution is updated incrementally
/// (dual and primal simplex on a kept tableau), so a small change to a large system is cheap.
///
/// Ties: when several solutions have the same minimal cost, the one returned is deterministic for a
/// given sequence of calls but otherwise unspecified.
///
/// Plain object; not thread-safe. The layout pass uses it on the main thread.
class ConstraintSolver final {
public:
    struct Variable {
        std::uint32_t id = 0;
        bool operator==(const Variable&) const = default;
    };
    struct Term {
        Variable variable;
        double coefficient = 1;
    };
    /// sum(coefficient * variable) + constant.
    struct Expression {
        std::vector<Term> terms;
        double constant = 0;

        Expression() = default;
        Expression(double value) : constant(value) { }
        Expression(Variable variable) : terms { { variable, 1 } } { }
        Expression& add(const Expression& other, double factor = 1);
        Expression& add(Variable variable, double coefficient);
        Expression operator+(const Expression& other) const { return Expression(*this).add(other); }
        Expression operator-(const Expression& other) const { return Expression(*this).add(other, -1); }
        Expression operator*(double factor) const;
        /// Terms sorted by variable with equal variables merged and zero terms dropped.
        Expression normalized() const;
        bool operator==(const Expression& other) const;
    };
    enum class Relation { LessOrEqual, Equal, GreaterOrEqual };
    /// The weight of a required constraint; any weight at or above it is required.
    static constexpr double kRequired = 1e30;
    /// `lhs relation rhs`, violated at a cost of `weight` per unit.
    struct Constraint {
        Expression lhs;
        Relation relation = Relation::Equal;
        Expression rhs;
        double weight = kRequired;
        bool isRequired() const { return weight >= kRequired; }
        bool operator==(const Constraint& other) const;
    };
    using ConstraintId = std::uint64_t;
    /// How a required equality is kept once added. Each one leaves a marker in every row its
    /// constant reaches, which is what lets it be removed incrementally; along a chain of
    /// attachments (each view placed against the one before) those markers make row k hold k
    /// of them, and a chain of n views hold n^2 / 2. `Folding` lets the solver fold the marker
    /// of a constraint into the rows once it has spread over many of them: the rows then stay
    /// short, and removing the folded constraint rebuilds the tableau from those that remain
    /// (on the next add or read, once for any number of removals). `Tracked` never folds: for
    /// constraints removed often, such as frames pinned on every pass. Other constraints
    /// (inequalities, preferences) are always tracked.
    enum class Tracking { Tracked, Folding };

    ConstraintSolver();
    ~ConstraintSolver();
    ConstraintSolver(const ConstraintSolver&) = delete;
    ConstraintSolver& operator=(const ConstraintSolver&) = delete;

    /// A new variable; the id of a released one may be handed out again.
    Variable newVariable(std::string name = {});
    /// Forgets a variable that no constraint mentions any more, so that its storage and id are
    /// reused by a later newVariable. Does nothing while a constraint still mentions it. The
    /// released variable must not be used afterwards: its id may already name another one.
    void releaseVariable(Variable variable);
    bool isLive(Variable variable) const { return variable.id >= 1 && variable.id <= m_live.size() && m_live[variable.id - 1]; }
    /// Variables made and not released.
    std::size_t variableCount() const { return m_names.size() - m_freeIds.size(); }
    const std::string& name(Variable variable) const;
    /// The variable's value in the current solution; 0 for a variable no constraint mentions.
    double value(Variable variable) const;

    /// Adds a constraint and re-solves. Returns 0, and changes nothing, when the constraint is
    /// required and cannot hold together with the required constraints already added.
    [[nodiscard]] ConstraintId add(const Constraint& constraint, Tracking tracking = Tracking::Tracked);
    /// Removes a constraint and re-solves. Removing an unknown id does nothing. Removing a
    /// folded constraint only marks the tableau for a rebuild, which the next add or read does.
    void remove(ConstraintId id);
    bool contains(ConstraintId id) const { return m_constraints.count(id) != 0; }
    /// The constraint held under `id` in the form the solver keeps it, both sides moved to the
    /// left (`lhs - rhs` normalized, relation, nothing on the right); nothing for an unknown id.
    std::optional<Constraint> constraint(ConstraintId id) const;
    /// Whether the solver holds under `id` a constraint that is `constraint` once both sides are
    /// moved to the left: the same relation and weight and the same normalized difference. False
    /// for an unknown id. Cheapest for a constraint given in the form `constraint` returns.
    bool holds(ConstraintId id, const Constraint& constraint) const;
    std::size_t constraintCount() const { return m_constraints.size(); }
    /// Drops every constraint; variables stay valid.
    void clear();

    /// The weighted cost of the current solution (sum of weight times violation).
    double cost() const;
    /// The coefficients the tableau holds, in its rows and its objective: what its memory grows
    /// with.
    std::size_t tableauSize() const;

private:
    struct Row;
    struct Tableau;

    // The symbols that stand for a constraint in the tableau.
    struct Tag {
        std::uint64_t marker = 0;
        std::uint64_t other = 0;
    };
    // A constraint as the solver keeps it: kept for every constraint of every view, so it holds
    // only what building the tableau again and the cost need.
    struct Kept {
        Expression expression; // lhs - rhs, normalized
        double weight = kRequired;
        Relation relation = Relation::Equal;
        Tracking tracking = Tracking::Tracked;
        Tag tag; // in the current tableau
    };

    bool insert(Kept& kept);
    void rebuildWithout(ConstraintId failed);
    void rebuildIfStale();
    void refreshValues() const;
    void countUses(const Expression& expression, bool adding);

    std::unique_ptr<Tableau> m_tableau;
    std::map<ConstraintId, Kept> m_constraints; // in the order they were added
    // Set when a folded constraint was removed: the tableau no longer stands for the constraints
    // and is built again before it is next used.
    bool m_stale = false;
    std::vector<std::string> m_names; // by variable id - 1
    std::vector<std::uint32_t> m_uses; // how many constraints mention each variable
    std::vector<bool> m_live;
    std::vector<std::uint32_t> m_freeIds;
    ConstraintId m_nextId = 1;
    mutable std::vector<double> m_values;
    mutable bool m_valuesValid = false;
};

} // namespace morvix::platform
