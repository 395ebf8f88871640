#pragma once
// The layout pass of one view tree: constraints solved into frames.

#include "platform/graphics/Rect.h"
#include "platform/ui/ConstraintSolver.h"
#include "platform/ui/Forward.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace morvix::platform {

/// Turns the layout constraints installed in a view tree into frames, keeping one incremental
/// solver per tree so that a pass after a small change only re-solves what changed.
///
/// The system it builds:
///  - each view laid out by constraints (one that does not translate its autoresizing mask and
///    that a constraint mentions) has variables x, y, width and height in its superview's
///    coordinates, transforms ignored; a fixed view that a constraint mentions (the installing
///    view, a sibling that keeps its frame) has variables pinned to its current frame by
///    required constraints that come before all others, so that a resize changes only its pins;
///    every other view has its current frame as constants, or, under a view laid out by
///    constraints, the frame its autoresizing mask gives for the superview's solved size;
///  - an attribute of a view is expressed in the coordinates of the view the constraint is
///    installed on (its own left is 0 there), through the origins of the views in between;
///  - the left, right, top and bottom of a scroll view, in a constraint whose other item is one
///    of its descendants, are the edges of its content area: the content's origin, and the
///    origin plus content-size variables that the pass then sets as its content size (only
///    along the axes so bound; they prefer 0, more weakly than origins); its width, height and
///    centres stay those of its frame;
///  - priority 1000 is required; lower priorities weigh 10^(p/125), so 750 outweighs 250;
///  - intrinsic sizes give width <= intrinsic at the hugging priority and width >= intrinsic at
///    the compression-resistance priority, per axis;
///  - views without an intrinsic size prefer width and height 0 at priority 1, and every laid
///    view prefers its current origin more weakly still, so that under-determined layouts come
///    out the same every time;
///  - a required constraint that cannot hold with those added before it is dropped and logged;
///    earlier constraints win, and fixed frames win over every constraint (when a moved frame
///    contradicts a constraint kept from an earlier pass, the system is built again in order,
///    so a pass gives what laying the tree out afresh would);
///  - a constraint with a multiplier or constant that is not finite never reaches the solver:
///    it is dropped and logged once, and a solved frame that is not finite is not applied;
///  - pins are removed incrementally when frames move; installed constraints may be folded
///    into the solver's rows (`ConstraintSolver::Tracking::Folding`), so that a column of views
///    each attached to the one before costs the solver a constant amount per view, and a pass
///    that removes a folded one has the solver build its tableau again, once.
///
/// Results are not rounded to pixels. Main thread only.
class LayoutEngine final {
public:
    LayoutEngine() = default;
    LayoutEngine(const LayoutEngine&) = delete;
    LayoutEngine& operator=(const LayoutEngine&) = delete;

    /// The weight of a priority in the solver.
    static double weightForPriority(double priority);

    /// Runs the whole layout pass for the tree under `root`: `updateConstraints` bottom up on the
    /// views that asked, solve, apply the frames, then `layoutSubviews` top down on the views
    /// whose size changed or that asked; repeated (at most a few times) while those steps dirty
    /// the tree again.
    static void runPass(View& root);
    /// How many passes `runPass` has run in this process, for tests that count them.
    static std::uint64_t passesRunForTesting();

    /// Solves the tree under `root` and returns the frames of the views laid out by constraints.
    /// The variables of views that the tree no longer mentions are released, so the solver holds
    /// only what the current tree needs.
    std::vector<std::pair<std::shared_ptr<View>, Rect>> solve(View& root);

    /// Descriptions of the required constraints dropped so far, and of the constraints with
    /// numbers that are not finite, in order.
    const std::vector<std::string>& droppedConstraints() const { return m_dropped; }
    const ConstraintSolver& solver() const { return m_solver; }

    /// True while a pass for this tree is queued on the main loop or running.
    bool passScheduled = false;
    /// Set when the tree changes while a pass runs.
    bool changedDuringPass = false;

private:
    struct Geometry;
    // Orders entries by kind, then serial, then part.
    struct Key {
        Key(int kind, std::uint64_t serial, int part)
            : serial(serial)
            , kind(static_cast<std::int8_t>(kind))
            , part(static_cast<std::int8_t>(part))
        {
        }
        std::uint64_t serial;
        std::int8_t kind;
        std::int8_t part;
        bool operator==(const Key& other) const = default;
        bool operator<(const Key& other) const
        {
            if (kind != other.kind)
                return kind < other.kind;
            if (serial != other.serial)
                return serial < other.serial;
            return part < other.part;
        }
    };
    // What a pass wants the solver to hold under one key, with both sides of the constraint
    // moved to the left (the form the solver keeps, so that comparing the two is cheap).
    struct Wanted {
        ConstraintSolver::Constraint constraint;
        // What a description is written from: a label of the engine's own, or the installed
        // constraint.
        const char* label = nullptr;
        const LayoutConstraint* source = nullptr;
        // A constraint with a number that is not finite: dropped, and never given to the solver.
        bool unsolvable = false;
    };
    // What the solver was given under one key. The constraint itself stays with the solver; only
    // one it does not hold (dropped, or unsolvable) is kept here, to be compared with the next
    // pass's. Kept for every view a constraint mentions, so it is small.
    struct Entry {
        ConstraintSolver::ConstraintId id = 0; // 0 when dropped or unsolvable
        const char* label = nullptr;
        // The installed constraint of the same serial; described only in a pass that wants the
        // entry, while the constraint is installed and alive.
        const LayoutConstraint* source = nullptr;
        std::unique_ptr<ConstraintSolver::Constraint> refused;
        bool unsolvable = false;
    };
    struct Variables {
        ConstraintSolver::Variable x, y, width, height;
        std::uint64_t pass = 0; // the last pass that used them
    };

    Variables& variablesFor(const View& view);
    void releaseUnusedVariables();
    bool holds(const Entry& entry, const ConstraintSolver::Constraint& constraint) const;
    std::optional<ConstraintSolver::Constraint> constraintOf(const Entry& entry) const;
    void give(const Key& key, Entry& entry, const ConstraintSolver::Constraint& constraint);
    static std::string describe(const Entry& entry);
    void noteDropped(const Entry& entry);

    ConstraintSolver m_solver;
    std::unordered_map<std::uint64_t, Variables> m_variables;
    std::vector<std::pair<Key, Entry>> m_entries; // sorted by key
    std::vector<std::string> m_dropped;
    std::uint64_t m_pass = 0;
};

} // namespace morvix::platform
