#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Quillaby {

// The writers of the crash signal handler: they allocate nothing, take no lock and call nothing but
// write(2), so they may run inside a signal handler of a badly damaged process. Numbers are turned into
// digits in a scratch buffer that the caller prepared beforehand.
//
// Each writer writes the remaining bytes in a loop: a write interrupted by a signal is repeated; a write
// that returns 0 or fails otherwise gives up the rest of those bytes, and the caller goes on with its next.
class CrashSignalWriter {
public:
    // Room for the digits of any 64-bit number, a sign included.
    using NumScratch = std::array<char, 24>;

    static void writeRaw(int fd, const void* bytes, std::size_t count);
    // The bytes of a NUL-terminated text, without the terminator.
    static void writeLit(int fd, const char* text);
    // In decimal, "-" before a negative number, "0" for zero.
    static void writeDec(int fd, std::int64_t value, NumScratch& scratch);
    // In lowercase hexadecimal without leading zeros, "0" for zero; no "0x".
    static void writeHex(int fd, std::uintptr_t value, NumScratch& scratch);
    // Stores the decimal digits of a number at `position` in `buffer` (a negative number counts as zero)
    // and returns the position after them. The caller makes sure they fit.
    static std::size_t appendDec(char* buffer, std::size_t position, std::int64_t value, NumScratch& scratch);

private:
    // The digits of `magnitude` in base `radix`, produced lowest first into the end of `scratch`; returns
    // the index of the first (highest) digit.
    static std::size_t digits(std::uint64_t magnitude, unsigned radix, NumScratch& scratch);
};

} // namespace Quillaby
