#include "UnicodeUtil.h"

#include "UnicodeWidthData.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <span>
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
        const std::vector<Span> spans = categorySpans();
        // Identical blocks by their hash, as the index of their copy in _widths.
        std::unordered_multimap<size_t, uint16_t> seen;
        std::array<int8_t, blockSize> block{};
        size_t span = 0;
        size_t wide = 0;
        for (uint32_t b = 0; b < blockCount; ++b) {
            const uint32_t lo = b << blockBits;
            while (span < spans.size() && spans[span].limit <= lo)
                ++span;
            while (wide < std::size(UnicodeWidthData::eastAsianWide) &&
                   UnicodeWidthData::eastAsianWide[wide].hi < lo)
                ++wide;
            applyRules(lo, std::span(spans).subspan(span), wide, block);
            const std::string_view bytes(reinterpret_cast<const char*>(block.data()), blockSize);
            const size_t hash = std::hash<std::string_view>{}(bytes);
            uint16_t found = uint16_t(seen.size());
            for (auto [it, last] = seen.equal_range(hash); it != last; ++it) {
                if (std::equal(block.begin(), block.end(),
                               _widths.begin() + (ptrdiff_t(it->second) << blockBits))) {
                    found = it->second;
                    break;
                }
            }
            if (found == seen.size()) {
                seen.emplace(hash, found);
                _widths.insert(_widths.end(), block.begin(), block.end());
            }
            _index[b] = found;
        }
    }

    int operator()(uint32_t rune) const {
        return _widths[(size_t(_index[rune >> blockBits]) << blockBits) | (rune & (blockSize - 1))];
    }

private:
    static constexpr int8_t undecided = 9;

    // A run of code points of one general category that decides widths.
    struct Span {
        uint32_t start;
        uint32_t limit;
        UCharCategory type;
    };

    // The rules of columnWidthByRules, applied to whole ranges at a time (code point by code point costs
    // tens of milliseconds on the first non-ASCII character) and a block at a time: a scratch table of the
    // whole code space cost milliseconds more in fresh pages. A test holds the two to agree.
    static std::vector<Span> categorySpans() {
        std::vector<Span> spans;
        u_enumCharTypes(
            [](const void* context, UChar32 start, UChar32 limit, UCharCategory type) -> UBool {
                auto& spans = *static_cast<std::vector<Span>*>(const_cast<void*>(context));
                switch (type) {
                case U_NON_SPACING_MARK:
                case U_COMBINING_SPACING_MARK:
                case U_ENCLOSING_MARK:
                case U_LINE_SEPARATOR:
                case U_PARAGRAPH_SEPARATOR:
                case U_FORMAT_CHAR:
                case U_MODIFIER_SYMBOL:
                    spans.push_back({uint32_t(start), uint32_t(limit), type});
                    break;
                default:
                    break;
                }
                return true;
            },
            &spans);
        std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
        return spans;
    }

    // The widths of the block from lo. spans: from the first that does not end before lo; wide: the
    // first wide range that does not end before lo.
    static void applyRules(uint32_t lo, std::span<const Span> spans, size_t wide,
                           std::array<int8_t, blockSize>& w) {
        const uint32_t hi = lo + blockSize;
        w.fill(undecided);
        // Marks, separators, format characters and the odd modifier symbols, by general category.
        for (const Span& span : spans) {
            if (span.start >= hi) break;
            for (uint32_t c = std::max(span.start, lo); c < std::min(span.limit, hi); ++c) {
                if (span.type != U_MODIFIER_SYMBOL)
                    w[c - lo] = 0;
                else if (u_hasBinaryProperty(UChar32(c), UCHAR_EMOJI_MODIFIER))
                    w[c - lo] = 0;
                else if (c == 0xFF3E || c == 0xFF40 || c == 0xFFE3)
                    w[c - lo] = 2;
            }
        }
        if (lo == 0) {
            w[0xAD] = 1; // the soft hyphen: a format character that shows
            // NUL, the C0 and C1 controls and printable ASCII are settled before any category is consulted.
            w[0] = 0;
            for (uint32_t c = 0x01; c <= 0x9F; ++c)
                w[c] = c < 0x20 || c >= 0x7F ? -1 : 1;
        }
        // What the category left open: Hangul jamo that join, regional indicators, the wide ranges, then 1.
        const auto& ranges = UnicodeWidthData::eastAsianWide;
        for (uint32_t c = lo; c < hi; ++c) {
            int8_t& width = w[c - lo];
            if (width != undecided) continue;
            while (wide < std::size(ranges) && ranges[wide].hi < c)
                ++wide;
            if ((c >= 0x1160 && c <= 0x11FF) || (c >= 0xD7B0 && c <= 0xD7FF))
                width = 0;
            else if (c >= 0x1F1E6 && c <= 0x1F1FF)
                width = 2;
            else if (wide < std::size(ranges) && ranges[wide].lo <= c)
                width = 2;
            else
                width = 1;
        }
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
