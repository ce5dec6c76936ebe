// Grapheme codes no cell holds any more go back to the table, as hyperlink handles do: a stream of
// distinct clusters must not leave the terminal unable to show a new one for good.
#include "Terminal.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Tessaline {

namespace {

// The indexes of the codes cells hold, a bit each, and one bit past them that every other code sets: the
// pass over every cell of the scroll-back takes no branch per cell.
struct KeptBits {
    explicit KeptBits(uint32_t size)
        : size(size)
        , words(size / 64 + 1, 0) {}
    uint32_t size;
    std::vector<uint64_t> words;
};

void gatherGraphemes(const BufferLine& line, KeptBits& kept) {
    const CharData* cells = line.cells();
    const uint32_t size = kept.size;
    uint64_t* words = kept.words.data();
    auto keep = [&](const CharData& cell) {
        const uint32_t index = std::min(uint32_t(cell.code - GraphemeTable::firstCode), size);
        words[index / 64] |= uint64_t(1) << (index % 64);
    };
    // Past the content mark every cell is the row's blank. A row of the scroll-back keeps no cells past
    // its content: the block ends there, or the next row's cells begin.
    const int end = std::min(line.contentEnd(), line.stored());
    for (int c = 0; c < end; ++c)
        keep(cells[c]);
    if (end < line.count()) keep(line[end]);
}

void gatherGraphemes(const Buffer& buffer, KeptBits& kept) {
    // Every slot of the ring's storage: rows outside the current count can come back into it.
    for (const BufferLinePtr& line : buffer.lines().getArray())
        if (line) gatherGraphemes(*line, kept);
}

} // namespace

void Terminal::reclaimGraphemes() {
    _graphemesAskedAtReclaim = _graphemes.askedCount();
    if (_graphemes.count() == 0) return;
    KeptBits bits(uint32_t(_graphemes.count()));
    gatherGraphemes(*_normalBuffer, bits);
    gatherGraphemes(*_altBuffer, bits);
    if (synchronizedOutputBuffer) gatherGraphemes(*synchronizedOutputBuffer, bits);
    GraphemeTable::IndexSet kept(bits.size, false);
    for (uint32_t index = 0; index < bits.size; ++index)
        kept[index] = (bits.words[index / 64] >> (index % 64)) & 1;
    _graphemes.retain(kept);
    ++_graphemeGeneration;
}

void Terminal::reclaimGraphemesWhenDue() {
    constexpr int quarter = GraphemeTable::maxCount / 4;
    if (_graphemes.liveCount() < GraphemeTable::maxCount - quarter) return;
    if (_graphemes.askedCount() - _graphemesAskedAtReclaim < uint64_t(quarter)) return;
    reclaimGraphemes();
}

} // namespace Tessaline
