// The print path: runs of printable bytes become cells of the active buffer (UTF-8, character sets,
// widths, grapheme joining, the grapheme table), and the C0 controls LF, CR and BS.
#include "Terminal.h"

#include "UnicodeUtil.h"
#include "UnicodeWidthData.h"
#include "Utf8.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/uniset.h>
#include <unicode/utext.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Tessaline {

namespace {

constexpr uint32_t zeroWidthJoiner = 0x200D;
constexpr uint32_t textPresentation = 0xFE0E;
constexpr uint32_t emojiPresentation = 0xFE0F;

// Whether a word holds a byte from 0x7F up: its top bit is set, or adding 1 sets it (only 0x7F).
constexpr uint64_t asciiOnes = 0x0101010101010101ull;
inline bool hasNonAscii(uint64_t w) {
    return ((w | (w + asciiOnes)) & (asciiOnes * 0x80)) != 0;
}

// The first byte at or above 0x7F (DEL or the start of anything but ASCII) in [p, end), or end.
const uint8_t* findNonAscii(const uint8_t* p, const uint8_t* end) {
    const size_t n = size_t(end - p);
    if (n >= 4 && n <= 16) {
        // Most runs are short lines: two overlapping words answer "all ASCII" without a loop.
        uint64_t a = 0;
        uint64_t b = 0;
        if (n >= 8) {
            std::memcpy(&a, p, 8);
            std::memcpy(&b, end - 8, 8);
        } else {
            uint32_t lo = 0;
            uint32_t hi = 0;
            std::memcpy(&lo, p, 4);
            std::memcpy(&hi, end - 4, 4);
            // Zero bytes above keep the test to the four bytes.
            a = lo;
            b = hi;
        }
        if (!hasNonAscii(a) && !hasNonAscii(b)) return end;
    }
#if defined(__SSE2__)
    // Signed compare: bytes from 0x80 are negative, so "greater than 0x7E" leaves only DEL; the sign bits
    // catch the rest.
    const __m128i limit = _mm_set1_epi8(0x7E);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(v, _mm_cmpgt_epi8(v, limit)));
        if (mask != 0) return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        if (hasNonAscii(w)) break;
        p += 8;
    }
    while (p < end && *p < 0x7F)
        ++p;
    return p;
}

// Where a cell was written, stored in one piece: the print path compares the four fields in one load, and a
// load that spans several narrower stores waits for them to land.
inline void storeWhole(Buffer::LastBufferStorage& to, int y, int x, int cols, int rows) {
#if defined(__SSE2__)
    static_assert(sizeof(Buffer::LastBufferStorage) == sizeof(__m128i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&to), _mm_set_epi32(rows, cols, x, y));
#else
    to = {y, x, cols, rows};
#endif
}

bool isRegionalIndicator(uint32_t scalar) {
    return scalar >= 0x1F1E6 && scalar <= 0x1F1FF;
}

// What the print path asks of a scalar, in one byte: its column width (plus one, in the low two bits)
// and its classes for joining.
enum ScalarInfoBits : uint8_t {
    widthBits = 3,
    // Joins the cell before it whatever its width: combining marks (canonical combining class other than
    // 0), emoji modifiers, variation selectors and the zero-width joiner.
    joinsBit = 4,
    // Grapheme break classes: nothing extends Control, CR and LF ...
    controlBit = 8,
    // ... and Extend, ZWJ and SpacingMark extend anything else.
    extendsBit = 16,
    pictographBit = 32,
    // Takes the emoji presentation selector (U+FE0F) as a variation.
    vs16BaseBit = 64,
    // A Hangul jamo or syllable, which join by syllable structure (hangulJoins).
    hangulBit = 128,
};

int widthOf(uint8_t info) {
    return (info & widthBits) - 1;
}

// Hangul syllable structure (UAX #29): leading consonants, vowels, trailing consonants, and precomposed
// syllables with or without a trailing consonant.
enum class HangulKind : uint8_t {
    none,
    leading,
    vowel,
    trailing,
    syllable,
    syllableWithTrailing
};

constexpr HangulKind hangulKind(uint32_t c) {
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0xA960 && c <= 0xA97C)) return HangulKind::leading;
    if ((c >= 0x1160 && c <= 0x11A7) || (c >= 0xD7B0 && c <= 0xD7C6)) return HangulKind::vowel;
    if ((c >= 0x11A8 && c <= 0x11FF) || (c >= 0xD7CB && c <= 0xD7FB)) return HangulKind::trailing;
    if (c >= 0xAC00 && c <= 0xD7A3)
        return (c - 0xAC00) % 28 == 0 ? HangulKind::syllable : HangulKind::syllableWithTrailing;
    return HangulKind::none;
}

// Whether `next` continues the syllable that `previous` ends (GB6, GB7, GB8).
constexpr bool hangulJoins(uint32_t previous, uint32_t next) {
    const HangulKind a = hangulKind(previous);
    const HangulKind b = hangulKind(next);
    switch (a) {
    case HangulKind::leading:
        return b != HangulKind::none && b != HangulKind::trailing;
    case HangulKind::vowel:
    case HangulKind::syllable:
        return b == HangulKind::vowel || b == HangulKind::trailing;
    case HangulKind::syllableWithTrailing:
    case HangulKind::trailing:
        return b == HangulKind::trailing;
    case HangulKind::none:
        return false;
    }
    return false;
}
static_assert(hangulJoins(0x1100, 0x1161) && hangulJoins(0x1161, 0x11A8) && !hangulJoins(0x11A8, 0x1161));
static_assert(hangulJoins(0xAC00, 0x11A8) && !hangulJoins(0xAC01, 0x1161) && !hangulJoins(0x61, 0x1161));

// The bytes of the scalars from UnicodeUtil::columnWidth and ICU's properties, in blocks of 256 scalars
// made the first time one of their scalars is printed (building all of them would stall the first
// non-ASCII character): after that one indexed load per scalar. Shared by every terminal of the process.
class ScalarTable {
public:
    static constexpr uint32_t codeSpace = 0x110000;

    ScalarTable() {
        static const char16_t* const patterns[] = {
            u"[[:^ccc=0:][:Emoji_Modifier:][:Variation_Selector:][\\u200D]]",
            u"[[:GCB=Control:][:GCB=CR:][:GCB=LF:]]",
            u"[[:GCB=Extend:][:GCB=ZWJ:][:GCB=SpacingMark:]]",
            u"[:Extended_Pictographic:]",
        };
        for (size_t k = 0; k < std::size(patterns); ++k) {
            UErrorCode status = U_ZERO_ERROR;
            _sets[k].applyPattern(icu::UnicodeString(patterns[k]), status);
            if (U_FAILURE(status)) fatalError("A Unicode set of the print path does not build");
            _sets[k].freeze();
        }
    }

    uint8_t operator()(uint32_t scalar) const {
        if (scalar >= codeSpace) return 0;
        const Block* block = _blocks[scalar >> 8].load(std::memory_order_acquire);
        if (block == nullptr) [[unlikely]]
            block = build(scalar >> 8);
        return (*block)[scalar & 0xFF];
    }

    static const ScalarTable& shared();

private:
    using Block = std::array<uint8_t, 256>;

    [[gnu::noinline]] const Block* build(uint32_t number) const {
        std::lock_guard lock(_mutex);
        if (const Block* made = _blocks[number].load(std::memory_order_relaxed)) return made;
        auto block = std::make_unique<Block>();
        for (uint32_t i = 0; i < 256; ++i) {
            const uint32_t c = (number << 8) | i;
            uint8_t info = uint8_t(UnicodeUtil::columnWidth(c) + 1);
            for (size_t k = 0; k < std::size(_sets); ++k)
                if (_sets[k].contains(UChar32(c))) info |= uint8_t(joinsBit << k);
            if (UnicodeUtil::bisearch(c, UnicodeWidthData::emojiVs16Base, 182)) info |= vs16BaseBit;
            if (hangulKind(c) != HangulKind::none) info |= hangulBit;
            (*block)[i] = info;
        }
        // Identical blocks are stored once (all of CJK is one block), which keeps the table in the cache.
        const std::string_view bytes(reinterpret_cast<const char*>(block->data()), block->size());
        auto found = _distinct.find(bytes);
        const Block* made = found != _distinct.end() ? found->second : block.get();
        if (made == block.get()) {
            _distinct.emplace(bytes, made);
            _made.push_back(std::move(block));
        }
        _blocks[number].store(made, std::memory_order_release);
        return made;
    }

    icu::UnicodeSet _sets[4];
    mutable std::array<std::atomic<const Block*>, codeSpace / 256> _blocks{};
    mutable std::vector<std::unique_ptr<Block>> _made;
    mutable std::unordered_map<std::string_view, const Block*> _distinct;
    mutable std::mutex _mutex;
};

// Made on first use; the pointer spares the print path the guard of a function-local static.
std::atomic<const ScalarTable*> scalarTable{nullptr};

[[gnu::noinline]] const ScalarTable& ScalarTable::shared() {
    static const ScalarTable table;
    scalarTable.store(&table, std::memory_order_release);
    return table;
}

inline uint8_t scalarInfo(uint32_t scalar) {
    const ScalarTable* table = scalarTable.load(std::memory_order_acquire);
    return table != nullptr ? (*table)(scalar) : ScalarTable::shared()(scalar);
}

} // namespace

void Terminal::prepareSharedTables() {
    // The sets and the width table, and the blocks of the commonest non-ASCII text: Latin, combining
    // marks, punctuation and joiners, box drawing and blocks, emoji.
    for (uint32_t scalar : {0xE9u, 0x301u, 0x200Du, 0x2500u, 0x1F600u, 0xFE0Fu})
        scalarInfo(scalar);
}

namespace {

// Writes a scalar's UTF-8 form (up to four bytes) and answers its length.
inline int encodeScalar(uint32_t c, char* out) {
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (c >> 18));
    out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

// Bytes of the UTF-8 sequence a lead byte starts (1 for a byte that starts none).
int sequenceLength(uint8_t lead) {
    const uint8_t entry = UnicodeUtil::first[lead];
    return entry >= 0xF0 ? 1 : entry & 0x0F;
}

bool isContinuation(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// The range of the second byte a first byte selects (no overlong form, no surrogate, nothing above
// U+10FFFF), by the high four bits of its entry in UnicodeUtil::first.
constexpr uint8_t secondLow[5] = {0x80, 0xA0, 0x80, 0x90, 0x80};
constexpr uint8_t secondHigh[5] = {0xBF, 0xBF, 0x9F, 0xBF, 0x8F};

// The sequence at p, the slow way: for one that is broken or cut off by the end of the data.
int decodeUtf8Slowly(const uint8_t* p, const uint8_t* end, uint32_t& scalar) {
    const uint8_t entry = UnicodeUtil::first[p[0]];
    if (entry >= 0xF0) return -1;
    const int n = entry & 0x0F;
    uint32_t s = p[0] & (0x7Fu >> n);
    for (int k = 1; k < n; ++k) {
        if (p + k == end) return 0;
        const uint8_t c = p[k];
        const bool valid =
            k == 1 ? c >= secondLow[entry >> 4] && c <= secondHigh[entry >> 4] : isContinuation(c);
        if (!valid) {
            while (k < n && p + k < end && isContinuation(p[k]))
                ++k;
            return -k;
        }
        s = (s << 6) | (c & 0x3Fu);
    }
    scalar = s;
    return n;
}

// The sequence at p. Answers the bytes it took, with the scalar; 0 when the data ends inside a sequence
// that is valid so far; or minus the bytes to pass over when the first byte shows as Latin-1: a byte
// that starts no sequence, or the start of a broken one together with its continuation bytes (reading
// goes on at the first byte that is none, so "C3 41" keeps its "A").
inline int decodeUtf8(const uint8_t* p, const uint8_t* end, uint32_t& scalar) {
    const uint8_t entry = UnicodeUtil::first[p[0]];
    const int n = entry & 0x0F;
    if (entry < 0xF0 && end - p >= n) {
        const uint8_t c1 = p[1];
        if (c1 >= secondLow[entry >> 4] && c1 <= secondHigh[entry >> 4]) {
            if (n == 2) {
                scalar = uint32_t(p[0] & 0x1F) << 6 | (c1 & 0x3Fu);
                return 2;
            }
            if (isContinuation(p[2])) {
                if (n == 3) {
                    scalar = uint32_t(p[0] & 0x0F) << 12 | uint32_t(c1 & 0x3F) << 6 | (p[2] & 0x3Fu);
                    return 3;
                }
                if (isContinuation(p[3])) {
                    scalar = uint32_t(p[0] & 0x07) << 18 | uint32_t(c1 & 0x3F) << 12 |
                             uint32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3Fu);
                    return 4;
                }
            }
        }
    }
    return decodeUtf8Slowly(p, end, scalar);
}

// The scalar of a well-formed sequence (texts from the grapheme table and from encoded scalars).
uint32_t decodeSequence(std::string_view bytes) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    switch (std::min(size_t(sequenceLength(p[0])), bytes.size())) {
    case 2:
        return uint32_t(p[0] & 0x1F) << 6 | (p[1] & 0x3Fu);
    case 3:
        return uint32_t(p[0] & 0x0F) << 12 | uint32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3Fu);
    case 4:
        return uint32_t(p[0] & 0x07) << 18 | uint32_t(p[1] & 0x3F) << 12 | uint32_t(p[2] & 0x3F) << 6 |
               (p[3] & 0x3Fu);
    default:
        return p[0];
    }
}

// The start of the last scalar of a well-formed text.
size_t lastScalarStart(std::string_view text) {
    size_t start = text.size() - 1;
    while (start > 0 && isContinuation(uint8_t(text[start])))
        --start;
    return start;
}

uint32_t lastScalar(std::string_view text) {
    return text.empty() ? 0 : decodeSequence(text.substr(lastScalarStart(text)));
}

// Whether a cluster followed by one more scalar is still one extended grapheme cluster (UAX #29). The
// common cases are decided here from the classes of the two scalars at the seam; the rest goes to the
// break iterator.
bool formsOneCluster(std::string_view joined, size_t clusterLength, uint32_t previous, uint8_t previousInfo,
                     uint32_t scalar, uint8_t info) {
    if (previousInfo & controlBit) return false; // GB4
    if (info & extendsBit) return true;          // GB9, GB9a
    // GB6 to GB8.
    if ((info & hangulBit) && (previousInfo & hangulBit) && hangulJoins(previous, scalar)) return true;
    const std::string_view cluster = joined.substr(0, clusterLength);
    if (isRegionalIndicator(scalar) && isRegionalIndicator(previous)) {
        // GB12, GB13: indicators pair up from the start of the run.
        int count = 0;
        for (std::string_view rest = cluster; !rest.empty(); ++count) {
            const size_t start = lastScalarStart(rest);
            if (!isRegionalIndicator(decodeSequence(rest.substr(start)))) break;
            rest = rest.substr(0, start);
        }
        return count % 2 == 1;
    }
    if (previous == zeroWidthJoiner && (info & pictographBit)) {
        // GB11: a pictograph, extenders, the joiner, a pictograph.
        std::string_view rest = cluster.substr(0, lastScalarStart(cluster));
        while (!rest.empty()) {
            const size_t start = lastScalarStart(rest);
            const uint32_t c = decodeSequence(rest.substr(start));
            if (scalarInfo(c) & pictographBit) return true;
            if (u_getIntPropertyValue(UChar32(c), UCHAR_GRAPHEME_CLUSTER_BREAK) != U_GCB_EXTEND) break;
            rest = rest.substr(0, start);
        }
    }

    // One iterator per thread, made once. It keeps pointing into `text` between calls, so the text lives
    // beside it rather than in the caller's string.
    struct Checker {
        std::unique_ptr<icu::BreakIterator> iterator;
        char text[GraphemeTable::maxLength + 8];
    };
    thread_local Checker checker;
    if (joined.size() > GraphemeTable::maxLength) return false;
    UErrorCode status = U_ZERO_ERROR;
    if (!checker.iterator) {
        checker.iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !checker.iterator) {
            checker.iterator.reset();
            return false;
        }
    }
    std::copy(joined.begin(), joined.end(), checker.text);
    UText text = UTEXT_INITIALIZER;
    utext_openUTF8(&text, checker.text, int64_t(joined.size()), &status);
    checker.iterator->setText(&text, status);
    utext_close(&text);
    if (U_FAILURE(status)) return false;
    return checker.iterator->following(0) == int32_t(joined.size());
}

// Copies the ASCII from p on to out, up to the first byte from 0x7F up or the end, and answers where it
// stopped: the search and the copy in one pass. Out may take 16 bytes more than are copied.
const uint8_t* copyAscii(const uint8_t* p, const uint8_t* end, uint8_t*& out) {
#if defined(__SSE2__)
    const uint8_t* const start = p;
    const __m128i limit = _mm_set1_epi8(0x7E);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
        const int mask = _mm_movemask_epi8(_mm_or_si128(v, _mm_cmpgt_epi8(v, limit)));
        if (mask != 0) {
            const int k = __builtin_ctz(unsigned(mask));
            out += k;
            return p + k;
        }
        p += 16;
        out += 16;
    }
    if (p < end && end - start >= 16) {
        // The last 16 bytes in one load, from a window that reaches back over bytes copied already.
        const uint8_t* from = end - 16;
        const ptrdiff_t back = p - from;
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out - back), v);
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_or_si128(v, _mm_cmpgt_epi8(v, limit)))) >> back;
        const ptrdiff_t k = mask != 0 ? __builtin_ctz(mask) : end - p;
        out += k;
        return p + k;
    }
#endif
    while (p < end && *p < 0x7F)
        *out++ = *p++;
    return p;
}

// A run whose characters beyond ASCII are all Latin-1 letters and signs of one column (a line with an
// accented letter or two) as one byte per character, its code, for the segment writes ASCII takes: no
// widening to whole codes. False as soon as one is anything else.
bool decodeLatinText(const uint8_t* p, const uint8_t* end, std::vector<uint8_t>& bytes, size_t& count) {
    if (bytes.size() < size_t(end - p) + 16) bytes.resize(size_t(end - p) + 16);
    uint8_t* out = bytes.data();
    while ((p = copyAscii(p, end, out)) < end) {
        // C2 A0 to C3 BF: U+00A0 to U+00FF. U+0080 to U+009F are controls.
        if (end - p < 2 || (p[0] != 0xC2 && p[0] != 0xC3) || !isContinuation(p[1])) return false;
        const uint32_t scalar = uint32_t(p[0] & 0x1F) << 6 | (p[1] & 0x3Fu);
        const uint8_t info = scalarInfo(scalar);
        if (scalar < 0xA0 || widthOf(info) != 1 || (info & (joinsBit | controlBit | extendsBit | pictographBit)))
            return false;
        *out++ = uint8_t(scalar);
        p += 2;
    }
    count = size_t(out - bytes.data());
    return true;
}

// Decodes a run that holds only characters of one column that join nothing into their codes: ASCII, and
// the letters, digits and symbols of other scripts that are neither marks, joiners nor pictographs (a
// line of text with an accented letter or two, box drawing). False as soon as one is anything else.
// `stop` is where the first byte from 0x7F up is (findNonAscii of the run). The codes go to the start of
// `codes`, which only ever grows (growing a vector's size would clear the new codes first); `count`
// says how many there are.
bool decodeSimpleText(const uint8_t* p, const uint8_t* stop, const uint8_t* end, std::vector<uint32_t>& codes,
                      size_t& count) {
    // Room for a whole vector written past the last code.
    if (codes.size() < size_t(end - p) + 16) codes.resize(size_t(end - p) + 16);
    uint32_t* out = codes.data();
    for (bool first = true; p < end; first = false) {
        if (!first) stop = findNonAscii(p, end);
#if defined(__SSE2__)
        // ASCII bytes widened 16 at a time; the vector may run past the stretch, which the next code or
        // the end overwrites or cuts off.
        const __m128i zero = _mm_setzero_si128();
        while (p < stop) {
            __m128i bytes;
            if (end - p >= 16) {
                bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            } else {
                alignas(16) uint8_t tail[16] = {};
                std::memcpy(tail, p, size_t(end - p));
                bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
            }
            const __m128i low = _mm_unpacklo_epi8(bytes, zero);
            const __m128i high = _mm_unpackhi_epi8(bytes, zero);
            auto* to = reinterpret_cast<__m128i*>(out);
            _mm_storeu_si128(to, _mm_unpacklo_epi16(low, zero));
            _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(low, zero));
            _mm_storeu_si128(to + 2, _mm_unpacklo_epi16(high, zero));
            _mm_storeu_si128(to + 3, _mm_unpackhi_epi16(high, zero));
            const ptrdiff_t step = std::min<ptrdiff_t>(16, stop - p);
            out += step;
            p += step;
        }
#else
        for (; p < stop; ++p)
            *out++ = *p;
#endif
        if (p == end) break;
        uint32_t scalar = 0;
        // DEL, broken or cut-off sequences and four-byte characters (emoji, mostly wide) go the general way.
        const int r = decodeUtf8(p, end, scalar);
        if (r < 2 || r > 3) return false;
        const uint8_t info = scalarInfo(scalar);
        if (widthOf(info) != 1 || (info & (joinsBit | controlBit | extendsBit | pictographBit))) return false;
        *out++ = scalar;
        p += r;
    }
    count = size_t(out - codes.data());
    return true;
}

// The bytes of the first `scalars` characters of well-formed text.
size_t bytesOfScalars(const uint8_t* p, size_t scalars) {
    size_t at = 0;
    for (; scalars > 0; --scalars)
        at += size_t(sequenceLength(p[at]));
    return at;
}

} // namespace

// MARK: Runs

void Terminal::handlePrint(std::span<const uint8_t> data) {
    if (data.empty()) return;
    if (_columnSwitch) [[unlikely]]
        applyColumnSwitch();
    if (_marginShift.pending) [[unlikely]] {
        // Printing stays between the margins, wrapping at the right one, unless it starts outside them
        // (or inserts, which clears a wide character cut at the edge).
        const Buffer& b = *_buffer;
        if (b.x() < b.marginLeft() || b.x() > b.marginRight() || b.insertMode) settleMarginShiftRow(b.y());
    }
    if (!_buffer->wraparound) [[unlikely]] {
        const int xBefore = _buffer->x();
        printRun(data);
        holdCursorAtRightEdge(xBefore);
        return;
    }
    printRun(data);
}

void Terminal::holdCursorAtRightEdge(int xBefore) {
    Buffer& buffer = *_buffer;
    const bool held = std::exchange(buffer.heldAtRightEdge, false);
    if (buffer.wraparound) return;
    const int right = buffer.rightEdge(*buffer.lines()[buffer.yBase() + buffer.y()]);
    // Past the edge only by writing there: from inside it, or after insertCharacter moved a cursor that
    // stood beyond the right margin onto it. A cursor the program put beyond the margin stays.
    if (buffer.x() > right && (xBefore <= right || held)) buffer.setX(right);
}

inline void Terminal::printRun(std::span<const uint8_t> data) {
    // Between runs other commands may have changed the cell last written.
    _lastCell.known = false;
    // The attribute changes far less often than runs arrive: pack it into a cell once per change.
    if (!(_printCellAttribute == _curAttr)) {
        _printCell = CharData(_curAttr, _underlineColors, 0, 1);
        _printCellAttribute = _curAttr;
    }
    if (charset == nullptr && _readingBuffer.putbackCount == 0) {
        if (data.size() == 1 && data[0] < 0x7F && _buffer->insertAsciiCell(data[0], _printCell)) {
            updateRange(*_buffer, _buffer->y());
            return;
        }
        const uint8_t* begin = data.data();
        const uint8_t* end = begin + data.size();
        const uint8_t* stop = findNonAscii(begin, end);
        if (stop == end) {
            Buffer& buffer = *_buffer;
            updateRange(buffer, buffer.y());
            const int written = buffer.insertAsciiRun(data, _printCell);
            if (size_t(written) == data.size()) {
                updateRange(buffer, buffer.y());
                return;
            }
            // Insert mode, or the right edge without wraparound: the rest one character at a time.
            printGeneral(data.subspan(size_t(written)));
            return;
        }
        // Text with a letter or two beyond ASCII goes in as one segment all the same, when none of its
        // characters can join another or take two columns.
        size_t codes = 0;
        Buffer& buffer = *_buffer;
        // What the row did not take goes in one character at a time.
        const auto finishRun = [&](int written) {
            if (size_t(written) == codes)
                updateRange(buffer, buffer.y());
            else
                printGeneral(data.subspan(bytesOfScalars(begin, size_t(written))));
        };
        if (decodeLatinText(begin, end, _byteRun, codes)) {
            updateRange(buffer, buffer.y());
            finishRun(buffer.insertAsciiRun({_byteRun.data(), codes}, _printCell));
            return;
        }
        if (decodeSimpleText(begin, stop, end, _codeRun, codes)) {
            updateRange(buffer, buffer.y());
            finishRun(buffer.insertCodeRun({_codeRun.data(), codes}, _printCell));
            return;
        }
    }
    printGeneral(data);
}

void Terminal::printAscii(const uint8_t* begin, const uint8_t* end) {
    finishJoin();
    Buffer& buffer = *_buffer;
    const size_t length = size_t(end - begin);
    // Plain ASCII never joins the cell before it: a stretch goes in as row segments.
    const size_t written = size_t(buffer.insertAsciiRun({begin, length}, _printCell));
    if (written < length) {
        CharData cell = _printCell;
        for (const uint8_t* p = begin + written; p < end; ++p) {
            cell.code = *p;
            buffer.insertCharacter(cell);
        }
    }
    // An ASCII cell ends with no joiner and is no indicator.
    noteLastCell(false, false, buffer.lines().peek(buffer.lastBufferStorage.y).get());
}

void Terminal::printGeneral(std::span<const uint8_t> data) {
    const uint8_t* p = data.data();
    const uint8_t* const end = p + data.size();
    ReadingBuffer& held = _readingBuffer;
    updateRange(_buffer->y());
    _continuationCell = CharData(_buffer->curAttr, 0, 0);

    if (held.putbackCount > 0) {
        // The start of a sequence the last run did not finish, completed from this run.
        std::array<uint8_t, 8> bytes{};
        const int n = held.putbackCount;
        std::copy_n(held.putbackBuffer.begin(), n, bytes.begin());
        const int more = int(std::min<ptrdiff_t>(end - p, 3));
        std::copy_n(p, more, bytes.begin() + n);
        held.putbackCount = 0;
        uint32_t scalar = 0;
        const int r = decodeUtf8(bytes.data(), bytes.data() + n + more, scalar);
        if (r == 0) {
            holdBack(bytes.data(), n + more);
            updateRange(_buffer->y());
            return;
        }
        if (r > 0)
            printScalar(scalar);
        else
            printByte(bytes[0]);
        // Held bytes are a valid start, so what was taken reaches into this run.
        p += (r > 0 ? r : -r) - n;
    }

    // What the cell written last ends with, so that the clusters of this run can go into the row in place
    // from the first one on.
    if (!_lastCell.known && !_pendingJoin.active) learnLastCell();

    while (p < end) {
        const uint8_t b = *p;
        if (b < 0x80) {
            if (b < 0x7F && charset == nullptr) {
                const uint8_t* stop = findNonAscii(p, end);
                printAscii(p, stop);
                p = stop < end && *stop >= 0x80 ? joinMarksToAscii(stop, end) : stop;
            } else {
                printByte(b);
                ++p;
            }
            continue;
        }
        if (const size_t placed = placeCellsInRow(p, end)) {
            p += placed;
            continue;
        }
        uint32_t scalar = 0;
        const int r = decodeUtf8(p, end, scalar);
        if (r > 0) {
            printScalar(scalar);
            p += r + placeCellsInRow(p + r, end);
        } else if (r < 0) {
            printByte(b);
            p -= r;
        } else {
            // The run ends inside the sequence: it waits for the next run.
            holdBack(p, int(end - p));
            break;
        }
    }
    finishJoin();
    updateRange(_buffer->y());
}

void Terminal::holdBack(const uint8_t* bytes, int count) {
    std::copy_n(bytes, count, _readingBuffer.putbackBuffer.begin());
    _readingBuffer.putbackCount = count;
}

void Terminal::printHeldBytes() {
    // The print cell is still the one of the run that held the bytes: nothing ran in between.
    const uint8_t lead = _readingBuffer.putbackBuffer[0];
    _readingBuffer.putbackCount = 0;
    _lastCell.known = false;
    Buffer& buffer = *_buffer;
    const int xBefore = buffer.x();
    updateRange(buffer.y());
    _continuationCell = CharData(buffer.curAttr, 0, 0);
    printByte(lead);
    finishJoin();
    updateRange(_buffer->y());
    if (!_buffer->wraparound) holdCursorAtRightEdge(xBefore);
}

void Terminal::printByte(uint8_t b) {
    if (b <= 0x7E && charset != nullptr) {
        auto mapped = charset->find(b);
        if (mapped != charset->end() && !mapped->second.empty()) {
            // The maps hold one scalar per byte; the first is the character.
            const std::string_view text = mapped->second;
            insertOwnCell(
                code(text.substr(0, std::min(size_t(sequenceLength(uint8_t(text[0]))), text.size()))), 1);
            noteLastCell(false, false);
            return;
        }
    }
    // A byte that starts nothing shows as the Latin-1 character of its value; controls (DEL, C1) drop.
    const int width = widthOf(scalarInfo(b));
    if (width >= 1) {
        insertOwnCell(b, width);
        noteLastCell(false, false);
    }
}

void Terminal::learnLastCell() {
    BufferLine* line = lastWrittenLine();
    if (line == nullptr) return;
    // As printScalar reads it: the joiner alone, or a grapheme ending with it or holding one indicator.
    const int32_t code = (*line)[std::min(_buffer->lastBufferStorage.x, _cols - 1)].code;
    bool joiner = code == int32_t(zeroWidthJoiner);
    bool indicator = false;
    if (const std::optional<std::string_view> text = _graphemes.text(code)) {
        joiner = text->ends_with("\xE2\x80\x8D");
        indicator = text->size() == 4 && isRegionalIndicator(decodeSequence(*text));
    }
    noteLastCell(joiner, indicator, line);
}

void Terminal::noteLastCell(bool endsWithJoiner, bool isIndicator) {
    noteLastCell(endsWithJoiner, isIndicator, nullptr);
}

void Terminal::noteLastCell(bool endsWithJoiner, bool isIndicator, BufferLine* line) {
    const Buffer::LastBufferStorage& last = _buffer->lastBufferStorage;
    _lastCell.known = true;
    _lastCell.endsWithJoiner = endsWithJoiner;
    _lastCell.isIndicator = isIndicator;
    _lastCell.line = line;
    storeWhole(_lastCell.storage, last.y, last.x, last.cols, last.rows);
}

// MARK: Characters

int32_t Terminal::scalarCode(uint32_t scalar) {
    if (scalar < 0x10000) return int32_t(scalar);
    // Past the table's bound a lone scalar still fits the cell as itself.
    const int32_t made = _graphemes.codeForScalarOrZero(scalar);
    return made != 0 ? made : int32_t(scalar);
}

void Terminal::printScalar(uint32_t scalar) {
    const uint8_t info = scalarInfo(scalar);
    const int width = widthOf(info);
    if (width < 0) return;
    bool joins = width == 0 || (info & joinsBit);
    if (!joins) {
        if (_pendingJoin.active) {
            // The cell being joined ends with the joiner or is a lone indicator.
            const std::string_view text = _pendingJoin.view();
            joins = _pendingJoin.lastScalar == zeroWidthJoiner ||
                    (isRegionalIndicator(scalar) && text.size() == 4 &&
                     isRegionalIndicator(decodeSequence(text)));
        } else if (_lastCell.known && _lastCell.storage == _buffer->lastBufferStorage) {
            joins = _lastCell.endsWithJoiner || (isRegionalIndicator(scalar) && _lastCell.isIndicator);
        } else if (const BufferLine* line = lastWrittenLine()) {
            const int32_t lastCode = (*line)[std::min(_buffer->lastBufferStorage.x, _cols - 1)].code;
            if (lastCode == int32_t(zeroWidthJoiner)) {
                joins = true;
            } else if (const std::optional<std::string_view> text = _graphemes.text(lastCode)) {
                // U+200D ends in E2 80 8D; a regional indicator is four bytes F0 9F 87 A6-BF.
                joins =
                    text->ends_with("\xE2\x80\x8D") || (isRegionalIndicator(scalar) && text->size() == 4 &&
                                                        isRegionalIndicator(decodeSequence(*text)));
            }
        }
    }
    if (joins) {
        joinToLastCell(scalar, info);
        return;
    }
    // The cell before gets its code first: codes follow the order of the cells.
    finishJoin();
    const int32_t code = scalarCode(scalar);
    if (placeCellInRow(code, width, isRegionalIndicator(scalar))) return;
    const Buffer::LastBufferStorage before = _buffer->lastBufferStorage;
    insertOwnCell(code, width);
    // A wide character dropped at the edge (wraparound off) leaves the last cell what it was.
    if (width == 1 || !(_buffer->lastBufferStorage == before))
        noteLastCell(false, isRegionalIndicator(scalar));
    else
        _lastCell.known = false;
}

void Terminal::insertOwnCell(int32_t code, int width) {
    finishJoin();
    CharData cell = _printCell;
    cell.setValue(code, int8_t(width));
    _buffer->insertCharacter(cell);
}

// Whole clusters from begin on, each with the scalars that join it, go into the row in place while the
// cluster is one of the common shapes (marks, emoji with VS16, a skin tone or joined people, flags) and
// fits: the cell's text is the bytes read, and what joinToLastCell would decide for each join follows
// from the scalars' classes. Anything else stops the loop before its cluster, for the general path.
size_t Terminal::placeCellsInRow(const uint8_t* begin, const uint8_t* end) {
    Buffer& buffer = *_buffer;
    Buffer::LastBufferStorage& last = buffer.lastBufferStorage;
    BufferLine* const line = _lastCell.line;
    if (_pendingJoin.active || !_lastCell.known || _lastCell.endsWithJoiner || line == nullptr ||
        !(_lastCell.storage == last) || buffer.insertMode || buffer.yBase() + buffer.y() != last.y)
        return 0;
    const int right = buffer.rightEdge(*line);
    const int columns = std::min({right + 1, _cols, line->count()});
    const bool asciiCells = charset == nullptr;
    int x = buffer.x();
    int placed = -1;
    bool indicator = _lastCell.isIndicator;
    bool joiner = false;
    const uint8_t* p = begin;
    while (p < end && x < columns) {
        uint32_t base = *p;
        int r = 1;
        if (base < 0x80) {
            // ASCII never joins the cell before it (through a character set it goes the general way).
            if (!asciiCells || base < 0x20 || base == 0x7F) break;
            // A stretch of ASCII goes in as a row segment: a letter among wide characters is placed here,
            // but the rest of a line of text after one accented letter is not, cell by cell.
            if (end - p >= 8) {
                uint64_t word;
                std::memcpy(&word, p, 8);
                if (!hasNonAscii(word)) break;
            }
        } else if ((r = decodeUtf8(p, end, base)) <= 0) {
            break;
        }
        const uint8_t baseInfo = scalarInfo(base);
        const int width = widthOf(baseInfo);
        if (width < 1 || (baseInfo & (joinsBit | controlBit)) || x + width > columns ||
            (indicator && isRegionalIndicator(base)))
            break;
        int cellWidth = width;
        int count = 1;
        uint32_t previous = base;
        uint8_t beforeJoinerInfo = 0;
        uint8_t previousInfo = baseInfo;
        const uint8_t* q = p + r;
        bool unusual = false;
        while (q < end) {
            uint32_t scalar = *q;
            int taken = 1;
            if (scalar < 0x80) {
                // Any other ASCII ends the cluster; DEL and controls drop without ending it.
                unusual = scalar < 0x20 || scalar == 0x7F;
                break;
            }
            // A broken or cut-off sequence ends the cluster.
            if ((taken = decodeUtf8(q, end, scalar)) <= 0) break;
            const uint8_t info = scalarInfo(scalar);
            const int scalarWidth = widthOf(info);
            const bool pair = count == 1 && isRegionalIndicator(base) && isRegionalIndicator(scalar);
            if (scalarWidth >= 1 && !(info & joinsBit) && previous != zeroWidthJoiner && !pair) break;
            // The ways it joins that formsOneCluster decides from the classes alone.
            if (scalarWidth < 0 || size_t(q + taken - p) > GraphemeTable::maxLength ||
                scalar == textPresentation) {
                unusual = true;
            } else if (scalar == emojiPresentation) {
                // Widens the base that takes it; any other selector is dropped from the text.
                unusual = count != 1 || !(baseInfo & vs16BaseBit) || (cellWidth != 2 && x + 2 > columns);
                cellWidth = 2;
            } else if (!(info & extendsBit) && !pair &&
                       !((info & hangulBit) && (previousInfo & hangulBit) && hangulJoins(previous, scalar))) {
                unusual = !(previous == zeroWidthJoiner && (info & pictographBit) &&
                            (beforeJoinerInfo & pictographBit));
            }
            if (unusual) break;
            beforeJoinerInfo = previousInfo;
            previous = scalar;
            previousInfo = info;
            ++count;
            q += taken;
        }
        if (unusual) break;
        CharData* cells = line->cellsForWrite(x, x + cellWidth);
        // Codes follow the order in which the general path makes them: the base's own, then the cluster's.
        const int32_t baseCode = base < 0x80 ? int32_t(base) : scalarCode(base);
        CharData cell = _printCell;
        cell.setValue(count == 1 ? baseCode : code({reinterpret_cast<const char*>(p), size_t(q - p)}),
                      int8_t(cellWidth));
        cells[x] = cell;
        if (width == 2) {
            cells[x + 1] = _continuationCell;
        } else if (cellWidth == 2) {
            cell.setValue(0, 0);
            cell.setPayload({});
            cells[x + 1] = cell;
        }
        placed = x;
        x += cellWidth;
        indicator = count == 1 && isRegionalIndicator(base);
        joiner = previous == zeroWidthJoiner;
        p = q;
    }
    if (placed >= 0) {
        storeWhole(last, last.y, placed, buffer.cols(), buffer.rows());
        buffer.setX(x);
        updateRange(last.y - buffer.yBase());
        noteLastCell(joiner, indicator, line);
    }
    return size_t(p - begin);
}

bool Terminal::placeCellInRow(int32_t code, int width, bool isIndicator) {
    Buffer& buffer = *_buffer;
    const int x = buffer.x();
    const int right = buffer.marginMode ? buffer.marginRight() : buffer.cols() - 1;
    if (buffer.insertMode || x + width - 1 > right) return false;
    const int row = buffer.yBase() + buffer.y();
    BufferLine* line = buffer.lines().peek(row).get();
    if (line == nullptr || x + width > line->count() ||
        line->renderMode != BufferLine::RenderLineMode::single)
        return false;
    CharData* cells = line->cellsForWrite(x, x + width);
    CharData cell = _printCell;
    cell.setValue(code, int8_t(width));
    cells[x] = cell;
    if (width == 2) cells[x + 1] = _continuationCell;
    storeWhole(buffer.lastBufferStorage, row, x, buffer.cols(), buffer.rows());
    buffer.setX(x + width);
    noteLastCell(false, isIndicator, line);
    return true;
}

BufferLine* Terminal::lastWrittenLine() {
    Buffer& buffer = *_buffer;
    const Buffer::LastBufferStorage& last = buffer.lastBufferStorage;
    if (last.cols != _cols || last.rows != _rows) return nullptr;
    if (last.y < 0 || last.y >= buffer.lines().count()) return nullptr;
    // The cell may lie outside the margins, whose cells may still be with another row.
    if (_marginShift.pending) [[unlikely]]
        settleMarginShiftRow(last.y - buffer.yBase());
    BufferLine* line = buffer.lines()[last.y].get();
    return line->count() > 0 ? line : nullptr;
}

std::string_view Terminal::characterText(int32_t code, std::array<char, 4>& scratch) const {
    if (code > CharData::graphemeCodeBase) return _graphemes.text(code).value_or(" ");
    if (code < 0 || !Utf8::isScalar(uint32_t(code))) return " ";
    return {scratch.data(), size_t(encodeScalar(uint32_t(code), scratch.data()))};
}

// Joining builds the cell's text here and gives it its code once no further scalar joins within the run,
// so a letter with three marks takes one grapheme code, not three.
void Terminal::joinToLastCell(uint32_t scalar, uint8_t info) {
    Buffer& buffer = *_buffer;
    PendingJoin& pending = _pendingJoin;
    const int width = widthOf(info);
    // Nothing to join to: the scalar gets its own cell, unless it takes no room at all.
    auto standAlone = [&] {
        finishJoin();
        if (width > 0) insertOwnCell(scalarCode(scalar), width);
    };
    if (!pending.active) {
        const Buffer::LastBufferStorage& last = buffer.lastBufferStorage;
        // The row of a cell this run wrote is known; lastWrittenLine() finds any other.
        BufferLine* written = _lastCell.known && _lastCell.line != nullptr && _lastCell.storage == last &&
                                      last.cols == _cols && last.rows == _rows
                                  ? _lastCell.line
                                  : lastWrittenLine();
        if (written == nullptr) {
            standAlone();
            return;
        }
        BufferLine& line = *written;
        pending.line = &line;
        pending.row = last.y;
        pending.p = std::min(last.x, _cols - 1);
        pending.column = std::min(pending.p, line.count() - 1);
        const CharData& cell = line[pending.column];
        std::array<char, 4> scratch;
        const std::string_view text = characterText(cell.code, scratch);
        std::copy(text.begin(), text.end(), pending.text);
        pending.length = int(text.size());
        pending.width = cell.width();
        // A scalar cell is its own last scalar; only a grapheme's text needs reading.
        pending.lastScalar =
            cell.code <= CharData::graphemeCodeBase && cell.code >= 0 && Utf8::isScalar(uint32_t(cell.code))
                ? uint32_t(cell.code)
                : lastScalar(text);
        pending.lastInfo = scalarInfo(pending.lastScalar);
    }
    const uint32_t previous = pending.lastScalar;
    const int length = pending.length + encodeScalar(scalar, pending.text + pending.length);
    if (size_t(length) > GraphemeTable::maxLength ||
        !formsOneCluster({pending.text, size_t(length)}, size_t(pending.length), previous, pending.lastInfo,
                         scalar, info)) {
        standAlone();
        return;
    }

    if (scalar == emojiPresentation || scalar == textPresentation) {
        // A selector after a character without an emoji variation is dropped.
        if (!(pending.lastInfo & vs16BaseBit)) return;
        if (scalar == emojiPresentation) {
            if (pending.width != 2 && pending.p + 1 < _cols) {
                // The widened character may reach past the right margin.
                settleMarginShiftRow(pending.row - buffer.yBase());
                CharData continuation = (*pending.line)[pending.column];
                continuation.setValue(0, 0);
                continuation.setPayload({});
                pending.line->set(pending.p + 1, continuation);
                buffer.setX(buffer.x() + 1);
                pending.width = 2;
            }
        } else {
            if (pending.width == 2 && buffer.x() > 0) buffer.setX(buffer.x() - 1);
            pending.width = 1;
        }
    }
    pending.length = length;
    pending.lastScalar = scalar;
    pending.lastInfo = info;
    pending.active = true;
}

// The common case of joining, letters and their marks, straight from the bytes: what printScalar and
// joinToLastCell decide for them is known from the marks' classes, and the text is the bytes read. A
// letter that marks follow is placed here too while it fits the row as printAscii would place it.
const uint8_t* Terminal::joinMarksToAscii(const uint8_t* p, const uint8_t* end) {
    Buffer& buffer = *_buffer;
    Buffer::LastBufferStorage& last = buffer.lastBufferStorage;
    BufferLine* const line = _lastCell.line;
    // The run's last cell, written just now at a column the row has.
    if (!_lastCell.known || line == nullptr || !(_lastCell.storage == last) || last.cols != _cols ||
        last.rows != _rows || last.x >= std::min(_cols, line->count()) || (scalarInfo(p[-1]) & controlBit))
        return p;
    const int row = last.y;
    const int right = buffer.marginMode ? buffer.marginRight() : _cols - 1;
    const int columns = std::min(_cols, line->count());
    PendingJoin& pending = _pendingJoin;
    int column = last.x;
    for (;;) {
        // The cluster's text is the bytes read, in place.
        const uint8_t* const start = p - 1;
        uint32_t previous = 0;
        uint8_t previousInfo = 0;
        const uint8_t* q = p;
        while (q < end && *q >= 0x80) {
            uint32_t scalar = 0;
            const int r = decodeUtf8(q, end, scalar);
            if (r <= 0) break;
            const uint8_t info = scalarInfo(scalar);
            // Width 0 and Extend: joins whatever the cell holds. The joiner and the presentation selectors
            // decide more than that, and an overlong cluster is refused: all are left to joinToLastCell.
            if (widthOf(info) != 0 || !(info & extendsBit) || scalar == zeroWidthJoiner ||
                scalar == emojiPresentation || scalar == textPresentation ||
                size_t(q + r - start) > GraphemeTable::maxLength)
                break;
            previous = scalar;
            previousInfo = info;
            q += r;
        }
        if (q == p) break;
        const std::string_view text(reinterpret_cast<const char*>(start), size_t(q - start));
        if (q < end && *q >= 0x7F) {
            // What joinToLastCell would hold at this point; the scalar at q goes the general way.
            pending.active = true;
            pending.line = line;
            pending.row = row;
            pending.p = column;
            pending.column = column;
            pending.width = 1;
            std::copy(text.begin(), text.end(), pending.text);
            pending.length = int(text.size());
            pending.lastScalar = previous;
            pending.lastInfo = previousInfo;
            p = q;
            break;
        }
        // Nothing after the marks can join the cell (ASCII finishes any join): its code now.
        // The text is a letter and marks, never a lone scalar: straight to the table, which may read
        // whole words of the bytes that follow.
        const int32_t made = _graphemes.codeOrZero(text, size_t(end - start));
        line->cellToChange(column).setValue(made != 0 ? made : 0xFFFD, 1);
        p = q;
        if (end - p < 2 || p[0] < 0x20 || p[0] > 0x7E || p[1] < 0x80 || buffer.insertMode) break;
        const int x = buffer.x();
        if (buffer.yBase() + buffer.y() != row || x > right || x >= columns) break;
        CharData cell = _printCell;
        cell.code = p[0];
        line->cellsForWrite(x, x + 1)[x] = cell;
        storeWhole(last, row, x, _cols, _rows);
        buffer.setX(x + 1);
        column = x;
        ++p;
    }
    updateRange(row - buffer.yBase());
    noteLastCell(false, false, line);
    return p;
}

void Terminal::finishJoin() {
    PendingJoin& pending = _pendingJoin;
    if (!pending.active) return;
    pending.active = false;
    // The column is inside the row (joinToLastCell held it there).
    pending.line->cellToChange(pending.column).setValue(code(pending.view()), int8_t(pending.width));
    updateRange(pending.row - _buffer->yBase());
    const std::string_view text = pending.view();
    noteLastCell(pending.lastScalar == zeroWidthJoiner,
                 text.size() == 4 && isRegionalIndicator(decodeSequence(text)));
}

// MARK: The grapheme table

int32_t Terminal::code(std::string_view character) {
    if (character.size() <= 4 && !character.empty()) {
        if (character == "\r\n") return 10;
        // A lone scalar, strictly decoded.
        const uint8_t* p = reinterpret_cast<const uint8_t*>(character.data());
        uint32_t scalar = 0;
        const bool ascii = p[0] < 0x80;
        const int r = ascii ? 1 : decodeUtf8(p, p + character.size(), scalar);
        if (r == int(character.size())) return scalarCode(ascii ? p[0] : scalar);
    }
    // Past the table's bound (or its length limit) a new cluster shows as U+FFFD.
    const int32_t made = _graphemes.codeOrZero(character);
    return made != 0 ? made : 0xFFFD;
}

std::string Terminal::character(int32_t code) const {
    std::array<char, 4> scratch;
    return std::string(characterText(code, scratch));
}

// MARK: C0 controls

void Terminal::cmdLineFeedBasic() {
    Buffer& buffer = *_buffer;
    const int x = buffer.x();
    const int y = buffer.y();
    if (y == buffer.scrollBottom()) {
        // Right of the margins the cursor stays where it is, margin mode or not.
        if (x >= buffer.marginLeft() && x <= buffer.marginRight()) scroll(false);
    } else if (y < _rows - 1) {
        buffer.setY(y + 1);
    }
    if (buffer.x() >= _cols) buffer.setX(buffer.x() - 1);
    holdCursorToRow();
    if (tdel != nullptr) tdel->linefeed(*this);
    if (lineFeedMode) buffer.setX(originMode && marginMode ? buffer.marginLeft() : 0);
}

void Terminal::cmdCarriageReturn() {
    Buffer& buffer = *_buffer;
    buffer.setX(marginMode && buffer.x() >= buffer.marginLeft() ? buffer.marginLeft() : 0);
}

void Terminal::cmdBackspace() {
    restrictCursor(!reverseWraparound);
    Buffer& buffer = *_buffer;
    const int left = marginMode ? buffer.marginLeft() : 0;
    const int right = marginMode ? buffer.marginRight() : buffer.cols() - 1;
    const int x = buffer.x();
    const int y = buffer.y();
    if (x > left) {
        buffer.setX(x - 1);
        return;
    }
    if (!reverseWraparound) {
        if (x < left && x > 0) buffer.setX(x - 1);
        return;
    }
    if (y > buffer.scrollTop() && y <= buffer.scrollBottom()) {
        BufferLine& line = *buffer.lines()[buffer.yBase() + y];
        if (line.isWrapped && !marginMode) line.isWrapped = false;
        buffer.setY(y - 1);
        buffer.setX(right);
    } else if (y == buffer.scrollTop()) {
        buffer.setX(right);
        buffer.setY(buffer.scrollBottom());
    } else if (y > 0) {
        buffer.setX(right);
        buffer.setY(y - 1);
    }
}

} // namespace Tessaline
