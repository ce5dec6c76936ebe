// Rectangular-area operations: copy, fill, erase and selective erase of a rectangle, its checksum, and
// column insertion and deletion in the scroll region.
//
// Rectangles are held to the screen, never to the scroll region or the margins. Apart from DECDC these
// commands mark no rows: their cells show at the next redraw of those rows.
#include "Terminal.h"

#include "Utf8.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace Tessaline {

namespace {

// Writes cells [left, left + count) of a row; past the row's end the row's own write access clamps
// (with its message).
void writeCells(BufferLine& line, int left, const CharData* cells, int count) {
    if (left + count <= line.count()) {
        std::copy(cells, cells + count, line.cellsForWrite(left + count) + left);
        return;
    }
    for (int k = 0; k < count; ++k)
        line.set(left + k, cells[k]);
}

void fillCells(BufferLine& line, int left, int right, const CharData& cell) {
    if (right < line.count()) {
        line.replaceCells(left, right + 1, cell);
        return;
    }
    for (int col = left; col <= right; ++col)
        line.set(col, cell);
}

} // namespace

std::optional<Terminal::Rectangle> Terminal::getRectangleFromRequest(std::span<const int64_t> values) const {
    auto value = [&](size_t k) { return k < values.size() ? values[k] : int64_t(0); };
    int64_t top = std::max<int64_t>(value(0), 1);
    int64_t left = std::max<int64_t>(value(1), 1);
    int64_t bottom = value(2) == 0 ? _rows : value(2);
    int64_t right = value(3) == 0 ? _cols : value(3);
    bottom = std::min<int64_t>(bottom, _rows);
    right = std::min<int64_t>(right, _cols);
    if (originMode) {
        const Buffer& b = *_buffer;
        top += b.scrollTop();
        bottom += b.scrollTop();
        left += b.marginLeft();
        right += b.marginLeft();
    }
    if (bottom < top || right < left) return std::nullopt;
    auto row = [&](int64_t v) { return int(std::min<int64_t>(v - 1, _rows - 1)); };
    auto col = [&](int64_t v) { return int(std::min<int64_t>(v - 1, _cols - 1)); };
    return Rectangle{row(top), col(left), row(bottom), col(right)};
}

// The rows a rectangle command changed, so that the view redraws them.
void Terminal::markRows(int top, int bottom) {
    updateRange(top);
    updateRange(bottom);
}

// MARK: Dispatch

void Terminal::csiCopyRectangularArea(const SequenceParams& pars, std::string_view collect) {
    if (collect != "$") return;
    // Positional: absent parameters read 0, which each field turns into its default.
    auto value = [&](int k) { return k < pars.size() ? pars[k] : int64_t(0); };
    auto atLeastOne = [&](int k) { return std::max<int64_t>(value(k), 1); };
    const int64_t sourcePage = atLeastOne(4);
    const int64_t destPage = atLeastOne(7);
    if (sourcePage != 1 || destPage != 1) return;
    const std::array<int64_t, 4> source{atLeastOne(0), atLeastOne(1), value(2), value(3)};
    const std::optional<Rectangle> rect = getRectangleFromRequest(source);
    if (!rect) return;
    const int destTop = int(std::min<int64_t>(atLeastOne(5) - 1, _rows - 1));
    const int destLeft = int(std::min<int64_t>(atLeastOne(6) - 1, _cols - 1));
    const int count = std::min(rect->right - rect->left + 1, _cols - destLeft);
    const int height = std::min(rect->bottom - rect->top + 1, _rows - destTop);
    if (count <= 0 || height <= 0) return;

    // Everything is read before anything is written, so overlapping areas copy correctly.
    Buffer& b = *_buffer;
    CircularBufferLineList& lines = b.lines();
    std::vector<CharData> cells;
    cells.reserve(size_t(count) * size_t(height));
    for (int k = 0; k < height; ++k) {
        const BufferLine& line = *lines[b.yBase() + rect->top + k];
        for (int col = rect->left; col < rect->left + count; ++col)
            cells.push_back(line[col]);
    }
    for (int k = 0; k < height; ++k)
        writeCells(*lines[b.yBase() + destTop + k], destLeft, cells.data() + size_t(k) * size_t(count),
                   count);
    markRows(destTop, destTop + height - 1);
}

void Terminal::csiX(const SequenceParams& pars, std::string_view collect) {
    if (collect != "$") {
        if (!silentLog)
            log("Not implemented CSI x with collect: collect=" + std::string(collect) +
                " and pars=" + bracketedList(pars.values()));
        return;
    }
    // DECFRA: the character and the attribute in full, one column whatever the character's width.
    const std::optional<Rectangle> rect = getRectangleFromRequest(pars.values().subspan(1));
    if (!rect) return;
    const int64_t pch = pars[0];
    const int32_t code = pch >= 0 && Utf8::isScalar(uint32_t(std::min<int64_t>(pch, 0xFFFFFFFF)))
                             ? scalarCode(uint32_t(pch))
                             : 32;
    const CharData cell(_curAttr, _underlineColors, code, 1);
    Buffer& b = *_buffer;
    for (int row = rect->top; row <= rect->bottom; ++row)
        fillCells(*b.lines()[b.yBase() + row], rect->left, rect->right, cell);
    markRows(rect->top, rect->bottom);
}

void Terminal::csiZ(const SequenceParams& pars, std::string_view collect) {
    if (collect == "$")
        cmdDECERA(pars);
    else if (collect == "'")
        // Locator reporting is not supported; the request is only noted.
        log("TODO: Enable Locator Reporting (DECELR)");
}

void Terminal::cmdDECERA(const SequenceParams& pars) {
    const std::optional<Rectangle> rect = getRectangleFromRequest(pars.values());
    if (!rect) return;
    const CharData cell(_curAttr, _underlineColors, 32, 1);
    Buffer& b = *_buffer;
    for (int row = rect->top; row <= rect->bottom; ++row)
        fillCells(*b.lines()[b.yBase() + row], rect->left, rect->right, cell);
    markRows(rect->top, rect->bottom);
}

void Terminal::csiOpenBrace(const SequenceParams& pars, std::string_view collect) {
    if (collect == "$")
        cmdSelectiveEraseRectangularArea(pars);
    else if (!silentLog)
        log("CSI # { not implemented - XTPUSHSGR with " + bracketedList(pars.values()));
}

// No cell is protected: every cell of the rectangle is erased, keeping its attribute and link.
void Terminal::cmdSelectiveEraseRectangularArea(const SequenceParams& pars) {
    const std::optional<Rectangle> rect = getRectangleFromRequest(pars.values());
    if (!rect) return;
    Buffer& b = *_buffer;
    for (int row = rect->top; row <= rect->bottom; ++row) {
        BufferLine& line = *b.lines()[b.yBase() + row];
        for (int col = rect->left; col <= rect->right; ++col)
            line.at(col).setValue(32, 1);
    }
    markRows(rect->top, rect->bottom);
}

// MARK: Columns

// DECIC: opened columns hold spaces with the erase attribute, the same cells DECDC leaves, so that they
// match the rest of an erased screen.
namespace {

// Each row of the scroll region with its last column inside `right`; a column edit cuts the row's
// run, so the row no longer wraps.
template<class Edit>
void editRegionRows(Buffer& b, int right, Edit&& edit) {
    CircularBufferLineList& lines = b.lines();
    const int last = std::min(b.yBase() + b.scrollBottom(), lines.count() - 1);
    for (int row = b.yBase() + b.scrollTop(); row <= last; ++row) {
        BufferLine& line = *lines[row];
        edit(line, std::min(right, line.count() - 1));
        line.isWrapped = false;
    }
}

} // namespace

void Terminal::csiCloseBrace(const SequenceParams& pars, std::string_view collect) {
    if (collect != "'") {
        if (!silentLog) log("CSI # } not implemented- XTPOPSGR with " + bracketedList(pars.values()));
        return;
    }
    Buffer& b = *_buffer;
    const int x = b.x();
    if ((marginMode && x < b.marginLeft()) || x > b.marginRight()) return;
    const int right = marginMode ? b.marginRight() : _cols - 1;
    const int pos = x % (right + 1);
    // More columns than the region holds clear it; the count is held there.
    const int n = std::min(pars.count(0), right + 1);
    const CharData fill(eraseAttribute(), 32, 1);
    editRegionRows(b, right, [&](BufferLine& line, int limit) {
        if (pos <= limit) line.insertCells(pos, n, limit, fill);
    });
    markRows(b.scrollTop(), b.scrollBottom());
}

void Terminal::cmdDeleteColumns(const SequenceParams& pars, std::string_view collect) {
    (void)collect;
    Buffer& b = *_buffer;
    const int x = b.x();
    const int y = b.y();
    if (y < b.scrollTop() || y > b.scrollBottom()) return;
    if (x == b.cols()) return;
    if (marginMode && (x < b.marginLeft() || x > b.marginRight())) return;
    const int right = marginMode ? b.marginRight() : _cols - 1;
    const int n = std::min(pars.count(0), right + 1);
    const CharData fill(eraseAttribute(), 32, 1);
    editRegionRows(b, right, [&](BufferLine& line, int limit) {
        if (x <= limit) line.deleteCells(x, n, limit, fill);
    });
    markRows(b.scrollTop(), b.scrollBottom());
}

// MARK: Checksum

// The sum of the Unicode scalars of the rectangle's text, an empty cell counting as a space; it wraps
// at 32 bits.
void Terminal::cmdDECRQCRA(const SequenceParams& pars, std::string_view collect) {
    (void)collect;
    uint32_t sum = 0;
    if (tdel != nullptr && tdel->isProcessTrusted(*this) && pars.size() >= 3) {
        // The page (the second parameter) is ignored: there is only one.
        if (const std::optional<Rectangle> rect = getRectangleFromRequest(pars.values().subspan(2))) {
            Buffer& b = *_buffer;
            std::u32string scalars;
            std::array<char, 4> scratch;
            for (int row = rect->top; row <= rect->bottom; ++row) {
                const BufferLine& line = *b.lines()[b.yBase() + row];
                for (int col = rect->left; col <= rect->right; ++col) {
                    const int32_t code = line[col].code;
                    if (code == 0) {
                        sum += 32;
                    } else if (code > 0 && code < CharData::graphemeCodeBase &&
                               Utf8::isScalar(uint32_t(code))) {
                        sum += uint32_t(code);
                    } else {
                        scalars.clear();
                        Utf8::decode(characterText(code, scratch), scalars);
                        for (char32_t scalar : scalars)
                            sum += uint32_t(scalar);
                    }
                }
            }
        }
    }
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "%04x", sum);
    sendResponse(cc.dcs(), std::to_string(pars[0]), "!~", std::string_view(checksum), cc.st());
}

} // namespace Tessaline
