#pragma once

#include "CharData.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace Tessaline {

// A counted handle to cells: a block of its own, or a run of cells inside a larger block that it keeps
// alive with the others (the chunks of the scroll-back's arena). The count is not atomic: rows and their
// cells live on the thread that feeds the terminal, and a handle is taken and dropped for every row that
// scrolls off, where an atomic count would wait for every store before it.
class CellBlock {
public:
    CellBlock() = default;
    CellBlock(std::nullptr_t) {}
    CellBlock(const CellBlock& other)
        : _owner(other._owner)
        , _cells(other._cells) {
        if (_owner != nullptr) ++_owner->count;
    }
    CellBlock(CellBlock&& other) noexcept
        : _owner(std::exchange(other._owner, nullptr))
        , _cells(std::exchange(other._cells, nullptr)) {}
    // Cells inside the block `owner` holds, which they keep alive.
    CellBlock(const CellBlock& owner, CharData* cells)
        : CellBlock(owner) {
        _cells = cells;
    }
    CellBlock& operator=(const CellBlock& other) {
        CellBlock(other).swap(*this);
        return *this;
    }
    CellBlock& operator=(CellBlock&& other) noexcept {
        CellBlock(std::move(other)).swap(*this);
        return *this;
    }
    ~CellBlock() { release(); }

    // A new block of that many cells, not initialised; null for none.
    static CellBlock allocate(int cells) {
        if (cells <= 0) return {};
        static_assert(sizeof(Owner) % alignof(CharData) == 0);
        void* memory = ::operator new(sizeof(Owner) + size_t(cells) * sizeof(CharData));
        CellBlock block;
        block._owner = new (memory) Owner{1};
        block._cells = std::launder(reinterpret_cast<CharData*>(static_cast<char*>(memory) + sizeof(Owner)));
        return block;
    }

    CharData* get() const { return _cells; }
    CharData& operator[](ptrdiff_t index) const { return _cells[index]; }
    explicit operator bool() const { return _cells != nullptr; }
    // The handles to the block, this one included; 0 for none.
    long use_count() const { return _owner != nullptr ? long(_owner->count) : 0; }
    void reset() { CellBlock().swap(*this); }
    void swap(CellBlock& other) noexcept {
        std::swap(_owner, other._owner);
        std::swap(_cells, other._cells);
    }
    // Whether both handles keep the same block alive (null handles keep none).
    bool sharesOwnerWith(const CellBlock& other) const { return _owner != nullptr && _owner == other._owner; }
    // Makes this handle refer to cells inside the block `owner` holds; the count is touched only when the
    // handle held another block.
    void pointInto(const CellBlock& owner, CharData* cells) {
        if (_owner != owner._owner) *this = owner;
        _cells = cells;
    }
    bool operator==(const CellBlock& other) const { return _cells == other._cells; }
    bool operator==(std::nullptr_t) const { return _cells == nullptr; }

private:
    // The count, in front of the cells of a block.
    struct alignas(16) Owner {
        uint32_t count;
    };

    void release() {
        if (_owner != nullptr && --_owner->count == 0) ::operator delete(_owner);
    }

    Owner* _owner = nullptr;
    CharData* _cells = nullptr;
};

} // namespace Tessaline
