// Grapheme codes no cell holds any more go back to the table, as hyperlink handles do: a stream of
// distinct clusters must not leave the terminal unable to show a new one for good.
#include "Terminal.h"

namespace Tessaline {

namespace {

void gatherGraphemes(const BufferLine& line, GraphemeTable::IndexSet& kept) {
    const CharData* cells = line.cells();
    const uint32_t size = uint32_t(kept.size());
    auto keep = [&](const CharData& cell) {
        const uint32_t index = uint32_t(cell.code - GraphemeTable::firstCode);
        if (index < size) kept[index] = true;
    };
    // Past the content mark every cell is the row's blank. A row of the scroll-back keeps no cells past
    // its content: the block ends there, or the next row's cells begin.
    const int end = std::min(line.contentEnd(), line.stored());
    for (int c = 0; c < end; ++c)
        keep(cells[c]);
    if (end < line.count()) keep(line[end]);
}

void gatherGraphemes(const Buffer& buffer, GraphemeTable::IndexSet& kept) {
    // Every slot of the ring's storage: rows outside the current count can come back into it.
    for (const BufferLinePtr& line : buffer.lines().getArray())
        if (line) gatherGraphemes(*line, kept);
}

} // namespace

void Terminal::reclaimGraphemes() {
    _graphemesAskedAtReclaim = _graphemes.askedCount();
    if (_graphemes.count() == 0) return;
    GraphemeTable::IndexSet kept(size_t(_graphemes.count()), false);
    gatherGraphemes(*_normalBuffer, kept);
    gatherGraphemes(*_altBuffer, kept);
    if (synchronizedOutputBuffer) gatherGraphemes(*synchronizedOutputBuffer, kept);
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
