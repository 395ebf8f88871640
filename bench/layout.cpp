// The layout pass of 1,000 views placed by relative constraints (a grid of 10 columns, each view
// attached to its left and upper neighbours, its width a share of the parent's, its height a
// preference above a required minimum), three ways:
//  - BM_LayoutFromScratch: views made, constraints installed, the first layout pass;
//  - BM_LayoutAfterResize: the parent's width changes and the pass re-solves incrementally;
//  - BM_KiwisolverFromScratch: the same constraint system built and solved by kiwisolver, an
//    independent Cassowary implementation, timed inside its own Python process (the time of its
//    own loop, without the process start), with the weak size and origin preferences the engine
//    adds for every view; skipped when python3-kiwisolver is not installed;
//  - BM_FrameLayout: the same frames computed by hand and set directly, for a floor that needs
//    no solver at all;
//  - BM_ChurnPassAtStart and BM_ChurnPassAfterRemovals: a small tree where one view after another
//    is added with its constraints, laid out, removed and laid out again; the CPU time of a pass
//    over the first cycles and over the cycles after 10,000 views came and went, which stay the
//    same only when the engine lets go of what removed views used.
// Prints the layout pass's CPU time as a ratio of kiwisolver's, and the pass after the removals
// as a ratio of the pass at the start.

#include "bench/RatioReporter.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutEngine.h"
#include "platform/ui/View.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace morvix::platform;

namespace {

constexpr int kViews = 1000;
constexpr int kColumns = 10;
constexpr double kGap = 4;
constexpr double kWidthShare = 0.08;
constexpr double kMinimumHeight = 20;
constexpr double kPreferredHeight = 24;
constexpr double kParentWidth = 320;
constexpr double kParentHeight = 568;
// The weight of the layout engine's origin preferences (see LayoutEngine.cpp).
constexpr double kOriginWeight = 0.5;

// One constraint of the grid: `view.attribute relation multiplier * other.otherAttribute + constant`,
// where other is a view index or -1 for the parent (or none for a constant).
struct ConstraintRow {
    int view;
    LayoutAttribute attribute;
    LayoutRelation relation;
    std::optional<int> other;
    LayoutAttribute otherAttribute;
    double multiplier;
    double constant;
    double priority;
};

constexpr int kParent = -1;

std::vector<ConstraintRow> gridSystem()
{
    std::vector<ConstraintRow> rows;
    using A = LayoutAttribute;
    using R = LayoutRelation;
    for (int i = 0; i < kViews; ++i) {
        int column = i % kColumns;
        if (column == 0)
            rows.push_back({ i, A::Left, R::Equal, kParent, A::Left, 1, kGap, 1000 });
        else
            rows.push_back({ i, A::Left, R::Equal, i - 1, A::Right, 1, kGap, 1000 });
        if (i < kColumns)
            rows.push_back({ i, A::Top, R::Equal, kParent, A::Top, 1, kGap, 1000 });
        else
            rows.push_back({ i, A::Top, R::Equal, i - kColumns, A::Bottom, 1, kGap, 1000 });
        rows.push_back({ i, A::Width, R::Equal, kParent, A::Width, kWidthShare, 0, 1000 });
        rows.push_back({ i, A::Height, R::GreaterThanOrEqual, std::nullopt, A::NotAnAttribute, 1, kMinimumHeight, 1000 });
        rows.push_back({ i, A::Height, R::Equal, std::nullopt, A::NotAnAttribute, 1, kPreferredHeight, 750 });
        if (column == kColumns - 1)
            rows.push_back({ i, A::Right, R::LessThanOrEqual, kParent, A::Right, 1, -kGap, 1000 });
    }
    return rows;
}

const std::vector<ConstraintRow>& system()
{
    static const std::vector<ConstraintRow> rows = gridSystem();
    return rows;
}

struct Grid {
    std::shared_ptr<View> parent;
    std::vector<std::shared_ptr<View>> views;
};

Grid buildGrid()
{
    Grid grid;
    grid.parent = View::create({ 0, 0, kParentWidth, kParentHeight });
    grid.views.reserve(kViews);
    for (int i = 0; i < kViews; ++i) {
        auto view = View::create();
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        grid.parent->addSubview(view);
        grid.views.push_back(view);
    }
    for (const auto& row : system()) {
        std::shared_ptr<View> other;
        if (row.other)
            other = *row.other == kParent ? grid.parent : grid.views[*row.other];
        auto constraint = LayoutConstraint::create(grid.views[row.view], row.attribute, row.relation, other, row.otherAttribute,
            row.multiplier, row.constant);
        constraint->setPriority(row.priority);
        grid.parent->addConstraint(constraint);
    }
    return grid;
}

// The frame of view `index` with the parent `width` wide, computed by hand.
Rect expectedFrame(int index, double width)
{
    int row = index / kColumns;
    int column = index % kColumns;
    double viewWidth = width * kWidthShare;
    return { kGap + column * (viewWidth + kGap), kGap + row * (kPreferredHeight + kGap), viewWidth, kPreferredHeight };
}

bool isLaidOut(const Grid& grid, double width)
{
    for (int i = 0; i < kViews; i += 97) {
        Rect frame = grid.views[i]->frame();
        Rect expected = expectedFrame(i, width);
        if (std::abs(frame.x() - expected.x()) > 1e-6 || std::abs(frame.y() - expected.y()) > 1e-6
            || std::abs(frame.width() - expected.width()) > 1e-6 || std::abs(frame.height() - expected.height()) > 1e-6)
            return false;
    }
    return true;
}

void BM_LayoutFromScratch(benchmark::State& state)
{
    for (auto _ : state) {
        Grid grid = buildGrid();
        grid.parent->layoutIfNeeded();
        state.PauseTiming();
        if (!isLaidOut(grid, kParentWidth))
            state.SkipWithError("the layout pass gave other frames than expected");
        grid = {}; // tearing the tree down is not part of the pass
        state.ResumeTiming();
    }
}

void BM_LayoutAfterResize(benchmark::State& state)
{
    Grid grid = buildGrid();
    grid.parent->layoutIfNeeded();
    double width = kParentWidth;
    for (auto _ : state) {
        width = width == kParentWidth ? kParentWidth + 10 : kParentWidth;
        grid.parent->setFrame({ 0, 0, width, kParentHeight });
        grid.parent->layoutIfNeeded();
    }
    if (!isLaidOut(grid, width))
        state.SkipWithError("the incremental pass gave other frames than expected");
}

void BM_FrameLayout(benchmark::State& state)
{
    for (auto _ : state) {
        auto parent = View::create({ 0, 0, kParentWidth, kParentHeight });
        for (int i = 0; i < kViews; ++i) {
            auto view = View::create(expectedFrame(i, kParentWidth));
            parent->addSubview(view);
        }
        parent->layoutIfNeeded();
        benchmark::DoNotOptimize(parent.get());
        state.PauseTiming();
        parent.reset();
        state.ResumeTiming();
    }
}

// ---- kiwisolver, in a Python process of its own ----

const char* pythonWithKiwi()
{
    static const char* found = [] () -> const char* {
        for (const char* python : { "/usr/bin/python3", "python3" }) {
            std::string command = std::string(python) + " -c 'import kiwisolver' >/dev/null 2>&1";
            if (std::system(command.c_str()) == 0)
                return python;
        }
        return nullptr;
    }();
    return found;
}

// The Python expression of an attribute of view `index` (or of the parent).
std::string attributeTerm(std::optional<int> index, LayoutAttribute attribute)
{
    if (!index)
        return "0";
    if (*index == kParent) {
        switch (attribute) {
        case LayoutAttribute::Left:
        case LayoutAttribute::Top:
            return "0";
        case LayoutAttribute::Right:
        case LayoutAttribute::Width:
            return std::to_string(kParentWidth);
        default:
            return std::to_string(kParentHeight);
        }
    }
    std::string i = std::to_string(*index);
    switch (attribute) {
    case LayoutAttribute::Left:
        return "x[" + i + "]";
    case LayoutAttribute::Right:
        return "(x[" + i + "] + w[" + i + "])";
    case LayoutAttribute::Top:
        return "y[" + i + "]";
    case LayoutAttribute::Bottom:
        return "(y[" + i + "] + h[" + i + "])";
    case LayoutAttribute::Width:
        return "w[" + i + "]";
    default:
        return "h[" + i + "]";
    }
}

std::string kiwiScript(int repetitions)
{
    std::ostringstream script;
    script << "import time\nimport kiwisolver as k\n";
    script << "def solve():\n";
    script << "    n = " << kViews << "\n";
    script << "    x = [k.Variable() for _ in range(n)]\n    y = [k.Variable() for _ in range(n)]\n";
    script << "    w = [k.Variable() for _ in range(n)]\n    h = [k.Variable() for _ in range(n)]\n";
    script << "    s = k.Solver()\n";
    for (const auto& row : system()) {
        const char* op = row.relation == LayoutRelation::Equal ? "==" : row.relation == LayoutRelation::LessThanOrEqual ? "<=" : ">=";
        std::string strength = row.priority >= 1000 ? "'required'" : std::to_string(LayoutEngine::weightForPriority(row.priority));
        script << "    s.addConstraint((" << attributeTerm(row.view, row.attribute) << " " << op << " " << row.multiplier << " * "
               << attributeTerm(row.other, row.otherAttribute) << " + " << row.constant << ") | " << strength << ")\n";
    }
    // The weak preferences the layout engine adds for every view it lays out (sizes towards 0 at
    // priority 1, origins towards 0 more weakly still), so that both solve the same system.
    script << "    for i in range(n):\n";
    script << "        s.addConstraint((w[i] == 0) | " << LayoutEngine::weightForPriority(1) << ")\n";
    script << "        s.addConstraint((h[i] == 0) | " << LayoutEngine::weightForPriority(1) << ")\n";
    script << "        s.addConstraint((x[i] == 0) | " << kOriginWeight << ")\n";
    script << "        s.addConstraint((y[i] == 0) | " << kOriginWeight << ")\n";
    script << "    s.updateVariables()\n    return w[0].value()\n";
    script << "best = None\n";
    script << "for _ in range(" << repetitions << "):\n";
    script << "    start = time.process_time()\n    solve()\n    elapsed = time.process_time() - start\n";
    script << "    best = elapsed if best is None else min(best, elapsed)\n";
    script << "print(best)\n";
    return script.str();
}

// Seconds kiwisolver takes to build and solve the system (the best of a few runs); nothing when
// it is not installed or the run fails.
std::optional<double> kiwisolverSeconds()
{
    static const std::optional<double> seconds = [] () -> std::optional<double> {
        const char* python = pythonWithKiwi();
        if (!python)
            return std::nullopt;
        char path[] = "/tmp/morvix-kiwi-bench-XXXXXX";
        int fd = mkstemp(path);
        if (fd < 0)
            return std::nullopt;
        close(fd);
        std::ofstream(path) << kiwiScript(5);
        std::string command = std::string(python) + " " + path;
        std::optional<double> result;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            double value = 0;
            if (std::fscanf(pipe, "%lf", &value) == 1 && value > 0)
                result = value;
            pclose(pipe);
        }
        std::remove(path);
        return result;
    }();
    return seconds;
}

void BM_KiwisolverFromScratch(benchmark::State& state)
{
    auto seconds = kiwisolverSeconds();
    if (!seconds) {
        state.SkipWithError("python3-kiwisolver is not installed");
        for (auto _ : state) { }
        return;
    }
    for (auto _ : state)
        state.SetIterationTime(*seconds);
}

// ---- Views that come and go ----

constexpr int kChurnResidents = 10;
constexpr int kChurnRemovals = 10000;
constexpr int kChurnWindow = 500; // cycles timed at each end

double cpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct ChurnTimes {
    double atStart = 0; // seconds per pass
    double afterRemovals = 0;
};

// A row of resident views; each cycle adds a view attached to the last resident with a size of its
// own, lays the tree out, removes the view and lays the tree out again.
const ChurnTimes& churnTimes()
{
    static const ChurnTimes times = [] {
        auto parent = View::create({ 0, 0, kParentWidth, kParentHeight });
        std::vector<std::shared_ptr<View>> residents;
        auto attach = [&](const std::shared_ptr<View>& view, LayoutAttribute attribute, const std::shared_ptr<View>& other,
                          LayoutAttribute otherAttribute, double constant) {
            parent->addConstraint(LayoutConstraint::create(view, attribute, LayoutRelation::Equal, other, otherAttribute, 1, constant));
        };
        for (int i = 0; i < kChurnResidents; ++i) {
            auto view = View::create();
            view->setTranslatesAutoresizingMaskIntoConstraints(false);
            parent->addSubview(view);
            attach(view, LayoutAttribute::Left, i ? residents.back() : parent, i ? LayoutAttribute::Right : LayoutAttribute::Left, kGap);
            attach(view, LayoutAttribute::Top, parent, LayoutAttribute::Top, kGap);
            attach(view, LayoutAttribute::Width, nullptr, LayoutAttribute::NotAnAttribute, 20);
            attach(view, LayoutAttribute::Height, nullptr, LayoutAttribute::NotAnAttribute, kPreferredHeight);
            residents.push_back(view);
        }
        parent->layoutIfNeeded();
        auto cycle = [&](int index) {
            auto view = View::create();
            view->setTranslatesAutoresizingMaskIntoConstraints(false);
            parent->addSubview(view);
            attach(view, LayoutAttribute::Left, residents.back(), LayoutAttribute::Right, kGap);
            attach(view, LayoutAttribute::Top, residents.back(), LayoutAttribute::Bottom, kGap);
            attach(view, LayoutAttribute::Width, nullptr, LayoutAttribute::NotAnAttribute, 10 + index % 7);
            attach(view, LayoutAttribute::Height, nullptr, LayoutAttribute::NotAnAttribute, kPreferredHeight);
            parent->layoutIfNeeded();
            view->removeFromSuperview();
            parent->layoutIfNeeded();
        };
        auto timeWindow = [&](int first) {
            double start = cpuSeconds();
            for (int i = first; i < first + kChurnWindow; ++i)
                cycle(i);
            return (cpuSeconds() - start) / (2.0 * kChurnWindow);
        };
        ChurnTimes result;
        result.atStart = timeWindow(0);
        for (int i = kChurnWindow; i < kChurnRemovals; ++i)
            cycle(i);
        result.afterRemovals = timeWindow(kChurnRemovals);
        return result;
    }();
    return times;
}

void BM_ChurnPassAtStart(benchmark::State& state)
{
    for (auto _ : state)
        state.SetIterationTime(churnTimes().atStart);
}

void BM_ChurnPassAfterRemovals(benchmark::State& state)
{
    for (auto _ : state)
        state.SetIterationTime(churnTimes().afterRemovals);
}

BENCHMARK(BM_LayoutFromScratch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayoutAfterResize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KiwisolverFromScratch)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameLayout)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChurnPassAtStart)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChurnPassAfterRemovals)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    morvix::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("%d views, %zu constraints\n", kViews, system().size());
    // CPU times throughout: kiwisolver's run is timed with its process's CPU clock.
    auto scratch = reporter.time("BM_LayoutFromScratch");
    auto frames = reporter.time("BM_FrameLayout");
    std::optional<double> kiwi;
    if (reporter.ran("BM_KiwisolverFromScratch"))
        kiwi = kiwisolverSeconds().value() * 1e3;
    if (scratch && kiwi)
        std::printf("layout pass from scratch / kiwisolver: %.2fx (target: at most 1x)\n", *scratch / *kiwi);
    else
        std::printf("layout pass from scratch / kiwisolver: not measured (%s)\n",
            pythonWithKiwi() ? "one of the two was not run" : "python3-kiwisolver is not installed");
    if (scratch && frames)
        std::printf("layout pass from scratch: %.1f ms; hand-computed frames: %.3f ms\n", *scratch, *frames);
    if (reporter.ran("BM_ChurnPassAtStart") && reporter.ran("BM_ChurnPassAfterRemovals")) {
        const ChurnTimes& churn = churnTimes();
        std::printf("pass after %d views came and went / pass at the start: %.2fx (target: at most 1.2x)\n", kChurnRemovals,
            churn.afterRemovals / churn.atStart);
        std::printf("pass at the start: %.4f ms; after %d removals: %.4f ms\n", churn.atStart * 1e3, kChurnRemovals,
            churn.afterRemovals * 1e3);
    }
    benchmark::Shutdown();
    return 0;
}
