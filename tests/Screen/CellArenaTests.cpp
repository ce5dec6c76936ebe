#include "CellArena.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

using namespace Tessaline;

namespace {

std::vector<CharData> cellsOf(int n, int32_t first) {
    std::vector<CharData> cells;
    for (int i = 0; i < n; ++i)
        cells.emplace_back(Attribute::defaultAttribute(), first + i, 1);
    return cells;
}

} // namespace

// Blocks keep their cells whatever comes after them, and the arena holds no more chunks than the blocks
// alive need, plus the one being filled: a scroll-back that keeps turning over reuses its chunks.
TEST(CellArena, ChunksComeBackOnceTheirBlocksAreGone) {
    CellArena arena;
    constexpr int rowCells = 100;
    const int perChunk = CellArena::chunkCells / rowCells;
    std::deque<CellArena::Block> ring;
    std::deque<int32_t> firsts;
    for (int32_t row = 0; row < 50 * perChunk; ++row) {
        const auto cells = cellsOf(rowCells, row * 1000);
        ring.push_back(arena.keep(cells.data(), rowCells));
        firsts.push_back(row * 1000);
        if (ring.size() > size_t(3 * perChunk)) {
            ring.pop_front();
            firsts.pop_front();
        }
    }
    for (size_t k = 0; k < ring.size(); ++k)
        for (int i = 0; i < rowCells; ++i)
            ASSERT_EQ(ring[k][size_t(i)].code, firsts[k] + i);
    EXPECT_LE(arena.bytesHeld(), size_t(5 * CellArena::chunkCells) * sizeof(CharData));

    EXPECT_EQ(arena.keep(nullptr, 0), nullptr);
    // A block wider than a chunk gets a chunk of its own.
    const auto wide = cellsOf(CellArena::chunkCells + 10, 7);
    EXPECT_EQ(arena.keep(wide.data(), int(wide.size()))[size_t(CellArena::chunkCells + 9)].code,
              7 + CellArena::chunkCells + 9);

    ring.clear();
    arena.releaseUnused();
    EXPECT_LE(arena.bytesHeld(), size_t(CellArena::chunkCells + 10) * sizeof(CharData));
}
