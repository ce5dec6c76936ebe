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

// Blocks let go of by renewed copies, kept on their thread for the next row that needs a block: a program
// that redraws under synchronized output frees and allocates a screenful of blocks every frame, which would
// otherwise grow and trim the heap each time. All of one size (the cache is emptied when the size changes),
// and at most blockCacheCells cells.
constexpr int blockCacheCells = 1 << 16;

struct BlockCache {
    std::vector<std::shared_ptr<CharData[]>> blocks;
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

void BufferLine::writeAscii(CharData* out, const uint8_t* bytes, int count, const CharData& cell) {
#if defined(__SSE2__)
    // The cell whole and its code masked off in a register: a copy with the code cleared and read back
    // whole waits for the narrower store to land, which is most of the cost of a short run.
    static_assert(sizeof(CharData) == sizeof(__m128i));
    const __m128i base =
        _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&cell)), _mm_set_epi32(-1, -1, -1, 0));
    auto put = [&](int i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_or_si128(base, _mm_cvtsi32_si128(bytes[i])));
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
        out[i].code = bytes[i];
    }
#endif
}

BufferLine::Block BufferLine::allocate(int cells) {
    if (cells <= 0) return nullptr;
    BlockCache& cache = blockCache();
    if (!cache.blocks.empty() && cache.capacity == cells) {
        Block block = std::move(cache.blocks.back());
        cache.blocks.pop_back();
        return block;
    }
    // Raw bytes, one allocation with the count: cells are trivially copyable and every caller writes them
    // before they are read, so constructing them first (a default attribute packed per cell) is waste.
    static_assert(alignof(CharData) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    std::shared_ptr<std::byte[]> bytes =
        std::make_shared_for_overwrite<std::byte[]>(size_t(cells) * sizeof(CharData));
    return Block(bytes, std::launder(reinterpret_cast<CharData*>(bytes.get())));
}

BufferLine::BufferLine(int cols, const std::optional<CharData>& fillData, bool isWrapped)
    : isWrapped(isWrapped)
    , _data(allocate(cols))
    , _capacity(std::max(cols, 0))
    , _count(std::max(cols, 0))
    , _fillCharacter(fillData.value_or(CharData::Null))
    , _blank(_fillCharacter) {
    fillCells(_data.get(), _data.get() + _count, _fillCharacter);
}

BufferLine::BufferLine(const BufferLine& other)
    : isWrapped(other.isWrapped)
    , renderMode(other.renderMode)
    , images(other.images)
    , _data(other._data)
    , _capacity(other._capacity)
    , _count(other._count)
    , _fillCharacter(other._fillCharacter)
    , _blank(other._blank)
    , _contentEnd(other._contentEnd) {
    // The original is const to its callers; sharing its block changes none of its cells.
    if (_data) _shared = other._shared = true;
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
        if (_data && _data.use_count() == 1) keepBlock(std::move(_data), _capacity);
        _data = other._data;
    }
    _capacity = other._capacity;
    _count = other._count;
    _fillCharacter = other._fillCharacter;
    _blank = other._blank;
    _contentEnd = other._contentEnd;
    if (_data) _shared = other._shared = true;
}

void BufferLine::unshare(bool keepCells) {
    _shared = false;
    if (_data.use_count() <= 1) return;
    // The row's own block holds exactly the cells in use.
    Block block = allocate(_count);
    if (keepCells && _count > 0) std::memcpy(block.get(), _data.get(), size_t(_count) * sizeof(CharData));
    _data = std::move(block);
    _capacity = _count;
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
    // Content moves right by n at most; fill cells count as content unless they are the blank.
    markContent(fillData == _blank ? std::min(span, _contentEnd > pos ? _contentEnd + n : _contentEnd)
                                   : span);
    own();
    CharData* d = _data.get();
    if (n < span - pos) {
        std::memmove(d + pos + n, d + pos, size_t(span - pos - n) * sizeof(CharData));
        fillCells(d + pos, d + pos + n, fillData);
    } else {
        fillCells(d + pos, d + span, fillData);
    }
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
    own(false);
    fillCells(_data.get(), _data.get() + _count, with);
    _blank = with;
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
    // Past the content mark the cells already are the blank: only what was written needs wiping. A block
    // shared with a copy is not copied first: the row gets a new one, filled whole.
    // The content end is rounded up to whole groups of four cells: the cells past it are the blank
    // already, and writing them again spares the fill its uneven tail.
    int end = blank == _blank ? std::min((_contentEnd + 3) & ~3, _count) : _count;
    if (_shared) {
        unshare(false);
        end = _count;
    }
    fillCells(_data.get(), _data.get() + end, blank);
    _blank = blank;
    _contentEnd = 0;
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
    if (line._count > 0) std::memcpy(_data.get(), line._data.get(), size_t(line._count) * sizeof(CharData));
    _count = line._count;
    _blank = line._blank;
    _contentEnd = line._contentEnd;
    isWrapped = line.isWrapped;
}

void BufferLine::copyFrom(const BufferLine& src, int srcCol, int dstCol, int len) {
    if (len <= 0) return;
    markContent(dstCol + len);
    // Made our own first: src may be this row.
    own();
    // memmove gets overlapping ranges of the same row right in either direction.
    std::memmove(_data.get() + dstCol, src._data.get() + srcCol, size_t(len) * sizeof(CharData));
}

void BufferLine::resize(int cols, const CharData& fillData) {
    if (cols == _count) return;
    if (cols <= 0) {
        _data.reset();
        _capacity = 0;
        _count = 0;
        _contentEnd = 0;
        _shared = false;
        return;
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
    const bool shared = _shared && _data.use_count() > 1;
    if (cols > _capacity || (cols > _count && shared)) {
        // A new block of exactly cols cells.
        Block block = allocate(cols);
        if (_count > 0) std::memcpy(block.get(), _data.get(), size_t(_count) * sizeof(CharData));
        fillCells(block.get() + _count, block.get() + cols, fillData);
        _data = std::move(block);
        _capacity = cols;
        _shared = false;
    } else if (cols > _count) {
        fillCells(_data.get() + _count, _data.get() + cols, fillData);
    } else if (_capacity > 2 * cols) {
        // A resize of every row of the scroll-back comes with every window resize: the block is kept so
        // that dragging the width back and forth allocates nothing, until it is more than twice the row.
        Block block = allocate(cols);
        std::memcpy(block.get(), _data.get(), size_t(cols) * sizeof(CharData));
        _data = std::move(block);
        _capacity = cols;
        _shared = false;
    }
    _count = cols;
}

int BufferLine::getTrimmedLength() const {
    // Blank cells past the mark have code 0 when the blank has: no need to look at them.
    const int end = _blank.code == 0 ? _contentEnd : count();
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
    const int end = _blank.code == 0 && _blank.hasDefaultAttribute() ? _contentEnd : count();
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
        Utf8::append(out, uint32_t(_data[ptrdiff_t(i)].getCharacter()));
    return out;
}

void BufferLine::attach(const TerminalImagePtr& image) {
    if (!images) images.emplace();
    images->push_back(image);
}

} // namespace Tessaline
