#include "Buffer.h"

#include <algorithm>
#include <climits>

namespace Tessaline {

// A row of no cells has no last cell to repair a stray write into, and a screen of no rows has no cursor
// row: both sizes are at least 1 (the terminal itself never asks for less).
Buffer::Buffer(int cols, int rows, int tabStopWidth, std::optional<int> scrollback)
    : scrollback(scrollback)
    , _lines(0)
    , _scrollBottom(std::max(rows, 1) - 1)
    , _marginRight(std::max(cols, 1) - 1)
    , _hasScrollback(scrollback.has_value())
    , _cols(std::max(cols, 1))
    , _rows(std::max(rows, 1)) {
    setupRing(getCorrectBufferLength(_rows));
    setupTabStops(-1, tabStopWidth);
}

void Buffer::setupRing(int capacity) {
    _lines = CircularBufferLineList(capacity);
    // The ring lives inside the buffer, so it never calls these after the buffer is gone.
    _lines.makeEmpty = [this](int) { return BufferLine::make(_cols, CharData::Null, false); };
    setupLinesCallbacks();
}

void Buffer::setupLinesCallbacks() {
    _lines.onLinePushed = [this](bool hasImages) {
        if (hasImages) ++_linesWithImagesCount;
    };
    _lines.onLineRecycled = [this](bool hadImages) {
        if (hadImages) --_linesWithImagesCount;
    };
}

int Buffer::getCorrectBufferLength(int rows) const {
    if (!_hasScrollback) return rows;
    // A negative scroll-back keeps none.
    int64_t length = int64_t(rows) + std::max<int64_t>(scrollback.value_or(0), 0);
    return int(std::min<int64_t>(length, INT_MAX));
}

CharData Buffer::getChar(const Position& at) const {
    return getCharBufferRelative(Position(at.col, at.row + _yDisp));
}

CharData Buffer::getCharBufferRelative(const Position& at) const {
    if (at.row < 0 || at.row >= _lines.count() || at.col < 0) return CharData::Null;
    // A row the ring has not made yet would be made blank: read it as blank without making it.
    const BufferLinePtr& line = _lines.peek(int(at.row));
    if (!line || at.col >= line->count()) return CharData::Null;
    return (*line)[int(at.col)];
}

BufferLinePtr Buffer::getBlankLine(const Attribute& attribute, bool isWrapped) const {
    return BufferLine::make(_cols, CharData(attribute, 0, 1), isWrapped);
}

CharData Buffer::getNullCell(const std::optional<Attribute>& attribute) {
    return CharData(attribute.value_or(Attribute::empty), 0x20, 1);
}

void Buffer::fillViewportRows(const std::optional<Attribute>& attribute) {
    if (_lines.count() != 0) return;
    const CharData fill(attribute.value_or(Attribute::defaultAttribute()), 0, 1);
    for (int i = 0; i < _rows; ++i) {
        BufferLinePtr line;
        if (!_spareRows.empty()) {
            line = std::move(_spareRows.back());
            _spareRows.pop_back();
        }
        // Only a row of the width and fill is reused (clear kept only rows nobody else held).
        if (line && line->count() == _cols && line->fillCharacter() == fill) {
            line->clear(fill);
            line->isWrapped = false;
            line->renderMode = BufferLine::RenderLineMode::single;
        } else {
            line = BufferLine::make(_cols, fill, false);
        }
        _lines.push(std::move(line));
    }
    _spareRows.clear();
}

void Buffer::clear() {
    _spareRows.clear();
    for (int i = _yBase; i < std::min(_lines.count(), _yBase + _rows); ++i)
        if (const BufferLinePtr& line = _lines.peek(i); line && line.use_count() == 1 && !line->isCompact())
            _spareRows.push_back(std::move(_lines[i]));
    _yDisp = 0;
    _x = 0;
    _y = 0;
    _yBase = 0;
    xBase = 0;
    linesTop = 0;
    // A ring of a screen's slots or so is kept; a large one goes with its slots, as it fills only slowly.
    const int capacity = getCorrectBufferLength(_rows);
    if (_lines.maxLength() == capacity && _lines.getArray().size() <= size_t(2 * _rows))
        _lines.clear();
    else
        setupRing(capacity);
    _linesWithImagesCount = 0;
    _scrollTop = 0;
    _scrollBottom = _rows - 1;
}

void Buffer::softReset() {
    savedAttr = Attribute::defaultAttribute();
    savedX = 0;
    savedY = 0;
    savedCharset = nullptr;
    savedOriginMode = false;
    savedMarginMode = false;
    savedWraparound = false;
    savedReverseWraparound = false;
    _marginLeft = 0;
    _marginRight = _cols - 1;
}

void Buffer::changeHistorySize(std::optional<int> size) {
    scrollback = size;
    _hasScrollback = size.has_value();
    const int capacity = getCorrectBufferLength(_rows);
    if (capacity == _lines.maxLength()) return;
    if (capacity < _lines.maxLength()) {
        const int excess = _lines.count() - capacity;
        if (excess > 0) {
            _lines.trimStart(excess);
            _yBase = std::max(_yBase - excess, 0);
            _yDisp = std::max(_yDisp - excess, 0);
            // savedY is a screen row and only scroll-back rows went: a saved cursor stays where it was.
        }
    }
    _lines.setMaxLength(capacity);
}

void Buffer::wrapCursor() {
    _x = marginMode ? _marginLeft : 0;
    if (_y == _scrollBottom) {
        scroll(true);
    } else if (_y < _rows - 1) {
        // Above the region, inside it, or below it with room: the text continues on the next row. Below
        // the region the region does not hold the cursor, so it must not scroll.
        ++_y;
        _lines[_yBase + _y]->isWrapped = true;
        ++_wrapsMarked;
    }
    // Otherwise the cursor is on the screen's last row below the region: like a line feed there, the
    // wrap does not scroll and the text goes on from the start of the same row.
}

void Buffer::insertCharacter(const CharData& charData) {
    const int width = charData.width();
    int right = rightEdge(*_lines[_yBase + _y]);
    if (_x + width - 1 > right) {
        if (wraparound) {
            wrapCursor();
            right = rightEdge(*_lines[_yBase + _y]);
        } else {
            if (width == 2) return;
            _x = right;
            heldAtRightEdge = true;
        }
    }
    BufferLine& line = *_lines[_yBase + _y];
    if (insertMode) {
        const CharData fill(curAttr, 0, 1);
        // The opened cells are written over at once: as the row's blank they leave its content mark
        // where the shift put it, so that the row still keeps only the cells it uses in the scroll-back.
        const CharData opened = line.blank();
        line.insertCells(_x, width, std::min(right, line.count() - 1), opened);
        // No wide character is left cut at the right edge.
        const int last = std::min(_cols, line.count()) - 1;
        if (line[last].width() == 2) line.set(last, fill);
    }
    lastBufferStorage = {_yBase + _y, _x, _cols, _rows};
    if (_x >= _cols) _x = _cols - 1;
    line.set(_x, charData);
    ++_x;
    if (width >= 2) {
        const CharData continuation(curAttr, 0, 0);
        for (int i = 1; i < width && _x < _cols; ++i) {
            line.set(_x, continuation);
            ++_x;
        }
    }
}

int Buffer::insertAsciiRun(std::span<const uint8_t> bytes, const Attribute& attribute) {
    if (insertMode || bytes.empty()) return 0;
    return insertAsciiRun(bytes, CharData(attribute, 0, 1));
}

int Buffer::insertAsciiRun(std::span<const uint8_t> bytes, const CharData& templateCell) {
    return insertRun(bytes.data(), bytes.size(), templateCell);
}

int Buffer::insertCodeRun(std::span<const uint32_t> codes, const CharData& templateCell) {
    return insertRun(codes.data(), codes.size(), templateCell);
}

template<class Code>
int Buffer::insertRun(const Code* p, size_t size, const CharData& templateCell) {
    if (insertMode || size == 0) return 0;
    const CharData cell = templateCell;
    int remaining = int(std::min<size_t>(size, INT_MAX));
    int written = 0;
    while (remaining > 0) {
        BufferLine* row = _lines[_yBase + _y].get();
        int right = rightEdge(*row);
        if (_x > right) {
            if (!wraparound) break;
            wrapCursor();
            row = _lines[_yBase + _y].get();
            right = rightEdge(*row);
        }
        const int n = std::min(remaining, right - _x + 1);
        // Margins that leave no column: nothing can be written.
        if (n <= 0) break;
        BufferLine& line = *row;
        const int direct = std::clamp(line.count() - _x, 0, n);
        BufferLine::writeCodes(line.cellsForWrite(_x, _x + direct) + _x, p, direct, cell);
        // A row narrower than the margin: the row repairs the rest (with its warning).
        for (int i = direct; i < n; ++i) {
            CharData& c = line.at(_x + i);
            c = cell;
            c.code = int32_t(p[i]);
        }
        _x += n;
        written += n;
        p += n;
        remaining -= n;
    }
    if (written > 0) lastBufferStorage = {_yBase + _y, _x - 1, _cols, _rows};
    return written;
}

void Buffer::setupTabStops(int index, int tabStopWidth) {
    int start = 0;
    if (index == -1) {
        tabStops.assign(size_t(_cols), false);
    } else {
        tabStops.resize(size_t(_cols), false);
        const int p = std::clamp(index, 0, _cols - 1);
        start = tabStops[size_t(p)] ? index : previousTabStop(p);
    }
    // A width of 0 would never advance: only the start column gets a stop.
    const int step = tabStopWidth > 0 ? tabStopWidth : _cols;
    for (int i = std::max(start, 0); i < _cols; i += step)
        tabStops[size_t(i)] = true;
}

int Buffer::nextTabStop(bool marginMode, int column) const {
    const int limit = marginMode ? _marginRight : _cols - 1;
    const int c = column == -1 ? _x : column;
    if (c + 1 > limit) return limit;
    const int end = std::min(limit, int(tabStops.size()) - 1);
    for (int i = std::max(c + 1, 0); i <= end; ++i)
        if (tabStops[size_t(i)]) return i;
    return limit;
}

int Buffer::previousTabStop(int column) const {
    const int c = column == -1 ? _x : column;
    for (int i = std::min(c, int(tabStops.size())) - 1; i >= 0; --i)
        if (tabStops[size_t(i)]) return std::min(i, _cols - 1);
    return 0;
}

void Buffer::tabSet(int pos) {
    if (pos >= 0 && pos < int(tabStops.size())) tabStops[size_t(pos)] = true;
}

void Buffer::tabClear(int pos) {
    if (pos >= 0 && pos < int(tabStops.size())) tabStops[size_t(pos)] = false;
}

void Buffer::attachImage(const TerminalImagePtr& image, int toLineAt) {
    if (toLineAt < 0 || toLineAt >= _lines.maxLength()) return;
    BufferLine& line = *_lines[toLineAt];
    if (!line.images) ++_linesWithImagesCount;
    line.attach(image);
}

void Buffer::clearImagesFromRow(int at) {
    // A row the ring has not made yet has no strips.
    const BufferLinePtr& line = _lines.peek(at);
    if (!line || !line->images) return;
    --_linesWithImagesCount;
    line->images.reset();
}

void Buffer::recalculateLinesWithImagesCount() {
    int count = 0;
    for (int i = 0; i < _lines.count(); ++i) {
        const BufferLinePtr& line = _lines.peek(i);
        if (line && line->images) ++count;
    }
    _linesWithImagesCount = count;
}

} // namespace Tessaline
