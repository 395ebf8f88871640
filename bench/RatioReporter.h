#pragma once
// The console report of a benchmark program, keeping each benchmark's time per iteration for the
// ratio lines the program prints after the run.

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace morvix::bench {

/// Prints as usual and keeps each benchmark's time per iteration in `times`, keyed by its name
/// and, when it has any, its arguments ("BM_LongString/8"). CPU time by default: both sides of a
/// ratio run on one thread, and CPU time holds steady on a machine that other work shares;
/// wall-clock time where what is measured waits on other threads (a round trip).
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    enum class Clock { Cpu, Real };

    explicit RatioReporter(Clock clock = Clock::Cpu)
        : m_clock(clock)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            std::string key = run.run_name.function_name;
            if (!run.run_name.args.empty())
                key += "/" + run.run_name.args;
            times[key] = m_clock == Clock::Cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
        }
    }

    /// The time kept for `name`, or nothing when it did not run or took no time.
    std::optional<double> time(const std::string& name) const
    {
        auto found = times.find(name);
        if (found == times.end() || found->second <= 0)
            return std::nullopt;
        return found->second;
    }
    bool ran(const std::string& name) const { return times.count(name) != 0; }

    std::map<std::string, double> times;

private:
    Clock m_clock;
};

} // namespace morvix::bench
