#pragma once
// Per-view state of the view extensions, kept beside the views instead of inside them.

#include "platform/ui/View.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace morvix {

/// One `State` per view, made on first use, keyed by the view's serial (never given to another
/// view, so a new view at a dead one's address inherits nothing). An entry whose view has gone
/// is dropped the next time an entry is made or the table is counted; dropped states are
/// destroyed after the lock is released.
///
/// Thread safety: any thread. The mutex guards the entries; `with` runs its function while
/// holding it, so that function must only read or write the state: no callbacks, no cancelling
/// of operations, no calls into views.
template<typename State>
class NetViewStateTable {
public:
    /// Runs `access(state)` on the entry of `view` (made when missing) and returns its result.
    template<typename Access>
    auto with(const platform::View& view, Access&& access)
    {
        std::vector<State> dropped;
        std::lock_guard lock(m_mutex); // guards m_entries
        auto found = m_entries.find(view.serial());
        if (found == m_entries.end()) {
            dropLocked(dropped);
            found = m_entries.emplace(view.serial(), Entry { view.weak_from_this(), State {} }).first;
        }
        return access(found->second.state);
    }

    /// The number of entries whose view is alive.
    std::size_t count()
    {
        std::vector<State> dropped;
        std::lock_guard lock(m_mutex); // guards m_entries
        dropLocked(dropped);
        return m_entries.size();
    }

private:
    struct Entry {
        std::weak_ptr<const platform::Responder> view;
        State state;
    };

    // Needs m_mutex; moves the states of gone views into `dropped`.
    void dropLocked(std::vector<State>& dropped)
    {
        for (auto entry = m_entries.begin(); entry != m_entries.end();) {
            if (!entry->second.view.expired()) {
                ++entry;
                continue;
            }
            dropped.push_back(std::move(entry->second.state));
            entry = m_entries.erase(entry);
        }
    }

    std::mutex m_mutex;
    std::unordered_map<std::uint64_t, Entry> m_entries;
};

} // namespace morvix
