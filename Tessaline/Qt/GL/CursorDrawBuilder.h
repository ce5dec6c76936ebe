#pragma once

#include "GpuRecords.h"

#include <QPointer>

#include <vector>

namespace Tessaline {

class GlyphAtlas;
class GlyphEntries;
class TerminalView;

// The cursor of one frame: its shape, and the character under a block drawn again in the caret text
// colour from either atlas.
struct CursorDrawData {
    std::vector<ColorVertex> colorVertices;
    std::vector<GlyphVertex> glyphVerticesGray;
    std::vector<GlyphVertex> glyphVerticesColor;
    bool empty() const { return colorVertices.empty() && glyphVerticesGray.empty() && glyphVerticesColor.empty(); }
};

// Draws the cursor on the GPU path, where the caret widget is hidden: the shapes, thicknesses and colours
// of the caret. Rebuilt every frame; GUI thread.
class CursorDrawBuilder {
public:
    CursorDrawBuilder(TerminalView* terminalView, GlyphEntries& entries, const GlyphAtlas& grayscaleAtlas,
                      const GlyphAtlas& colorAtlas);

    QPointer<TerminalView> terminalView;

    // Nothing when the view is gone, the cursor hidden, off the lines firstRow to lastRow, or in the off
    // phase of a blink (`cursorBlinkOn` false).
    CursorDrawData buildCursorDrawData(double scale, double cellWidth, double cellHeight, double lineDescent,
                                       double lineLeading, int yDisp, int firstRow, int lastRow,
                                       bool cursorBlinkOn);

private:
    GlyphEntries& _entries;
    const GlyphAtlas& _grayscaleAtlas;
    const GlyphAtlas& _colorAtlas;
};

} // namespace Tessaline
