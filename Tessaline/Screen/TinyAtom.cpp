#include "TinyAtom.h"

#include <bit>

namespace Tessaline {

uint16_t TinyAtom::Registry::nextFree(int after) const {
    // Free bits of the words from the one holding `after` on, wrapping once; 0 and 65535 never count.
    int code = after >= lastCode ? firstCode : after + 1;
    for (int scanned = 0; scanned <= int(_used.size()); ++scanned) {
        uint64_t free = ~_used[size_t(code >> 6)] & (~uint64_t(0) << (code & 63));
        if (code >> 6 == 0) free &= ~uint64_t(1);
        if (code >> 6 == lastCode >> 6) free &= ~(~uint64_t(0) << ((lastCode & 63) + 1));
        if (free != 0) return uint16_t((code & ~63) + std::countr_zero(free));
        code = (code & ~63) + 64;
        if (code > lastCode) code = firstCode;
    }
    return 0;
}

std::optional<TinyAtom> TinyAtom::Registry::lookup(std::any value) {
    if (_count >= size_t(lastCode)) return std::nullopt;
    const uint16_t code = nextFree(_lastUsed);
    std::unique_ptr<Block>& block = _blocks[code / blockSize];
    if (!block) block = std::make_unique<Block>();
    (*block)[code % blockSize] = std::move(value);
    _used[code >> 6] |= uint64_t(1) << (code & 63);
    ++_count;
    _lastUsed = code;
    return TinyAtom{code};
}

void TinyAtom::Registry::release(uint16_t code) {
    if (!contains(code)) return;
    (*_blocks[code / blockSize])[code % blockSize].reset();
    _used[code >> 6] &= ~(uint64_t(1) << (code & 63));
    --_count;
}

const std::any* TinyAtom::Registry::target(TinyAtom atom) const {
    if (!contains(atom.code)) return nullptr;
    return &(*_blocks[atom.code / blockSize])[atom.code % blockSize];
}

void TinyAtom::Registry::clear() {
    _used.fill(0);
    for (std::unique_ptr<Block>& block : _blocks)
        block.reset();
    _count = 0;
    _lastUsed = 0;
}

} // namespace Tessaline
