#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Tessaline {

// The first byte below 0x20 in [p, end), or end. Printable text is the bulk of every stream, so this
// looks at 64 bytes per step (SSE2, which every x86-64 has) or a word at a time elsewhere.
inline const uint8_t* findControlByte(const uint8_t* p, const uint8_t* end) {
#if defined(__SSE2__)
    // Unsigned b <= 0x1F exactly when max(b, 0x1F) == 0x1F.
    const __m128i limit = _mm_set1_epi8(0x1F);
    auto controls = [&](const uint8_t* at) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return _mm_cmpeq_epi8(_mm_max_epu8(v, limit), limit);
    };
    while (end - p >= 64) {
        __m128i a = controls(p), b = controls(p + 16), c = controls(p + 32), d = controls(p + 48);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) {
            uint64_t mask = uint64_t(uint32_t(_mm_movemask_epi8(a))) |
                            uint64_t(uint32_t(_mm_movemask_epi8(b))) << 16 |
                            uint64_t(uint32_t(_mm_movemask_epi8(c))) << 32 |
                            uint64_t(uint32_t(_mm_movemask_epi8(d))) << 48;
            return p + __builtin_ctzll(mask);
        }
        p += 64;
    }
    while (end - p >= 16) {
        int mask = _mm_movemask_epi8(controls(p));
        if (mask != 0) return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // A byte below 0x20 borrows when 0x20 is taken from it and had its top bit clear; the lowest flagged
    // byte is always a true one (a borrow only travels upwards).
    constexpr uint64_t ones = 0x0101010101010101ull;
    while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        uint64_t found = (w - ones * 0x20) & ~w & (ones * 0x80);
        if (found != 0) return p + (__builtin_ctzll(found) >> 3);
        p += 8;
    }
#endif
    while (p < end && *p >= 0x20)
        ++p;
    return p;
}

} // namespace Tessaline
