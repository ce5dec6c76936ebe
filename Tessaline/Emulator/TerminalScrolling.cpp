// Scrolling commands of the active buffer: reverse index, scroll up and down, the scroll region and the
// left and right margins, back and forward index; and the line and cell shifts that these and the line
// insertion and deletion of TerminalCursor.cpp share.
#include "Terminal.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace Tessaline {

namespace {

const char* boolText(bool value) {
    return value ? "true" : "false";
}

// Columns left ... right of a line that it actually holds, as a count from left (0 or less: none).
int spanOf(const BufferLine& line, int left, int right) {
    return std::min(right + 1, line.count()) - left;
}

} // namespace

// MARK: Shared shifts

BufferLinePtr Terminal::recycledBlankLine(BufferLinePtr&& leaving, const Attribute& fill) const {
    const CharData cell(fill, 0, 1);
    // A line that a snapshot or a reader still holds is left to them.
    if (!leaving || leaving.use_count() != 1 || leaving->count() != _buffer->cols() ||
        !(leaving->fillCharacter() == cell))
        return BufferLine::make(_buffer->cols(), cell, false);
    leaving->clear(fill);
    leaving->isWrapped = false;
    leaving->renderMode = BufferLine::RenderLineMode::single;
    return std::move(leaving);
}

// One pass however far the lines move: a count of lines a program sends costs the size of the range, never
// that count times it.
void Terminal::shiftLines(int first, int last, int by, const Attribute& fill) {
    Buffer& buffer = *_buffer;
    CircularBufferLineList& lines = buffer.lines();
    last = std::min(last, lines.count() - 1);
    const int length = last - first + 1;
    if (first < 0 || length <= 0 || by == 0) return;
    const int n = std::min(by < 0 ? -by : by, length);

    if (n == 1) {
        // The common single line: the ring turns the range round by handle.
        buffer.clearImagesFromLine(by > 0 ? last : first);
        lines.rotate(first, last, by < 0);
        const int blankAt = by > 0 ? first : last;
        lines.set(blankAt, recycledBlankLine(std::move(lines[blankAt]), fill));
        return;
    }
    // The lines pushed out of the range, in the order they leave.
    std::vector<BufferLinePtr> leaving;
    leaving.reserve(size_t(n));
    const int leaveFrom = by > 0 ? last - n + 1 : first;
    for (int i = 0; i < n; ++i) {
        buffer.clearImagesFromLine(leaveFrom + i);
        leaving.push_back(std::move(lines[leaveFrom + i]));
    }
    if (by > 0) {
        for (int r = last; r >= first + n; --r)
            lines.set(r, std::move(lines[r - n]));
        for (int i = 0; i < n; ++i)
            lines.set(first + i, recycledBlankLine(std::move(leaving[size_t(i)]), fill));
    } else {
        for (int r = first; r <= last - n; ++r)
            lines.set(r, std::move(lines[r + n]));
        for (int i = 0; i < n; ++i)
            lines.set(last - n + 1 + i, recycledBlankLine(std::move(leaving[size_t(i)]), fill));
    }
}

void Terminal::shiftCells(int top, int bottom, int left, int right, int by, const CharData& fill) {
    Buffer& buffer = *_buffer;
    CircularBufferLineList& lines = buffer.lines();
    const int base = buffer.yBase();
    bottom = std::min(bottom, lines.count() - 1 - base);
    const int height = bottom - top + 1;
    if (top < 0 || height <= 0 || left < 0 || right < left || by == 0) return;
    const int n = std::min(by < 0 ? -by : by, height);
    auto blank = [&](int row) {
        BufferLine& line = *lines[base + row];
        const int length = spanOf(line, left, right);
        if (length > 0) line.fill(fill, left, length);
    };
    auto move = [&](int to, int from) {
        BufferLine& dst = *lines[base + to];
        const BufferLine& src = *lines[base + from];
        dst.copyFrom(src, left, left, std::min(spanOf(dst, left, right), spanOf(src, left, right)));
    };
    if (by > 0) {
        for (int r = bottom; r >= top + n; --r)
            move(r, r - n);
        for (int r = top; r < top + n; ++r)
            blank(r);
    } else {
        for (int r = top; r <= bottom - n; ++r)
            move(r, r + n);
        for (int r = bottom - n + 1; r <= bottom; ++r)
            blank(r);
    }
}

// MARK: Reverse index

void Terminal::reverseIndex() {
    restrictCursor(true);
    Buffer& buffer = *_buffer;
    const int x = buffer.x();
    const int y = buffer.y();
    if (x < buffer.marginLeft()) {
        if (y != buffer.scrollTop() && y != 0) buffer.setY(y - 1);
        return;
    }
    if (y != buffer.scrollTop()) {
        if (y >= 1) buffer.setY(y - 1);
        return;
    }
    if (x > buffer.marginRight()) return;

    CircularBufferLineList& lines = buffer.lines();
    const int topRow = buffer.yBase() + buffer.scrollTop();
    const int bottomRow = buffer.yBase() + buffer.scrollBottom();
    if (topRow >= lines.count()) {
        char message[192];
        std::snprintf(message, sizeof message,
                      "reverseIndex: start index %d >= lines.count %d, state: y=%d yBase=%d scrollTop=%d "
                      "scrollBottom=%d isAlternate=%s",
                      topRow, lines.count(), y, buffer.yBase(), buffer.scrollTop(), buffer.scrollBottom(),
                      boolText(isCurrentBufferAlternate()));
        Diagnostics::invariantBroken(message);
        return;
    }
    if (!marginMode || (buffer.marginLeft() == 0 && buffer.marginRight() >= _cols - 1)) {
        const int count = buffer.scrollBottom() - buffer.scrollTop();
        // The bottom line is dropped; it comes back as the new top line when nothing else holds it.
        if (count > 0 && bottomRow < lines.count()) {
            buffer.clearImagesFromLine(bottomRow);
            // Handles swapped along the region, which touches no reference count.
            if (BufferLinePtr* top = lines.rotate(topRow, bottomRow, false)) {
                *top = recycledBlankLine(std::move(*top), eraseAttribute());
                updateRange(buffer.scrollTop());
                updateRange(buffer.scrollBottom());
                return;
            }
        }
        BufferLinePtr leaving;
        if (count >= 0 && bottomRow < lines.count()) {
            buffer.clearImagesFromLine(bottomRow);
            leaving = std::move(lines[bottomRow]);
        }
        if (!lines.shiftElements(topRow, count, 1)) {
            char message[160];
            std::snprintf(message, sizeof message,
                          "Assertion on reverseIndex, state was: y=%d scrollTop=%d  yDisp=%d linesTop=%d "
                          "isAlternate=%s",
                          y, buffer.scrollTop(), buffer.yDisp(), buffer.linesTop,
                          boolText(isCurrentBufferAlternate()));
            Diagnostics::invariantBroken(message);
        }
        lines.set(topRow, recycledBlankLine(std::move(leaving), eraseAttribute()));
    } else {
        shiftCells(buffer.scrollTop(), buffer.scrollBottom(), buffer.marginLeft(), buffer.marginRight(), 1,
                   eraseCell());
        for (int row = topRow; row <= std::min(bottomRow, lines.count() - 1); ++row) {
            BufferLine& line = *lines[row];
            line.isWrapped = false;
            buffer.clearImagesFromLine(row);
            line.renderMode = BufferLine::RenderLineMode::single;
        }
    }
    updateRange(buffer.scrollTop());
    updateRange(buffer.scrollBottom());
}

// MARK: Scroll up and down

void Terminal::cmdScrollUp(const SequenceParams& pars, std::string_view) {
    Buffer& buffer = *_buffer;
    const int p = pars.get(0);
    const int n = p >= 2 ? std::min(p, 2 * _rows) : 1;
    if (marginMode)
        shiftCells(buffer.scrollTop(), buffer.scrollBottom(), buffer.marginLeft(), buffer.marginRight(), -n,
                   CharData::Null);
    else
        shiftLines(buffer.yBase() + buffer.scrollTop(), buffer.yBase() + buffer.scrollBottom(), -n,
                   Attribute::defaultAttribute());
    updateRange(buffer.scrollTop());
    updateRange(buffer.scrollBottom());
}

void Terminal::cmdScrollDown(const SequenceParams& pars) {
    Buffer& buffer = *_buffer;
    const int n = std::min(pars.count(0), _rows);
    shiftCells(buffer.scrollTop(), buffer.scrollBottom(), buffer.marginLeft(), buffer.marginRight(), n,
               CharData::Null);
    updateRange(buffer.scrollTop());
    updateRange(buffer.scrollBottom());
}

// MARK: Region and margins

void Terminal::cmdSetScrollRegion(const SequenceParams& pars, std::string_view collect) {
    if (!collect.empty()) return;
    const int top = std::max(pars.get(0) - 1, 0);
    const int second = pars.get(1);
    const int bottom = second != 0 ? std::min(second, _rows) : _rows;
    if (top < bottom - 1) {
        _buffer->setScrollTop(top);
        _buffer->setScrollBottom(bottom - 1);
    }
    setCursor(0, 0);
}

void Terminal::cmdSetMargins(const SequenceParams& pars, std::string_view collect) {
    if (!collect.empty()) return;
    const int left = std::max(pars.get(0) - 1, 0);
    const int second = pars.get(1);
    const int right = std::clamp(second != 0 ? second - 1 : _cols - 1, 0, _cols - 1);
    _buffer->setMarginLeft(std::min(left, right));
    _buffer->setMarginRight(right);
}

// MARK: Back and forward index

void Terminal::columnIndex(bool back) {
    Buffer& buffer = *_buffer;
    const int x = buffer.x();
    if (back) {
        if (x == buffer.marginLeft())
            columnScroll(true, x);
        else
            cursorBackward(1);
    } else if (x == buffer.marginRight()) {
        columnScroll(false, buffer.marginLeft());
    } else if (x != buffer.cols()) {
        cursorForward(1);
    }
}

void Terminal::columnScroll(bool back, int at) {
    Buffer& buffer = *_buffer;
    const int x = buffer.x();
    const int y = buffer.y();
    if (y < buffer.scrollTop() || y > buffer.scrollBottom()) return;
    if (x < buffer.marginLeft() || x > buffer.marginRight()) return;
    const int right = marginMode ? buffer.marginRight() : _cols - 1;
    const int pos = at % (right + 1);
    // Both directions leave the same cell in the opened column, so that an inserted column looks like
    // the rest of the erased screen.
    const CharData fill = columnFillCell();
    CircularBufferLineList& lines = buffer.lines();
    const int last = std::min(buffer.yBase() + buffer.scrollBottom(), lines.count() - 1);
    for (int row = buffer.yBase() + buffer.scrollTop(); row <= last; ++row) {
        BufferLine& line = *lines[row];
        const int limit = std::min(right, line.count() - 1);
        if (pos > limit) continue;
        if (back)
            line.insertCells(pos, 1, limit, fill);
        else
            line.deleteCells(pos, 1, limit, fill);
    }
    updateRange(buffer.scrollTop());
    updateRange(buffer.scrollBottom());
}

void Terminal::emitLineFeed() {
    if (tdel != nullptr) tdel->linefeed(*this);
}

} // namespace Tessaline
