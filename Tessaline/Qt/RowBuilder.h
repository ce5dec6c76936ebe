#pragma once

#include "Attribute.h"
#include "ViewLineInfo.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <unordered_map>

namespace Tessaline {

class BufferLine;
class CharData;
class TerminalView;

// Turns one line of the buffer on display into a ViewLineInfo: text runs with their look, the selection,
// link highlights, Kitty placeholder cells, and the block and box characters drawn as geometry. It runs
// for every row both renderers paint, so it allocates nothing per cell or per row once warm: the looks
// are resolved once per attribute (with and without the link highlight) and kept, and one ViewLineInfo
// is refilled for each row. Owned by its view; GUI thread only.
class RowBuilder {
public:
    explicit RowBuilder(TerminalView& view);

    // The row's records. `row` is the line's index in the buffer's ring (as the selection's rows), `cols`
    // the buffer's column count. Good until the next build or until the caches are emptied.
    const ViewLineInfo& build(int row, const BufferLine& line, int cols);

    // The cached look of an attribute, drawn with or without the link highlight.
    const TextAttributes& attributes(const Attribute& attribute, bool withUrl);
    // The look of an attribute in the given colours (swapped for inverse): face, underline and
    // strikethrough as usual, no dim, no link highlight, not cached.
    TextAttributes attributedValue(const Attribute& attribute, const QColor& fg, const QColor& bg);
    // The selected columns of a row, or nothing.
    std::optional<ColumnRange> selectedColumnsRange(int row, int cols) const;

    // Forgets every look (fonts, native colours or the palette changed).
    void reset();
    size_t cachedCount() const { return _attributes.size() + _urlAttributes.size(); }

private:
    // An attribute as one value: colours and style bits in the first word, the underline style and
    // colour in the second.
    struct Key {
        uint64_t colors = 0;
        uint32_t underline = 0;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const noexcept {
            uint64_t h = key.colors * 0x9E3779B97F4A7C15ull;
            h ^= (uint64_t(key.underline) + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
            return size_t(h ^ (h >> 29));
        }
    };
    static Key keyOf(const Attribute& attribute);
    Key keyOf(const CharData& cell) const;

    const TextAttributes& cellAttributes(const CharData& cell, bool withUrl);
    const TextAttributes& store(const Key& key, bool withUrl, const TextAttributes& resolved);
    TextAttributes resolve(const Attribute& attribute, bool withUrl);
    void addLines(TextAttributes& look, const Attribute& attribute, bool bold);

    TerminalView& _view;
    std::deque<TextAttributes> _looks;
    std::unordered_map<Key, const TextAttributes*, KeyHash> _attributes;
    std::unordered_map<Key, const TextAttributes*, KeyHash> _urlAttributes;
    ViewLineInfo _info;
};

} // namespace Tessaline
