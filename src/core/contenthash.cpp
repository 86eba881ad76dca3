#include "core/contenthash.h"

#include <QtEndian>

#include <cstdint>

namespace {

constexpr std::uint64_t prime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t prime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t prime3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t prime4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t prime5 = 0x27D4EB2F165667C5ULL;

inline std::uint64_t rotl(std::uint64_t x, int r)
{
    return (x << r) | (x >> (64 - r));
}

// Little-endian words, whatever the machine's order.
inline std::uint64_t read64(const unsigned char *p)
{
    return qFromLittleEndian<quint64>(p);
}

inline std::uint32_t read32(const unsigned char *p)
{
    return qFromLittleEndian<quint32>(p);
}

inline std::uint64_t round(std::uint64_t accumulator, std::uint64_t input)
{
    accumulator += input * prime2;
    return rotl(accumulator, 31) * prime1;
}

inline std::uint64_t mergeRound(std::uint64_t accumulator, std::uint64_t value)
{
    accumulator ^= round(0, value);
    return accumulator * prime1 + prime4;
}

} // namespace

quint64 ContentHash::of(const char *data, std::size_t size)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(data);
    const unsigned char *const end = p + size;
    std::uint64_t hash;
    if (size >= 32) {
        // Four independent lanes of 8 bytes each, so that the multiplications
        // of one lane overlap those of the others.
        std::uint64_t v1 = prime1 + prime2;
        std::uint64_t v2 = prime2;
        std::uint64_t v3 = 0;
        std::uint64_t v4 = 0 - prime1;
        const unsigned char *const limit = end - 32;
        do {
            v1 = round(v1, read64(p));
            v2 = round(v2, read64(p + 8));
            v3 = round(v3, read64(p + 16));
            v4 = round(v4, read64(p + 24));
            p += 32;
        } while (p <= limit);
        hash = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
        hash = mergeRound(hash, v1);
        hash = mergeRound(hash, v2);
        hash = mergeRound(hash, v3);
        hash = mergeRound(hash, v4);
    } else {
        hash = prime5;
    }
    hash += std::uint64_t(size);
    for (; p + 8 <= end; p += 8)
        hash = rotl(hash ^ round(0, read64(p)), 27) * prime1 + prime4;
    if (p + 4 <= end) {
        hash = rotl(hash ^ (std::uint64_t(read32(p)) * prime1), 23) * prime2 + prime3;
        p += 4;
    }
    for (; p < end; ++p)
        hash = rotl(hash ^ (*p * prime5), 11) * prime1;
    hash ^= hash >> 33;
    hash *= prime2;
    hash ^= hash >> 29;
    hash *= prime3;
    hash ^= hash >> 32;
    return hash;
}
