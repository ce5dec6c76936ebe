#pragma once

#include "CellBlock.h"
#include "CharData.h"

#include <deque>

namespace Tessaline {

// Where the rows of a scroll-back keep their cells: one after another in large chunks, in the order the
// rows scrolled off the screen. The scroll-back leaves in that same order, so a chunk is free again once
// its oldest rows have left the ring, and is taken up again whole: keeping a row's cells is a copy to the
// end of the current chunk, with no allocation, and the cells of neighbouring rows lie side by side.
//
// A kept block holds its chunk alive; the arena may go before the rows.
class CellArena {
public:
    using Block = CellBlock;

    // Cells per chunk: 64 KiB.
    static constexpr int chunkCells = 4096;

    CellArena() = default;
    CellArena(const CellArena&) = delete;
    CellArena& operator=(const CellArena&) = delete;

    // A block holding a copy of `cells` cells from `from`; null for none.
    Block keep(const CharData* from, int cells);
    // A block of `cells` cells for the caller to write before any row reads them; null for none.
    Block reserve(int cells);
    // Lets go of the chunks no row holds any more (after the scroll-back was dropped).
    void releaseUnused();
    // Bytes of the chunks held, used or not.
    size_t bytesHeld() const;

private:
    struct Chunk {
        CellBlock cells;
        int size = 0;
    };
    // Moves on to a chunk of at least `cells` cells: the oldest one when no row holds it any more, else
    // a new one.
    void nextChunk(int cells);

    // Every chunk made, oldest first; the last is the current one.
    std::deque<Chunk> _chunks;
    int _used = 0;
};

} // namespace Tessaline
