#include "CellArena.h"

#include <algorithm>
#include <cstring>

namespace Tessaline {

namespace {

constexpr size_t prefetchDistance = 4096;

} // namespace

CellArena::Block CellArena::reserve(int cells) {
    if (cells <= 0) return nullptr;
    if (_chunks.empty() || _used + cells > _chunks.back().size) nextChunk(cells);
    Chunk& chunk = _chunks.back();
    CharData* to = chunk.cells.get() + _used;
    _used += cells;
    return Block(chunk.cells, to);
}

CellArena::Block CellArena::keep(const CharData* from, int cells) {
    if (cells <= 0) return nullptr;
    if (_chunks.empty() || _used + cells > _chunks.back().size) nextChunk(cells);
    Chunk& chunk = _chunks.back();
    CharData* to = chunk.cells.get() + _used;
    std::memcpy(static_cast<void*>(to), from, size_t(cells) * sizeof(CharData));
    _used += cells;
    // A chunk taken up again was last written a whole scroll-back ago: the cells the next rows will go
    // to are asked for as far ahead as these took.
    const char* ahead = reinterpret_cast<const char*>(to) + prefetchDistance;
    const char* limit = reinterpret_cast<const char*>(chunk.cells.get() + chunk.size);
    for (size_t at = 0; at < size_t(cells) * sizeof(CharData) && ahead + at < limit; at += 64)
        __builtin_prefetch(ahead + at, 1);
    return Block(chunk.cells, to);
}

void CellArena::nextChunk(int cells) {
    // The oldest chunks are the first to be free: the first free one is taken up again, and any more
    // that are free go (the scroll-back was cut or dropped).
    Chunk reuse;
    while (_chunks.size() > 1 && _chunks.front().cells.use_count() == 1) {
        if (!reuse.cells && _chunks.front().size >= cells) reuse = std::move(_chunks.front());
        _chunks.pop_front();
    }
    if (!reuse.cells) {
        reuse.size = std::max(chunkCells, cells);
        // Not initialised: every cell is written before a row reads it.
        reuse.cells = CellBlock::allocate(reuse.size);
    }
    _chunks.push_back(std::move(reuse));
    _used = 0;
}

void CellArena::releaseUnused() {
    if (_chunks.empty()) return;
    // The current chunk stays, as the end new cells go to.
    Chunk current = std::move(_chunks.back());
    _chunks.pop_back();
    std::erase_if(_chunks, [](const Chunk& chunk) { return chunk.cells.use_count() == 1; });
    _chunks.push_back(std::move(current));
}

size_t CellArena::bytesHeld() const {
    size_t bytes = 0;
    for (const Chunk& chunk : _chunks)
        bytes += size_t(chunk.size) * sizeof(CharData);
    return bytes;
}

} // namespace Tessaline
