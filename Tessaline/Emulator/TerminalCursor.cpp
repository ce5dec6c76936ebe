// Cursor motion and in-place editing of the active buffer: the cursor motions, insertion, deletion and
// erasure of characters and lines, repetition, tab clearing, cursor save and restore and the conformance
// level.
//
// Counts come from the program: each is capped before it is used, and the line and cell shifts move
// everything in one pass, so no count costs more than the screen it acts on.
#include "Terminal.h"

#include <algorithm>

namespace Tessaline {

namespace {

// A parameter taken as a position: P - 1, with 0, 1 and a missing value all giving 0.
int positionParameter(const SequenceParams& pars, int k) {
    return std::max(pars.get(k), 1) - 1;
}

} // namespace

// MARK: Cursor motions

int Terminal::cursorRowLastColumn() const {
    if (!_doubleWidthRowsMade) return _cols - 1;
    const Buffer& buffer = *_buffer;
    const BufferLinePtr& line = buffer.lines().peek(buffer.yBase() + buffer.y());
    return line && line->renderMode != BufferLine::RenderLineMode::single ? _cols / 2 - 1 : _cols - 1;
}

void Terminal::holdCursorToRow() {
    if (!_doubleWidthRowsMade) return;
    const int last = cursorRowLastColumn();
    if (_buffer->x() > last) _buffer->setX(last);
}

void Terminal::cursorForward(int count) {
    Buffer& buffer = *_buffer;
    const int n = std::max(count, 1);
    int right = marginMode ? buffer.marginRight() : _cols - 1;
    if (buffer.x() > right) right = _cols - 1;
    right = std::min(right, cursorRowLastColumn());
    buffer.setX(int(std::min<int64_t>(int64_t(buffer.x()) + n, right)));
}

void Terminal::cursorBackward(int count) {
    Buffer& buffer = *_buffer;
    const int n = std::max(count, 1);
    int left = marginMode ? buffer.marginLeft() : 0;
    if (buffer.x() < left) left = 0;
    buffer.setX(int(std::max<int64_t>(int64_t(buffer.x()) - n, left)));
}

void Terminal::cmdCursorUp(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    const int limit = buffer.y() < buffer.scrollTop() ? 0 : buffer.scrollTop();
    buffer.setY(int(std::max<int64_t>(int64_t(buffer.y()) - pars.count(0), limit)));
    holdCursorToRow();
}

void Terminal::cmdCursorDown(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    const int limit = buffer.y() > buffer.scrollBottom() ? _rows - 1 : buffer.scrollBottom();
    buffer.setY(int(std::min<int64_t>(int64_t(buffer.y()) + pars.count(0), limit)));
    if (buffer.x() >= _cols) buffer.setX(_cols - 1);
    holdCursorToRow();
}

void Terminal::cmdCursorCharAbsolute(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    const int base = originMode && marginMode ? buffer.marginLeft() : 0;
    buffer.setX(std::min(base + std::min(positionParameter(pars, 0), _cols - 1), cursorRowLastColumn()));
}

void Terminal::cmdCursorPosition(const SequenceParams& pars, std::string_view) {
    // Held to the screen first: the origin offsets added later cannot overflow.
    setCursor(std::min(positionParameter(pars, 1), _cols), std::min(positionParameter(pars, 0), _rows));
}

void Terminal::cmdHVPosition(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    const int row = std::min(positionParameter(pars, 0), _rows) + (originMode ? buffer.scrollTop() : 0);
    const int col =
        std::min(positionParameter(pars, 1), _cols) + (originMode && marginMode ? buffer.marginLeft() : 0);
    buffer.setY(std::min(row, _rows - 1));
    buffer.setX(std::min(col, cursorRowLastColumn()));
}

void Terminal::cmdCharPosAbsolute(const SequenceParams& pars, std::string_view) {
    _buffer->setX(std::min(pars.count(0) - 1, cursorRowLastColumn()));
}

void Terminal::cmdHPositionRelative(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    buffer.setX(int(std::min<int64_t>(int64_t(buffer.x()) + pars.count(0), cursorRowLastColumn())));
}

void Terminal::cmdLinePosAbsolute(const SequenceParams& pars, std::string_view) {
    _buffer->setY(std::min(pars.count(0) - 1, _rows - 1));
    holdCursorToRow();
}

void Terminal::cmdVPositionRelative(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    buffer.setY(int(std::min<int64_t>(int64_t(buffer.y()) + pars.count(0), _rows - 1)));
    if (buffer.x() >= _cols) buffer.setX(_cols - 1);
    holdCursorToRow();
}

// MARK: Character editing

void Terminal::cmdInsertChars(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    const int x = buffer.x();
    if (marginMode && (x < buffer.marginLeft() || x > buffer.marginRight())) return;
    if (x >= _cols) return;
    BufferLine& line = *buffer.lines()[buffer.yBase() + buffer.y()];
    const int right = std::min(marginMode ? buffer.marginRight() : _cols - 1, line.count() - 1);
    if (x > right) return;
    // More cells than the row holds right of the cursor blank it all the same.
    line.insertCells(x, std::min(pars.count(0), right - x + 1), right, eraseCell());
    updateRange(buffer.y());
}

void Terminal::cmdDeleteChars(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    const int x = buffer.x();
    int n = pars.count(0);
    if (marginMode) {
        if (x < buffer.marginLeft() || x > buffer.marginRight()) return;
        n = std::min(n, buffer.marginRight() - x + 1);
    }
    if (x >= buffer.cols()) return;
    BufferLine& line = *buffer.lines()[buffer.yBase() + buffer.y()];
    const int right = std::min(marginMode ? buffer.marginRight() : _cols - 1, line.count() - 1);
    if (x > right) return;
    line.deleteCells(x, std::min(n, right - x + 1), right, eraseCell());
    updateRange(buffer.y());
}

void Terminal::cmdEraseChars(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    BufferLine& line = *buffer.lines()[buffer.yBase() + buffer.y()];
    const int x = buffer.x();
    line.replaceCells(x, int(std::min<int64_t>(int64_t(x) + pars.count(0), line.count())), eraseCell());
}

void Terminal::cmdEraseInLine(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    BufferLine& line = *buffer.lines()[buffer.yBase() + buffer.y()];
    const int x = buffer.x();
    const int length = line.count();
    switch (pars.get(0)) {
    case 0:
        line.replaceCells(x, std::min(_cols, length), eraseCell());
        break;
    case 1:
        line.replaceCells(0, std::min(x + 1, length), eraseCell());
        break;
    case 2:
        line.replaceCells(0, std::min(_cols, length), eraseCell());
        break;
    default:
        break;
    }
    updateRange(buffer.y());
}

// MARK: Erase in display

void Terminal::resetBufferLine(int y, bool clearImages) {
    Buffer& buffer = *_buffer;
    const int row = buffer.yBase() + y;
    if (clearImages) buffer.clearImagesFromLine(row);
    BufferLine& line = *buffer.lines()[row];
    if (line.count() <= _cols) {
        // Clearing costs only what the row holds; the images it keeps are put back.
        std::optional<ImageList> images = std::move(line.images);
        line.clear(eraseAttribute());
        line.images = std::move(images);
    } else {
        line.replaceCells(0, _cols, eraseCell());
    }
    line.isWrapped = false;
    line.renderMode = BufferLine::RenderLineMode::single;
    updateRange(y);
}

void Terminal::cmdEraseInDisplay(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    CircularBufferLineList& lines = buffer.lines();
    const int x = buffer.x();
    const int y = buffer.y();
    switch (pars.get(0)) {
    case 0: {
        updateRange(y);
        BufferLine& line = *lines[buffer.yBase() + y];
        line.replaceCells(x, std::min(_cols, line.count()), eraseCell());
        if (x == 0) line.isWrapped = false;
        for (int row = y + 1; row < _rows; ++row)
            resetBufferLine(row, false);
        updateRange(_rows - 1);
        break;
    }
    case 1: {
        updateRange(y);
        BufferLine& line = *lines[buffer.yBase() + y];
        line.replaceCells(0, std::min(x + 1, line.count()), eraseCell());
        line.isWrapped = false;
        if (x + 1 >= _cols && y + 1 < _rows) lines[buffer.yBase() + y + 1]->isWrapped = false;
        for (int row = y - 1; row >= 0; --row)
            resetBufferLine(row, false);
        updateRange(0);
        break;
    }
    case 2:
        updateRange(_rows - 1);
        for (int row = _rows - 1; row >= 0; --row)
            resetBufferLine(row, true);
        clearAllKittyImages();
        updateRange(0);
        break;
    case 3: {
        const int excess = lines.count() - _rows;
        if (excess > 0) {
            lines.trimStart(excess);
            buffer.linesTop = 0;
            dropPayloadPass(true);
            restartGraphemeRows();
            buffer.setYBase(std::max(buffer.yBase() - excess, 0));
            if (buffer.yDisp() >= 0) buffer.setYDisp(std::max(buffer.yDisp() - excess, 0));
        }
        break;
    }
    default:
        break;
    }
}

// MARK: Line editing

void Terminal::cmdInsertLines(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    const int y = buffer.y();
    const int bottom = buffer.scrollBottom();
    if (y < buffer.scrollTop() || y > bottom) return;
    // More lines than the region holds below the cursor blank it all the same.
    const int p = pars.get(0);
    const int n = p >= 2 ? std::min(p, bottom - y + 1) : 1;
    if (marginMode) {
        const int x = buffer.x();
        if (x >= buffer.marginLeft() && x <= buffer.marginRight())
            shiftCells(y, bottom, buffer.marginLeft(), buffer.marginRight(), n, eraseCell());
    } else {
        shiftLines(buffer.yBase() + y, buffer.yBase() + bottom, n, eraseAttribute());
    }
    updateRange(y);
    updateRange(bottom);
}

void Terminal::cmdDeleteLines(const SequenceParams& pars, std::string_view) {
    restrictCursor(true);
    Buffer& buffer = *_buffer;
    const int y = buffer.y();
    const int bottom = buffer.scrollBottom();
    const int p = pars.get(0);
    const int n = p >= 2 ? std::min(p, buffer.rows() + 1) : 1;
    if (y < buffer.scrollTop() || y > bottom) return;
    if (marginMode) {
        const int x = buffer.x();
        if (x >= buffer.marginLeft() && x <= buffer.marginRight())
            shiftCells(y, bottom, buffer.marginLeft(), buffer.marginRight(), -n, eraseCell());
    } else {
        shiftLines(buffer.yBase() + y, buffer.yBase() + bottom, -n, eraseAttribute());
    }
    updateRange(y);
    updateRange(bottom);
}

// MARK: Repeat

void Terminal::cmdRepeatPrecedingCharacter(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    const int p = pars.get(0);
    int n = p >= 2 ? int(std::min<int64_t>(p, int64_t(2) * _cols * _rows)) : 1;
    const int x = buffer.x();
    buffer.heldAtRightEdge = false;
    CharData cell = CharData::Null;
    if (x > 0) {
        const BufferLine& line = *buffer.lines()[buffer.yBase() + buffer.y()];
        cell = line[x - 1];
    }
    updateRange(buffer.y());
    if (cell.width() != 1) {
        while (n-- > 0)
            buffer.insertCharacter(cell);
        holdCursorAtRightEdge(x);
        updateRange(buffer.y());
        return;
    }
    // A narrow cell: the first of each row goes through insertCharacter, which wraps, scrolls and opens
    // space in insert mode; the rest of the row is written in one block, as that many calls would.
    while (n > 0) {
        const int before = buffer.x();
        buffer.insertCharacter(cell);
        --n;
        BufferLine& line = *buffer.lines()[buffer.yBase() + buffer.y()];
        const int right = buffer.rightEdge(line);
        // Without wraparound every further call rewrites the last column: nothing more changes.
        if (!buffer.wraparound && before > right) break;
        const int start = buffer.x();
        const int k = std::min(n, std::min(right, line.count() - 1) - start + 1);
        if (k <= 0) continue;
        if (buffer.insertMode) {
            line.insertCells(start, k, std::min(right, line.count() - 1), CharData(buffer.curAttr, 0, 1));
            const int last = std::min(_cols, line.count()) - 1;
            if (line[last].width() == 2) line.set(last, CharData(buffer.curAttr, 0, 1));
        }
        line.fill(cell, start, k);
        buffer.setX(start + k);
        buffer.lastBufferStorage = {buffer.yBase() + buffer.y(), start + k - 1, _cols, _rows};
        n -= k;
    }
    holdCursorAtRightEdge(x);
    updateRange(buffer.y());
}

// MARK: Tabs

void Terminal::cmdTabClear(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    switch (pars.get(0)) {
    case 0:
        buffer.tabClear(buffer.x());
        break;
    case 3:
        std::fill(buffer.tabStops.begin(), buffer.tabStops.end(), false);
        break;
    default:
        break;
    }
}

// MARK: Save and restore

void Terminal::cmdSaveCursor(const SequenceParams&, std::string_view collect) {
    // saveCursorState keeps the active map only: the designations and the invoked set are not part of the
    // saved cursor.
    if (collect.empty()) saveCursorState();
}

void Terminal::cmdRestoreCursor(const SequenceParams&, std::string_view collect) {
    if (collect.empty()) restoreCursorState();
}

// MARK: Conformance level

void Terminal::cmdSetConformanceLevel(const SequenceParams& pars, std::string_view) {
    const int level = pars.get(0);
    if (level == 61) {
        conformance = TerminalConformance::vt100;
        cc.send8bit = false;
        return;
    }
    switch (level) {
    case 62:
        conformance = TerminalConformance::vt200;
        break;
    case 63:
        conformance = TerminalConformance::vt300;
        break;
    case 64:
        conformance = TerminalConformance::vt400;
        break;
    default:
        conformance = TerminalConformance::vt500;
        break;
    }
    if (pars.size() >= 2) {
        const int controls = pars.get(1);
        cc.send8bit = controls == 0 || controls == 2;
    }
}

} // namespace Tessaline
