#include "UnicodeUtil.h"

#include "UnicodeWidthData.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Tessaline {

static_assert(UnicodeUtil::first[0x41] == 0xF0 && UnicodeUtil::first[0xC1] == 0xF1);
static_assert(UnicodeUtil::first[0xE0] == 0x13 && UnicodeUtil::first[0xED] == 0x23);
static_assert(UnicodeUtil::first[0xF4] == 0x44 && UnicodeUtil::first[0xF5] == 0xF1);

namespace {

constexpr bool sortedAndDisjoint(std::span<const UnicodeUtil::LH> table) {
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].lo > table[i].hi) return false;
        if (i > 0 && table[i - 1].hi >= table[i].lo) return false;
    }
    return true;
}
static_assert(sortedAndDisjoint(UnicodeWidthData::eastAsianWide));
static_assert(sortedAndDisjoint(UnicodeWidthData::emojiVs16Base));

// Widths of every code point up to U+10FFFF in two levels: blocks of 256 code points, identical blocks
// stored once. The print path asks for every non-ASCII scalar, so one indexed load replaces the property
// lookup and the range search.
class WidthTable {
public:
    static constexpr uint32_t blockBits = 8;
    static constexpr uint32_t blockSize = 1u << blockBits;
    static constexpr uint32_t codeSpace = 0x110000;
    static constexpr uint32_t blockCount = codeSpace >> blockBits;

    WidthTable() {
        std::vector<int8_t> all = applyRulesByRange();
        std::unordered_map<std::string_view, uint16_t> seen;
        for (uint32_t b = 0; b < blockCount; ++b) {
            std::string_view block(reinterpret_cast<const char*>(all.data()) + (b << blockBits), blockSize);
            auto [it, inserted] = seen.emplace(block, uint16_t(seen.size()));
            if (inserted) _widths.insert(_widths.end(), block.begin(), block.end());
            _index[b] = it->second;
        }
    }

    int operator()(uint32_t rune) const {
        return _widths[(size_t(_index[rune >> blockBits]) << blockBits) | (rune & (blockSize - 1))];
    }

private:
    static constexpr int8_t undecided = 9;

    // The rules of columnWidthByRules, applied to whole ranges at a time: running them code point by code
    // point costs tens of milliseconds on the first non-ASCII character. A test holds the two to agree.
    static std::vector<int8_t> applyRulesByRange() {
        std::vector<int8_t> w(codeSpace, undecided);
        // Marks, separators, format characters and the odd modifier symbols, by general category.
        u_enumCharTypes(
            [](const void* context, UChar32 start, UChar32 limit, UCharCategory type) -> UBool {
                auto& w = *static_cast<std::vector<int8_t>*>(const_cast<void*>(context));
                switch (type) {
                case U_NON_SPACING_MARK:
                case U_COMBINING_SPACING_MARK:
                case U_ENCLOSING_MARK:
                case U_LINE_SEPARATOR:
                case U_PARAGRAPH_SEPARATOR:
                case U_FORMAT_CHAR:
                    std::fill(w.begin() + start, w.begin() + limit, int8_t(0));
                    break;
                case U_MODIFIER_SYMBOL:
                    for (UChar32 c = start; c < limit; ++c) {
                        if (u_hasBinaryProperty(c, UCHAR_EMOJI_MODIFIER))
                            w[size_t(c)] = 0;
                        else if (c == 0xFF3E || c == 0xFF40 || c == 0xFFE3)
                            w[size_t(c)] = 2;
                    }
                    break;
                default:
                    break;
                }
                return true;
            },
            &w);
        w[0xAD] = 1; // the soft hyphen: a format character that shows
        // NUL, the C0 and C1 controls and printable ASCII are settled before any category is consulted.
        w[0] = 0;
        for (uint32_t c = 0x01; c <= 0x9F; ++c)
            w[c] = c < 0x20 || c >= 0x7F ? -1 : 1;
        // What the category left open: Hangul jamo that join, regional indicators, the wide ranges, then 1.
        auto decide = [&w](uint32_t lo, uint32_t hi, int8_t width) {
            for (uint32_t c = lo; c <= hi && c < codeSpace; ++c)
                if (w[c] == undecided) w[c] = width;
        };
        decide(0x1160, 0x11FF, 0);
        decide(0xD7B0, 0xD7FF, 0);
        decide(0x1F1E6, 0x1F1FF, 2);
        for (const auto& range : UnicodeWidthData::eastAsianWide)
            decide(range.lo, range.hi, 2);
        decide(0, codeSpace - 1, 1);
        return w;
    }

    std::array<uint16_t, blockCount> _index{};
    std::vector<int8_t> _widths;
};

const WidthTable& widthTable() {
    static const auto table = std::make_unique<const WidthTable>();
    return *table;
}

} // namespace

int UnicodeUtil::columnWidth(uint32_t rune) {
    if (rune - 0x20 < 0x5F) return 1;
    if (rune > 0x10FFFF) return columnWidthByRules(rune);
    return widthTable()(rune);
}

int UnicodeUtil::columnWidthByRules(uint32_t rune) {
    if (rune == 0) return 0;
    if (rune < 0x20 || (rune >= 0x7F && rune <= 0x9F)) return -1;
    if (rune < 0x7F) return 1;

    switch (u_charType(UChar32(rune))) {
    case U_NON_SPACING_MARK:
    case U_COMBINING_SPACING_MARK:
    case U_ENCLOSING_MARK:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
        return 0;
    case U_MODIFIER_SYMBOL:
        if (u_hasBinaryProperty(UChar32(rune), UCHAR_EMOJI_MODIFIER)) return 0;
        if (rune == 0xFF3E || rune == 0xFF40 || rune == 0xFFE3) return 2;
        break;
    case U_FORMAT_CHAR:
        return rune == 0xAD ? 1 : 0;
    default:
        break;
    }

    // Hangul medial vowels and final consonants join the leading consonant.
    if ((rune >= 0x1160 && rune <= 0x11FF) || (rune >= 0xD7B0 && rune <= 0xD7FF)) return 0;
    if (rune >= 0x1F1E6 && rune <= 0x1F1FF) return 2;
    const auto& wide = UnicodeWidthData::eastAsianWide;
    return bisearch(rune, wide, int(wide.size()) - 1) ? 2 : 1;
}

int UnicodeUtil::bisearch(uint32_t rune, std::span<const LH> table, int max) {
    if (table.empty() || max < 0) return 0;
    if (size_t(max) >= table.size()) max = int(table.size()) - 1;
    if (rune < table[0].lo || rune > table[size_t(max)].hi) return 0;
    int min = 0;
    while (max >= min) {
        int mid = (min + max) / 2;
        if (rune > table[size_t(mid)].hi)
            min = mid + 1;
        else if (rune < table[size_t(mid)].lo)
            max = mid - 1;
        else
            return 1;
    }
    return 0;
}

} // namespace Tessaline
