#include "RowPainter.h"

#include "BoxDrawingRenderer.h"
#include "BufferLine.h"
#include "KittyPlacementImage.h"
#include "PainterGlyphCanvas.h"
#include "Terminal.h"
#include "TerminalView.h"
#include "ViewImageStrip.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Tessaline {

namespace {

// Halves away from zero.
double rounded(double value) {
    return double(std::lround(value));
}

// A line thickness in whole device pixels, at least half a logical pixel.
double lineThickness(double fontThickness, double scale) {
    return std::max(rounded(fontThickness * scale) / scale, 0.5);
}

QColor clampedAlpha(QColor color) {
    color.setAlphaF(std::clamp(color.alphaF(), 0.0f, 1.0f));
    return color;
}

// The line style a look is drawn with: its own underline style when it has one, else read from the
// platform value's bits.
int underlineStyleOf(const TextAttributes& look) {
    if (look.tessalineUnderlineStyle >= 0 && look.tessalineUnderlineStyle <= 5)
        return look.tessalineUnderlineStyle;
    const int value = look.underlineStyle;
    if ((value & 9) == 9) return int(UnderlineStyle::double_);
    if (value & 0x100) return int(UnderlineStyle::dotted);
    if (value & 0x600) return int(UnderlineStyle::dashed);
    return value != 0 ? int(UnderlineStyle::single) : int(UnderlineStyle::none);
}

} // namespace

RowPainter::RowPainter(TerminalView& view)
    : _view(view) {}

RowPainter::~RowPainter() = default;

void RowPainter::reset() {
    _ready = false;
}

void RowPainter::beginPass() {
    _placementsReady = false;
    _placements.clear();
    _placeholderImages.clear();
}

void RowPainter::prepare(double) {
    const TerminalView::FontSet& fonts = _view.fontSet();
    _glyphs.reset(fonts);
    const QFontMetricsF metrics(fonts.normal);
    _baselineOffset = _view.cellDimension().height() - std::ceil(metrics.descent() + metrics.leading());
    _underlinePosition = metrics.underlinePos();
    _underlineThickness = metrics.lineWidth();
    const QFont* faces[4] = {&fonts.normal, &fonts.bold, &fonts.italic, &fonts.boldItalic};
    for (size_t face = 0; face < 4; ++face) {
        const QFontMetricsF faceMetrics(*faces[face]);
        _xHeight[face] = faceMetrics.xHeight();
        _lineWidth[face] = faceMetrics.lineWidth();
    }
    _ready = true;
}

void RowPainter::draw(QPainter& painter, int line, const BufferLine& row, double top,
                      const QRectF& dirtyRect) {
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (!_ready) prepare(scale);
    Terminal& terminal = _view.terminal();
    const int cols = terminal.displayBuffer().cols();
    const ViewLineInfo& info = _view.buildAttributedString(line, row, cols);
    const double h = _view.cellDimension().height();
    const double rightEdge = _view.width();

    // Double-width rows: every cell twice as wide. Double-height rows: twice as wide and tall about the
    // row's top (upper half) or bottom edge (lower half), clipped to the row.
    const BufferLine::RenderLineMode mode = row.renderMode;
    const bool transformed = mode != BufferLine::RenderLineMode::single;
    if (transformed) {
        painter.save();
        if (mode == BufferLine::RenderLineMode::doubleWidth) {
            painter.scale(2, 1);
        } else {
            painter.setClipRect(QRectF(0, top, std::max(rightEdge, dirtyRect.right()), h), Qt::IntersectClip);
            const double pivot = mode == BufferLine::RenderLineMode::doubledTop ? top : top + h;
            painter.translate(0, pivot);
            painter.scale(2, 2);
            painter.translate(0, -pivot);
        }
    }

    const bool hasStrips = info.images && !info.images->empty();
    if (hasStrips) sortStrips(*info.images, _layers);
    drawBackgrounds(painter, info, top, cols, rightEdge);
    if (hasStrips) drawStrips(painter, _layers.under, top, scale);
    if (!info.boxDrawings.empty()) drawBoxDrawings(painter, info.boxDrawings, top, scale);
    if (!info.blockElements.empty()) drawBlockElements(painter, info.blockElements, top, scale);
    drawText(painter, info, top);
    if (!info.kittyPlaceholders.empty()) drawPlaceholders(painter, info, top, scale);
    if (hasStrips) {
        drawStrips(painter, _layers.over, top, scale);
        drawStrips(painter, _layers.other, top, scale);
    }
    if (transformed) painter.restore();
}

void RowPainter::drawBackgrounds(QPainter& painter, const ViewLineInfo& info, double top, int cols,
                                 double rightEdge) {
    const QSizeF cell = _view.cellDimension();
    const double w = cell.width();
    // The view paints over its last frame (it is opaque to Qt): a translucent background replaces what
    // is there instead of piling up on it.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    int runStart = -1;
    int runEnd = -1;
    QColor runColor;
    auto fill = [&] {
        if (runStart < 0) return;
        const double x = w * runStart;
        // A run on the last column paints on to the right edge, beside the grid.
        const double right = runEnd >= cols ? std::max(rightEdge, w * runEnd) : w * runEnd;
        if (right > x) painter.fillRect(QRectF(x, top, right - x, cell.height()), runColor);
    };
    for (const ViewLineSegment& segment : info.segments) {
        int column = segment.column;
        for (const ViewLinePiece& piece : info.piecesOf(segment)) {
            const int c0 = column;
            const int c1 = column + piece.length * segment.columnWidth;
            column = c1;
            const QColor& color =
                piece.selectionBackground ? *piece.selectionBackground : piece.attributes->background;
            if (runStart >= 0 && c0 == runEnd && color == runColor) {
                runEnd = c1;
                continue;
            }
            fill();
            runStart = c0;
            runEnd = c1;
            runColor = color;
        }
    }
    fill();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void RowPainter::drawBoxDrawings(QPainter& painter, std::span<const BoxDrawingRenderItem> items, double top,
                                 double scale) {
    const QSizeF cell = _view.cellDimension();
    const double widthPx = std::max(rounded(cell.width() * scale), 1.0);
    const double heightPx = std::max(rounded(cell.height() * scale), 1.0);
    const int base = std::max({int(rounded(scale)), int(rounded(_underlineThickness * scale * 1.35)), 1});
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    PainterGlyphCanvas canvas(painter);
    const double originY = rounded(top * scale) / scale;
    for (const BoxDrawingRenderItem& item : items) {
        BoxDrawingRenderer::draw(item.codePoint, canvas, QPointF(widthPx * item.column / scale, originY),
                                 QSizeF(widthPx * item.columnWidth / scale, heightPx / scale), scale,
                                 clampedAlpha(item.foregroundColor), base);
    }
    painter.restore();
}

void RowPainter::drawBlockElements(QPainter& painter, std::span<const BlockElementRenderItem> items,
                                   double top, double scale) {
    const QSizeF cell = _view.cellDimension();
    painter.save();
    PainterGlyphCanvas canvas(painter);
    for (const BlockElementRenderItem& item : items) {
        const QRectF rect(cell.width() * item.column, top, cell.width() * item.columnWidth, cell.height());
        BlockElementMapping::draw(item.rects, canvas, rect, scale, _view.antiAliasCustomBlockGlyphs(),
                                  item.foregroundColor);
    }
    painter.restore();
}

void RowPainter::addGlyph(QPainter& painter, int font, quint32 glyph, QPointF at,
                          const TextAttributes& look) {
    // Looks that differ only in their background or lines share a run.
    if (font != _runFont || (&look != _runLook && (!_runLook || look.foreground != _runLook->foreground))) {
        flushRun(painter);
        _runFont = font;
    }
    _runLook = &look;
    _runGlyphs.push_back(glyph);
    _runPositions.push_back(at);
}

void RowPainter::flushRun(QPainter& painter) {
    if (_runGlyphs.empty()) return;
    // One run object reused: a new one allocates its data on every flush.
    _glyphRun.setRawFont(_glyphs.font(_runFont));
    _glyphRun.setRawData(_runGlyphs.data(), _runPositions.data(), int(_runGlyphs.size()));
    if (!_penSet || _runLook->foreground != _penColor) {
        // The look's own pen: a pen made from a colour here would allocate on every run.
        painter.setPen(_runLook->foregroundPen);
        _penColor = _runLook->foreground;
        _penSet = true;
    }
    painter.drawGlyphRun(QPointF(0, 0), _glyphRun);
    _runGlyphs.clear();
    _runPositions.clear();
}

void RowPainter::drawText(QPainter& painter, const ViewLineInfo& info, double top) {
    const Terminal& terminal = _view.terminal();
    const QSizeF cell = _view.cellDimension();
    const double w = cell.width();
    const double baseline = top + _baselineOffset;
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    _penSet = false;
    _runFont = -1;
    _runLook = nullptr;
    bool decorated = false;
    for (const ViewLineSegment& segment : info.segments) {
        int n = 0;
        for (const ViewLinePiece& piece : info.piecesOf(segment)) {
            const TextAttributes& look = *piece.attributes;
            if (look.invisible) {
                n += piece.length;
                continue;
            }
            decorated = decorated || look.underlined || look.struckThrough;
            for (int k = 0; k < piece.length; ++k, ++n) {
                const int32_t code = info.text[size_t(piece.start + k)];
                if (code == ' ') continue;
                const QPointF origin(w * (segment.column + n * segment.columnWidth), baseline);
                for (const CellGlyphs::PlacedGlyph& placed : _glyphs.glyphs(look.face, code, terminal))
                    addGlyph(painter, placed.font, placed.glyph, origin + placed.offset, look);
            }
        }
    }
    flushRun(painter);
    if (!decorated) return;

    for (const ViewLineSegment& segment : info.segments) {
        int n = 0;
        for (const ViewLinePiece& piece : info.piecesOf(segment)) {
            const TextAttributes& look = *piece.attributes;
            const int first = n;
            n += piece.length;
            if (look.invisible || !(look.underlined || look.struckThrough)) continue;
            _cellXs.clear();
            for (int k = first; k < n; ++k)
                _cellXs.push_back(w * (segment.column + k * segment.columnWidth));
            drawRunAttributes(painter, look, _cellXs, baseline, w * segment.columnWidth, scale);
        }
    }
}

void RowPainter::fillUnderline(QPainter& painter, int style, double left, double right, double centre,
                               double thickness, double scale) {
    const double y = rounded((centre - thickness / 2) * scale) / scale;
    const double height = std::max(thickness, 1 / scale);
    const QColor color = painter.pen().color();
    switch (UnderlineStyle(style)) {
    case UnderlineStyle::none:
        return;
    case UnderlineStyle::single:
    case UnderlineStyle::double_:
        painter.fillRect(QRectF(left, y, right - left, height), color);
        return;
    case UnderlineStyle::dotted: {
        const double dot = std::max(thickness, 1.0);
        for (double x = left; x < right; x += 3 * dot)
            painter.fillRect(QRectF(x, y, std::min(dot, right - x), height), color);
        return;
    }
    case UnderlineStyle::dashed: {
        const double dash = std::max(2 * thickness, 2.0);
        for (double x = left; x < right; x += 2 * dash)
            painter.fillRect(QRectF(x, y, std::min(dash, right - x), height), color);
        return;
    }
    case UnderlineStyle::curly: {
        const double step = std::max(thickness, 1.0);
        const double wavelength = std::max(4 * thickness, 4.0);
        QVarLengthArray<QPointF, 64> points;
        for (double x = left;; x += step) {
            const double at = std::min(x, right);
            points.append(
                QPointF(at, centre - step * std::sin(2 * std::numbers::pi * (at - left) / wavelength)));
            if (at >= right) break;
        }
        painter.setPen(QPen(color, thickness, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter.drawPolyline(points.data(), int(points.size()));
        return;
    }
    }
}

void RowPainter::drawRunAttributes(QPainter& painter, const TextAttributes& look,
                                   std::span<const double> cellXs, double baseline, double cellWidth,
                                   double scale) {
    if (look.invisible || cellXs.empty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (look.underlined && look.underlineStyle != 0) {
        const QColor color =
            look.underlineColor.isValid() ? look.underlineColor : _view.nativeForegroundColor();
        painter.setPen(color);
        const double thickness = lineThickness(_underlineThickness, scale);
        const double centre = baseline + _underlinePosition;
        const int style = underlineStyleOf(look);
        if (style == int(UnderlineStyle::single) || style == int(UnderlineStyle::double_)) {
            // Solid lines of neighbouring cells join into one.
            size_t first = 0;
            for (size_t i = 1; i <= cellXs.size(); ++i) {
                if (i < cellXs.size() && std::abs(cellXs[i] - (cellXs[i - 1] + cellWidth)) < 1e-6) continue;
                const double left = cellXs[first];
                const double right = cellXs[i - 1] + cellWidth;
                fillUnderline(painter, style, left, right, centre, thickness, scale);
                if (style == int(UnderlineStyle::double_))
                    fillUnderline(painter, style, left, right, centre + thickness + 1, thickness, scale);
                first = i;
            }
        } else {
            // Patterns start over in every cell.
            for (double x : cellXs) {
                painter.setPen(color);
                fillUnderline(painter, style, x, x + cellWidth, centre, thickness, scale);
            }
        }
    }
    if (look.struckThrough && look.strikethroughStyle != 0) {
        const QColor color =
            look.strikethroughColor.isValid() ? look.strikethroughColor : _view.nativeForegroundColor();
        painter.setPen(color);
        const size_t face = size_t(std::clamp(look.face, 0, 3));
        const double thickness = lineThickness(_lineWidth[face], scale);
        const double centre = baseline - (_xHeight[face] + thickness) / 2;
        const int style =
            (look.strikethroughStyle & 0x200) ? int(UnderlineStyle::dashed) : int(UnderlineStyle::single);
        for (double x : cellXs) {
            // Dashes of the strikethrough are 2 on, 2 off.
            if (style == int(UnderlineStyle::dashed)) {
                for (double at = x; at < x + cellWidth; at += 4)
                    painter.fillRect(QRectF(at, rounded((centre - thickness / 2) * scale) / scale,
                                            std::min(2.0, x + cellWidth - at),
                                            std::max(thickness, 1 / scale)),
                                     color);
            } else {
                fillUnderline(painter, style, x, x + cellWidth, centre, thickness, scale);
            }
            if ((look.strikethroughStyle & 9) == 9)
                fillUnderline(painter, int(UnderlineStyle::single), x, x + cellWidth, centre + thickness + 1,
                              thickness, scale);
        }
    }
    painter.restore();
    _penSet = false;
}

QRectF RowPainter::stripRect(const TerminalImage& strip, double top, double cellWidth, double scale) {
    if (!(scale > 0)) scale = 1;
    // The terminal cut the strip in device pixels at the scale of its day.
    const auto* picture = dynamic_cast<const ViewImageStrip*>(&strip);
    const double stripScale = picture ? picture->scale() : scale;
    const QSizeF size(strip.pixelWidth() / stripScale, strip.pixelHeight() / stripScale);
    const KittyPlacementImage* kitty = strip.asKittyPlacementImage();
    if (kitty && kitty->kittyIsKitty)
        return QRectF(QPointF(cellWidth * strip.col() + double(kitty->kittyPixelOffsetX) / scale,
                              top + double(kitty->kittyPixelOffsetY) / scale),
                      size);
    return QRectF(QPointF(cellWidth * strip.col(), top), size);
}

void RowPainter::sortStrips(const ImageList& images, StripLayers& layers) {
    layers.under.clear();
    layers.over.clear();
    layers.other.clear();
    for (const TerminalImagePtr& strip : images) {
        if (!strip) continue;
        const KittyPlacementImage* kitty = strip->asKittyPlacementImage();
        if (kitty && kitty->kittyIsKitty)
            (kitty->kittyZIndex < 0 ? layers.under : layers.over).push_back(strip.get());
        else
            layers.other.push_back(strip.get());
    }
    auto order = [](const TerminalImage* a, const TerminalImage* b) {
        const KittyPlacementImage* ka = a->asKittyPlacementImage();
        const KittyPlacementImage* kb = b->asKittyPlacementImage();
        if (ka->kittyZIndex != kb->kittyZIndex) return ka->kittyZIndex < kb->kittyZIndex;
        return ka->kittyImageId.value_or(0) < kb->kittyImageId.value_or(0);
    };
    std::stable_sort(layers.under.begin(), layers.under.end(), order);
    std::stable_sort(layers.over.begin(), layers.over.end(), order);
}

void RowPainter::drawStrips(QPainter& painter, std::span<const TerminalImage* const> strips, double top,
                            double scale) {
    const double w = _view.cellDimension().width();
    for (const TerminalImage* strip : strips) {
        if (const auto* picture = dynamic_cast<const ViewImageStrip*>(strip))
            painter.drawImage(stripRect(*strip, top, w, scale), picture->image());
    }
}

QRectF RowPainter::kittyAspectFitRect(QSizeF imageSize, const QRectF& rect) {
    if (!(imageSize.width() > 0) || !(imageSize.height() > 0) || !(rect.width() > 0) || !(rect.height() > 0))
        return rect;
    const double factor = std::min(rect.height() / imageSize.height(), rect.width() / imageSize.width());
    const QSizeF fitted = imageSize * factor;
    return QRectF(rect.x() + (rect.width() - fitted.width()) / 2,
                  rect.y() + (rect.height() - fitted.height()) / 2, fitted.width(), fitted.height());
}

void RowPainter::drawPlaceholders(QPainter& painter, const ViewLineInfo& info, double top, double scale) {
    Terminal& terminal = _view.terminal();
    if (!_placementsReady) {
        const bool alternate = terminal.isCurrentBufferAlternate();
        for (const auto& [key, record] : terminal.kittyGraphicsState.placementsByKey)
            if (record.isVirtual && record.isAlternateBuffer == alternate)
                _placements[record.imageId].push_back(record);
        _placementsReady = true;
    }
    const QSizeF cell = _view.cellDimension();
    for (const KittyPlaceholderCell& placeholder : info.kittyPlaceholders) {
        const auto group = _placements.find(placeholder.imageId);
        if (group == _placements.end()) continue;
        const KittyPlacementRecord* placement = nullptr;
        for (const KittyPlacementRecord& record : group->second) {
            if (placeholder.placementId != 0 && record.placementId != placeholder.placementId) continue;
            if (record.cols < 1 || record.rows < 1) continue;
            if (placeholder.placeholderCol >= record.cols || placeholder.placeholderRow >= record.rows)
                continue;
            placement = &record;
            break;
        }
        if (!placement) continue;
        const QImage* image = _view.kittyPlaceholderImage(placeholder.imageId, _placeholderImages);
        if (!image) continue;
        // The whole placement, lined up so that this cell's part of it lands on this cell.
        const QRectF rect(cell.width() * double(placeholder.col - placeholder.placeholderCol) +
                              double(placement->pixelOffsetX) / scale,
                          top - cell.height() * double(placeholder.placeholderRow) +
                              double(placement->pixelOffsetY) / scale,
                          cell.width() * double(placement->cols), cell.height() * double(placement->rows));
        if (!(rect.width() > 0) || !(rect.height() > 0)) continue;
        painter.save();
        painter.setClipRect(QRectF(cell.width() * double(placeholder.col), top, cell.width(), cell.height()),
                            Qt::IntersectClip);
        painter.drawImage(kittyAspectFitRect(QSizeF(image->size()), rect), *image);
        painter.restore();
    }
}

} // namespace Tessaline
