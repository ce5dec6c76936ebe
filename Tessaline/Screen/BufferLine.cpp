#include "BufferLine.h"

#include "Utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace Tessaline {

BufferLine::BufferLine(int cols, const std::optional<CharData>& fillData, bool isWrapped)
    : isWrapped(isWrapped)
    , _data(size_t(std::max(cols, 0)), fillData.value_or(CharData::Null))
    , _count(std::max(cols, 0))
    , _fillCharacter(fillData.value_or(CharData::Null)) {}

BufferLine::BufferLine(const BufferLine& other)
    : isWrapped(other.isWrapped)
    , renderMode(other.renderMode)
    , images(other.images)
    , _data(other._data.begin(), other._data.begin() + other._count)
    , _count(other._count)
    , _fillCharacter(other._fillCharacter) {}

void BufferLine::set(int index, const CharData& cell) {
    at(index) = cell;
}

CharData& BufferLine::at(int index) {
    if (index >= count()) {
        std::puts(
            "BufferLine: You passed an index out of range, adjusting to prevent crash, but you should debug");
        return _data[size_t(_count - 1)];
    }
    return _data[size_t(index)];
}

void BufferLine::insertCells(int pos, int n, int rightMargin, const CharData& fillData) {
    int span = rightMargin + 1;
    pos %= span;
    CharData* d = _data.data();
    if (n < span - pos) {
        std::memmove(d + pos + n, d + pos, size_t(span - pos - n) * sizeof(CharData));
        std::fill(d + pos, d + pos + n, fillData);
    } else {
        std::fill(d + pos, d + span, fillData);
    }
}

void BufferLine::deleteCells(int pos, int n, int rightMargin, const CharData& fillData) {
    int span = rightMargin + 1;
    CharData* d = _data.data();
    if (n < span - pos) {
        std::memmove(d + pos, d + pos + n, size_t(span - pos - n) * sizeof(CharData));
        std::fill(d + span - n, d + span, fillData);
    } else {
        std::fill(d + pos, d + span, fillData);
    }
}

void BufferLine::replaceCells(int start, int end, const CharData& fillData) {
    end = std::min(end, count());
    if (start >= end) return;
    std::fill(_data.begin() + start, _data.begin() + end, fillData);
}

void BufferLine::fill(const CharData& with) {
    std::fill(_data.begin(), _data.begin() + _count, with);
}

void BufferLine::fill(const CharData& with, int atCol, int len) {
    std::fill(_data.begin() + atCol, _data.begin() + atCol + len, with);
}

void BufferLine::clear(const Attribute& attribute) {
    fill(CharData(attribute, 0, 1));
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
    isWrapped = line.isWrapped;
}

void BufferLine::copyFrom(const BufferLine& src, int srcCol, int dstCol, int len) {
    if (len <= 0) return;
    // memmove gets overlapping ranges of the same row right in either direction.
    std::memmove(_data.data() + dstCol, src._data.data() + srcCol, size_t(len) * sizeof(CharData));
}

void BufferLine::resize(int cols, const CharData& fillData) {
    if (cols == _count) return;
    if (cols <= 0) {
        _data.clear();
        _data.shrink_to_fit();
        _count = 0;
        return;
    }
    if (size_t(cols) > _data.size()) {
        // A new block of exactly cols cells.
        std::vector<CharData> block(size_t(cols), fillData);
        std::copy(_data.begin(), _data.begin() + _count, block.begin());
        _data = std::move(block);
    } else if (cols > _count) {
        std::fill(_data.begin() + _count, _data.begin() + cols, fillData);
    } else if (_data.size() > 2 * size_t(cols)) {
        // A resize of every row of the scroll-back comes with every window resize: the block is kept so
        // that dragging the width back and forth allocates nothing, until it is more than twice the row.
        _data.resize(size_t(cols));
        _data.shrink_to_fit();
    }
    _count = cols;
}

int BufferLine::getTrimmedLength() const {
    for (int i = count() - 1; i >= 0; --i) {
        if (_data[size_t(i)].code != 0) return i + _data[size_t(i)].width();
    }
    return 0;
}

bool BufferLine::hasContent(int index) const {
    const CharData& c = (*this)[index];
    return c.code != 0 || !c.hasDefaultAttribute();
}

bool BufferLine::hasAnyContent() const {
    for (int i = 0; i < count(); ++i)
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
