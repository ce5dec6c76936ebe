#include "GraphemeTable.h"

#include "Utf8.h"

namespace Tessaline {

uint32_t GraphemeTable::hashOf(std::string_view text) {
    // FNV-1a: the texts are a few bytes long, where it beats the general-purpose hashes.
    uint32_t h = 2166136261u;
    for (char c : text) {
        h ^= uint8_t(c);
        h *= 16777619u;
    }
    // FNV leaves the low bits, which pick the slot, poorly mixed: finish with an avalanche.
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

size_t GraphemeTable::probe(std::string_view text, uint32_t hash) const {
    const size_t mask = _charToIndexMap.size() - 1;
    const uint32_t tag = hash & ~indexMask;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const uint32_t slot = _charToIndexMap[i];
        if (slot == 0) return i;
        if ((slot & ~indexMask) == tag && textAt((slot & indexMask) - 1) == text) return i;
    }
}

void GraphemeTable::grow() {
    std::vector<uint32_t> old = std::move(_charToIndexMap);
    _charToIndexMap.assign(old.empty() ? 64 : old.size() * 2, 0);
    const size_t mask = _charToIndexMap.size() - 1;
    for (uint32_t slot : old) {
        if (slot == 0) continue;
        size_t i = hashOf(textAt((slot & indexMask) - 1)) & mask;
        while (_charToIndexMap[i] != 0)
            i = (i + 1) & mask;
        _charToIndexMap[i] = slot;
    }
}

std::optional<int32_t> GraphemeTable::find(std::string_view text) const {
    if (_charToIndexMap.empty()) return std::nullopt;
    const uint32_t slot = _charToIndexMap[probe(text, hashOf(text))];
    if (slot == 0) return std::nullopt;
    return firstCode + int32_t((slot & indexMask) - 1);
}

std::optional<int32_t> GraphemeTable::code(std::string_view text) {
    if (text.size() > maxLength) return std::nullopt;
    const uint32_t hash = hashOf(text);
    if (!_charToIndexMap.empty()) {
        const uint32_t slot = _charToIndexMap[probe(text, hash)];
        if (slot != 0) return firstCode + int32_t((slot & indexMask) - 1);
    }
    if (count() >= maxCount) return std::nullopt;
    if (size_t(count() + 1) * 2 > _charToIndexMap.size()) grow();
    const uint32_t index = uint32_t(count());
    const size_t at = probe(text, hash);
    _bytes.insert(_bytes.end(), text.begin(), text.end());
    _indexToCharMap.push_back(uint32_t(_bytes.size()));
    _charToIndexMap[at] = (hash & ~indexMask) | (index + 1);
    return firstCode + int32_t(index);
}

std::optional<int32_t> GraphemeTable::codeForScalar(uint32_t scalar) {
    if (!Utf8::isScalar(scalar)) return std::nullopt;
    if (_scalarCodes.empty()) _scalarCodes.resize(0x110000 >> 8);
    std::unique_ptr<ScalarBlock>& block = _scalarCodes[scalar >> 8];
    if (!block) block = std::make_unique<ScalarBlock>(ScalarBlock{});
    int32_t& cached = (*block)[scalar & 0xFF];
    if (cached != 0) return cached;
    std::optional<int32_t> made = code(Utf8::encode(scalar));
    if (made) cached = *made;
    return made;
}

} // namespace Tessaline
