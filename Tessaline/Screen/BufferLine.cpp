#include "BufferLine.h"

#include "Diagnostics.h"
#include "Utf8.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Tessaline {

namespace {

// The cell's code is its first four bytes, so an ASCII cell is the template with one byte or'ed in.
constexpr bool codeComesFirst() {
    const auto words =
        std::bit_cast<std::array<uint32_t, 4>>(CharData(Attribute::defaultAttribute(), 0x7A, 1));
    return words[0] == 0x7A;
}
static_assert(codeComesFirst());

// Blocks of the row's full width let go of, kept on their thread for the next row that needs one: a
// program that redraws under synchronized output frees and allocates a screenful of blocks every frame,
// which would otherwise grow and trim the heap each time, and a row reused by scrolling that had kept
// only its text needs a whole block again. All of one size (the cache is emptied when the size changes),
// and at most blockCacheCells cells.
constexpr int blockCacheCells = 1 << 16;

struct BlockCache {
    std::vector<CellBlock> blocks;
    int capacity = 0;
};

BlockCache& blockCache() {
    thread_local BlockCache cache;
    return cache;
}

} // namespace

// Whole 16-byte stores: a plain copy loop of CharData gets split into six stores of its fields.
void BufferLine::fillCells(CharData* first, CharData* last, const CharData& cell) {
#if defined(__SSE2__)
    __m128i value;
    std::memcpy(&value, &cell, sizeof value);
    CharData* p = first;
    for (; last - p >= 4; p += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), value);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 1), value);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 2), value);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 3), value);
    }
    for (; p < last; ++p)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), value);
#else
    std::fill(first, last, cell);
#endif
}

namespace {

template<class Code>
void writeCodesOf(CharData* out, const Code* codes, int count, const CharData& cell) {
#if defined(__SSE2__)
    // The cell whole and its code masked off in a register: a copy with the code cleared and read back
    // whole waits for the narrower store to land, which is most of the cost of a short run.
    static_assert(sizeof(CharData) == sizeof(__m128i));
    const __m128i base =
        _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&cell)), _mm_set_epi32(-1, -1, -1, 0));
    auto put = [&](int i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_or_si128(base, _mm_cvtsi32_si128(int(codes[i]))));
    };
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        put(i);
        put(i + 1);
        put(i + 2);
        put(i + 3);
    }
    for (; i < count; ++i)
        put(i);
#else
    for (int i = 0; i < count; ++i) {
        out[i] = cell;
        out[i].code = int32_t(codes[i]);
    }
#endif
}

} // namespace

void BufferLine::writeCodes(CharData* out, const uint8_t* codes, int count, const CharData& cell) {
    writeCodesOf(out, codes, count, cell);
}

void BufferLine::writeCodes(CharData* out, const uint32_t* codes, int count, const CharData& cell) {
    writeCodesOf(out, codes, count, cell);
}

BufferLine::Block BufferLine::allocate(int cells) {
    if (cells <= 0) return nullptr;
    BlockCache& cache = blockCache();
    if (!cache.blocks.empty() && cache.capacity == cells) {
        Block block = std::move(cache.blocks.back());
        cache.blocks.pop_back();
        return block;
    }
    // Not initialised: cells are trivially copyable and every caller writes them before they are read,
    // so constructing them first (a default attribute packed per cell) is waste.
    return CellBlock::allocate(cells);
}

BufferLine::BufferLine(int cols, const std::optional<CharData>& fillData, bool isWrapped)
    : isWrapped(isWrapped)
    , _data(allocate(cols))
    , _capacity(std::max(cols, 0))
    , _count(std::max(cols, 0))
    , _stored(0)
    , _fillCharacter(fillData.value_or(CharData::Null))
    , _blank(_fillCharacter) {
    // Nothing is written: every cell reads as the blank until one is (a screen of new rows, as a switch
    // to the alternate screen makes, costs no pass over its cells).
}

BufferLine::BufferLine(const BufferLine& other)
    : isWrapped(other.isWrapped)
    , renderMode(other.renderMode)
    , images(other.images)
    , _data(other._data)
    , _capacity(other._capacity)
    , _count(other._count)
    , _stored(other._stored)
    , _frozen(other._frozen)
    , _fillCharacter(other._fillCharacter)
    , _blank(other._blank)
    , _contentEnd(other._contentEnd) {
    // The original is const to its callers; sharing its block changes none of its cells.
    if (_data) _frozen = other._frozen = true;
}

void BufferLine::keepBlock(Block&& block, int capacity) {
    BlockCache& cache = blockCache();
    if (cache.capacity != capacity) {
        cache.blocks.clear();
        cache.capacity = capacity;
    }
    if (int(cache.blocks.size() + 1) * capacity <= blockCacheCells) cache.blocks.push_back(std::move(block));
}

void BufferLine::releaseBlockCache() {
    BlockCache& cache = blockCache();
    cache.blocks.clear();
    cache.blocks.shrink_to_fit();
}

void BufferLine::becomeCopyOf(const BufferLine& other) {
    if (&other == this) return;
    isWrapped = other.isWrapped;
    renderMode = other.renderMode;
    if (images || other.images) images = other.images;
    // The common case of a renewal: the other row has not written since the last one. Otherwise the
    // block let go of is the one the other row's next write would allocate.
    if (_data != other._data) {
        if (_data && _data.use_count() == 1 && _capacity == _count) keepBlock(std::move(_data), _capacity);
        _data = other._data;
    }
    _capacity = other._capacity;
    _count = other._count;
    _stored = other._stored;
    _frozen = other._frozen;
    _fillCharacter = other._fillCharacter;
    _blank = other._blank;
    _contentEnd = other._contentEnd;
    if (_data) _frozen = other._frozen = true;
}

void BufferLine::fillStoredTo(int end) {
    fillCells(_data.get() + _stored, _data.get() + end, _blank);
    _stored = end;
}

void BufferLine::unshare(bool keepCells) {
    if (_capacity >= _count && (!_frozen || _data.use_count() <= 1)) {
        // The block is the row's own and wide enough: only the blanks after the stored cells are missing.
        _frozen = false;
        if (keepCells) fillStoredTo(_count);
        _stored = _count;
        return;
    }
    _frozen = false;
    // The row's own block holds exactly the cells in use; those not stored are its blank.
    Block block = allocate(_count);
    if (keepCells) {
        if (_stored > 0) std::memcpy(block.get(), _data.get(), size_t(_stored) * sizeof(CharData));
        fillCells(block.get() + _stored, block.get() + _count, _blank);
    }
    _data = std::move(block);
    _capacity = _count;
    _stored = _count;
}

bool BufferLine::dropPayloads() {
    const int stored = _stored;
    bool any = _blank.hasPayload() || _fillCharacter.hasPayload();
    for (int i = 0; i < stored && !any; ++i)
        any = _data[ptrdiff_t(i)].hasPayload();
    if (!any) return false;
    _blank.setPayload({});
    _fillCharacter.setPayload({});
    if (isCompact()) {
        // The block lies in an arena chunk that copies of the row may share: the cells are kept anew, in a
        // block of their own. Rows give up their links by the thousand, in the middle of the scroll-back:
        // in the arena their copies would make it grow into new memory, whose pages cost more than the
        // copy, while blocks of a row's size come back from the rows that leave.
        Block block = CellBlock::allocate(stored);
        CharData* cells = block.get();
        std::memcpy(static_cast<void*>(cells), _data.get(), size_t(stored) * sizeof(CharData));
        for (int i = 0; i < stored; ++i)
            cells[i].setPayload({});
        setStorage(std::move(block), stored, stored);
        _frozen = true;
        return true;
    }
    if (_frozen) unshare(true);
    for (int i = 0; i < _stored; ++i)
        _data[ptrdiff_t(i)].setPayload({});
    return true;
}

bool BufferLine::compact(CellArena& arena) {
    // Cells past the mark are the blank: the cells before it hold the row.
    if (_frozen || _capacity < _count || _contentEnd + retireMargin > _count) return false;
    Block kept = arena.keep(_data.get(), _contentEnd);
    if (_capacity == _count && _data.use_count() == 1) keepBlock(std::move(_data), _capacity);
    setStorage(std::move(kept), _contentEnd, _contentEnd);
    _frozen = true;
    return true;
}

bool BufferLine::retire(BufferLine& next, const CharData& blank, CellArena& arena) {
    // A block wider than the row (one narrowed without being written) goes to next as it is.
    if (_frozen || _contentEnd + retireMargin > _count || _capacity < _count || &next == this) return false;
    Block kept = arena.keep(_data.get(), _contentEnd);
    // The reused row's block, when it is one of a full row, stays at hand for a row that needs one.
    if (next._data && !next._frozen && next._capacity == next._count && next._data.use_count() == 1)
        keepBlock(std::move(next._data), next._capacity);
    next._count = _count;
    next.setStorage(std::move(_data), _capacity);
    next._frozen = false;
    next._blank = _blank;
    next._contentEnd = _contentEnd;
    next.clear(blank);

    setStorage(std::move(kept), _contentEnd, _contentEnd);
    _frozen = true;
    return true;
}

void BufferLine::showCells(const CellBlock& owner, CharData* first, int cells, int cols) {
    cells = std::clamp(cells, 0, std::max(cols, 0));
    if (cells > 0)
        _data.pointInto(owner, first);
    else
        _data.reset();
    _capacity = cells;
    _count = std::max(cols, 0);
    _stored = cells;
    _frozen = true;
    _blank = CharData::Null;
    _contentEnd = cells;
}

void BufferLine::set(int index, const CharData& cell) {
    at(index) = cell;
}

CharData& BufferLine::at(int index) {
    own();
    if (index >= count()) {
        Diagnostics::invariantBroken(
            "BufferLine: You passed an index out of range, adjusting to prevent crash, but you should debug");
        _contentEnd = _count;
        return _data[ptrdiff_t(_count - 1)];
    }
    markContent(index + 1);
    return _data[ptrdiff_t(index)];
}

void BufferLine::noteFilled(const CharData& with, int start, int end) {
    if (!(with == _blank)) {
        markContent(end);
    } else if (start < _contentEnd && end >= _contentEnd) {
        _contentEnd = std::max(start, 0);
    }
}

void BufferLine::insertCells(int pos, int n, int rightMargin, const CharData& fillData) {
    int span = rightMargin + 1;
    pos %= span;
    const int contentEnd = _contentEnd;
    if (n < span - pos) {
        // Cells from the content mark on are blank, and so are those they would move onto: only the
        // content moves (typing in insert mode at the end of a line moves nothing). The cells written
        // count as content...
        const int end = std::clamp(contentEnd, pos, span - n);
        CharData* d = cellsForWrite(pos, end + n);
        std::memmove(d + pos + n, d + pos, size_t(end - pos) * sizeof(CharData));
        fillCells(d + pos, d + pos + n, fillData);
        // ...except opened cells past the content that are the blank.
        if (fillData == _blank && contentEnd <= pos) _contentEnd = contentEnd;
        return;
    }
    // Fill cells count as content unless they are the blank.
    markContent(fillData == _blank ? contentEnd : span);
    own();
    fillCells(_data.get() + pos, _data.get() + span, fillData);
}

void BufferLine::deleteCells(int pos, int n, int rightMargin, const CharData& fillData) {
    int span = rightMargin + 1;
    if (!(fillData == _blank)) markContent(span);
    own();
    CharData* d = _data.get();
    if (n < span - pos) {
        std::memmove(d + pos, d + pos + n, size_t(span - pos - n) * sizeof(CharData));
        fillCells(d + span - n, d + span, fillData);
    } else {
        fillCells(d + pos, d + span, fillData);
    }
}

void BufferLine::replaceCells(int start, int end, const CharData& fillData) {
    end = std::min(end, count());
    if (start >= end) return;
    own();
    fillCells(_data.get() + start, _data.get() + end, fillData);
    noteFilled(fillData, start, end);
}

void BufferLine::fill(const CharData& with) {
    // Nothing is written: every cell reads as the blank once none is stored.
    _blank = with;
    _stored = 0;
    _contentEnd = 0;
}

void BufferLine::fill(const CharData& with, int atCol, int len) {
    own();
    fillCells(_data.get() + atCol, _data.get() + atCol + len, with);
    noteFilled(with, atCol, atCol + len);
}

void BufferLine::clear(const Attribute& attribute) {
    clear(CharData(attribute, 0, 1));
}

void BufferLine::clear(const CharData& blank) {
    fill(blank);
    images.reset();
}

void BufferLine::copyFrom(const BufferLine& line) {
    if (&line == this) return;
    // The block is replaced (by one of exactly that size) only when it is too small or shared.
    own(false);
    if (_capacity < line._count) {
        _data = allocate(line._count);
        _capacity = line._count;
    }
    if (line._stored > 0) std::memcpy(_data.get(), line._data.get(), size_t(line._stored) * sizeof(CharData));
    fillCells(_data.get() + line._stored, _data.get() + line._count, line._blank);
    _count = line._count;
    _stored = _count;
    _blank = line._blank;
    _contentEnd = line._contentEnd;
    isWrapped = line.isWrapped;
}

void BufferLine::copyFrom(const BufferLine& src, int srcCol, int dstCol, int len) {
    if (len <= 0) return;
    markContent(dstCol + len);
    // Made our own first: src may be this row.
    own();
    // memmove gets overlapping ranges of the same row right in either direction; cells a compact source
    // does not keep are its blank.
    const int held = std::clamp(src._stored - srcCol, 0, len);
    if (held > 0)
        std::memmove(_data.get() + dstCol, src._data.get() + srcCol, size_t(held) * sizeof(CharData));
    if (held < len) fillCells(_data.get() + dstCol + held, _data.get() + dstCol + len, src._blank);
}

void BufferLine::resize(int cols, const CharData& fillData) {
    if (cols == _count) return;
    if (cols <= 0) {
        _data.reset();
        _capacity = 0;
        _count = 0;
        _stored = 0;
        _contentEnd = 0;
        _frozen = false;
        return;
    }
    // A row that may not write its block in place (shared, or a reflowed row of the scroll-back) grows
    // like one whose last cells are not stored.
    if (_stored < _count || (_frozen && cols > _count && fillData == _blank)) {
        // A row whose last cells are not stored only changes its count while the new cells are its
        // blank (a block smaller than the row is one that may not be written); otherwise its cells are
        // filled in first.
        if (cols < _count || fillData == _blank) {
            _count = cols;
            _contentEnd = std::min(_contentEnd, cols);
            _stored = std::min(_stored, _count);
            if (_capacity < _count) _frozen = true;
            return;
        }
        unshare(true);
    }
    if (cols < _count) {
        _contentEnd = std::min(_contentEnd, cols);
    } else if (!(fillData == _blank)) {
        // The new cells are content unless nothing else is: then they are the row's blank.
        if (_count == 0)
            _blank = fillData;
        else
            _contentEnd = cols;
    }
    // Narrowing a shared block changes none of its cells: the copy goes on sharing it.
    const bool shared = _frozen && _data.use_count() > 1;
    if (cols > _capacity || (cols > _count && shared)) {
        // A new block of exactly cols cells.
        Block block = allocate(cols);
        if (_count > 0) std::memcpy(block.get(), _data.get(), size_t(_count) * sizeof(CharData));
        fillCells(block.get() + _count, block.get() + cols, fillData);
        _data = std::move(block);
        _capacity = cols;
        _frozen = false;
    } else if (cols > _count) {
        fillCells(_data.get() + _count, _data.get() + cols, fillData);
    } else if (_capacity > 2 * cols) {
        // A resize of every row of the scroll-back comes with every window resize: the block is kept so
        // that dragging the width back and forth allocates nothing, until it is more than twice the row.
        Block block = allocate(cols);
        std::memcpy(block.get(), _data.get(), size_t(cols) * sizeof(CharData));
        _data = std::move(block);
        _capacity = cols;
        _frozen = false;
    }
    _count = cols;
    _stored = cols;
}

int BufferLine::getTrimmedLength() const {
    // Blank cells past the mark have code 0 when the blank has: no need to look at them.
    if (_blank.code != 0 && _stored < _count) return _count - 1 + _blank.width();
    const int end = _blank.code == 0 ? _contentEnd : _stored;
    for (int i = end - 1; i >= 0; --i) {
        if (_data[ptrdiff_t(i)].code != 0) return i + _data[ptrdiff_t(i)].width();
    }
    return 0;
}

bool BufferLine::hasContent(int index) const {
    const CharData& c = (*this)[index];
    return c.code != 0 || !c.hasDefaultAttribute();
}

bool BufferLine::hasAnyContent() const {
    const bool blankIsEmpty = _blank.code == 0 && _blank.hasDefaultAttribute();
    if (!blankIsEmpty && _contentEnd < _count) return true;
    const int end = blankIsEmpty ? _contentEnd : _count;
    for (int i = 0; i < end; ++i)
        if (hasContent(i)) return true;
    return false;
}

std::string BufferLine::translateToString(bool trimRight, int startCol, int endCol,
                                          bool skipNullCellsFollowingWide,
                                          const CharacterProvider& characterProvider) const {
    int end = endCol == -1 ? count() : endCol;
    if (trimRight) end = std::max(std::min(end, getTrimmedLength()), startCol);
    std::string out;
    if (startCol >= end) return out;
    out.reserve(size_t(end - startCol));
    for (int i = startCol; i < end; ++i) {
        const CharData& cell = (*this)[i];
        // The empty half of a wide character is never part of the text.
        if (skipNullCellsFollowingWide && cell.code == 0 && i > 0 && (*this)[i - 1].width() == 2) continue;
        if (characterProvider)
            out += characterProvider(cell);
        else
            Utf8::append(out, uint32_t(cell.getCharacter()));
    }
    return out;
}

std::string BufferLine::debugDescription() const {
    std::string out;
    for (int i = 0; i < _count; ++i)
        Utf8::append(out, uint32_t((*this)[i].getCharacter()));
    return out;
}

void BufferLine::attach(const TerminalImagePtr& image) {
    if (!images) images.emplace();
    images->push_back(image);
}

} // namespace Tessaline
