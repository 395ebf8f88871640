#include "platform/net/BlockOperation.h"

namespace morvix::platform {

void BlockOperation::start()
{
    if (m_started.exchange(true))
        return;
    if (!isCancelled()) {
        willChangeValueForKey("isExecuting");
        m_executing = true;
        didChangeValueForKey("isExecuting");
        if (m_block)
            m_block();
        m_block = nullptr;
    }
    willChangeValueForKey("isFinished");
    willChangeValueForKey("isExecuting");
    m_executing = false;
    m_finished = true;
    didChangeValueForKey("isExecuting");
    didChangeValueForKey("isFinished");
}

} // namespace morvix::platform
