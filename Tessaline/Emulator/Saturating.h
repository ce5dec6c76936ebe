#pragma once

#include <cstdint>

namespace Tessaline {

// Position arithmetic on values a program chose (offsets, counts): sums and differences stop at the ends
// of the 64-bit range instead of wrapping, so that an absurd position stays absurd and matches nothing.
constexpr int64_t saturatingAdd(int64_t a, int64_t b) {
    int64_t result = 0;
    if (__builtin_add_overflow(a, b, &result)) return b > 0 ? INT64_MAX : INT64_MIN;
    return result;
}

constexpr int64_t saturatingSub(int64_t a, int64_t b) {
    int64_t result = 0;
    if (__builtin_sub_overflow(a, b, &result)) return b < 0 ? INT64_MAX : INT64_MIN;
    return result;
}

} // namespace Tessaline
