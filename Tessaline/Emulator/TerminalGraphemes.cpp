// Grapheme codes no cell holds any more go back to the table, as hyperlink handles do: a stream of
// distinct clusters must not leave the terminal unable to show a new one for good.
#include "Terminal.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

namespace Tessaline {

namespace {

// The indexes of the codes cells hold, a bit each, and one bit past them that every other code sets: the
// pass over the cells takes no branch per cell.
struct KeptBits {
    explicit KeptBits(uint32_t size)
        : size(size)
        , words(size / 64 + 1, 0) {}
    void set(uint32_t index) { words[index / 64] |= uint64_t(1) << (index % 64); }
    bool test(uint32_t index) const { return (words[index / 64] >> (index % 64)) & 1; }
    uint32_t size;
    std::vector<uint64_t> words;
};

// The cell's code index, or `none` for a cell that holds no code.
uint32_t codeIndex(const CharData& cell, uint32_t none) {
    return std::min(uint32_t(cell.code) - uint32_t(GraphemeTable::firstCode), none);
}

// Calls keep with every cell that can read differently from the row's blank: past the content mark every
// cell is the row's blank. A row of the scroll-back keeps no cells past its content: the block ends
// there, or the next row's cells begin.
template<class Keep>
void eachCell(const BufferLine& line, Keep&& keep) {
    const CharData* cells = line.cells();
    const int end = std::min(line.contentEnd(), line.stored());
    for (int c = 0; c < end; ++c)
        keep(cells[c]);
    if (end < line.count()) keep(line[end]);
}

void gatherGraphemes(const BufferLine& line, KeptBits& kept) {
    eachCell(line, [&](const CharData& cell) { kept.set(codeIndex(cell, kept.size)); });
}

// Rows first ... of a ring up to the last slot it has made: slots past its count can come back into it.
void gatherGraphemes(const CircularBufferLineList& lines, int first, KeptBits& kept) {
    const int slots = int(lines.getArray().size());
    for (int row = first; row < slots; ++row)
        if (const BufferLinePtr& line = lines.peek(row)) gatherGraphemes(*line, kept);
}

// Rows are read once the table holds this many codes: a reclaim is then at least this many new
// characters away, time enough to read a full scroll-back a slice per chunk of input.
constexpr int readRowsFrom = GraphemeTable::maxCount / 4;
// Scroll-back rows read after a chunk of input, at most: many more than a chunk of text makes.
constexpr int rowsPerChunk = 4096;
// A reclaim due waits for the rows to be read, until the table has no more room than this.
constexpr int roomBeforeReadingAll = 4096;

} // namespace

void Terminal::reclaimGraphemes() {
    _graphemesAskedAtReclaim = _graphemes.askedCount();
    restartGraphemeRows();
    if (_graphemes.count() == 0) return;
    KeptBits bits(uint32_t(_graphemes.count()));
    gatherGraphemes(_normalBuffer->lines(), 0, bits);
    gatherGraphemes(_altBuffer->lines(), 0, bits);
    if (synchronizedOutputBuffer) gatherGraphemes(synchronizedOutputBuffer->lines(), 0, bits);
    GraphemeTable::IndexSet kept(bits.size, false);
    for (uint32_t index = 0; index < bits.size; ++index)
        kept[index] = bits.test(index);
    _graphemes.retain(kept);
    ++_graphemeGeneration;
}

void Terminal::reclaimGraphemesWhenDue() {
    GraphemeRows& rows = _graphemeRows;
    if (!rows.on) {
        if (_graphemes.liveCount() < readRowsFrom) return;
        rows.on = true;
        rows.newest.assign(size_t(GraphemeTable::maxCount) + 1, -1);
        rows.next = _normalBuffer->linesTop;
        rows.snapshotRead = 0;
    }
    const bool allRead = readGraphemeRows(rowsPerChunk);
    constexpr int quarter = GraphemeTable::maxCount / 4;
    if (_graphemes.liveCount() < GraphemeTable::maxCount - quarter) return;
    if (_graphemes.askedCount() - _graphemesAskedAtReclaim < uint64_t(quarter)) return;
    // Rows came faster than they were read, or reading began only now: the rest is read a slice per
    // chunk while the table has room, at once when it has little left.
    if (!allRead) {
        if (_graphemes.liveCount() < GraphemeTable::maxCount - roomBeforeReadingAll) return;
        if (!readGraphemeRows(INT_MAX)) return;
    }
    reclaimGraphemesByRows();
}

bool Terminal::readGraphemeRows(int limit) {
    GraphemeRows& rows = _graphemeRows;
    if (!rows.on) return false;
    const Buffer& buffer = *_normalBuffer;
    const CircularBufferLineList& lines = buffer.lines();
    const int64_t top = buffer.linesTop;
    const int end = std::min(buffer.yBase(), lines.count());
    // Rows that left before their turn took their codes with them. Rows read that went back to the
    // screen would be read again with older rows than some read before them: start afresh.
    if (rows.next - top > end) {
        rows.on = false;
        return false;
    }
    const int first = int(std::max<int64_t>(rows.next - top, 0));
    const int last = int(std::min<int64_t>(end, int64_t(first) + limit));
    int64_t* newest = rows.newest.data();
    const uint32_t none = uint32_t(rows.newest.size() - 1);
    for (int row = first; row < last; ++row) {
        const BufferLinePtr& line = lines.peek(row);
        if (!line) continue;
        // Rows are read oldest first: a plain store keeps the newest.
        const int64_t at = int64_t(row) + top;
        eachCell(*line, [&](const CharData& cell) { newest[codeIndex(cell, none)] = at; });
    }
    rows.next = int64_t(last) + top;
    return last == end;
}

void Terminal::noteGraphemeSnapshot(const Buffer& source) {
    GraphemeRows& rows = _graphemeRows;
    const CircularBufferLineList& lines = source.lines();
    const bool allRead = rows.on && rows.next - source.linesTop >= std::min(source.yBase(), lines.count());
    rows.snapshotRead = &source == _normalBuffer.get() && allRead ? _snapshotGeneration : 0;
}

void Terminal::reclaimGraphemesByRows() {
    GraphemeRows& rows = _graphemeRows;
    _graphemesAskedAtReclaim = _graphemes.askedCount();
    KeptBits bits(uint32_t(_graphemes.count()));
    // The rows that can still change are read now: the screen, the slots past the ring's count, the
    // alternate buffer.
    const Buffer& normal = *_normalBuffer;
    gatherGraphemes(normal.lines(), std::min(normal.yBase(), normal.lines().count()), bits);
    gatherGraphemes(_altBuffer->lines(), 0, bits);
    // Scroll-back rows from here on may hold a code; those before have left the ring.
    int64_t kept = normal.linesTop;
    if (synchronizedOutputBuffer) {
        // The copy on display never changes. Its scroll-back rows were rows read, numbered alike, when
        // it was made then; else every row of it is read.
        const Buffer& copy = *synchronizedOutputBuffer;
        if (rows.snapshotRead != 0 && rows.snapshotRead == _snapshotGeneration) {
            gatherGraphemes(copy.lines(), std::min(copy.yBase(), copy.lines().count()), bits);
            kept = std::min<int64_t>(kept, copy.linesTop);
        } else {
            gatherGraphemes(copy.lines(), 0, bits);
        }
    }
    GraphemeTable::IndexSet keep(bits.size, false);
    for (uint32_t index = 0; index < bits.size; ++index) {
        keep[index] = bits.test(index) || rows.newest[index] >= kept;
        // A code given back is handed out again for another text, held by no row yet.
        if (!keep[index]) rows.newest[index] = -1;
    }
    _graphemes.retain(keep);
    ++_graphemeGeneration;
}

} // namespace Tessaline
