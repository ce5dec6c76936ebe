// The core scroll and cursor primitives every screen command builds on, and index (IND).
#include "Terminal.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace Tessaline {

namespace {

const char* boolText(bool value) {
    return value ? "true" : "false";
}

// The oldest rows of a full ring are the next to be reused, and in a large scroll-back they have long
// left the cache. Fetching them ahead hides that wait even when scrolls come close together: the row
// object of the third oldest now, the written cells of the second oldest (whose object came in the
// last time), so that the oldest, reused next, is all there.
void prefetchOldestRows(const CircularBufferLineList& lines) {
    if (!lines.isFull() || lines.count() < 3) return;
    if (const BufferLinePtr& later = lines.peek(2)) __builtin_prefetch(later.get(), 1);
    if (const BufferLinePtr& next = lines.peek(1)) {
        const BufferLine& row = *next;
        const char* cells = reinterpret_cast<const char*>(row.cells());
        const size_t bytes = size_t(row.contentEnd()) * sizeof(CharData);
        for (size_t at = 0; at < bytes; at += 64)
            __builtin_prefetch(cells + at, 1);
    }
}

} // namespace

void Terminal::restrictCursor(bool limitCols) {
    Buffer& buffer = *_buffer;
    if (originMode)
        buffer.setY(std::min(std::max(buffer.y(), buffer.scrollTop()), buffer.scrollBottom()));
    else
        buffer.setY(std::min(std::max(buffer.y(), 0), _rows - 1));
    const int last = cursorRowLastColumn();
    buffer.setX(std::min(std::max(buffer.x(), 0), limitCols ? last : last + 1));
    updateRange(buffer.y());
}

void Terminal::setCursor(int col, int row) {
    Buffer& buffer = *_buffer;
    updateRange(buffer.y());
    if (originMode) {
        buffer.setX(col + (marginMode ? buffer.marginLeft() : 0));
        buffer.setY(row + buffer.scrollTop());
    } else {
        buffer.setX(col);
        buffer.setY(row);
    }
    restrictCursor(true);
}

Attribute Terminal::eraseAttribute() const {
    return Attribute(Attribute::Color::defaultColor(), _curAttr.bg, CharacterStyle::none);
}

const CharData& Terminal::eraseCell() {
    // It depends on the background alone, which changes far less often than rows are erased.
    if (!(_eraseCellBackground == _curAttr.bg)) {
        _eraseCell = CharData(eraseAttribute(), 0, 1);
        _eraseCellBackground = _curAttr.bg;
    }
    return _eraseCell;
}

BufferLinePtr Terminal::blankLineCopy(bool isWrapped) {
    const CharData& erase = eraseCell();
    const int width = _buffer->cols();
    if (_blankLine->count() != width || !(_blankLine->count() > 0 && (*_blankLine)[0] == erase))
        _blankLine = BufferLine::make(width, erase, false);
    _blankLine->isWrapped = isWrapped;
    return std::make_shared<BufferLine>(*_blankLine);
}

void Terminal::scroll(bool isWrapped) {
    Buffer& buffer = *_buffer;
    CircularBufferLineList& lines = buffer.lines();
    const CharData& erase = eraseCell();
    // New bottom rows are copies of the template row (unwrapped or wrapped as asked, single size, no
    // images), made only when no row can be reused.
    auto templateCopy = [&] { return blankLineCopy(isWrapped); };
    // A row about to leave the ring becomes the new row instead, when nothing else holds it: scrolling
    // inside a region then allocates nothing.
    auto reuseAsTemplate = [&](BufferLinePtr& line) {
        if (!line || line.use_count() != 1 || line->count() != buffer.cols()) {
            line = templateCopy();
            return;
        }
        line->clear(erase);
        line->isWrapped = isWrapped;
        line->renderMode = BufferLine::RenderLineMode::single;
    };

    const int topRow = buffer.yBase() + buffer.scrollTop();
    const int bottomRow = buffer.yBase() + buffer.scrollBottom();

    if (marginMode && (buffer.marginLeft() > 0 || buffer.marginRight() < _cols - 1)) {
        // Only the columns between the margins move; the scroll-back is not touched.
        const int left = buffer.marginLeft();
        auto settle = [&](int row) {
            BufferLine& line = *lines[row];
            line.isWrapped = false;
            buffer.clearImagesFromLine(row);
            line.renderMode = BufferLine::RenderLineMode::single;
        };
        for (int row = topRow; row < bottomRow; ++row) {
            BufferLine& line = *lines[row];
            const BufferLine& below = *lines[row + 1];
            const int length =
                std::min(buffer.marginRight() + 1, std::min(line.count(), below.count())) - left;
            line.copyFrom(below, left, left, length);
            settle(row);
        }
        BufferLine& bottom = *lines[bottomRow];
        const int length = std::min(buffer.marginRight() + 1, bottom.count()) - left;
        if (length > 0) bottom.fill(erase, left, length);
        settle(bottomRow);
    } else if (buffer.scrollTop() > 0) {
        // The region's top row is dropped, not moved into the scroll-back.
        if (bottomRow >= lines.count()) {
            char message[160];
            std::snprintf(
                message, sizeof message,
                "scroll: bottomRow %d >= lines.count %d, state: yBase=%d scrollTop=%d scrollBottom=%d "
                "isAlternate=%s",
                bottomRow, lines.count(), buffer.yBase(), buffer.scrollTop(), buffer.scrollBottom(),
                boolText(isCurrentBufferAlternate()));
            Diagnostics::invariantBroken(message);
            return;
        }
        if (buffer.scrollBottom() - buffer.scrollTop() >= 1) {
            const int start = topRow + 1;
            if (start >= lines.count() || start - 1 <= 0) {
                char message[160];
                std::snprintf(message, sizeof message,
                              "Assertion on scroll, state was: bottomRow=%d topRow=%d yDisp=%d linesTop=%d "
                              "isAlternate=%s",
                              bottomRow, topRow, buffer.yDisp(), buffer.linesTop,
                              boolText(isCurrentBufferAlternate()));
                Diagnostics::invariantBroken(message);
            } else {
                // The top row comes round to the bottom, where it is reused as the new row.
                buffer.clearImagesFromLine(topRow);
                reuseAsTemplate(*lines.rotate(topRow, bottomRow, true));
                finishScroll();
                return;
            }
        }
        lines.set(bottomRow, templateCopy());
    } else {
        // The region starts at the top of the screen: its top row goes into the scroll-back.
        bool wasFull = false;
        if (bottomRow == lines.count() - 1 && lines.isFull()) {
            lines.recycle(erase);
            if (!lines.peek(bottomRow)) lines.set(bottomRow, templateCopy());
            BufferLine& line = *lines[bottomRow];
            line.isWrapped = isWrapped;
            line.renderMode = BufferLine::RenderLineMode::single;
            wasFull = true;
        } else if (bottomRow == lines.count() - 1) {
            lines.push(templateCopy());
            buffer.setYBase(buffer.yBase() + 1);
        } else {
            // The new row enters at the newest end of the ring (the oldest row, which falls off a full
            // ring, comes round as it) and turns back over the rows below the region, which move in
            // the ring but not on the screen: finishScroll marks the region, nothing else changed.
            wasFull = lines.isFull();
            if (wasFull) {
                buffer.clearImagesFromLine(0);
                reuseAsTemplate(lines.rotateOldestToNewest("can only recycle when the buffer is full"));
            } else {
                lines.push(templateCopy());
                buffer.setYBase(buffer.yBase() + 1);
            }
            lines.rotate(buffer.yBase() + buffer.scrollBottom(), lines.count() - 1, false);
        }
        if (wasFull) {
            if (buffer.hasScrollback()) ++buffer.linesTop;
            if (userScrolling) buffer.setYDisp(std::max(buffer.yDisp() - 1, 0));
        }
        prefetchOldestRows(lines);
    }

    finishScroll();
}

void Terminal::finishScroll() {
    Buffer& buffer = *_buffer;
    if (!userScrolling) buffer.setYDisp(buffer.yBase());
    refreshStart = std::min(refreshStart, buffer.scrollTop());
    refreshEnd = std::max(refreshEnd, buffer.scrollBottom());
    if (!buffer.hasScrollback()) {
        updateRange(buffer.scrollTop());
        updateRange(buffer.scrollBottom());
    }
    if (buffer.linesWithImagesCount() > 0) updateKittyRelativePlacementsForCurrentBuffer();
    if (tdel != nullptr) tdel->scrolled(*this, buffer.yDisp());
}

void Terminal::cmdIndex() {
    restrictCursor(true);
    Buffer& buffer = *_buffer;
    const int x = buffer.x();
    const int y = buffer.y();
    if (y == buffer.scrollBottom()) {
        if (x >= buffer.marginLeft() && x <= buffer.marginRight()) scroll(false);
    } else if (y < _rows - 1) {
        buffer.setY(y + 1);
    }
}

} // namespace Tessaline
