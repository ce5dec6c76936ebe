#include "CursorDrawBuilder.h"

#include "Buffer.h"
#include "CaretView.h"
#include "DrawGeometry.h"
#include "GlyphAtlas.h"
#include "GlyphEntries.h"
#include "Terminal.h"
#include "TerminalView.h"

#include <algorithm>
#include <cmath>

namespace Tessaline {

CursorDrawBuilder::CursorDrawBuilder(TerminalView* terminalView, GlyphEntries& entries,
                                     const GlyphAtlas& grayscaleAtlas, const GlyphAtlas& colorAtlas)
    : terminalView(terminalView)
    , _entries(entries)
    , _grayscaleAtlas(grayscaleAtlas)
    , _colorAtlas(colorAtlas) {}

CursorDrawData CursorDrawBuilder::buildCursorDrawData(double scale, double cellWidth, double cellHeight,
                                                      double lineDescent, double lineLeading, int yDisp,
                                                      int firstRow, int lastRow, bool cursorBlinkOn) {
    CursorDrawData out;
    TerminalView* view = terminalView.data();
    if (!view) return out;
    Terminal& terminal = view->terminal();
    if (terminal.cursorHidden) return out;
    if (!(scale > 0)) scale = 1;
    Buffer& buffer = terminal.displayBuffer();
    const int lineIndex = buffer.y() + buffer.yBase();
    if (lineIndex < 0 || lineIndex < firstRow || lineIndex > lastRow || lineIndex >= buffer.lines().count())
        return out;
    int column = buffer.x();
    // A cursor waiting to wrap stands on the last column, as the caret of the painted path does.
    if (column == buffer.cols()) column = buffer.cols() - 1;
    if (column < 0 || column >= buffer.cols()) return out;
    const CursorStyle style = terminal.options.cursorStyle;
    if (CaretView::blinks(style) && !cursorBlinkOn) return out;

    const BufferLine& line = *buffer.lines()[lineIndex];
    const int visible = lineIndex - yDisp;
    const double rowBottom = view->height() - cellHeight * double(visible + 1);
    const double bottomPx = scale * rowBottom;
    const double topPx = bottomPx + scale * cellHeight;
    const int factor = line.renderMode == BufferLine::RenderLineMode::single ? 1 : 2;
    const double x0 = factor * column * cellWidth * scale;
    const double x1 = x0 + cellWidth * scale;

    const CaretView* caret = view->caretView();
    const QColor caretColor = caret ? caret->caretColor() : view->nativeForegroundColor();
    const Float4 color = colorToSIMD(caretColor);
    const bool focused = caret && caret->tracksFocus() ? view->terminalHasFocus() : true;

    if (!focused) {
        const double w = std::max(3 * scale, 1.0);
        appendQuad(out.colorVertices, {x0, bottomPx, x1, bottomPx + w}, color);
        appendQuad(out.colorVertices, {x0, topPx - w, x1, topPx}, color);
        appendQuad(out.colorVertices, {x0, bottomPx + w, x0 + w, topPx - w}, color);
        appendQuad(out.colorVertices, {x1 - w, bottomPx + w, x1, topPx - w}, color);
        return out;
    }
    switch (style) {
    case CursorStyle::blinkUnderline:
    case CursorStyle::steadyUnderline:
        appendQuad(out.colorVertices, {x0, bottomPx, x1, bottomPx + std::max(2 * scale, 1.0)}, color);
        return out;
    case CursorStyle::blinkBar:
    case CursorStyle::steadyBar:
        appendQuad(out.colorVertices, {x0, bottomPx, x0 + std::max(2 * scale, 1.0), topPx}, color);
        return out;
    case CursorStyle::blinkBlock:
    case CursorStyle::steadyBlock:
        appendQuad(out.colorVertices, {x0, bottomPx, x1, topPx}, color);
        break;
    }

    // The character under the block, again in the caret text colour. Past the end of the line it is the
    // last stored cell; a line without cells has a blank.
    static const CharData blank;
    const int count = line.count();
    const CharData& cell = count > 0 ? line[std::min(column, count - 1)] : blank;
    if (cell.code == 0 || cell.code == ' ') return out;
    const std::string character = terminal.getCharacter(cell);
    const QString text = QString::fromUtf8(character.data(), qsizetype(character.size()));
    const QColor textColor = caret && caret->caretTextColor() ? *caret->caretTextColor() : view->nativeForegroundColor();
    const TextAttributes look = view->getAttributedValue(terminal.attribute(cell), caretColor, textColor);
    const QFont& font = view->fontSet().face(look.face);
    const std::shared_ptr<const ShaperRun> run = _entries.shaperCache.shape(text, font);
    if (!run) return out;
    const double baseline = rowBottom + std::ceil(lineDescent + lineLeading);
    const double originX = factor * cellWidth * column - run->firstX;
    const Float4 glyphColor = colorToSIMD(textColor);
    const std::optional<ClipRect> clip = ClipRect{x0, bottomPx, x1, topPx};
    for (const ShaperGlyphRun& glyphRun : run->glyphRuns) {
        QRawFont scaled = glyphRun.font;
        scaled.setPixelSize(glyphRun.font.pixelSize() * scale);
        for (std::size_t i = 0; i < glyphRun.glyphs.size() && i < glyphRun.positions.size(); ++i) {
            const std::optional<GlyphEntry> entry = _entries.glyphEntry(scaled, glyphRun.glyphs[i]);
            if (!entry || entry->size.width() <= 0 || entry->size.height() <= 0) continue;
            const QPointF p = glyphRun.positions[i];
            const double gx = scale * (p.x() + originX) + entry->bearing.x();
            const double gy = scale * (p.y() + baseline) + entry->bearing.y();
            const bool isColor = entry->atlasKind == GlyphAtlasKind::color;
            const double side = std::max(1, isColor ? _colorAtlas.size() : _grayscaleAtlas.size());
            const TexRect tex{entry->region.x / side, entry->region.y / side,
                              (entry->region.x + entry->region.width) / side,
                              (entry->region.y + entry->region.height) / side};
            const auto kept =
                clipRect({gx, gy, gx + entry->size.width(), gy + entry->size.height()}, tex, clip);
            if (!kept) continue;
            appendQuad(isColor ? out.glyphVerticesColor : out.glyphVerticesGray, kept->first, kept->second,
                       isColor ? Float4{1, 1, 1, 1} : glyphColor);
        }
    }
    return out;
}

} // namespace Tessaline
