#include "Services/CrashSignalWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Quillaby {

void CrashSignalWriter::writeRaw(int fd, const void* bytes, std::size_t count) {
    const char* next = static_cast<const char*>(bytes);
    while (count > 0) {
        ssize_t written = ::write(fd, next, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        next += written;
        count -= std::size_t(written);
    }
}

void CrashSignalWriter::writeLit(int fd, const char* text) {
    writeRaw(fd, text, std::strlen(text));
}

std::size_t CrashSignalWriter::digits(std::uint64_t magnitude, unsigned radix, NumScratch& scratch) {
    static constexpr char symbols[] = "0123456789abcdef";
    std::size_t first = scratch.size();
    do {
        scratch[--first] = symbols[magnitude % radix];
        magnitude /= radix;
    } while (magnitude != 0);
    return first;
}

void CrashSignalWriter::writeDec(int fd, std::int64_t value, NumScratch& scratch) {
    // The magnitude is taken in unsigned arithmetic, so the most negative number has one too.
    const std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    std::size_t first = digits(magnitude, 10, scratch);
    if (value < 0) scratch[--first] = '-';
    writeRaw(fd, scratch.data() + first, scratch.size() - first);
}

void CrashSignalWriter::writeHex(int fd, std::uintptr_t value, NumScratch& scratch) {
    std::size_t first = digits(value, 16, scratch);
    writeRaw(fd, scratch.data() + first, scratch.size() - first);
}

std::size_t CrashSignalWriter::appendDec(char* buffer, std::size_t position, std::int64_t value,
                                         NumScratch& scratch) {
    std::size_t first = digits(value < 0 ? 0 : std::uint64_t(value), 10, scratch);
    for (std::size_t i = first; i < scratch.size(); ++i)
        buffer[position++] = scratch[i];
    return position;
}

} // namespace Quillaby
