#include "platform/net/NetworkThread.h"

#include "platform/net/URLConnection.h"

#include <curl/curl.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstdio>
#include <future>
#include <pthread.h>

namespace morvix::platform {

namespace {

std::mutex s_shareLocks[CURL_LOCK_DATA_LAST];

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void*)
{
    s_shareLocks[data].lock();
}

void unlockShare(CURL*, curl_lock_data data, void*)
{
    s_shareLocks[data].unlock();
}

} // namespace

NetworkThread& NetworkThread::shared()
{
    // Never destroyed: the thread runs for the life of the process, and transfers still
    // running at exit must not find their engine gone.
    static NetworkThread* thread = new NetworkThread();
    return *thread;
}

NetworkThread::NetworkThread()
{
    // The libraries are set up on the network thread itself: their one-time set-up keeps
    // per-thread state on the thread that runs it, and this thread lives as long as the process.
    std::promise<void> ready;
    auto done = ready.get_future();
    std::thread thread([this, ready = std::move(ready)]() mutable {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        m_multi = curl_multi_init();
        m_share = curl_share_init();
        curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, lockShare);
        curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, unlockShare);
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        ready.set_value();
        run();
    });
    m_threadId = thread.get_id();
    thread.detach();
    done.wait();
}

void NetworkThread::perform(Task task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    curl_multi_wakeup(m_multi);
}

void NetworkThread::run()
{
    pthread_setname_np(pthread_self(), "Networking");
    for (;;) {
        long timeout = -1;
        curl_multi_timeout(m_multi, &timeout);
        if (timeout < 0 || timeout > 1000)
            timeout = 1000;
        timeout = std::min(timeout, untilNextIdleDeadline());
        curl_multi_poll(m_multi, nullptr, 0, static_cast<int>(timeout), nullptr);
        int running = 0;
        curl_multi_perform(m_multi, &running);
        finishTransfers();
        std::deque<Task> tasks;
        {
            std::lock_guard lock(m_mutex);
            tasks.swap(m_tasks);
        }
        for (auto& task : tasks)
            runGuarded(task);
    }
}

void NetworkThread::runGuarded(Task& task)
{
    // The thread serves every transfer of the process: a task that throws is reported and the
    // rest go on. Tasks of a connection catch their own exceptions and fail that transfer.
    try {
        task();
    } catch (const std::exception& exception) {
        std::fprintf(stderr, "morvix: a network task threw: %s\n", exception.what());
    } catch (...) {
        std::fprintf(stderr, "morvix: a network task threw an exception of unknown type\n");
    }
}

long NetworkThread::untilNextIdleDeadline() const
{
    long shortest = 1000;
    auto now = std::chrono::steady_clock::now();
    for (const auto& [handle, connection] : m_transfers) {
        if (auto deadline = connection->idleDeadline()) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
            // An overdue deadline is acted on when curl next reports progress; waking a little
            // later than "now" keeps the loop from spinning until then.
            shortest = std::min<long>(shortest, std::max<long>(left, 10));
        }
    }
    return shortest;
}

void NetworkThread::finishTransfers()
{
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        auto found = m_transfers.find(message->easy_handle);
        if (found == m_transfers.end())
            continue;
        auto connection = found->second;
        try {
            connection->transferDone(message->data.result);
        } catch (const std::exception& exception) {
            connection->endAfterException(exception.what());
        } catch (...) {
            connection->endAfterException("an exception of unknown type");
        }
    }
}

void NetworkThread::add(std::shared_ptr<URLConnection> connection, CURL* handle)
{
    assert(isCurrent() && "transfers are added on the network thread");
    m_transfers[handle] = std::move(connection);
    curl_multi_add_handle(m_multi, handle);
}

void NetworkThread::remove(CURL* handle)
{
    assert(isCurrent() && "transfers are removed on the network thread");
    curl_multi_remove_handle(m_multi, handle);
    m_transfers.erase(handle);
}

} // namespace morvix::platform
