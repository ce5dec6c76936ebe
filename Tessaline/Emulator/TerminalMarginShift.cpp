// Scrolling inside left and right margins by turning rows round. Moving the cells between the margins of
// every row of the region costs the region's size on every line feed; turning the row objects costs a
// few handles, like a scroll without margins, but takes the cells outside the margins along. Which row's
// outside cells each row object holds is noted instead (owner), and they are put back in place in one
// pass once something is about to read or write them: any reader of the buffers, any command but those
// that only print inside the margins, move the cursor or scroll the region, a resize or a switch of
// screens. A command on one row outside the margins (an erase in line, printing left of the margin)
// puts back that row alone.
#include "Terminal.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace Tessaline {

namespace {

// Exchanges the cells outside columns left ... right of two rows of `cols` cells.
void exchangeOutside(BufferLine& a, BufferLine& b, int left, int right, int cols) {
    CharData* x = a.cellsForWrite(cols);
    CharData* y = b.cellsForWrite(cols);
    std::swap_ranges(x, x + left, y);
    std::swap_ranges(x + right + 1, x + cols, y + right + 1);
}

} // namespace

bool Terminal::beginMarginShift(int left, int right) {
    Buffer& buffer = *_buffer;
    MarginShift& m = _marginShift;
    const int top = buffer.scrollTop();
    const int bottom = buffer.scrollBottom();
    if (m.pending) {
        if (m.buffer == &buffer && m.top == top && m.bottom == bottom && m.left == left && m.right == right &&
            m.yBase == buffer.yBase())
            return true;
        flushMarginShift();
    }
    const CircularBufferLineList& lines = buffer.lines();
    if (top > bottom || bottom >= _rows || left > right || buffer.yBase() + bottom >= lines.count())
        return false;
    // Rows of another width (a screen narrowed without reflow) keep cells past the margins that only
    // moving cells leaves alone.
    for (int row = top; row <= bottom; ++row) {
        const BufferLinePtr& line = lines.peek(buffer.yBase() + row);
        if (!line || line->count() != _cols) return false;
    }
    const size_t height = size_t(bottom - top + 1);
    m.pending = true;
    m.buffer = &buffer;
    m.top = top;
    m.bottom = bottom;
    m.left = left;
    m.right = right;
    m.yBase = buffer.yBase();
    m.owner.resize(height);
    m.holder.resize(height);
    std::iota(m.owner.begin(), m.owner.end(), 0);
    std::iota(m.holder.begin(), m.holder.end(), 0);
    m.settled = false;
    return true;
}

void Terminal::turnMarginRows(int first, int last, int by, bool keepStates) {
    Buffer& buffer = *_buffer;
    CircularBufferLineList& lines = buffer.lines();
    MarginShift& m = _marginShift;
    const int base = buffer.yBase();
    const int height = last - first + 1;
    const int n = std::min(by < 0 ? -by : by, height);
    if (n == 0 || n == height) return;
    if (keepStates) {
        m.states.resize(size_t(height));
        for (int i = 0; i < height; ++i) {
            BufferLine& line = *lines[base + first + i];
            m.states[size_t(i)] = {line.isWrapped, line.renderMode, std::move(line.images)};
        }
    }
    // Up by n: the row at first + n comes to first. Down by n: the row at last - n + 1 comes to first.
    const int shift = by < 0 ? n : height - n;
    if (n == 1) {
        lines.rotate(base + first, base + last, by < 0);
    } else {
        m.rows.clear();
        for (int row = first; row <= last; ++row)
            m.rows.push_back(std::move(lines[base + row]));
        std::rotate(m.rows.begin(), m.rows.begin() + shift, m.rows.end());
        for (int i = 0; i < height; ++i)
            lines.set(base + first + i, std::move(m.rows[size_t(i)]));
    }
    if (m.pending) {
        const auto from = m.owner.begin() + (first - m.top);
        std::rotate(from, from + shift, from + height);
        for (int i = first - m.top; i <= last - m.top; ++i)
            m.holder[size_t(m.owner[size_t(i)])] = i;
    }
    if (keepStates) {
        for (int i = 0; i < height; ++i) {
            BufferLine& line = *lines[base + first + i];
            MarginShift::RowState& state = m.states[size_t(i)];
            line.isWrapped = state.isWrapped;
            line.renderMode = state.renderMode;
            line.images = std::move(state.images);
        }
    }
}

bool Terminal::scrollInsideMargins(const CharData& erase) {
    Buffer& buffer = *_buffer;
    const int left = buffer.marginLeft();
    const int right = buffer.marginRight();
    if (!beginMarginShift(left, right)) return false;
    MarginShift& m = _marginShift;
    CircularBufferLineList& lines = buffer.lines();
    const int base = buffer.yBase();
    // Every row of the region ends up unwrapped, single width and without images; once they are, only a
    // wrap can have changed one since.
    if (!m.settled || m.wraps != buffer.wrapsMarked()) {
        for (int row = m.top; row <= m.bottom; ++row) {
            BufferLine& line = *lines[base + row];
            line.isWrapped = false;
            buffer.clearImagesFromLine(base + row);
            line.renderMode = BufferLine::RenderLineMode::single;
        }
        m.settled = true;
        m.wraps = buffer.wrapsMarked();
    }
    turnMarginRows(m.top, m.bottom, -1, false);
    BufferLine& bottom = *lines[base + m.bottom];
    const int length = std::min(right + 1, bottom.count()) - left;
    if (length > 0) bottom.fill(erase, left, length);
    return true;
}

bool Terminal::shiftCellsByRows(int top, int bottom, int left, int right, int by, const CharData& fill) {
    Buffer& buffer = *_buffer;
    CircularBufferLineList& lines = buffer.lines();
    const int base = buffer.yBase();
    const bool whole = left == 0 && right >= _cols - 1;
    if (whole) {
        // Nothing outside the margins: the rows turn and nothing is left to put back.
        settlePending();
        if (base + bottom >= lines.count()) return false;
        for (int row = top; row <= bottom; ++row) {
            const BufferLinePtr& line = lines.peek(base + row);
            if (!line || line->count() != _cols) return false;
        }
    } else if (top < buffer.scrollTop() || bottom > buffer.scrollBottom() || !beginMarginShift(left, right)) {
        return false;
    }
    const int height = bottom - top + 1;
    const int n = std::min(by < 0 ? -by : by, height);
    turnMarginRows(top, bottom, by, true);
    // The rows that came round to the other end are blank between the margins.
    const int firstBlank = by > 0 ? top : bottom - n + 1;
    for (int row = firstBlank; row < firstBlank + n; ++row) {
        BufferLine& line = *lines[base + row];
        const int length = std::min(right + 1, line.count()) - left;
        if (length > 0) line.fill(fill, left, length);
    }
    return true;
}

void Terminal::flushMarginShift() const {
    MarginShift& m = _marginShift;
    m.pending = false;
    Buffer& buffer = *const_cast<Buffer*>(m.buffer);
    CircularBufferLineList& lines = buffer.lines();
    // Row by row, the row object holding a row's outside cells exchanges them with the row object there;
    // what that one held goes on to where it belongs.
    const int height = m.bottom - m.top + 1;
    for (int j = 0; j < height; ++j) {
        const int i = m.holder[size_t(j)];
        if (i == j) continue;
        exchangeOutside(*lines[m.yBase + m.top + i], *lines[m.yBase + m.top + j], m.left, m.right, _cols);
        const int displaced = m.owner[size_t(j)];
        m.owner[size_t(i)] = displaced;
        m.holder[size_t(displaced)] = i;
        m.owner[size_t(j)] = j;
        m.holder[size_t(j)] = j;
    }
}

void Terminal::settleMarginShiftRow(int row) const {
    MarginShift& m = _marginShift;
    if (!m.pending || m.buffer != _buffer || row < m.top || row > m.bottom) return;
    const int j = row - m.top;
    const int i = m.holder[size_t(j)];
    if (i == j) return;
    CircularBufferLineList& lines = _buffer->lines();
    exchangeOutside(*lines[m.yBase + m.top + i], *lines[m.yBase + m.top + j], m.left, m.right, _cols);
    const int displaced = m.owner[size_t(j)];
    m.owner[size_t(i)] = displaced;
    m.holder[size_t(displaced)] = i;
    m.owner[size_t(j)] = j;
    m.holder[size_t(j)] = j;
}

void Terminal::settleMarginShiftForCsi(uint8_t code, std::string_view collect) {
    if (collect.empty()) {
        switch (code) {
        // Attributes and cursor movement touch no cell; the line and scroll commands shift by rows.
        case 'm':
        case 'A':
        case 'B':
        case 'C':
        case 'D':
        case 'E':
        case 'F':
        case 'G':
        case 'H':
        case 'I':
        case 'Z':
        case '`':
        case 'a':
        case 'd':
        case 'e':
        case 'f':
        case 'L':
        case 'M':
        case 'S':
        case 'T':
            return;
        // Commands on the cursor's row.
        case 'K':
        case 'X':
        case '@':
        case 'P':
        case 'b':
            settleMarginShiftRow(_buffer->y());
            return;
        default:
            break;
        }
    }
    flushMarginShift();
}

void Terminal::settleMarginShiftForEsc(std::string_view collect, uint8_t code) {
    // Index, next line, reverse index, cursor save and restore, keypad modes, tab set and the character
    // set designations touch no cell outside the margins.
    if (collect.empty() && std::string_view("DEM78=>H").find(char(code)) != std::string_view::npos) return;
    if (collect.size() == 1 && std::string_view("()*+-./").find(collect[0]) != std::string_view::npos) return;
    flushMarginShift();
}

} // namespace Tessaline
