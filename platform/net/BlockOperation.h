#pragma once
// An operation that runs one function.

#include "platform/net/Operation.h"

#include <atomic>
#include <functional>
#include <memory>

namespace morvix::platform {

/// Runs a function once, when its queue starts it (after its dependencies have finished), on
/// the thread that starts it; finishes when the function returns. A cancelled operation
/// finishes without running it. Any thread.
class BlockOperation final : public Operation {
public:
    static std::shared_ptr<BlockOperation> create(std::function<void()> block)
    {
        return std::shared_ptr<BlockOperation>(new BlockOperation(std::move(block)));
    }

    void start() override;
    bool isExecuting() const override { return m_executing.load(); }
    bool isFinished() const override { return m_finished.load(); }

private:
    explicit BlockOperation(std::function<void()> block) : m_block(std::move(block)) { }

    std::function<void()> m_block;
    std::atomic<bool> m_started { false };
    std::atomic<bool> m_executing { false };
    std::atomic<bool> m_finished { false };
};

} // namespace morvix::platform
