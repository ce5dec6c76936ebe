#include "GraphemeTable.h"

#include "Utf8.h"

#include <cstring>

namespace Tessaline {

namespace {

// The texts are a few bytes long: a loop beats a call to memcmp.
bool sameText(std::string_view a, const char* b, size_t length) {
    if (a.size() != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

} // namespace

uint32_t GraphemeTable::hashOf(std::string_view text) {
    // Texts up to 16 bytes (nearly all) are read as two words, overlapping where they are shorter, and
    // mixed by multiplication: no loop over the bytes.
    const size_t n = text.size();
    const char* p = text.data();
    if (n <= 16) {
        uint64_t a = 0;
        uint64_t b = 0;
        if (n >= 8) {
            std::memcpy(&a, p, 8);
            std::memcpy(&b, p + n - 8, 8);
        } else if (n >= 4) {
            uint32_t lo = 0;
            uint32_t hi = 0;
            std::memcpy(&lo, p, 4);
            std::memcpy(&hi, p + n - 4, 4);
            a = lo;
            b = hi;
        } else if (n > 0) {
            a = uint64_t(uint8_t(p[0])) << 16 | uint64_t(uint8_t(p[n / 2])) << 8 | uint8_t(p[n - 1]);
        }
        const uint64_t x = (a ^ n) * 0x9E3779B97F4A7C15ull;
        const uint64_t y = (b + x) * 0xC2B2AE3D27D4EB4Full;
        return uint32_t((x ^ y) >> 32) ^ uint32_t(y);
    }
    // Longer ones (emoji sequences of joined people) a word at a time, the last word read overlapping.
    uint64_t h = n * 0x9E3779B97F4A7C15ull;
    uint64_t w = 0;
    for (size_t i = 0; i + 8 < n; i += 8) {
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * 0xC2B2AE3D27D4EB4Full;
        h ^= h >> 32;
    }
    std::memcpy(&w, p + n - 8, 8);
    h = (h ^ w) * 0x9E3779B97F4A7C15ull;
    return uint32_t(h >> 32) ^ uint32_t(h);
}

size_t GraphemeTable::probe(std::string_view text, uint32_t hash) const {
    const size_t mask = _charToIndexMap.size() - 1;
    const uint32_t tag = hash & ~indexMask;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const uint32_t slot = _charToIndexMap[i];
        if (slot == 0) return i;
        if ((slot & ~indexMask) == tag) {
            const std::string_view stored = textAt((slot & indexMask) - 1);
            if (sameText(text, stored.data(), stored.size())) return i;
        }
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

uint32_t GraphemeTable::rehash(uint32_t hash) {
    hash ^= 0x9E3779B9u;
    hash *= 0x85EBCA6Bu;
    return hash ^ (hash >> 15);
}

uint64_t GraphemeTable::filterBitsOf(uint32_t hash) {
    return uint64_t(1) << (hash & 63) | uint64_t(1) << (rehash(hash) & 63);
}

// The bucket from the bits above the filter's, the entry in it from the bits above those.
GraphemeTable::Recent& GraphemeTable::recentFor(uint32_t hash) {
    return _buckets[(hash >> 6) & (bucketCount - 1)].recent[(hash >> 19) % 3];
}

void GraphemeTable::remember(std::string_view text, uint32_t hash, int32_t code) {
    if (text.size() > sizeof(Recent::text)) return;
    Recent& entry = recentFor(hash);
    entry.code = code;
    entry.length = uint8_t(text.size());
    std::copy(text.begin(), text.end(), entry.text);
}

int32_t GraphemeTable::codeOrZero(std::string_view text) {
    if (text.size() > maxLength) return 0;
    const uint32_t hash = hashOf(text);
    if (_buckets.empty()) _buckets.resize(bucketCount);
    Bucket& bucket = _buckets[(hash >> 6) & (bucketCount - 1)];
    const uint64_t bits = filterBitsOf(hash);
    const bool full = count() >= maxCount;
    // Once the table is full most texts are not in it (new clusters of marks): the filter answers them
    // before anything else is read.
    const bool mayHold = (bucket.filter & bits) == bits;
    if (full && !mayHold) return 0;
    if (!_charToIndexMap.empty()) __builtin_prefetch(&_charToIndexMap[hash & (_charToIndexMap.size() - 1)]);
    if (mayHold) {
        const Recent& recent = recentFor(hash);
        if (recent.code != 0 && sameText(text, recent.text, recent.length)) return recent.code;
        const uint32_t slot = _charToIndexMap[probe(text, hash)];
        if (slot != 0) {
            const int32_t found = firstCode + int32_t((slot & indexMask) - 1);
            remember(text, hash, found);
            return found;
        }
    }
    if (full) return 0;
    if (size_t(count() + 1) * 2 > _charToIndexMap.size()) grow();
    const uint32_t index = uint32_t(count());
    const size_t at = probe(text, hash);
    _bytes.insert(_bytes.end(), text.begin(), text.end());
    _indexToCharMap.push_back(uint32_t(_bytes.size()));
    _charToIndexMap[at] = (hash & ~indexMask) | (index + 1);
    bucket.filter |= bits;
    const int32_t made = firstCode + int32_t(index);
    remember(text, hash, made);
    return made;
}

int32_t GraphemeTable::makeCodeForScalar(uint32_t scalar) {
    if (!Utf8::isScalar(scalar)) return 0;
    if (_scalarCodes.empty()) _scalarCodes.resize(0x110000 >> 8);
    std::unique_ptr<ScalarBlock>& block = _scalarCodes[scalar >> 8];
    if (!block) block = std::make_unique<ScalarBlock>(ScalarBlock{});
    int32_t& cached = (*block)[scalar & 0xFF];
    if (cached != 0) return cached;
    cached = codeOrZero(Utf8::encode(scalar));
    return cached;
}

} // namespace Tessaline
