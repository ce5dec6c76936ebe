#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline {

// The characters a terminal's cells hold by number: every character of several scalars, and every
// scalar above U+FFFF, gets a code from 0x400001 up, handed out in increasing order, never reused and
// never removed. A flat hash map finds the code of a text; a dense vector finds the text of a code.
//
// The byte stream decides what goes in, so the table is bounded: past maxCount characters, or for a
// text longer than maxLength bytes, it hands out nothing and the print path shows U+FFFD instead. At the
// bound it holds about 1.5 MB.
class GraphemeTable {
public:
    static constexpr int32_t firstCode = 0x400001;
    static constexpr int maxCount = 0xFFFF;
    // Longer than any emoji sequence; a cluster of marks past it takes no further marks.
    static constexpr size_t maxLength = 128;

    // The code of a character (its UTF-8 text), made when it is new; nothing when the table is full or
    // the text too long.
    std::optional<int32_t> code(std::string_view text) { return present(codeOrZero(text)); }
    // The same with 0 for nothing: an optional built in the callee comes back through memory.
    int32_t codeOrZero(std::string_view text);
    // The same for a character of one scalar above U+FFFF (emoji, mostly), found by the scalar's value.
    std::optional<int32_t> codeForScalar(uint32_t scalar) { return present(codeForScalarOrZero(scalar)); }
    int32_t codeForScalarOrZero(uint32_t scalar) {
        if (scalar < 0x110000 && !_scalarCodes.empty()) {
            if (const ScalarBlock* block = _scalarCodes[scalar >> 8].get()) {
                if (const int32_t cached = (*block)[scalar & 0xFF]) return cached;
            }
        }
        return makeCodeForScalar(scalar);
    }
    // The code of a character already in the table.
    std::optional<int32_t> find(std::string_view text) const;
    // The text of a code, or nothing for a code never handed out. The view lasts until the next code
    // is made.
    std::optional<std::string_view> text(int32_t code) const {
        const uint32_t index = uint32_t(code - firstCode);
        if (index >= uint32_t(count())) return std::nullopt;
        return std::string_view(_bytes.data() + _indexToCharMap[index],
                                _indexToCharMap[index + 1] - _indexToCharMap[index]);
    }

    int count() const { return int(_indexToCharMap.size()) - 1; }
    // The next code to hand out.
    int32_t lastCharIndex() const { return firstCode + count(); }

private:
    // A slot holds the high 16 bits of the text's hash and its index plus 1 (0: empty): four bytes, so
    // that the map of a full table stays small enough to live in the cache.
    static constexpr uint32_t indexMask = 0xFFFF;
    static_assert(maxCount <= int(indexMask));

    static std::optional<int32_t> present(int32_t code) {
        return code != 0 ? std::optional<int32_t>(code) : std::nullopt;
    }
    int32_t makeCodeForScalar(uint32_t scalar);
    static uint32_t hashOf(std::string_view text);
    std::string_view textAt(uint32_t index) const {
        return {_bytes.data() + _indexToCharMap[index], _indexToCharMap[index + 1] - _indexToCharMap[index]};
    }
    // The slot holding text, or the empty slot where it would go.
    size_t probe(std::string_view text, uint32_t hash) const;
    void grow();
    // A second hash for the filter, from the first.
    static uint32_t rehash(uint32_t hash);
    // The two filter bits of a hash in its bucket's word.
    static uint64_t filterBitsOf(uint32_t hash);
    struct Recent;
    Recent& recentFor(uint32_t hash);
    void remember(std::string_view text, uint32_t hash, int32_t code);

    // Open addressing with linear probing, a power of two in size, at most half full.
    std::vector<uint32_t> _charToIndexMap;
    // Where each text starts in _bytes, plus one entry for the end of the last.
    std::vector<uint32_t> _indexToCharMap{0};
    std::vector<char> _bytes;
    // The characters looked up last, by hash, with their text inline: the map and the texts are too big
    // for the cache once the table fills up, and the same few characters come back again and again.
    struct Recent {
        int32_t code = 0; // 0: empty
        uint8_t length = 0;
        char text[11] = {};
    };
    // A cache line per hash: a word of a filter, where every text ever added sets two bits (a lookup walks
    // the map only when both are set: a text the table does not hold mostly costs no walk), and three
    // recent characters. One load answers both a miss and a hit. Eight filter bits per character: about
    // one false "maybe" in sixteen.
    struct alignas(64) Bucket {
        uint64_t filter = 0;
        Recent recent[3];
    };
    static constexpr size_t bucketCount = 8192;
    static_assert(bucketCount * 64 >= size_t(maxCount) * 8);
    std::vector<Bucket> _buckets;
    // Codes of single scalars by value, in blocks of 256 made as they are first used (0: none yet).
    using ScalarBlock = std::array<int32_t, 256>;
    std::vector<std::unique_ptr<ScalarBlock>> _scalarCodes;
};

} // namespace Tessaline
