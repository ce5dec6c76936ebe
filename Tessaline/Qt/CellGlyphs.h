#pragma once

#include "TerminalView.h"

#include <QPointF>
#include <QRawFont>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace Tessaline {

class CharData;
class Terminal;

// The glyphs of cells in the view's four faces, looked up once per character and face. Characters the
// faces lack are shaped once with the desktop's font fallback; a cluster of several characters is its
// characters' glyphs stacked on the cell when the face has them all (its marks carry their own offsets),
// else shaped once as a whole with QTextLayout.
class CellGlyphs {
public:
    // One glyph of a cell, in one of the fonts met so far, offset from the baseline at the cell's left
    // edge.
    struct PlacedGlyph {
        int font = 0;
        quint32 glyph = 0;
        QPointF offset;
    };

    // Drops everything; the next lookup starts from the faces.
    void reset(const TerminalView::FontSet& faces);
    bool ready() const { return !_fonts.empty(); }

    // The glyph of a scalar in the face (0: normal, 1 bold, 2 italic, 3 bold italic), 0 when the face has
    // none.
    quint32 faceGlyph(int face, char32_t scalar);
    // The glyphs of a cell's code (a scalar or a grapheme code of the terminal); the span lasts until the
    // next lookup.
    std::span<const PlacedGlyph> glyphs(int face, int32_t code, const Terminal& terminal);
    const QRawFont& font(int index) const { return _fonts[size_t(index)]; }

private:
    using Glyphs = std::vector<PlacedGlyph>;
    const Glyphs& complexGlyphs(int face, int32_t code, const Terminal& terminal);
    Glyphs shape(int face, const std::u32string& text);
    int fontSlot(const QRawFont& font);

    TerminalView::FontSet _faces;
    // The four faces, then the fallback fonts met.
    std::vector<QRawFont> _fonts;
    // Glyphs of the first plane per face (UINT32_MAX: not looked up), others in a map.
    std::array<std::vector<quint32>, 4> _planeGlyphs;
    std::array<std::unordered_map<char32_t, quint32>, 4> _otherGlyphs;
    // By face and cell code.
    std::unordered_map<uint64_t, Glyphs> _complex;
    uint64_t _graphemeGeneration = 0;
    // By face and block of 128 characters: the font that drew the last character shaped in that block,
    // tried first for its neighbours, so that a text in a script the faces lack is shaped once and not once
    // per character. Without a font that has the character (missing: its glyph was the empty box), the
    // neighbours get the box too.
    struct BlockFont {
        int font = 0;
        bool missing = false;
    };
    std::unordered_map<uint64_t, BlockFont> _blockFonts;
    PlacedGlyph _single;
    std::u32string _scalars;
};

} // namespace Tessaline
