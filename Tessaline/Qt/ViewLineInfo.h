#pragma once

#include "BlockElementMapping.h"
#include "BufferLine.h"
#include "KittyPlaceholderCell.h"

#include <QColor>
#include <QPen>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace Tessaline {

// The look of a run of cells, resolved from a cell's attribute once and shared by every run with that
// attribute: the face, the colours (inverse and dim applied), the lines through and under the text.
struct TextAttributes {
    // Values of `underlineStyle`: the platform's line patterns (single, double, dot and dash bits).
    static constexpr int underlineSingle = 0x01;
    static constexpr int underlineDouble = 0x09;
    static constexpr int underlineDotted = 0x101;
    static constexpr int underlineDashed = 0x201;

    // Face of the view's FontSet: 0 normal, 1 bold, 2 italic, 3 bold italic.
    int face = 0;
    QColor foreground;
    // A pen of the foreground, made once with the look (a pen made while drawing allocates).
    QPen foregroundPen;
    QColor background;
    // With the underline flag or a link highlight only.
    bool underlined = false;
    QColor underlineColor;
    // One of the values above (0 without an underline).
    int underlineStyle = 0;
    // The cell's own UnderlineStyle raw value (none 0 ... dashed 5), which the painters draw by.
    int tessalineUnderlineStyle = 0;
    // With the crossed-out flag only: the foreground and style 1 (one solid line).
    bool struckThrough = false;
    QColor strikethroughColor;
    int strikethroughStyle = 0;
    // Concealed text (SGR 8): background and selection are drawn, glyphs and lines are not.
    bool invisible = false;

    bool operator==(const TextAttributes&) const = default;
};

// A run of cells of one look in one segment: `length` characters from `start` in the row's text.
struct ViewLinePiece {
    int start = 0;
    int length = 0;
    // Owned by the view's caches: valid until they are emptied (a change of fonts or colours).
    const TextAttributes* attributes = nullptr;
    // On selected cells: the selection colour, drawn instead of the background.
    std::optional<QColor> selectionBackground;
};

// Cells of one width (1, or 2 for wide characters) in one row: the n-th character belongs to column
// `column` + n x `columnWidth`. Its characters are `characterCount` pieces from `firstPiece` on.
struct ViewLineSegment {
    int column = 0;
    int columnWidth = 1;
    int characterCount = 0;
    int firstPiece = 0;
};

// A block element drawn as rectangles instead of a glyph.
struct BlockElementRenderItem {
    int column = 0;
    int columnWidth = 1;
    uint32_t codePoint = 0;
    std::span<const BlockElementRect> rects;
    QColor foregroundColor;
};

// A box-drawing character drawn as geometry instead of a glyph.
struct BoxDrawingRenderItem {
    int column = 0;
    int columnWidth = 1;
    uint32_t codePoint = 0;
    QColor foregroundColor;
};

// Half-open columns of a row.
struct ColumnRange {
    int lowerBound = 0;
    int upperBound = 0;
    bool operator==(const ColumnRange&) const = default;
};

// What the row builder makes of one row, for both renderers: its text in segments and pieces, the image
// strips on its line, its Kitty placeholder cells and the cells drawn as geometry. The builder reuses one
// of these for every row: a row's info is good until the next row is built.
struct ViewLineInfo {
    std::vector<ViewLineSegment> segments;
    // The line's strips as attached to it; null when it has none.
    const ImageList* images = nullptr;
    std::vector<KittyPlaceholderCell> kittyPlaceholders;
    std::vector<BlockElementRenderItem> blockElements;
    std::vector<BoxDrawingRenderItem> boxDrawings;
    // One character per cell, as the cells' codes (a scalar, or a grapheme code of the terminal); empty
    // cells and cells drawn by other means are spaces.
    std::vector<int32_t> text;
    std::vector<ViewLinePiece> pieces;

    std::span<const ViewLinePiece> piecesOf(const ViewLineSegment& segment) const {
        return {pieces.data() + segment.firstPiece, size_t(segment.characterCount)};
    }
    // Empties the lists and keeps their storage.
    void clear() {
        segments.clear();
        images = nullptr;
        kittyPlaceholders.clear();
        blockElements.clear();
        boxDrawings.clear();
        text.clear();
        pieces.clear();
    }
};

} // namespace Tessaline
