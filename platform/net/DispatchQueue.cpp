#include "platform/net/DispatchQueue.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/ThreadPool.h"

namespace morvix::platform {

DispatchQueue mainDispatchQueue()
{
    return [](std::function<void()> task) { MainLoop::main().post(std::move(task)); };
}

DispatchQueue globalDispatchQueue()
{
    return [](std::function<void()> task) { ThreadPool::global().async(std::move(task)); };
}

} // namespace morvix::platform
