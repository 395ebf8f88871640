#include "core/objects/SipHash.h"

#include <sys/random.h>

#include <chrono>
#include <random>

namespace morvix {

namespace {

IdHash::Key drawKey()
{
    IdHash::Key key;
    if (::getrandom(&key, sizeof key, 0) == static_cast<ssize_t>(sizeof key))
        return key;
    // Without the kernel's generator (a sandbox that forbids the call), the library's own:
    // still unknown to a peer, if weaker.
    std::random_device device;
    auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    key.low = (std::uint64_t(device()) << 32 | device()) ^ now;
    key.high = (std::uint64_t(device()) << 32 | device()) ^ reinterpret_cast<std::uintptr_t>(&key);
    return key;
}

} // namespace

IdHash::Key processKey()
{
    static const IdHash::Key key = drawKey();
    return key;
}

} // namespace morvix
