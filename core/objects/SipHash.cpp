#include "core/objects/SipHash.h"

#include <sys/random.h>

#include <chrono>
#include <exception>
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
    // The device may have no source either and throw: the clock and an address alone then.
    auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    key.low = now;
    key.high = reinterpret_cast<std::uintptr_t>(&key) ^ (now << 17);
    try {
        std::random_device device;
        key.low ^= std::uint64_t(device()) << 32 | device();
        key.high ^= std::uint64_t(device()) << 32 | device();
    } catch (const std::exception&) {
    }
    return key;
}

} // namespace

IdHash::Key processKey()
{
    static const IdHash::Key key = drawKey();
    return key;
}

} // namespace morvix
