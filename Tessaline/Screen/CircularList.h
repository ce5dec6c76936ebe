#pragma once

#include "Diagnostics.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Tessaline {

// How a ring slot says "empty": shared pointers use null, other values an optional.
template<class T>
struct CircularSlot {
    using Slot = std::optional<T>;
    static bool isEmpty(const Slot& s) { return !s.has_value(); }
    static T& value(Slot& s) { return *s; }
    static constexpr bool relocatable = false;
};
template<class U>
struct CircularSlot<std::shared_ptr<U>> {
    using Slot = std::shared_ptr<U>;
    static bool isEmpty(const Slot& s) { return !s; }
    static Slot& value(Slot& s) { return s; }
    // A shared pointer is two plain pointers that refer to nothing inside it: moved as bytes, it is
    // still the same handle.
    static constexpr bool relocatable = true;
};

// A ring of a fixed number of slots (maxLength). Logical index 0 is the oldest element.
// Slots are allocated as elements arrive (a huge capacity costs memory only as it fills); once full, the
// ring is a plain fixed array and pushing drops the oldest element in place.
template<class T>
class CircularList {
public:
    using Traits = CircularSlot<T>;
    using Slot = typename Traits::Slot;

    // Supplies an element for an empty slot; receives the slot number.
    std::function<T(int)> makeEmpty;

    explicit CircularList(int maxLength)
        : _maxLength(std::max(maxLength, 0)) {}
    virtual ~CircularList() = default;

    int count() const { return _count; }
    // Raises or lowers the count without clearing or filling any slot.
    void setCount(int newCount) {
        if (newCount > _maxLength) newCount = _maxLength;
        if (newCount > physicalSize()) grow(newCount);
        _count = std::max(newCount, 0);
    }
    bool isEmpty() const { return _count == 0; }
    bool isFull() const { return _count == _maxLength; }

    int maxLength() const { return _maxLength; }
    // Changes the capacity and lays the slots out afresh, oldest first; the count is not changed.
    void setMaxLength(int value) {
        value = std::max(value, 0);
        if (value == _maxLength) return;
        _maxLength = value;
        relayout(std::min(physicalSize(), value));
    }

    // The element at a logical index; an empty slot is first filled through makeEmpty.
    T& operator[](int index) {
        Slot& s = slot(index);
        if (Traits::isEmpty(s)) s = makeEmpty(slotNumber(index));
        return Traits::value(s);
    }
    void set(int index, T value) { slot(index) = std::move(value); }
    // The slot's content without filling it.
    const Slot& peek(int index) const {
        static const Slot none{};
        if (index < 0 || index >= physicalSize()) return none;
        return _slots[slotNumber(index)];
    }

    void push(T value) {
        if (_count == _maxLength) {
            if (_maxLength == 0) return;
            slot(_count) = std::move(value);
            _start = _start + 1 == physicalSize() ? 0 : _start + 1;
        } else {
            slot(_count) = std::move(value);
            ++_count;
        }
    }

    // Turns the oldest element into the newest; only on a full ring.
    Slot& rotateOldestToNewest(const char* message) {
        if (_count != _maxLength || _maxLength == 0) fatalError(message);
        Slot& s = _slots[size_t(_start)];
        _start = _start + 1 == physicalSize() ? 0 : _start + 1;
        return s;
    }
    void recycle() { rotateOldestToNewest("can only recycle when the buffer is full"); }

    T pop() {
        T value = (*this)[_count - 1];
        --_count;
        return value;
    }

    void splice(int start, int deleteCount, const std::vector<T>& items,
                const std::function<void(int)>& change) {
        if (deleteCount > 0) {
            for (int i = start; i < _count - deleteCount; ++i) {
                slot(i) = slot(i + deleteCount);
                if (change) change(i);
            }
            _count -= deleteCount;
        }
        int k = int(items.size());
        if (k > 0) {
            if (_count + k > physicalSize() && physicalSize() < _maxLength)
                grow(std::min(_count + k, _maxLength));
            for (int i = _count - 1; i >= start; --i) {
                slot(i + k) = slot(i);
                if (change) change(i + k);
            }
            for (int j = 0; j < k; ++j) {
                if (change) change(start + j);
                slot(start + j) = items[size_t(j)];
            }
        }
        int newCount = _count + k;
        if (newCount > _maxLength) {
            advanceStart(newCount - _maxLength);
            newCount = _maxLength;
        }
        _count = newCount;
    }

    // Moves the elements first + 1 ... last one place towards the start and the element at first to last
    // (towardsStart), or the other way round. Elements move by handle; none is made or dropped, so a
    // scroll inside a region allocates nothing. Indexes must lie below count(). Answers the slot the moved
    // element landed in (null when nothing moved).
    Slot* rotate(int first, int last, bool towardsStart) {
        if (first < 0 || last >= _count || first >= last) return nullptr;
        const size_t a = slotNumber(first);
        const size_t b = slotNumber(last);
        if (a < b) {
            Slot* s = _slots.data();
            if constexpr (Traits::relocatable) {
                // One stretch of slots: the handles move as bytes, which touches no reference count
                // and is one block move however tall the range is.
                alignas(Slot) unsigned char saved[sizeof(Slot)];
                Slot* from = towardsStart ? s + a : s + b;
                Slot* to = towardsStart ? s + b : s + a;
                std::memcpy(saved, static_cast<void*>(from), sizeof(Slot));
                if (towardsStart)
                    std::memmove(static_cast<void*>(s + a), static_cast<const void*>(s + a + 1),
                                 (b - a) * sizeof(Slot));
                else
                    std::memmove(static_cast<void*>(s + a + 1), static_cast<const void*>(s + a),
                                 (b - a) * sizeof(Slot));
                std::memcpy(static_cast<void*>(to), saved, sizeof(Slot));
                return to;
            }
            // One stretch of slots: the element is swapped along it (a swap of handles touches no
            // reference count and checks nothing, unlike a move).
            using std::swap;
            if (towardsStart) {
                for (size_t i = a; i < b; ++i)
                    swap(s[i], s[i + 1]);
                return s + b;
            }
            for (size_t i = b; i > a; --i)
                swap(s[i], s[i - 1]);
            return s + a;
        }
        const size_t n = _slots.size();
        if constexpr (Traits::relocatable) {
            // The range runs over the end of the slots and on from the first: two block moves, and the
            // handle that crosses the end.
            Slot* s = _slots.data();
            auto move = [](Slot* to, Slot* from, size_t count) {
                std::memmove(static_cast<void*>(to), static_cast<const void*>(from), count * sizeof(Slot));
            };
            alignas(Slot) unsigned char saved[sizeof(Slot)];
            if (towardsStart) {
                std::memcpy(saved, static_cast<void*>(s + a), sizeof(Slot));
                move(s + a, s + a + 1, n - 1 - a);
                move(s + n - 1, s, 1);
                move(s, s + 1, b);
                std::memcpy(static_cast<void*>(s + b), saved, sizeof(Slot));
                return s + b;
            }
            std::memcpy(saved, static_cast<void*>(s + b), sizeof(Slot));
            move(s + 1, s, b);
            move(s, s + n - 1, 1);
            move(s + a + 1, s + a, n - 1 - a);
            std::memcpy(static_cast<void*>(s + a), saved, sizeof(Slot));
            return s + a;
        }
        size_t p = towardsStart ? a : b;
        Slot saved = std::move(_slots[p]);
        for (int i = first; i < last; ++i) {
            const size_t q = towardsStart ? (p + 1 == n ? 0 : p + 1) : (p == 0 ? n - 1 : p - 1);
            _slots[p] = std::move(_slots[q]);
            p = q;
        }
        _slots[p] = std::move(saved);
        return &_slots[p];
    }

    // Empties the ring, keeping its slots: a ring emptied and filled again all the time (the alternate
    // screen's) then allocates nothing.
    void clear() {
        std::fill(_slots.begin(), _slots.end(), Slot{});
        _start = 0;
        _count = 0;
    }

    void trimStart(int n) {
        int m = std::clamp(n, 0, _count);
        if (m == 0) return;
        // While the slots are still growing, forget the trimmed elements so that they never reappear at an
        // index a full-size ring would leave empty.
        if (physicalSize() < _maxLength)
            for (int i = 0; i < m; ++i)
                slot(i) = Slot{};
        advanceStart(m);
        _count -= m;
    }

    bool shiftElements(int start, int count, int offset) {
        const char* reason = nullptr;
        if (count < 0)
            reason = "count < 0";
        else if (start < 0)
            reason = "start < 0";
        else if (start >= _count)
            reason = "start >= self.count";
        else if (start + offset <= 0)
            reason = "start+offset <= 0";
        if (reason) {
            char message[128];
            std::snprintf(message, sizeof message, "Assertion at start=%d count=%d offset=%d: %s", start,
                          count, offset, reason);
            Diagnostics::invariantBroken(message);
            return false;
        }
        if (offset > 0) {
            int needed = std::min(start + count + offset, _maxLength);
            if (needed > physicalSize()) grow(needed);
            for (int i = count - 1; i >= 0; --i)
                slot(start + i + offset) = slot(start + i);
            int growth = start + count + offset - _count;
            if (growth > 0) {
                int newCount = _count + growth;
                if (newCount > _maxLength) {
                    advanceStart(newCount - _maxLength);
                    newCount = _maxLength;
                }
                _count = newCount;
            }
        } else {
            for (int i = 0; i < count; ++i)
                slot(start + i + offset) = slot(start + i);
        }
        return true;
    }

    // Inspection only.
    const std::vector<Slot>& getArray() const { return _slots; }
    int getStartIndex() const { return _start; }
    int debugGetCyclicIndex(int index) const { return physicalSize() ? int(slotNumber(index)) : 0; }

protected:
    int physicalSize() const { return int(_slots.size()); }

    size_t slotNumber(int index) const {
        size_t s = size_t(_start) + size_t(index);
        size_t n = _slots.size();
        if (s >= n) {
            s -= n;
            if (s >= n) s %= n;
        }
        return s;
    }

    Slot& slot(int index) {
        if (index >= physicalSize() && physicalSize() < _maxLength) grow(index + 1);
        return _slots[slotNumber(index)];
    }

private:
    void advanceStart(int by) {
        if (physicalSize() == 0) return;
        _start = int((size_t(_start) + size_t(by)) % _slots.size());
    }

    // Doubles the slot array (at least to `needed`, at most to maxLength), re-laid oldest first.
    void grow(int needed) {
        int target = std::max({needed, physicalSize() * 2, 16});
        relayout(std::min(target, _maxLength), true);
    }

    void relayout(int newSize, bool keepAll = false) {
        std::vector<Slot> fresh(size_t(std::max(newSize, 0)));
        int copy = keepAll ? physicalSize() : std::min(physicalSize(), newSize);
        for (int i = 0; i < copy; ++i)
            fresh[size_t(i)] = std::move(_slots[slotNumber(i)]);
        _slots = std::move(fresh);
        _start = 0;
    }

    std::vector<Slot> _slots;
    int _start = 0;
    int _count = 0;
    int _maxLength;
};

} // namespace Tessaline
