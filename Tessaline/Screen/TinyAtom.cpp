#include "TinyAtom.h"

#include <bit>

namespace Tessaline {

int TinyAtom::lastUsed = 0;
int TinyAtom::lastCollected = 0;

const std::any* TinyAtom::Registry::find(uint16_t code) const {
    if (!contains(code)) return nullptr;
    return &(*_blocks[code / blockSize])[code % blockSize];
}

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

void TinyAtom::Registry::insert(uint16_t code, std::any value) {
    std::unique_ptr<Block>& block = _blocks[code / blockSize];
    if (!block) block = std::make_unique<Block>();
    (*block)[code % blockSize] = std::move(value);
    _used[code >> 6] |= uint64_t(1) << (code & 63);
    ++_count;
}

void TinyAtom::Registry::erase(uint16_t code) {
    if (!contains(code)) return;
    (*_blocks[code / blockSize])[code % blockSize].reset();
    _used[code >> 6] &= ~(uint64_t(1) << (code & 63));
    --_count;
}

void TinyAtom::Registry::clear() {
    _used.fill(0);
    for (std::unique_ptr<Block>& block : _blocks)
        block.reset();
    _count = 0;
}

TinyAtom::Registry& TinyAtom::map() {
    static Registry registry;
    return registry;
}

std::optional<TinyAtom> TinyAtom::lookup(std::any value) {
    Registry& registry = map();
    if (registry.size() >= size_t(lastCode)) return std::nullopt;
    const uint16_t code = registry.nextFree(lastUsed);
    registry.insert(code, std::move(value));
    lastUsed = code;
    return TinyAtom{code};
}

void TinyAtom::release(uint16_t code) {
    map().erase(code);
}

const std::any* TinyAtom::target() const {
    if (code == 0) return nullptr;
    return map().find(code);
}

void TinyAtom::resetForTesting() {
    map().clear();
    lastUsed = 0;
    lastCollected = 0;
}

} // namespace Tessaline
