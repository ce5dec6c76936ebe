#pragma once

#include <any>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace Tessaline {

// A 16-bit handle through which a cell refers to a value kept outside it (a hyperlink). The values live
// in a Registry of the terminal whose cells carry the handles: terminals in one process never share codes.
struct TinyAtom {
    uint16_t code = 0;

    // Codes 1 to 65534; 0 means none and 65535 is never handed out.
    static constexpr int firstCode = 1;
    static constexpr int lastCode = 0xFFFE;

    // The values by code, used only from the thread that feeds the terminal. Links come and go by the
    // thousand on a busy terminal: a value is found, added and removed by indexing, and a free code by
    // scanning a word of bits at a time, rather than through a hash map whose nodes are out of the cache
    // by the time they are released.
    class Registry {
    public:
        // Registers a value under a free code. Released codes are reused (searching onward from the last
        // code handed out, wrapping), so a long-lived terminal never runs out while old links are
        // collected. Nothing when every code is live.
        std::optional<TinyAtom> lookup(std::any value);
        // Removes the value under the code; a code with nothing registered is ignored.
        void release(uint16_t code);
        // The value under a handle, or null for 0 or a code with nothing registered.
        const std::any* target(TinyAtom atom) const;

        size_t size() const { return _count; }
        bool contains(uint16_t code) const { return (_used[code >> 6] >> (code & 63)) & 1; }
        // The last code handed out.
        int lastUsed() const { return _lastUsed; }
        void clear();

    private:
        // The first free code after `after`, wrapping from lastCode to firstCode; the registry is not full.
        uint16_t nextFree(int after) const;

        static constexpr int blockSize = 1024;
        using Block = std::array<std::any, blockSize>;
        std::array<uint64_t, 65536 / 64> _used{};
        // Made as codes in their range are first handed out.
        std::array<std::unique_ptr<Block>, 65536 / blockSize> _blocks;
        size_t _count = 0;
        int _lastUsed = 0;
    };

    constexpr bool operator==(const TinyAtom&) const = default;
};

} // namespace Tessaline
