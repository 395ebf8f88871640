#include "platform/foundation/SystemLog.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>

namespace morvix::platform {

namespace {

std::mutex s_sinkMutex; // guards s_sink
std::shared_ptr<const SystemLogSink> s_sink;

std::shared_ptr<const SystemLogSink> currentSink()
{
    std::lock_guard lock(s_sinkMutex);
    return s_sink;
}

} // namespace

void systemLog(std::string_view line)
{
    if (auto sink = currentSink()) {
        (*sink)(std::string(line));
        return;
    }
    // One call per line, so that lines from several threads do not interleave.
    std::fprintf(stderr, "morvix: %.*s\n", static_cast<int>(line.size()), line.data());
}

SystemLogSink setSystemLogSink(SystemLogSink sink)
{
    auto installed = sink ? std::make_shared<const SystemLogSink>(std::move(sink)) : nullptr;
    std::shared_ptr<const SystemLogSink> previous;
    {
        std::lock_guard lock(s_sinkMutex);
        previous = std::exchange(s_sink, std::move(installed));
    }
    return previous ? *previous : SystemLogSink();
}

} // namespace morvix::platform
