#pragma once

#include "CharSets.h"
#include "CircularBufferLineList.h"
#include "Position.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace Tessaline {

// One screen of the terminal with its scroll-back: the rows in a fixed-capacity ring (oldest scroll-back
// row first, bottom screen row last), the cursor, the display origin, the scroll region, the margins, the
// tab stops, the cursor state saved by DECSC and the modes that change how characters are written.
//
// Coordinates: a buffer row indexes the ring; a screen row counts from yBase (the cursor's buffer row is
// yBase + y); a view row counts from yDisp. The emulator's commands read and change these fields directly;
// the buffer knows no escape sequences and calls back into its owner through `scroll` when a character
// wraps at the bottom of the scroll region.
class Buffer {
public:
    // Where the last cell was written, with the size of the buffer at that moment (the print path joins a
    // following combining scalar to that cell only while the size is unchanged).
    struct LastBufferStorage {
        int y = 0;
        int x = 0;
        int cols = 0;
        int rows = 0;
        bool operator==(const LastBufferStorage&) const = default;
    };

    // New rows a narrowing reflow inserts after a run it lengthened: `count` rows of the reflow's list of
    // added rows from `first`. The batches are collected bottom run first and placed in one pass at the end
    // (rearrange).
    struct InsertionSet {
        // Buffer row of the first of these rows, counted as if every batch recorded before it (the batches
        // below it) were already inserted.
        int start = 0;
        int first = 0;
        int count = 0;
    };

    // A scroll-back of nullopt keeps none (and turns reflow off); 0 keeps none but reflows.
    Buffer(int cols, int rows, int tabStopWidth, std::optional<int> scrollback);
    // The ring's functions refer to this buffer: it is neither copied nor moved.
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    // Horizontal display origin and base: always 0, kept for snapshots.
    int xDisp = 0;
    int xBase = 0;
    // Rows that dropped off the top of the full ring; a buffer row plus linesTop is a scroll-invariant row.
    int linesTop = 0;
    // One flag per column.
    std::vector<bool> tabStops;

    // Cursor state saved by DECSC.
    int savedX = 0;
    int savedY = 0;
    bool savedOriginMode = false;
    bool savedMarginMode = false;
    bool savedWraparound = false;
    bool savedReverseWraparound = false;
    Attribute savedAttr = Attribute::defaultAttribute();
    // Character-set map saved with the cursor; null for none.
    const CharSetMap* savedCharset = nullptr;

    // Scroll-back rows kept; nullopt for none.
    std::optional<int> scrollback;
    // Attribute of the filler cells insertCharacter writes (cells opened in insert mode, the continuation
    // cells of wide characters).
    Attribute curAttr = Attribute::empty;
    bool insertMode = false;
    bool marginMode = false;
    bool wraparound = false;
    // Set by insertCharacter when, without wraparound, it moved the cursor back onto the right edge to
    // write there; the print path reads and clears it (Terminal::holdCursorAtRightEdge).
    bool heldAtRightEdge = false;

    // Reflowed runs of the scroll-back share their text between their rows instead of copying cells
    // from row to row; off, every reflowed row gets cells of its own (the plain reflow, kept as the
    // reference the shared one is checked against).
    bool reflowSharesCells = true;

    // Called with true when a character must wrap at the bottom of the scroll region; the owner scrolls
    // the region and makes the new bottom row a wrapped row. Stops the process until the owner sets it.
    std::function<void(bool)> scroll = [](bool) { fatalError("This should be set after creating a buffer"); };

    LastBufferStorage lastBufferStorage;

    // Assigning a negative value to x, y, scrollTop or scrollBottom leaves the field unchanged; there is
    // no upper bound (callers clamp). x may equal cols: the next character wraps.
    int x() const { return _x; }
    void setX(int value) {
        if (value >= 0) _x = value;
    }
    int y() const { return _y; }
    void setY(int value) {
        if (value >= 0) _y = value;
    }
    int scrollTop() const { return _scrollTop; }
    void setScrollTop(int value) {
        if (value >= 0) _scrollTop = value;
    }
    int scrollBottom() const { return _scrollBottom; }
    void setScrollBottom(int value) {
        if (value >= 0) _scrollBottom = value;
    }

    int yDisp() const { return _yDisp; }
    void setYDisp(int value) { _yDisp = value; }
    int yBase() const { return _yBase; }
    void setYBase(int value) { _yBase = value; }
    int marginLeft() const { return _marginLeft; }
    void setMarginLeft(int value) { _marginLeft = value; }
    int marginRight() const { return _marginRight; }
    void setMarginRight(int value) { _marginRight = value; }

    // Where the rows of the scroll-back keep their cells (rows that scrolled off keep only what they use).
    CellArena& cellArena() { return _cellArena; }
    CircularBufferLineList& lines() { return _lines; }
    const CircularBufferLineList& lines() const { return _lines; }
    int cols() const { return _cols; }
    int rows() const { return _rows; }

    bool hasScrollback() const { return _hasScrollback; }
    bool isReflowEnabled() const { return _hasScrollback; }
    // A hint that may overstate: rows leaving the ring by trimming or replacement are not subtracted.
    bool hasAnyImages() const { return _linesWithImagesCount > 0; }
    int linesWithImagesCount() const { return _linesWithImagesCount; }

    // The cell at a view row (counted from yDisp); CharData::Null outside the row or the ring.
    CharData getChar(const Position& at) const;
    // The same with the row counted from the oldest row of the ring.
    CharData getCharBufferRelative(const Position& at) const;
    // A new unwrapped-or-wrapped row of blank cells (code 0) with the attribute.
    BufferLinePtr getBlankLine(const Attribute& attribute, bool isWrapped = false) const;
    // A space cell with the attribute, or with Attribute::empty.
    static CharData getNullCell(const std::optional<Attribute>& attribute = std::nullopt);
    // Ring capacity for a height: rows plus scroll-back (at most 2147483647), or rows alone without.
    int getCorrectBufferLength(int rows) const;

    // Pushes `rows` blank rows when the ring holds none; the default attribute when none is given.
    void fillViewportRows(const std::optional<Attribute>& attribute = std::nullopt);
    // Empties the ring and homes the cursor; tab stops, margins, saved state and modes stay.
    void clear();
    // Resets the saved cursor state and the margins.
    void softReset();
    // Changes the scroll-back size, discarding the oldest rows when the ring shrinks below its count.
    void changeHistorySize(std::optional<int> size);

    // Changes the size: screen rows come back from or go to the scroll-back so the cursor stays on its
    // text, the margins, cursor and saved column are brought inside, the scroll region is reset (even for
    // the same size) and the tab list gets exactly newCols flags. With scroll-back, wrapped text is
    // reflowed to the new width, except the run holding the cursor. (BufferReflow.cpp)
    void resize(int newCols, int newRows);

    // The reflow steps of resize, run before cols and rows change; the second argument is not read.
    void reflowWider(int oldCols, int oldRows, int newCols, int newRows);
    void reflowNarrower(int oldCols, int oldRows, int newCols, int newRows);
    // Joins every run (except the cursor's) at the larger width and answers the rows that became empty,
    // as flat pairs (first buffer row, count) in increasing order.
    std::vector<int> getLinesToRemove(int oldCols, int newCols, int bufferAbsoluteY,
                                      const CharData& nullChar);
    // The lengths of the rows a run becomes at the smaller width; a row that would end in the first half
    // of a wide character ends one column early.
    static std::vector<int> getNewLineLengths(std::span<const BufferLinePtr> wrappedLines, int oldCols,
                                              int newCols);
    // What a row contributes to its run's text at width cols: its trimmed length when it is the run's
    // last row (nextLine null), else cols, or cols - 1 when a wide character that did not fit moved to the
    // next row and left a null cell in the last column.
    static int getWrappedLineTrimmedLength(const BufferLine& line, const BufferLine* nextLine, int cols);
    // The same for a buffer row, the next row of the ring following it.
    static int getWrappedLineTrimmedLength(const CircularBufferLineList& lines, int row, int cols);
    // Places the batches of a narrowing reflow into the ring in one pass from the bottom; the oldest rows
    // are discarded when the insertions overflow the capacity.
    void rearrange(const std::vector<InsertionSet>& batches, std::vector<BufferLinePtr>& added);

    // The last column text goes to on a row: the right margin in margin mode, else the screen's last
    // column; a double-width or double-height row shows half the columns and stops at cols / 2.
    int rightEdge(const BufferLine& line) const {
        const int right = marginMode ? _marginRight : _cols - 1;
        return line.renderMode == BufferLine::RenderLineMode::single ? right : std::min(right, _cols / 2 - 1);
    }
    // Writes one character (width 1 or 2) at the cursor with wrapping, insert mode and margins.
    void insertCharacter(const CharData& charData);
    // Writes a run of printable ASCII, one cell per byte, and answers how many bytes it wrote: 0 in insert
    // mode, fewer than the run when the cursor passes the right edge with wraparound off.
    int insertAsciiRun(std::span<const uint8_t> bytes, const Attribute& attribute);
    // The same with the cell to write given whole (its code is replaced by each byte), so that a caller
    // writing many runs in one attribute packs the attribute once.
    int insertAsciiRun(std::span<const uint8_t> bytes, const CharData& cell);
    // The same for cells of width 1 given by their codes (characters that join nothing and take one
    // column each).
    int insertCodeRun(std::span<const uint32_t> codes, const CharData& cell);
    // The same for one byte when it lands on the cursor's row as that stands (no insert mode, no wrap, a
    // row as wide as the cursor), inline: the character between two sequences of dense attribute changes
    // pays for no run. Answers false, having written nothing, for every other case.
    bool insertAsciiCell(uint8_t byte, const CharData& cell) {
        const int right = marginMode ? _marginRight : _cols - 1;
        if (insertMode || _x > right) return false;
        // A row not made yet is left to the run path, which makes it; so is a row of double width.
        const BufferLinePtr& row = _lines.peek(_yBase + _y);
        if (!row || _x >= row->count() || row->renderMode != BufferLine::RenderLineMode::single) return false;
        BufferLine& line = *row;
        CharData& target = line.cellsForWrite(_x, _x + 1)[_x];
        target = cell;
        target.code = byte;
        ++_x;
        lastBufferStorage = {_yBase + _y, _x - 1, _cols, _rows};
        return true;
    }

    // index -1 rebuilds every stop; any other index extends the stops from the stop at or before it.
    void setupTabStops(int index, int tabStopWidth);
    // A column of -1 means the cursor's column.
    int nextTabStop(bool marginMode, int column = -1) const;
    int previousTabStop(int column = -1) const;
    // A column at or beyond the end of tabStops is ignored.
    void tabSet(int pos);
    void tabClear(int pos);

    void attachImage(const TerminalImagePtr& image, int toLineAt);
    // Scrolling calls this for every row it drops, and almost always no row has strips.
    void clearImagesFromLine(int at) {
        if (_linesWithImagesCount > 0) clearImagesFromRow(at);
    }
    // Takes out of the strips of line `at` each one `take` accepts (it may move the strip away); answers
    // whether any went. A slot the ring has not made holds none and stays unmade.
    template<class Take>
    bool takeImagesFromLine(int at, Take&& take) {
        const BufferLinePtr& line = _lines.peek(at);
        if (!line || !line->images) return false;
        ImageList& strips = *line->images;
        auto kept = strips.begin();
        for (auto it = strips.begin(); it != strips.end(); ++it) {
            if (take(*it)) continue;
            if (kept != it) *kept = std::move(*it);
            ++kept;
        }
        if (kept == strips.end()) return false;
        if (kept == strips.begin())
            clearImagesFromLine(at);
        else
            strips.erase(kept, strips.end());
        return true;
    }
    void recalculateLinesWithImagesCount();
    // How many times a wrap marked a row as continuing the row above: those who keep rows unwrapped
    // know from it whether any row may have changed since they looked.
    uint64_t wrapsMarked() const { return _wrapsMarked; }

private:
    void clearImagesFromRow(int at);
    // Moves the cursor to the start of the next row for a character that does not fit.
    void wrapCursor();
    template<class Code>
    int insertRun(const Code* codes, size_t count, const CharData& cell);
    void setupRing(int capacity);
    void setupLinesCallbacks();
    // getLinesToRemove; with widen, each row in use is first resized to newCols when the walk reaches it,
    // while its cells are in cache, and the rows that stay in use with images are counted into
    // withImages.
    std::vector<int> joinRuns(int oldCols, int newCols, int bufferAbsoluteY, const CharData& nullChar,
                              bool widen, int* withImages = nullptr);
    // joinRuns for the run of n rows from buffer row first when it lies in the scroll-back: its rows
    // show pieces of the run's text. False, having changed nothing the copying join reads, when the run
    // is not one it can take.
    bool joinRunShared(int first, int n, int oldCols, int newCols, std::vector<int>& pairs, int* withImages);
    // The last pass of a resize over every slot from firstSlot on that holds a row, used or not: resizes
    // it to newCols (with resizeRows) and checks its width. Empty slots stay empty: the ring makes them at
    // the current width when first read. A reflow does that (and counts the rows with images) for the
    // rows in use as its walk passes them: the pass then starts at the count.
    void finishSlots(int newCols, bool resizeRows, bool check, int firstSlot = 0);

    // Before the ring: rows hold blocks of its chunks, and the chunks outlive the arena anyway.
    CellArena _cellArena;
    CircularBufferLineList _lines;
    // The screen rows of the last clear, kept for the next fillViewportRows: a program that switches
    // screens all the time then allocates nothing.
    std::vector<BufferLinePtr> _spareRows;
    int _yDisp = 0;
    int _x = 0;
    int _y = 0;
    int _yBase = 0;
    int _linesWithImagesCount = 0;
    uint64_t _wrapsMarked = 0;
    int _scrollBottom;
    int _scrollTop = 0;
    int _marginLeft = 0;
    int _marginRight;
    bool _hasScrollback;
    int _cols;
    int _rows;
};

} // namespace Tessaline
