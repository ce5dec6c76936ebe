#pragma once

#include <any>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace Tessaline {

// A 16-bit handle through which a cell refers to a value kept outside it (a hyperlink).
// The registry behind it is process-wide and used only from the thread that feeds terminals.
struct TinyAtom {
    uint16_t code = 0;

    // Codes 1 to 65534; 0 means none and 65535 is never handed out.
    static constexpr int firstCode = 1;
    static constexpr int lastCode = 0xFFFE;

    // Registers a value under a free code. Released codes are reused (searching onward from the last code
    // handed out, wrapping), so a long-lived process never runs out while old links are collected.
    // Nothing when every code is live.
    static std::optional<TinyAtom> lookup(std::any value);
    // Removes the value under the code; a code with nothing registered is ignored.
    static void release(uint16_t code);

    // The value registered under the code, or null when the code is 0 or nothing is registered.
    const std::any* target() const;

    // The values by code. Links come and go by the thousand on a busy terminal: a value is found, added
    // and removed by indexing, and a free code by scanning a word of bits at a time, rather than through
    // a hash map whose nodes are out of the cache by the time they are released.
    class Registry {
    public:
        size_t size() const { return _count; }
        bool contains(uint16_t code) const { return (_used[code >> 6] >> (code & 63)) & 1; }
        // The value under a code, or null.
        const std::any* find(uint16_t code) const;
        // The first free code after `after`, wrapping from lastCode to firstCode; the registry is not full.
        uint16_t nextFree(int after) const;
        void insert(uint16_t code, std::any value);
        void erase(uint16_t code);
        void clear();

    private:
        static constexpr int blockSize = 1024;
        using Block = std::array<std::any, blockSize>;
        std::array<uint64_t, 65536 / 64> _used{};
        // Made as codes in their range are first handed out.
        std::array<std::unique_ptr<Block>, 65536 / blockSize> _blocks;
        size_t _count = 0;
    };
    static Registry& map();
    // The last code handed out.
    static int lastUsed;
    // The last code released by the payload collector.
    static int lastCollected;

    // Empties the registry; for tests that need a fresh process state.
    static void resetForTesting();

    constexpr bool operator==(const TinyAtom&) const = default;
};

} // namespace Tessaline
