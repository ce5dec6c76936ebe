#pragma once

#include <any>
#include <cstdint>
#include <optional>
#include <unordered_map>

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

    static std::unordered_map<uint16_t, std::any>& map();
    // The last code handed out.
    static int lastUsed;
    // The last code released by the payload collector.
    static int lastCollected;

    // Empties the registry; for tests that need a fresh process state.
    static void resetForTesting();

    constexpr bool operator==(const TinyAtom&) const = default;
};

} // namespace Tessaline
