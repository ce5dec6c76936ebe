#include "BufferLine.h"

#include "Utf8.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Tessaline {

namespace {

// The cell's code is its first four bytes, so an ASCII cell is the template with one byte or'ed in.
constexpr bool codeComesFirst() {
    const auto words =
        std::bit_cast<std::array<uint32_t, 4>>(CharData(Attribute::defaultAttribute(), 0x7A, 1));
    return words[0] == 0x7A;
}
static_assert(codeComesFirst());

} // namespace

// Whole 16-byte stores: a plain copy loop of CharData gets split into six stores of its fields.
void BufferLine::fillCells(CharData* first, CharData* last, const CharData& cell) {
#if defined(__SSE2__)
    __m128i value;
    std::memcpy(&value, &cell, sizeof value);
    CharData* p = first;
    for (; last - p >= 4; p += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), value);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 1), value);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 2), value);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 3), value);
    }
    for (; p < last; ++p)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), value);
#else
    std::fill(first, last, cell);
#endif
}

void BufferLine::writeAscii(CharData* out, const uint8_t* bytes, int count, const CharData& cell) {
#if defined(__SSE2__)
    CharData blank = cell;
    blank.code = 0;
    __m128i base;
    std::memcpy(&base, &blank, sizeof base);
    auto put = [&](int i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_or_si128(base, _mm_cvtsi32_si128(bytes[i])));
    };
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        put(i);
        put(i + 1);
        put(i + 2);
        put(i + 3);
    }
    for (; i < count; ++i)
        put(i);
#else
    for (int i = 0; i < count; ++i) {
        out[i] = cell;
        out[i].code = bytes[i];
    }
#endif
}

BufferLine::BufferLine(int cols, const std::optional<CharData>& fillData, bool isWrapped)
    : isWrapped(isWrapped)
    , _data(size_t(std::max(cols, 0)), fillData.value_or(CharData::Null))
    , _count(std::max(cols, 0))
    , _fillCharacter(fillData.value_or(CharData::Null))
    , _blank(_fillCharacter) {}

BufferLine::BufferLine(const BufferLine& other)
    : isWrapped(other.isWrapped)
    , renderMode(other.renderMode)
    , images(other.images)
    , _data(other._data.begin(), other._data.begin() + other._count)
    , _count(other._count)
    , _fillCharacter(other._fillCharacter)
    , _blank(other._blank)
    , _contentEnd(other._contentEnd) {}

void BufferLine::set(int index, const CharData& cell) {
    at(index) = cell;
}

CharData& BufferLine::at(int index) {
    if (index >= count()) {
        std::puts(
            "BufferLine: You passed an index out of range, adjusting to prevent crash, but you should debug");
        _contentEnd = _count;
        return _data[size_t(_count - 1)];
    }
    markContent(index + 1);
    return _data[size_t(index)];
}

void BufferLine::noteFilled(const CharData& with, int start, int end) {
    if (!(with == _blank)) {
        markContent(end);
    } else if (start < _contentEnd && end >= _contentEnd) {
        _contentEnd = std::max(start, 0);
    }
}

void BufferLine::insertCells(int pos, int n, int rightMargin, const CharData& fillData) {
    int span = rightMargin + 1;
    pos %= span;
    // Content moves right by n at most; fill cells count as content unless they are the blank.
    markContent(fillData == _blank ? std::min(span, _contentEnd > pos ? _contentEnd + n : _contentEnd)
                                   : span);
    CharData* d = _data.data();
    if (n < span - pos) {
        std::memmove(d + pos + n, d + pos, size_t(span - pos - n) * sizeof(CharData));
        fillCells(d + pos, d + pos + n, fillData);
    } else {
        fillCells(d + pos, d + span, fillData);
    }
}

void BufferLine::deleteCells(int pos, int n, int rightMargin, const CharData& fillData) {
    int span = rightMargin + 1;
    if (!(fillData == _blank)) markContent(span);
    CharData* d = _data.data();
    if (n < span - pos) {
        std::memmove(d + pos, d + pos + n, size_t(span - pos - n) * sizeof(CharData));
        fillCells(d + span - n, d + span, fillData);
    } else {
        fillCells(d + pos, d + span, fillData);
    }
}

void BufferLine::replaceCells(int start, int end, const CharData& fillData) {
    end = std::min(end, count());
    if (start >= end) return;
    fillCells(_data.data() + start, _data.data() + end, fillData);
    noteFilled(fillData, start, end);
}

void BufferLine::fill(const CharData& with) {
    fillCells(_data.data(), _data.data() + _count, with);
    _blank = with;
    _contentEnd = 0;
}

void BufferLine::fill(const CharData& with, int atCol, int len) {
    fillCells(_data.data() + atCol, _data.data() + atCol + len, with);
    noteFilled(with, atCol, atCol + len);
}

void BufferLine::clear(const Attribute& attribute) {
    clear(CharData(attribute, 0, 1));
}

void BufferLine::clear(const CharData& blank) {
    // Past the content mark the cells already are the blank: only what was written needs wiping.
    const int end = blank == _blank ? _contentEnd : _count;
    fillCells(_data.data(), _data.data() + end, blank);
    _blank = blank;
    _contentEnd = 0;
    images.reset();
}

void BufferLine::copyFrom(const BufferLine& line) {
    if (&line == this) return;
    // The block is replaced (by one of exactly that size) only when it is too small.
    if (_data.size() < size_t(line._count))
        _data.assign(line._data.begin(), line._data.begin() + line._count);
    else
        std::copy(line._data.begin(), line._data.begin() + line._count, _data.begin());
    _count = line._count;
    _blank = line._blank;
    _contentEnd = line._contentEnd;
    isWrapped = line.isWrapped;
}

void BufferLine::copyFrom(const BufferLine& src, int srcCol, int dstCol, int len) {
    if (len <= 0) return;
    markContent(dstCol + len);
    // memmove gets overlapping ranges of the same row right in either direction.
    std::memmove(_data.data() + dstCol, src._data.data() + srcCol, size_t(len) * sizeof(CharData));
}

void BufferLine::resize(int cols, const CharData& fillData) {
    if (cols == _count) return;
    if (cols <= 0) {
        _data.clear();
        _data.shrink_to_fit();
        _count = 0;
        _contentEnd = 0;
        return;
    }
    if (cols < _count) {
        _contentEnd = std::min(_contentEnd, cols);
    } else if (!(fillData == _blank)) {
        // The new cells are content unless nothing else is: then they are the row's blank.
        if (_count == 0)
            _blank = fillData;
        else
            _contentEnd = cols;
    }
    if (size_t(cols) > _data.size()) {
        // A new block of exactly cols cells.
        std::vector<CharData> block(size_t(cols), fillData);
        std::copy(_data.begin(), _data.begin() + _count, block.begin());
        _data = std::move(block);
    } else if (cols > _count) {
        fillCells(_data.data() + _count, _data.data() + cols, fillData);
    } else if (_data.size() > 2 * size_t(cols)) {
        // A resize of every row of the scroll-back comes with every window resize: the block is kept so
        // that dragging the width back and forth allocates nothing, until it is more than twice the row.
        _data.resize(size_t(cols));
        _data.shrink_to_fit();
    }
    _count = cols;
}

int BufferLine::getTrimmedLength() const {
    // Blank cells past the mark have code 0 when the blank has: no need to look at them.
    const int end = _blank.code == 0 ? _contentEnd : count();
    for (int i = end - 1; i >= 0; --i) {
        if (_data[size_t(i)].code != 0) return i + _data[size_t(i)].width();
    }
    return 0;
}

bool BufferLine::hasContent(int index) const {
    const CharData& c = (*this)[index];
    return c.code != 0 || !c.hasDefaultAttribute();
}

bool BufferLine::hasAnyContent() const {
    const int end = _blank.code == 0 && _blank.hasDefaultAttribute() ? _contentEnd : count();
    for (int i = 0; i < end; ++i)
        if (hasContent(i)) return true;
    return false;
}

std::string BufferLine::translateToString(bool trimRight, int startCol, int endCol,
                                          bool skipNullCellsFollowingWide,
                                          const CharacterProvider& characterProvider) const {
    int end = endCol == -1 ? count() : endCol;
    if (trimRight) end = std::max(std::min(end, getTrimmedLength()), startCol);
    std::string out;
    if (startCol >= end) return out;
    out.reserve(size_t(end - startCol));
    for (int i = startCol; i < end; ++i) {
        const CharData& cell = (*this)[i];
        // The empty half of a wide character is never part of the text.
        if (skipNullCellsFollowingWide && cell.code == 0 && i > 0 && (*this)[i - 1].width() == 2) continue;
        if (characterProvider)
            out += characterProvider(cell);
        else
            Utf8::append(out, uint32_t(cell.getCharacter()));
    }
    return out;
}

std::string BufferLine::debugDescription() const {
    std::string out;
    for (int i = 0; i < _count; ++i)
        Utf8::append(out, uint32_t(_data[size_t(i)].getCharacter()));
    return out;
}

void BufferLine::attach(const TerminalImagePtr& image) {
    if (!images) images.emplace();
    images->push_back(image);
}

} // namespace Tessaline
