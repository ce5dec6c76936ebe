#include "GraphemeTable.h"

#include "Utf8.h"

#include <algorithm>
#include <cstring>
#include <functional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// A text of at most 8 bytes as one word, its first byte lowest, reading only its own bytes.
uint64_t GraphemeTable::wordOf(const char* p, size_t n) {
    if (n >= 4) {
        uint32_t lo = 0;
        uint32_t hi = 0;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + n - 4, 4);
        return lo | uint64_t(hi) << (8 * (n - 4));
    }
    if (n == 0) return 0;
    return uint8_t(p[0]) | uint64_t(uint8_t(p[n / 2])) << (8 * (n / 2)) |
           uint64_t(uint8_t(p[n - 1])) << (8 * (n - 1));
}

uint32_t GraphemeTable::hashOfWord(uint64_t word, size_t n) {
    const uint64_t x = (word ^ n) * 0x9E3779B97F4A7C15ull;
    const uint64_t y = (x ^ (x >> 29)) * 0xC2B2AE3D27D4EB4Full;
    return uint32_t(y >> 32) ^ uint32_t(y);
}

uint32_t GraphemeTable::hashOf(std::string_view text) {
    // Texts up to 16 bytes (nearly all) are read as one or two words, overlapping where they are
    // shorter, and mixed by multiplication: no loop over the bytes.
    const size_t n = text.size();
    const char* p = text.data();
    if (n <= 8) return hashOfWord(wordOf(p, n), n);
    if (n <= 16) {
        uint64_t a = 0;
        uint64_t b = 0;
        std::memcpy(&a, p, 8);
        std::memcpy(&b, p + n - 8, 8);
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

namespace {

// The slots of a bucket whose tag is the given one, and those that are empty, a bit each.
struct SlotMasks {
    uint32_t matches;
    uint32_t empty;
};

SlotMasks slotMasks(const uint8_t* tags, uint8_t tag) {
    constexpr uint32_t used = (1u << 12) - 1;
#if defined(__SSE2__)
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(tags));
    const uint32_t matches = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(char(tag)))));
    const uint32_t empty = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
    return {matches & used, empty & used};
#else
    SlotMasks masks{0, 0};
    for (int k = 0; k < 12; ++k) {
        masks.matches |= uint32_t(tags[k] == tag) << k;
        masks.empty |= uint32_t(tags[k] == 0) << k;
    }
    return masks;
#endif
}

// Never 0 nor 0xFF, so that no empty slot and no slot given back matches. From the hash's low bits, the
// bucket from those above.
uint8_t tagOf(uint32_t hash) {
    return uint8_t(std::clamp(hash & 0xFF, 1u, 0xFEu));
}

} // namespace

inline GraphemeTable::Place GraphemeTable::locate(std::string_view text, uint32_t hash, uint64_t word) const {
    const size_t mask = _buckets.size() - 1;
    const uint8_t tag = tagOf(hash);
    const size_t n = text.size();
    for (size_t i = (hash >> 8) & mask;; i = (i + 1) & mask) {
        Bucket& bucket = const_cast<Bucket&>(_buckets[i]);
        const SlotMasks masks = slotMasks(bucket.tags, tag);
        for (uint32_t m = masks.matches; m != 0; m &= m - 1) {
            const char* entry = _entries.data() + bucket.offsets[__builtin_ctz(m)];
            // A short text in one comparison of words: the entries are followed by padding.
            uint64_t stored = 0;
            std::memcpy(&stored, entry + headerSize, 8);
            const bool same = wordsInOrder && n <= 8
                                  ? int(uint8_t(entry[0]) == n) & int((stored & lowBytes(n)) == word)
                                  : sameText(text, entry + headerSize, uint8_t(entry[0]));
            if (same) return {&bucket, __builtin_ctz(m), int32_t(uint8_t(entry[1]) | uint8_t(entry[2]) << 8)};
        }
        if (masks.empty != 0) return {&bucket, __builtin_ctz(masks.empty), -1};
    }
}

void GraphemeTable::grow() {
    _buckets.assign(_buckets.empty() ? 4 : _buckets.size() * 2, Bucket{});
    rehash();
}

void GraphemeTable::rehash() {
    _deletedSlots = 0;
    std::fill(_buckets.begin(), _buckets.end(), Bucket{});
    const size_t mask = _buckets.size() - 1;
    for (const uint32_t offset : _entryOffsets) {
        if (offset == freedOffset) continue;
        const uint32_t hash = hashOf(entryText(offset));
        for (size_t i = (hash >> 8) & mask;; i = (i + 1) & mask) {
            Bucket& bucket = _buckets[i];
            const uint32_t empty = slotMasks(bucket.tags, 0).empty;
            if (empty == 0) continue;
            bucket.tags[__builtin_ctz(empty)] = tagOf(hash);
            bucket.offsets[__builtin_ctz(empty)] = offset;
            break;
        }
    }
}

std::optional<int32_t> GraphemeTable::find(std::string_view text) const {
    if (_buckets.empty()) return std::nullopt;
    if (text.size() > maxLength) return std::nullopt;
    const Key key = keyOf(text, text.size());
    const Place place = locate(text, key.hash, key.word);
    if (place.index < 0) return std::nullopt;
    return firstCode + place.index;
}

inline GraphemeTable::Key GraphemeTable::keyOf(std::string_view text, size_t readable) {
    const size_t n = text.size();
    if (n > 8) return {hashOf(text), 0};
    // A short text with 8 bytes to read is one load and a mask, and no branch on its length.
    uint64_t word = 0;
    if (wordsInOrder && readable >= 8) {
        std::memcpy(&word, text.data(), 8);
        word &= lowBytes(n);
    } else {
        word = wordOf(text.data(), n);
    }
    return {hashOfWord(word, n), word};
}

int32_t GraphemeTable::codeOrZero(std::string_view text, size_t readable) {
    if (text.size() > maxLength) return 0;
    const Key key = keyOf(text, readable);
    if (_buckets.empty()) grow();
    const Place place = locate(text, key.hash, key.word);
    if (place.index >= 0) return firstCode + place.index;
    ++_askedCount;
    if (count() >= maxCount && _freeIndexes.empty()) return 0;
    return make(text, key.hash, key.word, place);
}

int32_t GraphemeTable::make(std::string_view text, uint32_t hash, uint64_t word, Place place) {
    const size_t slots = _buckets.size() * slotsPerBucket;
    if (size_t(liveCount() + 1) * 3 > slots * 2) {
        grow();
        place = locate(text, hash, word);
    } else if ((size_t(liveCount() + 1) + _deletedSlots) * 6 > slots * 5) {
        rehash();
        place = locate(text, hash, word);
    }
    uint32_t index = uint32_t(count());
    if (!_freeIndexes.empty()) {
        index = _freeIndexes.back();
        _freeIndexes.pop_back();
    }
    _entries.resize(_entries.size() - padding);
    const uint32_t offset = uint32_t(_entries.size());
    const char header[headerSize] = {char(text.size()), char(index & 0xFF), char(index >> 8)};
    _entries.insert(_entries.end(), header, header + headerSize);
    _entries.insert(_entries.end(), text.begin(), text.end());
    _entries.resize(_entries.size() + padding);
    if (index == uint32_t(count()))
        _entryOffsets.push_back(offset);
    else
        _entryOffsets[index] = offset;
    place.bucket->tags[place.slot] = tagOf(hash);
    place.bucket->offsets[place.slot] = offset;
    return firstCode + int32_t(index);
}

void GraphemeTable::retain(const IndexSet& kept) {
    _freeIndexes.clear();
    // From the highest index down, so that the free ones come out highest first: the lowest is handed
    // out next.
    for (size_t index = _entryOffsets.size(); index-- > 0;) {
        uint32_t& offset = _entryOffsets[index];
        if (offset != freedOffset && (index >= kept.size() || !kept[index])) {
            forget(offset);
            offset = freedOffset;
        }
        if (offset == freedOffset) _freeIndexes.push_back(uint16_t(index));
    }
    // The texts given back stay where they are until they take more room than the rest.
    if (_garbageBytes * 2 > _entries.size()) compact();
    // A scalar whose code was given back is looked up afresh.
    for (const std::unique_ptr<ScalarBlock>& block : _scalarCodes) {
        if (!block) continue;
        for (int32_t& code : *block) {
            const uint32_t index = uint32_t(code - firstCode);
            if (code != 0 && (index >= uint32_t(count()) || _entryOffsets[index] == freedOffset)) code = 0;
        }
    }
}

void GraphemeTable::forget(uint32_t offset) {
    const std::string_view text = entryText(offset);
    _garbageBytes += headerSize + text.size();
    const uint32_t hash = hashOf(text);
    const uint8_t tag = tagOf(hash);
    const size_t mask = _buckets.size() - 1;
    for (size_t i = (hash >> 8) & mask;; i = (i + 1) & mask) {
        Bucket& bucket = _buckets[i];
        const SlotMasks masks = slotMasks(bucket.tags, tag);
        for (uint32_t m = masks.matches; m != 0; m &= m - 1) {
            if (bucket.offsets[__builtin_ctz(m)] != offset) continue;
            bucket.tags[__builtin_ctz(m)] = deletedTag;
            ++_deletedSlots;
            return;
        }
        // Every text in use has its slot; an empty one ends the search all the same.
        if (masks.empty != 0) return;
    }
}

void GraphemeTable::compact() {
    size_t keptBytes = 0;
    for (const uint32_t offset : _entryOffsets)
        if (offset != freedOffset) keptBytes += headerSize + size_t(uint8_t(_entries[offset]));
    // Copied in index order, so that a table rebuilt the same way lays out the same.
    // With the room the texts had: new ones follow without a reallocation.
    std::vector<char> entries;
    entries.reserve(_entries.capacity());
    entries.resize(keptBytes + padding);
    size_t to = 0;
    for (uint32_t& offset : _entryOffsets) {
        if (offset == freedOffset) continue;
        const size_t length = headerSize + size_t(uint8_t(_entries[offset]));
        std::memcpy(entries.data() + to, _entries.data() + offset, length);
        offset = uint32_t(to);
        to += length;
    }
    _entries = std::move(entries);
    _garbageBytes = 0;
    if (!_buckets.empty()) rehash();
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
