#pragma once
// A keyed hash of byte strings, for tables whose keys the peer chooses.

#include <cstdint>
#include <string_view>

namespace morvix {

/// SipHash with `CompressionRounds` rounds per 8-byte block and `FinalizationRounds` at the end,
/// keyed with 128 bits. Without the key nobody can tell which strings share the low bits of
/// their hashes, so a peer cannot choose ids that all fall into one probe sequence of a table
/// (as it can with a hash of fixed seed, whose collisions are found offline once and for all).
///
/// The library hashes ids with `IdHash` (1 and 3 rounds, the variant made for hash tables) and
/// the key `processKey()` draws once per process. A plain value type; any thread.
template<int CompressionRounds, int FinalizationRounds>
class SipHash final {
public:
    struct Key {
        std::uint64_t low = 0;
        std::uint64_t high = 0;
    };

    explicit constexpr SipHash(Key key)
        : m_key(key)
    {
    }

    std::uint64_t operator()(std::string_view data) const
    {
        State state(m_key);
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
        std::size_t whole = data.size() - data.size() % 8;
        for (std::size_t at = 0; at < whole; at += 8)
            state.compress(littleEndian(bytes + at, 8));
        // The last block holds the bytes left over and, in its top byte, the length.
        std::uint64_t last = littleEndian(bytes + whole, data.size() - whole) | (std::uint64_t(data.size()) << 56);
        state.compress(last);
        state.v2 ^= 0xff;
        for (int round = 0; round < FinalizationRounds; ++round)
            state.round();
        return state.v0 ^ state.v1 ^ state.v2 ^ state.v3;
    }

private:
    struct State {
        explicit constexpr State(Key key)
            : v0(key.low ^ 0x736f6d6570736575ULL)
            , v1(key.high ^ 0x646f72616e646f6dULL)
            , v2(key.low ^ 0x6c7967656e657261ULL)
            , v3(key.high ^ 0x7465646279746573ULL)
        {
        }
        void compress(std::uint64_t block)
        {
            v3 ^= block;
            for (int round = 0; round < CompressionRounds; ++round)
                this->round();
            v0 ^= block;
        }
        void round()
        {
            v0 += v1;
            v1 = rotate(v1, 13) ^ v0;
            v0 = rotate(v0, 32);
            v2 += v3;
            v3 = rotate(v3, 16) ^ v2;
            v0 += v3;
            v3 = rotate(v3, 21) ^ v0;
            v2 += v1;
            v1 = rotate(v1, 17) ^ v2;
            v2 = rotate(v2, 32);
        }
        std::uint64_t v0;
        std::uint64_t v1;
        std::uint64_t v2;
        std::uint64_t v3;
    };

    static constexpr std::uint64_t rotate(std::uint64_t value, int bits) { return (value << bits) | (value >> (64 - bits)); }
    // Up to eight bytes read as a little-endian number, whatever the machine's byte order.
    static std::uint64_t littleEndian(const unsigned char* bytes, std::size_t count)
    {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < count; ++i)
            value |= std::uint64_t(bytes[i]) << (8 * i);
        return value;
    }

    Key m_key;
};

/// The hash of object ids: SipHash-1-3.
using IdHash = SipHash<1, 3>;

/// 128 random bits drawn on the first call, the same for the rest of the process. Any thread.
IdHash::Key processKey();

} // namespace morvix
