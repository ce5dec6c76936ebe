// Resize and reflow of a Buffer. Reflow runs on every window resize over the whole scroll-back, so each
// direction collects what changes in one walk and rebuilds the ring once: the cost follows the number of
// rows, never rows times runs.
#include "Buffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace Tessaline {

namespace {

// Code 0, width 1 and the default attribute; the payload is not looked at.
bool isNullCell(const CharData& cell) {
    return cell.code == 0 && cell.width() == 1 && cell.hasDefaultAttribute();
}

bool isWrappedRow(const CircularBufferLineList& lines, int row) {
    const BufferLinePtr& line = lines.peek(row);
    return line && line->isWrapped;
}

// A row in use that the ring has not made yet is made here, at the width the reflow writes at.
BufferLine& rowForWrite(CircularBufferLineList& lines, int row, int width) {
    const BufferLinePtr& line = lines.peek(row);
    if (line) return *line;
    lines.set(row, BufferLine::make(width, CharData::Null, false));
    return *lines.peek(row);
}

// A row object, with the counts its handle keeps just before it, spans up to three cache lines, and a
// walk reads fields in each.
void prefetchRow(const BufferLine* row) {
    if (!row) return;
    const char* object = reinterpret_cast<const char*>(row);
    __builtin_prefetch(object - 16);
    __builtin_prefetch(object + 48);
    __builtin_prefetch(object + sizeof(BufferLine) - 1);
}

// Rows are separate heap objects, so a walk over the ring is a chain of cache misses unless the rows
// ahead are asked for early: the row `row` + 32 (walking by `step` +1 or -1), and the cells of the row
// half as far on around column `col` (read for the wrapped length) and `breakCol` (where a run's first
// row breaks at the new width).
void prefetchAhead(const CircularBufferLineList& lines, int row, int step, int col, int breakCol) {
    const int far = row + 32 * step;
    const int near = row + 16 * step;
    if (far >= 0 && far < lines.count()) prefetchRow(lines.peek(far).get());
    if (near >= 0 && near < lines.count()) {
        if (const BufferLine* line = lines.peek(near).get(); line && line->stored() > 0) {
            const int last = line->stored() - 1;
            __builtin_prefetch(line->cells());
            __builtin_prefetch(line->cells() + std::clamp(col, 0, last));
            __builtin_prefetch(line->cells() + std::clamp(breakCol, 0, last));
        }
    }
}

// A row in use narrower than the screen means the ring is broken: no reader expects it.
void checkWidth(const BufferLine& line, int cols) {
    if (line.count() >= cols) [[likely]]
        return;
    char message[96];
    std::snprintf(message, sizeof message, "stop here newCols=%d but the element has: %d", cols, line.count());
    fatalError(message);
}

// Exchanges the rows of two slots without making a row for an empty one.
void swapSlots(CircularBufferLineList& lines, int a, int b) {
    BufferLinePtr first = lines.peek(a) ? std::move(lines[a]) : nullptr;
    BufferLinePtr second = lines.peek(b) ? std::move(lines[b]) : nullptr;
    lines.set(a, std::move(second));
    lines.set(b, std::move(first));
}

// getTrimmedLength() > limit, reading only the cells that can decide it.
bool trimmedLengthExceeds(const BufferLine& line, int limit) {
    // Cells a compact row does not keep are its blank.
    if (line.stored() < line.count() && line.blank().code != 0) return line.getTrimmedLength() > limit;
    const CharData* cells = line.cells();
    // A cell left of limit - 2 ends by limit at most, whatever its width.
    for (int i = line.stored() - 1; i >= std::max(limit - 2, 0); --i)
        if (cells[i].code != 0) return i + cells[i].width() > limit;
    return false;
}

// The wrapped length, kept inside the row: a wide character cut at the row's last column would count
// one cell past it.
int wrappedLength(const BufferLine& line, const BufferLine* next, int cols) {
    return std::min(Buffer::getWrappedLineTrimmedLength(line, next, cols), line.count());
}

void copyCells(BufferLine& dst, int dstCol, const BufferLine& src, int srcCol, int len) {
    len = std::min({len, dst.count() - dstCol, src.count() - srcCol});
    if (len > 0 && dstCol >= 0 && srcCol >= 0) dst.copyFrom(src, srcCol, dstCol, len);
}

// getNewLineLengths over rows whose wrapped lengths are already known.
void newLineLengths(std::span<BufferLine* const> run, std::span<const int> wrapped, int newCols,
                    std::vector<int>& out) {
    out.clear();
    int64_t needed = 0;
    for (int length : wrapped)
        needed += length;
    const int n = int(run.size());
    int srcRow = 0;
    int srcCol = 0;
    int64_t placed = 0;
    while (placed < needed) {
        if (needed - placed < newCols) {
            out.push_back(int(needed - placed));
            break;
        }
        srcCol += newCols;
        if (srcRow < n && srcCol > wrapped[size_t(srcRow)]) {
            srcCol -= wrapped[size_t(srcRow)];
            ++srcRow;
        }
        int length = newCols;
        // One column is the narrowest row that can hold anything: a wide character there is cut, not moved
        // (moving it would leave a row of no cells and never finish).
        if (srcRow < n && newCols > 1 && srcCol >= 1 && (*run[size_t(srcRow)])[srcCol - 1].width() == 2) {
            --srcCol;
            length = newCols - 1;
        }
        out.push_back(length);
        placed += length;
    }
}

// The text of a run as one stretch of cells its rows can refer to: the rows' own cells when they lie one
// after another in one block (a run reflowed before), else a copy kept in the arena. The rows then show
// pieces of it instead of copying cells from row to row, so a reflow of the scroll-back moves no cells
// once its runs have been reflowed once.
struct RunText {
    CellBlock owner;
    CharData* cells = nullptr;
    int length = 0;
};

RunText runText(std::span<BufferLine* const> run, std::span<const int> wrapped, CellArena& arena) {
    RunText text;
    bool adjacent = true;
    const BufferLine* start = nullptr;
    const CharData* expected = nullptr;
    for (size_t i = 0; i < run.size(); ++i) {
        const BufferLine& row = *run[i];
        const int length = wrapped[i];
        text.length += length;
        if (length == 0 || !adjacent) continue;
        if (row.stored() < length) {
            adjacent = false;
        } else if (!start) {
            start = &row;
            expected = row.cells() + length;
        } else if (row.cells() == expected && row.block().sharesOwnerWith(start->block())) {
            expected += length;
        } else {
            adjacent = false;
        }
    }
    if (text.length == 0) return text;
    if (adjacent) {
        text.owner = start->block();
        text.cells = start->block().get();
        return text;
    }
    // The rows go on holding their own cells until they are given pieces of these.
    text.owner = arena.reserve(text.length);
    text.cells = text.owner.get();
    CharData* to = text.cells;
    for (size_t i = 0; i < run.size(); ++i) {
        const BufferLine& row = *run[i];
        const int held = std::min(row.stored(), wrapped[i]);
        if (held > 0) std::memcpy(static_cast<void*>(to), row.cells(), size_t(held) * sizeof(CharData));
        BufferLine::fillCells(to + held, to + wrapped[i], row.blank());
        to += wrapped[i];
    }
    return text;
}

// The lengths of the rows a run's text fills at a larger width: a wide character that would start in
// the last column starts the next row, except on the last row the run has.
void widerLineLengths(const CharData* text, int length, int cols, int rows, std::vector<int>& out) {
    out.clear();
    int at = 0;
    while (length - at >= cols && int(out.size()) + 1 < rows) {
        const int taken = cols > 1 && text[at + cols - 1].width() == 2 ? cols - 1 : cols;
        out.push_back(taken);
        at += taken;
    }
    if (at < length || out.empty()) out.push_back(length - at);
}

} // namespace

int Buffer::getWrappedLineTrimmedLength(const BufferLine& line, const BufferLine* nextLine, int cols) {
    if (!nextLine) return line.getTrimmedLength();
    if (cols >= 1 && line.count() > 0 && isNullCell(line[cols - 1]) && nextLine->count() > 0 &&
        (*nextLine)[0].width() == 2)
        return cols - 1;
    return cols;
}

int Buffer::getWrappedLineTrimmedLength(const CircularBufferLineList& lines, int row, int cols) {
    const BufferLinePtr& line = lines.peek(row);
    // A row the ring has not made yet is blank: trimmed to nothing, null in its last column, narrow in
    // its first.
    if (row + 1 >= lines.count()) return line ? line->getTrimmedLength() : 0;
    const BufferLinePtr& next = lines.peek(row + 1);
    if (line && next) return getWrappedLineTrimmedLength(*line, next.get(), cols);
    const bool lastIsNull = !line || (cols >= 1 && isNullCell((*line)[cols - 1]));
    const bool nextStartsWide = next && next->count() > 0 && (*next)[0].width() == 2;
    return lastIsNull && nextStartsWide ? cols - 1 : cols;
}

std::vector<int> Buffer::getNewLineLengths(std::span<const BufferLinePtr> wrappedLines, int oldCols,
                                           int newCols) {
    std::vector<BufferLine*> run;
    std::vector<int> wrapped;
    for (size_t i = 0; i < wrappedLines.size(); ++i) {
        run.push_back(wrappedLines[i].get());
        const BufferLine* next = i + 1 < wrappedLines.size() ? wrappedLines[i + 1].get() : nullptr;
        wrapped.push_back(wrappedLength(*wrappedLines[i], next, oldCols));
    }
    std::vector<int> lengths;
    newLineLengths(run, wrapped, newCols, lengths);
    return lengths;
}

void Buffer::resize(int newCols, int newRows) {
    // As at construction: a row of no cells or a screen of no rows has nothing to hold the cursor.
    newCols = std::max(newCols, 1);
    newRows = std::max(newRows, 1);

    // Margins are only narrowed, never widened.
    if (_marginRight > newCols - 1) _marginRight = newCols - 1;
    if (_marginLeft >= _marginRight) _marginLeft = _marginRight;

    const int newCapacity = getCorrectBufferLength(newRows);
    if (_lines.maxLength() < newCapacity) _lines.setMaxLength(newCapacity);

    // Every row gets the larger width in the last pass (or as the widening reflow reaches it): nothing
    // in between reads cells.
    const bool widen = _lines.count() > 0 && _cols < newCols;
    if (_lines.count() > 0) {
        // Rows come back from the scroll-back while there are any; blank rows are added after that.
        int cursorOffset = 0;
        for (int r = _rows; r < newRows; ++r) {
            if (_lines.count() >= newRows + _yBase) continue;
            if (_yBase > 0 && _lines.count() <= _yBase + r + cursorOffset + 1) {
                --_yBase;
                ++cursorOffset;
                if (_yDisp > 0) --_yDisp;
            } else {
                _lines.push(BufferLine::make(newCols, CharData::Null, false));
            }
        }
        // Rows below the cursor go first; then the top rows go to the scroll-back.
        for (int i = newRows; i < _rows; ++i) {
            if (_lines.count() <= newRows + _yBase) continue;
            if (_lines.count() > _yBase + _y + 1) {
                _lines.setCount(_lines.count() - 1);
            } else {
                ++_yBase;
                ++_yDisp;
            }
        }
        if (newCapacity < _lines.maxLength()) {
            const int excess = _lines.count() - newCapacity;
            if (excess > 0) {
                _lines.trimStart(excess);
                _yBase = std::max(_yBase - excess, 0);
                _yDisp = std::max(_yDisp - excess, 0);
                savedY = std::max(savedY - excess, 0);
            }
            _lines.setMaxLength(newCapacity);
        }
        _x = std::min(_x, newCols - 1);
        _y = std::min(_y, newRows - 1) + cursorOffset;
        savedX = std::min(savedX, newCols - 1);
        _scrollTop = 0;
    } else if (newCapacity < _lines.maxLength()) {
        // An empty ring (a cleared alternate buffer) still takes the smaller capacity: rows it is filled
        // with later must not find room for a scroll-back.
        _lines.setMaxLength(newCapacity);
    }
    _scrollBottom = newRows - 1;

    // The owner sets the stops of new columns (setupTabStops from the old width).
    tabStops.resize(size_t(newCols), false);

    const bool narrower = newCols < _cols;
    const bool reflow = _hasScrollback && _cols != newCols;
    if (reflow) {
        if (narrower)
            reflowNarrower(_cols, _rows, newCols, newRows);
        else
            reflowWider(_cols, _rows, newCols, newRows);
    }
    // Without scroll-back, narrowed rows keep their width: only their first newCols cells are used. A
    // reflow has resized, checked and counted the rows in use (images) on its walk, which visits every
    // row anyway: only the slots past them are left.
    finishSlots(newCols, widen || (_hasScrollback && narrower), _lines.count() > 0, reflow ? _lines.count() : 0);

    _cols = newCols;
    _rows = newRows;
}

void Buffer::finishSlots(int newCols, bool resizeRows, bool check, int firstSlot) {
    if (!resizeRows && !check) return;
    const int slots = int(_lines.getArray().size());
    for (int i = firstSlot; i < slots; ++i) {
        if (i + 16 < slots) prefetchRow(_lines.peek(i + 16).get());
        const BufferLinePtr& line = _lines.peek(i);
        if (!line) continue;
        if (resizeRows) line->resize(newCols, CharData::Null);
        if (check) checkWidth(*line, newCols);
    }
}

std::vector<int> Buffer::getLinesToRemove(int oldCols, int newCols, int bufferAbsoluteY,
                                          const CharData& nullChar) {
    return joinRuns(oldCols, newCols, bufferAbsoluteY, nullChar, false);
}

std::vector<int> Buffer::joinRuns(int oldCols, int newCols, int bufferAbsoluteY, const CharData& nullChar,
                                  bool widen, int* withImages) {
    std::vector<int> pairs;
    std::vector<BufferLine*> run;
    const int count = _lines.count();
    // Rows up to this one have the new width.
    int widened = -1;
    auto reach = [&](int row) {
        if (!widen) return;
        for (; widened < row; ++widened) {
            prefetchAhead(_lines, widened + 1, 1, oldCols - 1, newCols - oldCols - 1);
            if (const BufferLinePtr& line = _lines.peek(widened + 1)) {
                line->resize(newCols, CharData::Null);
                checkWidth(*line, newCols);
                if (withImages && line->images) ++*withImages;
            }
        }
    };
    if (count > 0) reach(0);
    int y = 0;
    while (y < count - 1) {
        reach(y + 1);
        if (!isWrappedRow(_lines, y + 1)) {
            ++y;
            continue;
        }
        int end = y + 2;
        while (end < count && (reach(end), isWrappedRow(_lines, end)))
            ++end;
        // The program redraws the run it is writing; moving it would leave the cursor inside moved text.
        if (bufferAbsoluteY >= y && bufferAbsoluteY < end) {
            y = end;
            continue;
        }
        const int n = end - y;
        if (widen && reflowSharesCells && end <= _yBase && joinRunShared(y, n, oldCols, newCols, pairs, withImages)) {
            y = end;
            continue;
        }
        run.clear();
        run.push_back(&rowForWrite(_lines, y, newCols));
        for (int i = y + 1; i < end; ++i)
            run.push_back(_lines.peek(i).get());
        auto next = [&](int i) { return i + 1 < n ? run[size_t(i + 1)] : nullptr; };

        int dstRow = 0;
        int dstCol = wrappedLength(*run[0], run[1], oldCols);
        int srcRow = 1;
        int srcCol = 0;
        int srcLength = wrappedLength(*run[1], next(1), oldCols);
        while (srcRow < n) {
            const int cells = std::min(srcLength - srcCol, newCols - dstCol);
            copyCells(*run[size_t(dstRow)], dstCol, *run[size_t(srcRow)], srcCol, cells);
            dstCol += cells;
            srcCol += cells;
            if (dstCol == newCols) {
                ++dstRow;
                dstCol = 0;
            }
            if (srcCol == srcLength) {
                ++srcRow;
                srcCol = 0;
                if (srcRow < n) srcLength = wrappedLength(*run[size_t(srcRow)], next(srcRow), oldCols);
            }
            if (dstRow >= n) break;
            // A wide character whose first half landed in the last column starts the next row instead.
            if (dstCol == 0 && dstRow != 0) {
                BufferLine& previous = *run[size_t(dstRow - 1)];
                if (previous.getWidth(newCols - 1) == 2) {
                    run[size_t(dstRow)]->set(0, previous[newCols - 1]);
                    if (newCols - 1 < previous.count()) previous.set(newCols - 1, nullChar);
                    dstCol = 1;
                }
            }
        }
        if (dstRow < n) {
            BufferLine& last = *run[size_t(dstRow)];
            const int fillEnd = std::min(newCols, last.count());
            if (dstCol < fillEnd) last.fill(nullChar, dstCol, fillEnd - dstCol);
        }

        int emptied = 0;
        for (int i = n - 1; i >= 1; --i) {
            if (i > dstRow || run[size_t(i)]->getTrimmedLength() == 0)
                ++emptied;
            else
                break;
        }
        if (emptied > 0) {
            pairs.push_back(y + n - emptied);
            pairs.push_back(emptied);
            // They leave the ring with their strips.
            for (int i = n - emptied; withImages && i < n; ++i)
                if (run[size_t(i)]->images) --*withImages;
        }
        y = end;
    }
    return pairs;
}

bool Buffer::joinRunShared(int first, int n, int oldCols, int newCols, std::vector<int>& pairs,
                           int* withImages) {
    static thread_local std::vector<BufferLine*> run;
    static thread_local std::vector<int> wrapped;
    static thread_local std::vector<int> lengths;
    run.clear();
    for (int i = first; i < first + n; ++i) {
        BufferLine* line = _lines.peek(i).get();
        if (!line) return false;
        run.push_back(line);
    }
    wrapped.clear();
    for (int i = 0; i < n; ++i)
        wrapped.push_back(wrappedLength(*run[size_t(i)], i + 1 < n ? run[size_t(i + 1)] : nullptr, oldCols));
    const RunText text = runText(run, wrapped, _cellArena);
    widerLineLengths(text.cells, text.length, newCols, n, lengths);
    // Text that does not fit the rows the run has is left to the copying reflow, which cuts it.
    if (lengths.back() > newCols) return false;

    const int used = int(lengths.size());
    int at = 0;
    for (int i = 0; i < used; ++i) {
        run[size_t(i)]->showCells(text.owner, text.cells + at, lengths[size_t(i)], newCols);
        at += lengths[size_t(i)];
    }
    int emptied = 0;
    for (int i = n - 1; i >= 1; --i) {
        if (i >= used || run[size_t(i)]->getTrimmedLength() == 0)
            ++emptied;
        else
            break;
    }
    if (emptied > 0) {
        pairs.push_back(first + n - emptied);
        pairs.push_back(emptied);
        for (int i = n - emptied; withImages && i < n; ++i)
            if (run[size_t(i)]->images) --*withImages;
    }
    return true;
}

void Buffer::reflowWider(int oldCols, int, int newCols, int newRows) {
    int withImages = 0;
    const std::vector<int> pairs = joinRuns(oldCols, newCols, _yBase + _y, CharData::Null, true, &withImages);
    // Rows added below have none.
    _linesWithImagesCount = withImages;
    if (pairs.empty()) return;

    const int oldCount = _lines.count();
    int removed = 0;
    for (size_t pair = 1; pair < pairs.size(); pair += 2)
        removed += pairs[pair];

    // Rows only move up, so the ring is rebuilt in place from the top, each row that stays going to the
    // next free slot as the walk finds it. Exchanging rather than storing leaves the removed rows past the
    // new count, out of use like the rows a lowered count leaves, and no slot there holds a row in use. A
    // later narrowing reuses them for its new rows.
    int kept = 0;
    size_t pair = 0;
    for (int row = 0; row < oldCount;) {
        if (pair < pairs.size() && row == pairs[pair]) {
            row += pairs[pair + 1];
            pair += 2;
            continue;
        }
        if (row != kept) swapSlots(_lines, kept, row);
        ++kept;
        ++row;
    }
    const int newCount = kept;
    _lines.setCount(newCount);

    for (int i = 0; i < removed; ++i) {
        if (_yBase == 0) {
            if (_y > 0) --_y;
            if (_lines.count() < newRows) _lines.push(BufferLine::make(newCols, CharData::Null, false));
        } else {
            if (_yDisp == _yBase) --_yDisp;
            --_yBase;
        }
    }
    savedY = std::max(savedY - removed, 0);
}

void Buffer::reflowNarrower(int oldCols, int, int newCols, int newRows) {
    // A new row of the old width, wrapped. Rows past the count are out of use (a widening leaves the
    // rows it removes there) and would be dropped when rearrange stores rows in their slots: one that
    // nobody else holds is reused instead of allocating another. Its cells are not blanked here: the copy
    // writes each new row up to its new length and the rest up to newCols is blanked after it; cells past
    // newCols are cut.
    int spare = _lines.count();
    auto makeRow = [&]() -> BufferLinePtr {
        for (const int slots = int(_lines.getArray().size()); spare < slots; ++spare) {
            // The spare rows are taken in order and are cold: the next ones are asked for now.
            if (spare + 8 < slots) prefetchRow(_lines.peek(spare + 8).get());
            const BufferLinePtr& candidate = _lines.peek(spare);
            if (!candidate || candidate.use_count() != 1 || !(candidate->fillCharacter() == CharData::Null))
                continue;
            BufferLinePtr line = std::move(_lines[spare++]);
            line->resize(oldCols, CharData::Null);
            line->isWrapped = true;
            line->renderMode = BufferLine::RenderLineMode::single;
            line->images.reset();
            return line;
        }
        return BufferLine::make(oldCols, CharData::Null, true);
    };
    std::vector<InsertionSet> batches;
    std::vector<BufferLinePtr> added;
    int insertedTotal = 0;
    // Rows inserted above the cursor's row: its text moves down by as many. The cursor, the display
    // origin and the screen are placed once the batches are in (below), from where the text went.
    const int cursorRow = _yBase + _y;
    int64_t insertedAbove = 0;
    std::vector<BufferLine*> run;
    std::vector<int> wrapped;
    std::vector<int> lengths;
    // Every row takes the new width as the walk leaves it, while it is in cache; the rows with images are
    // counted on the way.
    int withImages = 0;
    auto finishRow = [&](BufferLine& row) {
        row.resize(newCols, CharData::Null);
        checkWidth(row, newCols);
    };
    auto finishRows = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            if (const BufferLinePtr& row = _lines.peek(i)) {
                if (row->images) ++withImages;
                finishRow(*row);
            }
        }
    };

    for (int y = _lines.count() - 1; y >= 0; --y) {
        prefetchAhead(_lines, y, -1, oldCols - 1, newCols - 1);
        const BufferLinePtr& line = _lines.peek(y);
        // A row the ring has not made yet is blank and unwrapped.
        if (!line) continue;
        if (!line->isWrapped && !trimmedLengthExceeds(*line, newCols)) {
            if (line->images) ++withImages;
            finishRow(*line);
            continue;
        }
        int first = y;
        while (first > 0 && isWrappedRow(_lines, first))
            --first;
        const int n = y - first + 1;
        y = first;
        if (cursorRow >= first && cursorRow < first + n) {
            finishRows(first, first + n);
            continue;
        }

        run.clear();
        for (int i = first; i < first + n; ++i) {
            run.push_back(&rowForWrite(_lines, i, oldCols));
            if (run.back()->images) ++withImages;
        }
        wrapped.clear();
        for (int i = 0; i < n; ++i)
            wrapped.push_back(
                wrappedLength(*run[size_t(i)], i + 1 < n ? run[size_t(i + 1)] : nullptr, oldCols));
        const int lastLength = wrapped.back();
        newLineLengths(run, wrapped, newCols, lengths);
        if (lengths.empty()) {
            for (BufferLine* row : run)
                finishRow(*row);
            continue;
        }

        // Rows of the scroll-back show pieces of their run's text rather than copies of it.
        const bool shared = reflowSharesCells && first + n <= _yBase && int(lengths.size()) >= n;
        const RunText text = shared ? runText(run, wrapped, _cellArena) : RunText{};

        const int rowsToAdd = int(lengths.size()) - n;
        if (rowsToAdd > 0 && first + n <= cursorRow) insertedAbove += rowsToAdd;

        if (rowsToAdd > 0) {
            // At the old width like every row: cut with the rest, each keeps a block that widening back
            // can use.
            batches.push_back({first + n + insertedTotal, int(added.size()), rowsToAdd});
            for (int i = 0; i < rowsToAdd; ++i) {
                added.push_back(makeRow());
                run.push_back(added.back().get());
            }
            insertedTotal += rowsToAdd;
        }

        if (shared) {
            int at = 0;
            for (size_t i = 0; i < lengths.size(); ++i) {
                run[i]->showCells(text.owner, text.cells + at, lengths[i], newCols);
                at += lengths[i];
            }
            continue;
        }

        // Backwards, so that no cell is overwritten before it is read.
        int dstRow = int(lengths.size()) - 1;
        while (dstRow > 0 && lengths[size_t(dstRow)] == 0)
            --dstRow;
        int dstCol = lengths[size_t(dstRow)];
        int srcRow = n - 1;
        int srcCol = lastLength;
        while (srcRow >= 0 && dstRow >= 0) {
            const int cells = std::min(srcCol, dstCol);
            copyCells(*run[size_t(dstRow)], dstCol - cells, *run[size_t(srcRow)], srcCol - cells, cells);
            dstCol -= cells;
            srcCol -= cells;
            if (dstCol == 0) {
                --dstRow;
                dstCol = dstRow >= 0 && dstRow < int(lengths.size()) ? lengths[size_t(dstRow)] : 0;
            }
            if (srcCol == 0) {
                --srcRow;
                srcCol = wrapped[size_t(std::max(srcRow, 0))];
            }
        }
        // The blank left where a wide character moved to the next row; the new rows are blank after their
        // text.
        for (size_t i = 0; i < lengths.size() && i < run.size(); ++i) {
            BufferLine& row = *run[i];
            const int end = i < size_t(n) ? lengths[i] + 1 : newCols;
            if (lengths[i] < newCols)
                row.fill(CharData::Null, lengths[i], std::min(end, row.count()) - lengths[i]);
        }
        for (BufferLine* row : run)
            finishRow(*row);
    }
    _linesWithImagesCount = withImages;
    if (batches.empty()) return;

    // Without scroll-back in use, the new rows first take the place of blank rows at the bottom, below
    // the cursor, so that no text goes into the scroll-back while the screen has room.
    const int oldCount = _lines.count();
    int64_t count = int64_t(oldCount) + insertedTotal;
    if (_yBase == 0) {
        int blank = 0;
        for (int row = oldCount - 1; row > cursorRow && count - blank > newRows; --row) {
            const BufferLinePtr& line = _lines.peek(row);
            if (line && (line->isWrapped || line->images || line->hasAnyContent())) break;
            ++blank;
        }
        _lines.setCount(oldCount - blank);
        count -= blank;
    }
    rearrange(batches, added);

    // The screen ends with the ring; the oldest rows fell out when the ring could not hold them all.
    const int64_t dropped = count - _lines.count();
    if (dropped > 0) recalculateLinesWithImagesCount();
    const int oldYBase = _yBase;
    _yBase = std::max(_lines.count() - newRows, 0);
    _yDisp = _yDisp == oldYBase ? _yBase : int(std::clamp<int64_t>(_yDisp - dropped, 0, _yBase));
    _y = int(std::clamp<int64_t>(cursorRow + insertedAbove - dropped - _yBase, 0, newRows - 1));
    savedY = int(std::min<int64_t>(savedY + insertedTotal, _yBase + newRows - 1));
}

void Buffer::rearrange(const std::vector<InsertionSet>& batches, std::vector<BufferLinePtr>& added) {
    if (batches.empty()) return;
    const int oldCount = _lines.count();
    const int total = int(added.size());
    const int64_t capacity = _lines.maxLength();
    // With room for every new row, rows only move towards the bottom: each is moved straight to its
    // place, bottom first, and the rows above the topmost batch stay. Otherwise the oldest rows fall out
    // and the rest move both ways, so they are taken out first.
    const bool inPlace = int64_t(oldCount) + total <= capacity;
    std::vector<BufferLinePtr> rows;
    if (!inPlace) {
        rows.reserve(size_t(oldCount));
        for (int i = 0; i < oldCount; ++i)
            rows.push_back(_lines.peek(i) ? std::move(_lines[i]) : nullptr);
    }
    auto take = [&](int index) -> BufferLinePtr {
        if (!inPlace) return std::move(rows[size_t(index)]);
        return _lines.peek(index) ? std::move(_lines[index]) : nullptr;
    };
    int copyIndex = oldCount - 1;
    int64_t inserted = 0;
    _lines.setCount(int(std::min<int64_t>(int64_t(oldCount) + total, capacity)));

    size_t next = 0;
    int i = int(std::min<int64_t>(int64_t(oldCount) + total - 1, capacity - 1));
    while (i >= 0) {
        if (next < batches.size() && copyIndex + inserted < batches[next].start) {
            const InsertionSet& batch = batches[next];
            for (int j = batch.count - 1; j >= 0 && i >= 0; --j, --i)
                _lines.set(i, std::move(added[size_t(batch.first + j)]));
            inserted += batch.count;
            ++next;
        } else {
            // Rows that do not fit above row 0 are the oldest: they are discarded.
            if (copyIndex < 0) break;
            // Every batch is placed: the rows left are already in their slots.
            if (inPlace && next == batches.size()) break;
            _lines.set(i, take(copyIndex));
            --copyIndex;
            --i;
        }
    }
}

} // namespace Tessaline
