#pragma once

#include "CellArena.h"
#include "CharData.h"
#include "TerminalImage.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Tessaline {

class BufferLine;
using BufferLinePtr = std::shared_ptr<BufferLine>;
using TerminalImagePtr = std::shared_ptr<TerminalImage>;
using ImageList = std::vector<TerminalImagePtr>;

// One row of the screen or scroll-back. Rows are shared objects: the ring, the buffer and the commands
// hold the same row through reference-counted handles; a row is duplicated only by copy construction.
//
// A copy shares the cells of its original until either of them writes: the first write copies them
// (copy on write). Copying every row of a buffer, as synchronized output does for every frame of a
// full-screen program, then costs one small object per row, and only the rows written pay for cells.
//
// A row knows how far it holds content: every cell from contentEnd() on equals one blank cell. Every
// write path keeps the mark.
//
// Only the first stored() cells of a row are kept in its block; every cell after them reads as the
// row's blank cell. Clearing a row is then a matter of saying so, whatever it held, which is what lets a
// scrolled-off row be reused for nothing; a write fills in blanks only up to where it writes. A row of
// the scroll-back keeps only the cells it uses, in a block smaller than the row (isCompact()). Reads see
// every cell as before; writing to a compact row gives it a block of its full width again.
class BufferLine {
public:
    enum class RenderLineMode : uint8_t {
        single,
        doubleWidth,
        doubledTop,
        doubledDown
    };

    // Maps a cell to the text it shows (the terminal's provider resolves grapheme codes).
    using CharacterProvider = std::function<std::string(const CharData&)>;

    bool isWrapped = false;
    RenderLineMode renderMode = RenderLineMode::single;
    // Image strips attached to this row; absent when the row has none (an empty list still counts).
    std::optional<ImageList> images;

    explicit BufferLine(int cols, const std::optional<CharData>& fillData = std::nullopt,
                        bool isWrapped = false);
    // An independent copy: cells, wrap flag, render mode, fill cell and its own list of the same strips.
    // The cells are shared until either row writes.
    BufferLine(const BufferLine& other);
    BufferLine& operator=(const BufferLine&) = delete;
    // Makes this row a copy of the other as the copy constructor does, reusing this object: a holder of
    // many copies (a synchronized-output copy of a buffer) renews them without allocating.
    void becomeCopyOf(const BufferLine& other);
    // Lets go of the cell blocks that renewed copies left for reuse on this thread.
    static void releaseBlockCache();

    static BufferLinePtr make(int cols, const std::optional<CharData>& fillData = std::nullopt,
                              bool isWrapped = false) {
        return std::make_shared<BufferLine>(cols, fillData, isWrapped);
    }

    int count() const { return _count; }

    // Reading at or past the end reads the last cell, silently.
    const CharData& operator[](int index) const {
        if (index < _stored) [[likely]]
            return _data[ptrdiff_t(index)];
        return index < _count || _stored < _count ? _blank : _data[ptrdiff_t(_count - 1)];
    }
    const CharData& get(int index) const { return (*this)[index]; }
    // Writing at or past the end writes the last cell, with a warning.
    void set(int index, const CharData& cell);
    // For read-modify-write: the cell to change, repaired like a write.
    CharData& at(int index);
    // Direct access for bulk reads; callers stay inside stored(), past which every cell is blank().
    const CharData* cells() const { return _data.get(); }
    // The cells the block holds (at least contentEnd(), at most count()).
    int stored() const { return _stored; }
    // The cell every column from contentEnd() on holds.
    const CharData& blank() const { return _blank; }
    // Direct access for bulk writes that stay below column end (at most count()): the row then counts
    // them as content. The pointer is good until the row is next copied or resized.
    CharData* cellsForWrite(int end) {
        own();
        if (end > _contentEnd) _contentEnd = end;
        return _data.get();
    }
    // The same for writes of cells [start, end), which the caller writes whole (or which it had written
    // before, below stored()): the blanks before start are filled in, nothing after it.
    CharData* cellsForWrite(int start, int end) {
        if (_frozen) [[unlikely]]
            unshare(true);
        else if (start > _stored) [[unlikely]]
            fillStoredTo(start);
        if (end > _stored) _stored = end;
        if (end > _contentEnd) _contentEnd = end;
        return _data.get();
    }
    // One cell to change in place (read, modify, write back), inside count().
    CharData& cellToChange(int col) {
        if (_frozen) [[unlikely]]
            unshare(true);
        else if (col >= _stored) [[unlikely]]
            fillStoredTo(col + 1);
        if (col >= _contentEnd) _contentEnd = col + 1;
        return _data[ptrdiff_t(col)];
    }
    // Cells from here to the end are all the same blank cell (one that was filled in, not written).
    int contentEnd() const { return _contentEnd; }
    // Whether the block holds fewer cells than the row has.
    bool isCompact() const { return _capacity < _count; }
    // The handle to the row's cells (inside a larger block for a row of the scroll-back).
    const CellBlock& block() const { return _data; }
    // Makes the row show `cells` cells from `first`, inside the block `owner` holds, followed by blank
    // cells (CharData::Null) up to cols: a reflowed row of the scroll-back refers to its run's text rather
    // than holding a copy. The row writes them only after copying them (as a compact row).
    void showCells(const CellBlock& owner, CharData* first, int cells, int cols);

    // For a row leaving the screen for the scroll-back: it keeps only the cells it uses (in the arena),
    // and its block, cleared to `blank`, goes to `next`, the row that takes its place at the newest end
    // of the ring (and takes this row's width). Answers false, changing neither row, when this row's
    // block is shared or compact already, or when keeping it whole would cost next to nothing.
    bool retire(BufferLine& next, const CharData& blank, CellArena& arena);
    // Keeps only the cells the row uses, in the arena; false when there is nothing to gain.
    bool compact(CellArena& arena);
    // Takes every hyperlink handle off the row's cells; a compact row stays compact (its cells go to a
    // block of their own). Answers whether any cell had one.
    bool dropPayloads();

    // Bulk cell stores for the write paths: copies of one cell, and one cell per ASCII byte (the cell
    // with the byte as its code).
    static void fillCells(CharData* first, CharData* last, const CharData& cell);
    static void writeAscii(CharData* out, const uint8_t* bytes, int count, const CharData& cell) {
        writeCodes(out, bytes, count, cell);
    }
    // The same with codes of any width.
    static void writeCodes(CharData* out, const uint8_t* codes, int count, const CharData& cell);
    static void writeCodes(CharData* out, const uint32_t* codes, int count, const CharData& cell);

    int getWidth(int index) const { return (*this)[index].width(); }
    std::vector<CharData> getData() const {
        std::vector<CharData> cells(_data.get(), _data.get() + _stored);
        cells.resize(size_t(_count), _blank);
        return cells;
    }
    const CharData& fillCharacter() const { return _fillCharacter; }

    void insertCells(int pos, int n, int rightMargin, const CharData& fillData);
    void deleteCells(int pos, int n, int rightMargin, const CharData& fillData);
    void replaceCells(int start, int end, const CharData& fillData);
    void fill(const CharData& with);
    void fill(const CharData& with, int atCol, int len);
    // Every cell blank with the attribute, images dropped; wrap flag and render mode stay.
    void clear(const Attribute& attribute);
    // The same with the blank cell given whole (code 0, width 1, the attribute).
    void clear(const CharData& blank);
    void copyFrom(const BufferLine& line);
    void copyFrom(const BufferLine& src, int srcCol, int dstCol, int len);
    // New cells get fillData. A narrowed row keeps its block (until it is more than twice the row), so
    // that widening it again costs no allocation.
    void resize(int cols, const CharData& fillData);

    int getTrimmedLength() const;
    bool hasContent(int index) const;
    bool hasAnyContent() const;
    // The text of columns [startCol, endCol); endCol -1 means count().
    std::string translateToString(bool trimRight = false, int startCol = 0, int endCol = -1,
                                  bool skipNullCellsFollowingWide = false,
                                  const CharacterProvider& characterProvider = nullptr) const;
    std::string debugDescription() const;

    void attach(const TerminalImagePtr& image);

private:
    void markContent(int end) {
        if (end > _contentEnd) _contentEnd = std::min(end, _count);
    }
    // Cells [start, end) became `with`: the mark moves back when the tail is now all blank.
    void noteFilled(const CharData& with, int start, int end);

    using Block = CellArena::Block;
    // A block of that many cells, not initialised.
    static Block allocate(int cells);
    // Before every write that may touch any cell: the row gets a block of its own (one shared with a copy
    // or smaller than the row is replaced) with every cell in it, holding the cells (keepCells) or to be
    // overwritten whole by the caller.
    void own(bool keepCells = true) {
        if (_frozen || _stored < _count) [[unlikely]]
            unshare(keepCells);
    }
    void unshare(bool keepCells);
    // Fills in the blank cells from stored() up to end in the row's own block.
    void fillStoredTo(int end);
    // A row keeps its whole block when it would save fewer cells than this.
    static constexpr int retireMargin = 4;
    // A block of capacity cells whose first `stored` cells are the row's (all of them when -1).
    void setStorage(Block&& block, int capacity, int stored = -1) {
        _data = std::move(block);
        _capacity = capacity;
        _stored = stored < 0 ? std::min(_capacity, _count) : stored;
    }
    // Keeps a block no row holds any more for the next allocation of that size, within the cache's bound.
    static void keepBlock(Block&& block, int capacity);

    // The block: capacity cells, the first _stored (at most the smaller of capacity and count) in use,
    // the cells after them the blank. A row keeps its block when it gets narrower (resize), so that
    // widening it again is a fill; a compact row's block is smaller than the row.
    Block _data;
    int _capacity = 0;
    int _count = 0;
    int _stored = 0;
    // The block may not be written in place: it may be shared with a copy (set on both rows by the
    // copy, cleared by the first write that finds the block no longer shared or makes it so), or it is
    // smaller than the row.
    mutable bool _frozen = false;
    CharData _fillCharacter;
    // Every cell in use at or past _contentEnd equals _blank.
    CharData _blank;
    int _contentEnd = 0;
};

} // namespace Tessaline
