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

#include <cstring>
#include <memory>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Tessaline {

namespace {

constexpr uint32_t zeroWidthJoiner = 0x200D;
constexpr uint32_t textPresentation = 0xFE0E;
constexpr uint32_t emojiPresentation = 0xFE0F;

// The first byte at or above 0x7F (DEL or the start of anything but ASCII) in [p, end), or end.
const uint8_t* findNonAscii(const uint8_t* p, const uint8_t* end) {
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
    // Eight at a time: a byte from 0x7F up has its top bit set, or gets it by adding 1 (only 0x7F).
    constexpr uint64_t ones = 0x0101010101010101ull;
    while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        const uint64_t found = (w | (w + ones)) & (ones * 0x80);
        if (found != 0) break;
        p += 8;
    }
    while (p < end && *p < 0x7F)
        ++p;
    return p;
}

bool isRegionalIndicator(uint32_t scalar) {
    return scalar >= 0x1F1E6 && scalar <= 0x1F1FF;
}

// What the joining decisions ask of a scalar, as bits of one byte.
enum ScalarClass : uint8_t {
    // Joins the cell before it whatever its width: combining marks (canonical combining class other than
    // 0), emoji modifiers, variation selectors and the zero-width joiner.
    joinsBit = 1,
    // Grapheme break classes: nothing extends Control, CR and LF ...
    controlBit = 2,
    // ... and Extend, ZWJ and SpacingMark extend anything else.
    extendsBit = 4,
    pictographBit = 8,
};

// The classes from ICU's properties, built once: a byte per scalar in two levels (blocks of 256 scalars,
// identical blocks stored once), so the print path pays one indexed load.
class ScalarClasses {
public:
    ScalarClasses() {
        static const char16_t* const patterns[] = {
            u"[[:^ccc=0:][:Emoji_Modifier:][:Variation_Selector:][\\u200D]]",
            u"[[:GCB=Control:][:GCB=CR:][:GCB=LF:]]",
            u"[[:GCB=Extend:][:GCB=ZWJ:][:GCB=SpacingMark:]]",
            u"[:Extended_Pictographic:]",
        };
        std::vector<uint8_t> all(codeSpace, 0);
        for (size_t k = 0; k < std::size(patterns); ++k) {
            UErrorCode status = U_ZERO_ERROR;
            const icu::UnicodeSet set(icu::UnicodeString(patterns[k]), status);
            if (U_FAILURE(status)) fatalError("A Unicode set of the print path does not build");
            for (int32_t r = 0; r < set.getRangeCount(); ++r)
                for (UChar32 c = set.getRangeStart(r); c <= set.getRangeEnd(r); ++c)
                    all[size_t(c)] |= uint8_t(1u << k);
        }
        std::unordered_map<std::string_view, uint16_t> seen;
        for (uint32_t b = 0; b < codeSpace / 256; ++b) {
            const std::string_view block(reinterpret_cast<const char*>(all.data()) + b * 256, 256);
            auto [it, inserted] = seen.emplace(block, uint16_t(seen.size()));
            if (inserted) _classes.insert(_classes.end(), block.begin(), block.end());
            _index[b] = it->second;
        }
        // The views in `seen` point into `all`; they are not used past here.
    }

    uint8_t operator()(uint32_t scalar) const {
        if (scalar >= codeSpace) return 0;
        return _classes[(size_t(_index[scalar >> 8]) << 8) | (scalar & 0xFF)];
    }

private:
    static constexpr uint32_t codeSpace = 0x110000;
    std::array<uint16_t, codeSpace / 256> _index{};
    std::vector<uint8_t> _classes;
};

uint8_t classOf(uint32_t scalar) {
    static const ScalarClasses* classes = new ScalarClasses();
    return (*classes)(scalar);
}

// Writes a scalar's UTF-8 form (up to four bytes) and answers its length.
int encodeScalar(uint32_t c, char* out) {
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

// The scalar of a well-formed sequence (texts from the grapheme table and from encoded scalars).
uint32_t decodeSequence(std::string_view bytes) {
    const int n = sequenceLength(uint8_t(bytes[0]));
    uint32_t scalar = uint8_t(bytes[0]) & (n == 1 ? 0xFFu : 0x7Fu >> n);
    for (int i = 1; i < n && size_t(i) < bytes.size(); ++i)
        scalar = (scalar << 6) | (uint8_t(bytes[size_t(i)]) & 0x3Fu);
    return scalar;
}

// The start of the last scalar of a well-formed text.
size_t lastScalarStart(std::string_view text) {
    size_t start = text.size() - 1;
    while (start > 0 && (uint8_t(text[start]) & 0xC0) == 0x80)
        --start;
    return start;
}

uint32_t lastScalar(std::string_view text) {
    return text.empty() ? 0 : decodeSequence(text.substr(lastScalarStart(text)));
}

// Whether a cluster followed by one more scalar is still one extended grapheme cluster (UAX #29). The
// common cases are decided here from the classes of the two scalars at the seam; the rest goes to the
// break iterator.
bool formsOneCluster(std::string_view joined, size_t clusterLength, uint32_t previous, uint32_t scalar) {
    const std::string_view cluster = joined.substr(0, clusterLength);
    if (classOf(previous) & controlBit) return false; // GB4
    const uint8_t scalarClass = classOf(scalar);
    if (scalarClass & extendsBit) return true; // GB9, GB9a
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
    if (previous == zeroWidthJoiner && (scalarClass & pictographBit)) {
        // GB11: a pictograph, extenders, the joiner, a pictograph.
        std::string_view rest = cluster.substr(0, lastScalarStart(cluster));
        while (!rest.empty()) {
            const size_t start = lastScalarStart(rest);
            const uint32_t c = decodeSequence(rest.substr(start));
            if (classOf(c) & pictographBit) return true;
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

bool isContinuation(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// The second byte of a sequence must lie in the range its first byte selects (no overlong form, no
// surrogate, nothing above U+10FFFF).
bool validSecondByte(uint8_t b, uint8_t range) {
    switch (range) {
    case 1:
        return b >= 0xA0 && b <= 0xBF;
    case 2:
        return b >= 0x80 && b <= 0x9F;
    case 3:
        return b >= 0x90 && b <= 0xBF;
    case 4:
        return b >= 0x80 && b <= 0x8F;
    default:
        return isContinuation(b);
    }
}

} // namespace

// MARK: Runs

void Terminal::handlePrint(std::span<const uint8_t> data) {
    if (data.empty()) return;
    // The attribute changes far less often than runs arrive: pack it into a cell once per change.
    if (!(_printCellAttribute == _curAttr)) {
        _printCell = CharData(_curAttr, 0, 1);
        _printCellAttribute = _curAttr;
    }
    if (charset == nullptr && _readingBuffer.putbackCount == 0) {
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
    }
    printGeneral(data);
}

size_t Terminal::printAscii(std::span<const uint8_t> run) {
    finishJoin();
    Buffer& buffer = *_buffer;
    size_t written = run.size() > 3 ? size_t(buffer.insertAsciiRun(run, _printCell)) : 0;
    if (written < run.size()) {
        CharData cell = _printCell;
        for (size_t i = written; i < run.size(); ++i) {
            cell.code = run[i];
            buffer.insertCharacter(cell);
        }
    }
    return run.size();
}

void Terminal::printGeneral(std::span<const uint8_t> data) {
    ReadingBuffer& rb = _readingBuffer;
    rb.rest = data;
    rb.idx = 0;
    rb.count = rb.putbackCount + int(data.size());
    updateRange(_buffer->y());

    while (rb.idx < rb.count) {
        const uint8_t b = rb.byteAt(rb.idx);
        if (b < 0x7F && charset == nullptr && rb.idx >= rb.putbackCount) {
            // Plain ASCII never joins the cell before it: the stretch goes in as row segments.
            const size_t from = size_t(rb.idx - rb.putbackCount);
            const uint8_t* begin = data.data() + from;
            const size_t length = size_t(findNonAscii(begin, data.data() + data.size()) - begin);
            printAscii({begin, length});
            rb.idx += int(length);
            continue;
        }
        ++rb.idx;
        const uint8_t entry = UnicodeUtil::first[b];
        if (entry >= 0xF0) {
            if (b <= 0x7E && charset != nullptr) {
                auto mapped = charset->find(b);
                if (mapped != charset->end() && !mapped->second.empty()) {
                    // The maps hold one scalar per byte; the first is the character.
                    const std::string_view text = mapped->second;
                    const size_t length = std::min(size_t(sequenceLength(uint8_t(text[0]))), text.size());
                    insertOwnCell(code(text.substr(0, length)), 1);
                    continue;
                }
            }
            // A byte that starts nothing shows as the Latin-1 character of its value; controls drop.
            const int width = UnicodeUtil::columnWidth(b);
            if (width >= 1) insertOwnCell(b, width);
            continue;
        }

        const int n = entry & 0x0F;
        const int available = rb.count - rb.idx;
        uint32_t scalar = uint32_t(b) & (0x7Fu >> n);
        int k = 0;
        bool valid = true;
        for (; k < n - 1 && k < available; ++k) {
            const uint8_t c = rb.byteAt(rb.idx + k);
            if (!(k == 0 ? validSecondByte(c, entry >> 4) : isContinuation(c))) {
                valid = false;
                break;
            }
            scalar = (scalar << 6) | (c & 0x3Fu);
        }
        if (!valid) {
            // The lead byte shows as Latin-1; its continuation bytes go, and reading resumes at the first
            // byte that is none, so "C3 41" keeps its "A".
            const int width = UnicodeUtil::columnWidth(b);
            if (width >= 1) insertOwnCell(b, width);
            while (k < n - 1 && k < available && isContinuation(rb.byteAt(rb.idx + k)))
                ++k;
            rb.idx += k;
            continue;
        }
        if (k < n - 1) {
            // The run ends inside the sequence: hold it back for the next run.
            std::array<uint8_t, 4> held{};
            held[0] = b;
            for (int i = 0; i < available; ++i)
                held[size_t(i + 1)] = rb.byteAt(rb.idx + i);
            rb.putbackBuffer = held;
            rb.putbackCount = available + 1;
            rb.rest = {};
            rb.idx = rb.count = 0;
            finishJoin();
            updateRange(_buffer->y());
            return;
        }
        rb.idx += n - 1;
        printScalar(scalar);
    }
    finishJoin();
    updateRange(_buffer->y());
    rb.putbackCount = 0;
    rb.rest = {};
    rb.idx = rb.count = 0;
}

// MARK: Characters

int32_t Terminal::scalarCode(uint32_t scalar) {
    if (scalar < 0x10000) return int32_t(scalar);
    // Past the table's bound a lone scalar still fits the cell as itself.
    return _graphemes.codeForScalar(scalar).value_or(int32_t(scalar));
}

void Terminal::printScalar(uint32_t scalar) {
    const int width = UnicodeUtil::columnWidth(scalar);
    if (width < 0) return;
    bool joins = width == 0 || (classOf(scalar) & joinsBit);
    if (!joins) {
        if (_pendingJoin.active) {
            // The cell being joined ends with the joiner or is a lone indicator.
            const std::string_view text = _pendingJoin.view();
            joins = text.ends_with("\xE2\x80\x8D") || (isRegionalIndicator(scalar) && text.size() == 4 &&
                                                       isRegionalIndicator(decodeSequence(text)));
        } else if (const CharData* last = lastWrittenCell()) {
            const int32_t lastCode = last->code;
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
        joinToLastCell(scalar, width);
        return;
    }
    // The cell before gets its code first: codes follow the order of the cells.
    finishJoin();
    insertOwnCell(scalarCode(scalar), width);
}

void Terminal::insertOwnCell(int32_t code, int width) {
    finishJoin();
    CharData cell = _printCell;
    cell.setValue(code, int8_t(width));
    _buffer->insertCharacter(cell);
}

const CharData* Terminal::lastWrittenCell() {
    Buffer& buffer = *_buffer;
    const Buffer::LastBufferStorage& last = buffer.lastBufferStorage;
    if (last.cols != _cols || last.rows != _rows) return nullptr;
    if (last.y < 0 || last.y >= buffer.lines().count()) return nullptr;
    const BufferLine& line = *buffer.lines()[last.y];
    if (line.count() == 0) return nullptr;
    return &line[std::min(last.x, _cols - 1)];
}

std::string_view Terminal::characterText(int32_t code, std::array<char, 4>& scratch) const {
    if (code > CharData::graphemeCodeBase) return _graphemes.text(code).value_or(" ");
    if (code < 0 || !Utf8::isScalar(uint32_t(code))) return " ";
    return {scratch.data(), size_t(encodeScalar(uint32_t(code), scratch.data()))};
}

// Joining builds the cell's text here and gives it its code once no further scalar joins within the run,
// so a letter with three marks takes one grapheme code, not three.
void Terminal::joinToLastCell(uint32_t scalar, int width) {
    Buffer& buffer = *_buffer;
    PendingJoin& pending = _pendingJoin;
    // Nothing to join to: the scalar gets its own cell, unless it takes no room at all.
    auto standAlone = [&] {
        finishJoin();
        if (width > 0) insertOwnCell(scalarCode(scalar), width);
    };
    if (!pending.active) {
        if (lastWrittenCell() == nullptr) {
            standAlone();
            return;
        }
        const Buffer::LastBufferStorage& last = buffer.lastBufferStorage;
        BufferLine& line = *buffer.lines()[last.y];
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
        pending.lastScalar = lastScalar(text);
    }
    const uint32_t previous = pending.lastScalar;
    const int length = pending.length + encodeScalar(scalar, pending.text + pending.length);
    if (size_t(length) > GraphemeTable::maxLength ||
        !formsOneCluster({pending.text, size_t(length)}, size_t(pending.length), previous, scalar)) {
        standAlone();
        return;
    }

    if (scalar == emojiPresentation || scalar == textPresentation) {
        const auto& bases = UnicodeWidthData::emojiVs16Base;
        // A selector after a character without an emoji variation is dropped.
        if (!UnicodeUtil::bisearch(previous, bases, 182)) return;
        if (scalar == emojiPresentation) {
            if (pending.width != 2 && pending.p + 1 < _cols) {
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
    pending.active = true;
}

void Terminal::finishJoin() {
    PendingJoin& pending = _pendingJoin;
    if (!pending.active) return;
    pending.active = false;
    CharData cell = (*pending.line)[pending.column];
    cell.setValue(code(pending.view()), int8_t(pending.width));
    pending.line->set(pending.column, cell);
    updateRange(pending.row - _buffer->yBase());
}

// MARK: The grapheme table

namespace {

// The one scalar a text holds, strictly decoded; nothing when it holds another count or is not UTF-8.
std::optional<uint32_t> singleScalar(std::string_view text) {
    if (text.empty() || text.size() > 4 || size_t(sequenceLength(uint8_t(text[0]))) != text.size())
        return std::nullopt;
    const uint8_t lead = uint8_t(text[0]);
    if (text.size() == 1) return lead < 0x80 ? std::optional<uint32_t>(lead) : std::nullopt;
    if (!validSecondByte(uint8_t(text[1]), UnicodeUtil::first[lead] >> 4)) return std::nullopt;
    for (size_t i = 2; i < text.size(); ++i)
        if (!isContinuation(uint8_t(text[i]))) return std::nullopt;
    return decodeSequence(text);
}

} // namespace

int32_t Terminal::code(std::string_view character) {
    if (character.size() <= 4) {
        if (character == "\r\n") return 10;
        if (std::optional<uint32_t> scalar = singleScalar(character)) return scalarCode(*scalar);
    }
    // Past the table's bound (or its length limit) a new cluster shows as U+FFFD.
    return _graphemes.code(character).value_or(0xFFFD);
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
