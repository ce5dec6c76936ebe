#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Tessaline {

// CSI parameters read 32 bytes at a time. SGR sequences come one every few cells, each with several short
// numbers; taken a byte at a time, the digit-or-separator branch misses on nearly every parameter.
struct ParameterWindow {
    static constexpr uint32_t size = 32;
    // Bytes from the window's start that must be readable: the window and a number's word inside it.
    static constexpr size_t readable = size + 8;

    uint32_t separators; // ':' and ';' before end, one bit per byte
    uint32_t end;        // the first byte that is neither a digit nor a separator, or size
    bool shortNumbers;   // no run of digits before end is longer than three
    // values[k + 1]: the number whose last digit is byte k, as far as it lies in the window; 0 where byte
    // k is no digit, and values[0] is 0. Meaningful when shortNumbers.
    alignas(16) uint16_t values[size + 8];
};

// Inlined: its caller keeps the window in registers and on its own stack.
__attribute__((always_inline)) inline void scanParameterWindow(const uint8_t* p, ParameterWindow& w) {
    uint32_t digits = 0, separators = 0;
    w.values[0] = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    // A byte's digit value, and in `digit` whether it is one (unsigned: anything below '0' wraps high).
    auto digitValue = [](__m128i v, __m128i& digit) {
        const __m128i value = _mm_sub_epi8(v, _mm_set1_epi8('0'));
        digit = _mm_cmpeq_epi8(_mm_min_epu8(value, _mm_set1_epi8(9)), value);
        return value;
    };
    for (uint32_t half = 0; half < 2; ++half) {
        const uint8_t* q = p + 16 * half;
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        // The bytes one and two before each; before the window they are zeros, which are no digits.
        const __m128i v1 =
            half == 0 ? _mm_slli_si128(v0, 1) : _mm_loadu_si128(reinterpret_cast<const __m128i*>(q - 1));
        const __m128i v2 =
            half == 0 ? _mm_slli_si128(v0, 2) : _mm_loadu_si128(reinterpret_cast<const __m128i*>(q - 2));
        __m128i d0, d1, d2;
        const __m128i t0 = digitValue(v0, d0), t1 = digitValue(v1, d1), t2 = digitValue(v2, d2);
        d1 = _mm_and_si128(d1, d0);
        d2 = _mm_and_si128(d2, d1);
        // The digit values of a number's last three bytes, zero where they are no part of it.
        const __m128i a0 = _mm_and_si128(t0, d0);
        const __m128i a1 = _mm_and_si128(t1, d1);
        const __m128i a2 = _mm_and_si128(t2, d2);
        // The last two digits fit a byte; ten times a digit stays inside its byte, so word shifts do.
        const __m128i tens = _mm_add_epi8(a0, _mm_add_epi8(_mm_slli_epi16(a1, 3), _mm_add_epi8(a1, a1)));
        const __m128i hundred = _mm_set1_epi16(100);
        const __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(tens, zero),
                                          _mm_mullo_epi16(_mm_unpacklo_epi8(a2, zero), hundred));
        const __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(tens, zero),
                                           _mm_mullo_epi16(_mm_unpackhi_epi8(a2, zero), hundred));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w.values + 1 + 16 * half), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w.values + 9 + 16 * half), high);
        // ':' is 0x3A and ';' 0x3B: the same byte with the low bit cleared.
        const __m128i separator =
            _mm_cmpeq_epi8(_mm_and_si128(v0, _mm_set1_epi8(char(0xFE))), _mm_set1_epi8(':'));
        digits |= uint32_t(_mm_movemask_epi8(d0)) << (16 * half);
        separators |= uint32_t(_mm_movemask_epi8(separator)) << (16 * half);
    }
#else
    uint16_t value = 0;
    for (uint32_t k = 0; k < ParameterWindow::size; ++k) {
        const bool digit = uint8_t(p[k] - '0') < 10;
        // Only the last three digits count, as in the vector form.
        value = digit ? uint16_t(value % 100 * 10 + (p[k] - '0')) : 0;
        w.values[k + 1] = value;
        digits |= uint32_t(digit) << k;
        separators |= uint32_t((p[k] & 0xFE) == ':') << k;
    }
#endif
    const uint64_t other = ~uint64_t(digits | separators);
    w.end = uint32_t(__builtin_ctzll(other)); // bits from 32 up are always set
    const uint32_t before = uint32_t((uint64_t(1) << w.end) - 1);
    w.separators = separators & before;
    w.shortNumbers = (digits & digits << 1 & digits << 2 & digits << 3 & before) == 0;
}

// The value of the `length` (at most 8) ASCII digits at p, read as one word; p + 8 must be readable.
inline int64_t parseShortNumber(const uint8_t* p, uint32_t length) {
    uint64_t v;
    std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    // The digits to the top bytes; the zeros below them read as leading zeros.
    const uint32_t shift = (8 - length) * 8;
    v = shift < 64 ? (v << shift) & 0x0F0F0F0F0F0F0F0Full : 0;
    v = (v * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
    return int64_t(((v & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32);
}

} // namespace Tessaline
