#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace Tessaline {

// Column widths of Unicode scalars and the UTF-8 first-byte table of the print path.
struct UnicodeUtil {
    // An inclusive range of code points.
    struct LH {
        uint32_t lo;
        uint32_t hi;
    };

    UnicodeUtil() = delete;

    // Columns a scalar takes in the grid: -1 for a control (never stored), 0 for a mark that joins the
    // previous character, 2 for East Asian wide and fullwidth characters, 1 for the rest. Reads a table
    // of every code point built once, on first use, from columnWidthByRules.
    static int columnWidth(uint32_t rune);
    // The width rules themselves, one Unicode property lookup and one range search per call.
    static int columnWidthByRules(uint32_t rune);

    // 1 when the code point lies in one of the ranges 0 to `max` of an ascending table of disjoint ranges,
    // else 0. A `max` beyond the table is taken as its last index; an empty table holds nothing.
    static int bisearch(uint32_t rune, std::span<const LH> table, int max);

    // Per first byte of a UTF-8 sequence: the low four bits give its length (1 to 4); for lengths 2 to 4
    // the high four bits select the range of the second byte (0: 80-BF, 1: A0-BF, 2: 80-9F, 3: 90-BF,
    // 4: 80-8F). 0xF0 marks ASCII, 0xF1 a byte that starts no sequence; both count as one byte.
    static const std::array<uint8_t, 256> first;

private:
    static constexpr std::array<uint8_t, 256> makeFirst() {
        std::array<uint8_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            uint8_t e = 0xF1;
            if (b < 0x80)
                e = 0xF0;
            else if (b >= 0xC2 && b <= 0xDF)
                e = 0x02;
            else if (b == 0xE0)
                e = 0x13;
            else if (b == 0xED)
                e = 0x23;
            else if (b >= 0xE1 && b <= 0xEF)
                e = 0x03;
            else if (b == 0xF0)
                e = 0x34;
            else if (b >= 0xF1 && b <= 0xF3)
                e = 0x04;
            else if (b == 0xF4)
                e = 0x44;
            t[size_t(b)] = e;
        }
        return t;
    }
};

inline constexpr std::array<uint8_t, 256> UnicodeUtil::first = UnicodeUtil::makeFirst();

} // namespace Tessaline
