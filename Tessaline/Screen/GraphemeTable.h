#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline {

// The characters a terminal's cells hold by number: every character of several scalars, and every
// scalar above U+FFFF, gets a code from 0x400001 up, handed out in increasing order. A hash map of
// cache-line buckets finds the code of a text; a dense vector finds the text of a code.
//
// The byte stream decides what goes in, so the table is bounded: past maxCount characters, or for a
// text longer than maxLength bytes, it hands out nothing and the print path shows U+FFFD instead. Full of
// short texts (letters with marks) it holds about 1 MB. Its owner gives back the codes nothing uses any
// more (retain), and they are handed out again, lowest first.
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
    int32_t codeOrZero(std::string_view text) { return codeOrZero(text, text.size()); }
    // The same, where `readable` bytes from the text's start may be read (at least its length): with 8
    // of them a short text is hashed and compared as one word, with no branch on its length.
    int32_t codeOrZero(std::string_view text, size_t readable);
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
        if (index >= uint32_t(count()) || _entryOffsets[index] == freedOffset) return std::nullopt;
        return entryText(_entryOffsets[index]);
    }

    // Codes handed out so far, those given back included.
    int count() const { return int(_entryOffsets.size()); }
    // Codes in use: handed out and not given back.
    int liveCount() const { return count() - int(_freeIndexes.size()); }
    // New texts asked for since the table was made, whether they got a code or not.
    uint64_t askedCount() const { return _askedCount; }
    // The next code to hand out.
    int32_t lastCharIndex() const {
        return _freeIndexes.empty() ? firstCode + count() : firstCode + int32_t(_freeIndexes.back());
    }

    // Indexes (code - firstCode) of codes.
    using IndexSet = std::vector<bool>;
    // Keeps the codes whose index is in the set and gives back every other: their texts go, and the codes
    // are handed out again for new texts. The kept codes keep their values. Views of texts end.
    void retain(const IndexSet& kept);

private:
    // Every text lies in _entries behind a header of three bytes: its length and its index (16 bits,
    // little-endian). A bucket holds a byte of each text's hash and the entry's offset, so that a hit
    // reads the bucket and then the entry, and nothing else: once the table fills up it no longer fits
    // the cache, and every further dependent load is a wait.
    static constexpr size_t headerSize = 3;
    static_assert(maxCount <= 0xFFFF);
    static_assert(1 + size_t(maxCount) * (headerSize + maxLength) <= 0xFFFFFFFFu);
    // A cache line: twelve slots, filled from the first and never emptied (a bucket with an empty slot
    // ends a search), their hash bytes in front (0: empty) so that one comparison finds the candidates.
    // At most two thirds of the slots hold texts. A text given back leaves its slot marked as such
    // (deletedTag), which searches pass over: giving back a few codes costs no rebuild of the buckets, until
    // such slots and texts together fill five sixths of them.
    static constexpr int slotsPerBucket = 12;
    struct alignas(64) Bucket {
        uint8_t tags[16];
        uint32_t offsets[slotsPerBucket];
    };
    static_assert(sizeof(Bucket) == 64);

    static std::optional<int32_t> present(int32_t code) {
        return code != 0 ? std::optional<int32_t>(code) : std::nullopt;
    }
    int32_t makeCodeForScalar(uint32_t scalar);
    static uint32_t hashOf(std::string_view text);
    // Words read with one load hold the bytes in text order only on a little-endian machine; elsewhere
    // texts are read a byte at a time.
    static constexpr bool wordsInOrder = std::endian::native == std::endian::little;
    static uint64_t wordOf(const char* p, size_t n);
    static uint32_t hashOfWord(uint64_t word, size_t n);
    // A text's hash, and the text as wordOf gives it when it has at most 8 bytes (else 0).
    struct Key {
        uint32_t hash;
        uint64_t word;
    };
    [[gnu::always_inline]] static Key keyOf(std::string_view text, size_t readable);
    // The low n bytes of a word, n from 1 to 8.
    static uint64_t lowBytes(size_t n) { return n == 0 ? 0 : ~uint64_t(0) >> (64 - 8 * n); }
    std::string_view entryText(uint32_t offset) const {
        return {_entries.data() + offset + headerSize, size_t(uint8_t(_entries[offset]))};
    }
    // Where a text is, or the empty slot where it would go.
    struct Place {
        Bucket* bucket;
        int slot;
        int32_t index; // -1: not there, and slot is the empty one
    };
    // word: as keyOf gives it.
    [[gnu::always_inline]] Place locate(std::string_view text, uint32_t hash, uint64_t word) const;
    void grow();
    // Rebuilds the buckets at their size from the entries.
    void rehash();
    static constexpr uint32_t freedOffset = 0xFFFFFFFFu;
    static constexpr uint8_t deletedTag = 0xFF;
    // Marks the slot of a text given back.
    void forget(uint32_t offset);
    // Moves the texts in use together, in index order, and rebuilds the buckets.
    void compact();
    // Adds a text that locate did not find at place.
    [[gnu::noinline]] int32_t make(std::string_view text, uint32_t hash, uint64_t word, Place place);

    std::vector<Bucket> _buckets;
    // The entries' offsets in _entries by index.
    std::vector<uint32_t> _entryOffsets;
    // Eight bytes of padding end it, so that any text may be read as a word.
    static constexpr size_t padding = 8;
    std::vector<char> _entries = std::vector<char>(padding);
    // Codes of single scalars by value, in blocks of 256 made as they are first used (0: none yet).
    using ScalarBlock = std::array<int32_t, 256>;
    std::vector<std::unique_ptr<ScalarBlock>> _scalarCodes;
    // Indexes given back, highest first, so that the lowest is handed out next.
    std::vector<uint16_t> _freeIndexes;
    // Slots marked deletedTag, and bytes of _entries that texts given back still take.
    size_t _deletedSlots = 0;
    size_t _garbageBytes = 0;
    uint64_t _askedCount = 0;
};

} // namespace Tessaline
