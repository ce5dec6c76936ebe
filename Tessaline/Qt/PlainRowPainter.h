#pragma once

#include "CharData.h"

#include <QColor>
#include <QGlyphRun>
#include <QPointF>
#include <QRawFont>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

class QPainter;

namespace Tessaline {

class BufferLine;
class Terminal;
class TerminalView;

// Draws a row as plain text until the row builder and painter take over: every cell's glyph at the start
// of its own cell (cell width x column, whatever the font's advance), on its background, in its colours
// and face, with inverse, dim and invisible applied, and the cursor's cell as a block.
//
// Glyphs are looked up once per character and face and drawn a run of one font and colour at a time.
// Characters the view's faces lack are shaped once with the desktop's font fallback; a cluster of several
// characters is drawn as its characters' glyphs stacked on the cell when the face has them all (its marks
// carry their own offsets), else shaped once as a whole.
class PlainRowPainter {
public:
    explicit PlainRowPainter(TerminalView& view);
    ~PlainRowPainter();

    // The view's faces or cell size changed.
    void reset();
    // Paints the row's cells in the band from y `top`; a background that reaches the last column runs
    // on to `rightEdge`. cursorCol: the column of the block cursor on this row, or -1.
    void draw(QPainter& painter, const BufferLine& row, int cols, double top, double rightEdge,
              int cursorCol);

private:
    struct Style {
        QColor fg;
        QColor bg;
        bool paintsBackground = false;
        bool invisible = false;
        int face = 0;
    };
    // One glyph of a character, in one of the fonts met so far, offset from the baseline at the cell's
    // left edge.
    struct PlacedGlyph {
        int font = 0;
        quint32 glyph = 0;
        QPointF offset;
    };
    using Glyphs = std::vector<PlacedGlyph>;

    void prepare();
    Style resolve(const CharData& cell);
    // The glyph of a scalar in the face, 0 when the face has none.
    quint32 faceGlyph(int face, char32_t scalar);
    // The glyphs of a character the face cannot draw alone, or of a cluster.
    const Glyphs& complexGlyphs(int face, const CharData& cell, const Terminal& terminal);
    Glyphs shape(int face, const std::u32string& text);
    int fontSlot(const QRawFont& font);
    void addGlyph(QPainter& painter, int font, quint32 glyph, QPointF at, const QColor& color);
    void flushRun(QPainter& painter);

    TerminalView& _view;
    bool _ready = false;
    // The four faces of the view (normal, bold, italic, bold italic), then the fallback fonts met.
    std::vector<QRawFont> _fonts;
    // Glyphs of the first plane per face (UINT32_MAX: not looked up), others in a map.
    std::array<std::vector<quint32>, 4> _planeGlyphs;
    std::array<std::unordered_map<char32_t, quint32>, 4> _otherGlyphs;
    // By face and cell code.
    std::unordered_map<uint64_t, Glyphs> _complex;
    // By face and block of 128 characters: the font that drew the last character shaped in that block,
    // tried first for its neighbours, so that a text in a script the faces lack is shaped once and not once
    // per character. Without a font that has the character (missing: its glyph was the empty box), the
    // neighbours get the box too.
    struct BlockFont {
        int font = 0;
        bool missing = false;
    };
    std::unordered_map<uint64_t, BlockFont> _blockFonts;
    double _baseline = 0;
    std::u32string _scalars;

    // The run being collected: one font, one colour.
    int _runFont = -1;
    QColor _runColor;
    std::vector<quint32> _runGlyphs;
    // A row's cells filled in past those it stores (every cell after them is its blank), kept between
    // rows so that painting allocates nothing.
    std::vector<CharData> _filledCells;
    std::vector<QPointF> _runPositions;
    QGlyphRun _glyphRun;
    // The pen this row's glyphs last set on the painter.
    QColor _penColor;
    bool _penSet = false;
};

} // namespace Tessaline
