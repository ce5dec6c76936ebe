#include "BufferLine.h"

#include "Utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace Tessaline {

BufferLine::BufferLine(int cols, const std::optional<CharData>& fillData, bool isWrapped)
    : isWrapped(isWrapped)
    , _data(size_t(std::max(cols, 0)), fillData.value_or(CharData::Null))
    , _fillCharacter(fillData.value_or(CharData::Null)) {}

BufferLine::BufferLine(const BufferLine& other)
    : isWrapped(other.isWrapped)
    , renderMode(other.renderMode)
    , images(other.images)
    , _data(other._data)
    , _fillCharacter(other._fillCharacter) {}

void BufferLine::set(int index, const CharData& cell) {
    at(index) = cell;
}

CharData& BufferLine::at(int index) {
    if (index >= count()) {
        std::puts(
            "BufferLine: You passed an index out of range, adjusting to prevent crash, but you should debug");
        return _data.back();
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
    std::fill(_data.begin(), _data.end(), with);
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
    // assign() reuses the block whenever it is large enough.
    _data.assign(line._data.begin(), line._data.end());
    isWrapped = line.isWrapped;
}

void BufferLine::copyFrom(const BufferLine& src, int srcCol, int dstCol, int len) {
    if (len <= 0) return;
    // memmove gets overlapping ranges of the same row right in either direction.
    std::memmove(_data.data() + dstCol, src._data.data() + srcCol, size_t(len) * sizeof(CharData));
}

void BufferLine::resize(int cols, const CharData& fillData) {
    if (cols == count()) return;
    if (cols <= 0) {
        _data.clear();
        _data.shrink_to_fit();
        return;
    }
    if (cols > count()) {
        // Exactly cols: a plain resize would double the block, and a widened scroll-back keeps every row.
        _data.reserve(size_t(cols));
        _data.resize(size_t(cols), fillData);
    } else {
        _data.resize(size_t(cols));
        _data.shrink_to_fit();
    }
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
    for (const auto& c : _data)
        Utf8::append(out, uint32_t(c.getCharacter()));
    return out;
}

void BufferLine::attach(const TerminalImagePtr& image) {
    if (!images) images.emplace();
    images->push_back(image);
}

} // namespace Tessaline
