#include "RowDrawBuilder.h"

#include "Buffer.h"
#include "GlyphAtlas.h"
#include "ImageTextures.h"
#include "KittyPlacementImage.h"
#include "RowPainter.h"
#include "TerminalView.h"
#include "ViewImageStrip.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Tessaline {

namespace {

constexpr Float4 white{1, 1, 1, 1};

ColorCell colorCell(const PixelRect& r, Float4 color) {
    return {{float(r.x0), float(r.y0)}, {float(r.width()), float(r.height())}, color};
}

TextCell textCell(const PixelRect& r, const TexRect& t, Float4 color) {
    return {{float(r.x0), float(r.y0)},
            {float(r.width()), float(r.height())},
            {float(t.uMin), float(t.vMin)},
            {float(t.uMax - t.uMin), float(t.vMax - t.vMin)},
            color};
}

// The texture rectangle of an atlas region. Rows drawn at twice the size sample between texels, and the
// atlas packs regions edge to edge: there the rectangle keeps half a texel clear of its neighbours, which
// would otherwise bleed in as faint lines along every glyph's edges.
TexRect regionRect(const AtlasRegion& region, int side, BufferLine::RenderLineMode mode) {
    const double s = side > 0 ? double(side) : 1.0;
    TexRect tex{region.x / s, region.y / s, (region.x + region.width) / s, (region.y + region.height) / s};
    if (mode == BufferLine::RenderLineMode::single) return tex;
    const double half = 0.5 / s;
    if (region.width > 1) {
        tex.uMin += half;
        tex.uMax -= half;
    }
    if (mode != BufferLine::RenderLineMode::doubleWidth && region.height > 1) {
        tex.vMin += half;
        tex.vMax -= half;
    }
    return tex;
}

} // namespace

RowDrawBuilder::RowDrawBuilder(TerminalView* terminalView, GlyphEntries& entries, const GlyphAtlas& grayscaleAtlas,
                               const GlyphAtlas& colorAtlas, ImageTextures& images, GpuDevice& device)
    : terminalView(terminalView)
    , _entries(entries)
    , _grayscaleAtlas(grayscaleAtlas)
    , _colorAtlas(colorAtlas)
    , _images(images)
    , _device(device) {}

std::optional<VisibleRows> RowDrawBuilder::visibleRowRange(const Buffer& buffer) {
    const int count = buffer.lines().count();
    if (count <= 0) return std::nullopt;
    const int first = buffer.yDisp();
    const int last = std::min(buffer.yDisp() + buffer.rows() - 1, count - 1);
    if (last < first) return std::nullopt;
    return VisibleRows{first, last, buffer.yDisp()};
}

const RowDrawBuilder::FaceMetrics& RowDrawBuilder::faceMetrics(const TerminalView& view) {
    const TerminalView::FontSet& fonts = view.fontSet();
    if (_metrics.ready && _metrics.normal == fonts.normal) return _metrics;
    const QFontMetricsF normal(fonts.normal);
    _metrics.normal = fonts.normal;
    _metrics.underlinePosition = normal.underlinePos();
    _metrics.underlineThickness = normal.lineWidth();
    _metrics.advance = normal.horizontalAdvance(QLatin1Char('M'));
    const QFont* faces[4] = {&fonts.normal, &fonts.bold, &fonts.italic, &fonts.boldItalic};
    for (size_t face = 0; face < 4; ++face) {
        const QFontMetricsF metrics(*faces[face]);
        _metrics.xHeight[face] = metrics.xHeight();
        _metrics.lineWidth[face] = metrics.lineWidth();
    }
    _metrics.ready = true;
    return _metrics;
}

RowDrawBuilder::FontSlot& RowDrawBuilder::fontSlot(const QRawFont& font, double scale) {
    // Entries point into the atlases: they go when the glyph caches were emptied.
    if (_slotScale != scale || _slotGeneration != _entries.generation()) {
        _fontSlots.clear();
        _slotScale = scale;
        _slotGeneration = _entries.generation();
    }
    auto it = _fontSlots.find(font);
    if (it == _fontSlots.end()) {
        FontSlot slot;
        slot.scaled = font;
        slot.scaled.setPixelSize(font.pixelSize() * scale);
        it = _fontSlots.insert(font, std::move(slot));
    }
    return *it;
}

std::optional<GlyphEntry> RowDrawBuilder::glyphEntry(FontSlot& slot, quint32 glyph) {
    if (auto it = slot.entries.constFind(glyph); it != slot.entries.constEnd()) return *it;
    const int generation = _entries.generation();
    std::optional<GlyphEntry> entry = _entries.glyphEntry(slot.scaled, glyph);
    // Kept only while no atlas changed on the way: the next slot lookup starts over otherwise.
    if (entry && generation == _entries.generation()) slot.entries.insert(glyph, *entry);
    return entry;
}

UnderlineStyle RowDrawBuilder::resolveUnderlineStyle(const TextAttributes& look) {
    if (look.tessalineUnderlineStyle >= 1 && look.tessalineUnderlineStyle <= 5)
        return UnderlineStyle(look.tessalineUnderlineStyle);
    const int value = look.underlineStyle;
    if ((value & 0x9) == 0x9) return UnderlineStyle::double_;
    if (value & 0x100) return UnderlineStyle::dotted;
    if (value & 0x600) return UnderlineStyle::dashed;
    return value != 0 ? UnderlineStyle::single : UnderlineStyle::none;
}

void RowDrawBuilder::appendUnderlineSegments(double x0, double x1, double yCenter, double thickness, Float4 color,
                                             UnderlineStyle style, double patternScale,
                                             BufferLine::RenderLineMode renderMode,
                                             const std::optional<ClipRect>& clip, double pivotY,
                                             std::vector<ColorCell>& output) {
    const double h = thickness / 2;
    auto piece = [&](double left, double right, double centre) {
        const PixelRect moved = RowGeometry::transformRect({left, centre - h, right, centre + h}, renderMode, pivotY);
        if (const std::optional<PixelRect> kept = clipRect(moved, clip)) output.push_back(colorCell(*kept, color));
    };
    const double a = std::max(thickness, patternScale);
    // Patterns step by `a`: without a positive step they would never end.
    if (!(a > 0) && style != UnderlineStyle::none) style = UnderlineStyle::single;
    switch (style) {
    case UnderlineStyle::none:
        return;
    case UnderlineStyle::single:
    case UnderlineStyle::double_:
        piece(x0, x1, yCenter);
        return;
    case UnderlineStyle::dotted:
        for (double x = x0; x < x1; x += 3 * a)
            piece(x, std::min(x + a, x1), yCenter);
        return;
    case UnderlineStyle::dashed:
        for (double x = x0; x < x1; x += 4 * a)
            piece(x, std::min(x + 2 * a, x1), yCenter);
        return;
    case UnderlineStyle::curly: {
        const double wavelength = std::max(4 * thickness, 4 * patternScale);
        for (double x = x0; x < x1; x += a)
            piece(x, std::min(x + a, x1), yCenter + a * std::sin(2 * std::numbers::pi * (x - x0) / wavelength));
        return;
    }
    }
}

void RowDrawBuilder::appendCustomGlyphs(RowDrawData& out, const ViewLineInfo& info, const RowGeometry& g,
                                        double scale, const TerminalView& view) {
    const FaceMetrics& metrics = faceMetrics(view);
    const int base = int(std::max({1.0, roundedHalfAway(scale),
                                   roundedHalfAway(scale * metrics.underlineThickness * 1.35)}));
    const bool antiAlias = view.antiAliasCustomBlockGlyphs();
    auto append = [&](const PixelRect& rect, const AtlasRegion& region, const QColor& color) {
        const PixelRect moved = g.transform(rect);
        const TexRect tex = regionRect(region, _grayscaleAtlas.size(), g.mode);
        if (const auto kept = clipRect(moved, tex, g.clip))
            out.glyphCellsGray.push_back(textCell(kept->first, kept->second, colorToSIMD(color)));
    };
    for (const BoxDrawingRenderItem& item : info.boxDrawings) {
        const int width = int(g.wholeCellWidthPx) * item.columnWidth;
        const int height = int(g.wholeCellHeightPx);
        const std::optional<CustomGlyphEntry> entry =
            _entries.customGlyphEntry(item.codePoint, width, height, scale, base, false);
        if (!entry) continue;
        const double x0 = g.wholeCellWidthPx * item.column;
        const double y0 = roundedHalfAway(g.bottomPx);
        append({x0, y0, x0 + width, y0 + (antiAlias ? g.cellHeightPx : g.wholeCellHeightPx)}, entry->region,
               item.foregroundColor);
    }
    for (const BlockElementRenderItem& item : info.blockElements) {
        int imageWidth = 0;
        double x0 = 0, width = 0, y0 = 0;
        if (antiAlias) {
            imageWidth = int(std::max(1.0, roundedHalfAway(g.cellWidthPx * item.columnWidth)));
            x0 = g.cellWidthPx * item.column;
            width = g.cellWidthPx * item.columnWidth;
            y0 = g.bottomPx;
        } else {
            imageWidth = int(g.wholeCellWidthPx) * item.columnWidth;
            x0 = g.wholeCellWidthPx * item.column;
            width = imageWidth;
            y0 = roundedHalfAway(g.bottomPx);
        }
        const std::optional<CustomGlyphEntry> entry =
            _entries.customGlyphEntry(item.codePoint, imageWidth, int(g.wholeCellHeightPx), scale, 0, antiAlias);
        if (!entry) continue;
        append({x0, y0, x0 + width, y0 + g.wholeCellHeightPx}, entry->region, item.foregroundColor);
    }
}

void RowDrawBuilder::appendStrips(RowDrawData& out, const ImageList& images, const RowGeometry& g,
                                  double cellWidth, double scale, double backing) {
    std::vector<const TerminalImagePtr*> under, over, other;
    for (const TerminalImagePtr& strip : images) {
        if (!strip || !dynamic_cast<const ViewImageStrip*>(strip.get())) continue;
        const KittyPlacementImage* kitty = strip->asKittyPlacementImage();
        if (kitty && kitty->kittyIsKitty)
            (kitty->kittyZIndex < 0 ? under : over).push_back(&strip);
        else
            other.push_back(&strip);
    }
    auto order = [](const TerminalImagePtr* a, const TerminalImagePtr* b) {
        const KittyPlacementImage* ka = (*a)->asKittyPlacementImage();
        const KittyPlacementImage* kb = (*b)->asKittyPlacementImage();
        if (ka->kittyZIndex != kb->kittyZIndex) return ka->kittyZIndex < kb->kittyZIndex;
        return ka->kittyImageId.value_or(0) < kb->kittyImageId.value_or(0);
    };
    std::stable_sort(under.begin(), under.end(), order);
    std::stable_sort(over.begin(), over.end(), order);

    auto draw = [&](const std::vector<const TerminalImagePtr*>& strips, std::vector<ImageDraw>& to) {
        for (const TerminalImagePtr* pointer : strips) {
            const TerminalImagePtr& strip = *pointer;
            std::shared_ptr<GpuTexture> texture = _images.texture(strip);
            if (!texture) continue;
            // The strip was cut in device pixels at the view's scale of its day.
            const auto* picture = static_cast<const ViewImageStrip*>(strip.get());
            const double width = strip->pixelWidth() / picture->scale();
            const double height = strip->pixelHeight() / picture->scale();
            double x = cellWidth * strip->col();
            double top = g.rowTop;
            const KittyPlacementImage* kitty = strip->asKittyPlacementImage();
            if (kitty && kitty->kittyIsKitty) {
                x += double(kitty->kittyPixelOffsetX) / backing;
                // The vertical offset moves the strip down.
                top -= double(kitty->kittyPixelOffsetY) / backing;
            }
            if (std::optional<ImageDraw> made = ImageTextures::imageDraw(
                    std::move(texture), {x, top - height, x + width, top}, TexRect{}, g.mode, g.clip, g.pivotY, scale))
                to.push_back(std::move(*made));
        }
    };
    draw(under, out.underImageDraws);
    draw(over, out.overImageDraws);
    draw(other, out.otherImageDraws);
}

void RowDrawBuilder::appendPlaceholders(RowDrawData& out, const ViewLineInfo& info, const RowGeometry& g,
                                        double cellWidth, double cellHeight, double scale, double backing,
                                        const VirtualPlacements& placements) {
    for (const KittyPlaceholderCell& cell : info.kittyPlaceholders) {
        const auto group = placements.find(cell.imageId);
        if (group == placements.end()) continue;
        const KittyPlacementRecord* placement = nullptr;
        for (const KittyPlacementRecord& record : group->second) {
            if (cell.placementId != 0 && cell.placementId != record.placementId) continue;
            if (record.cols <= 0 || record.rows <= 0) continue;
            if (int64_t(cell.placeholderCol) >= record.cols || int64_t(cell.placeholderRow) >= record.rows) continue;
            placement = &record;
            break;
        }
        if (!placement) continue;
        std::shared_ptr<GpuTexture> texture = _images.kittyTexture(cell.imageId);
        if (!texture) continue;
        // The whole placement, lined up so that this cell's part of it lands on this cell.
        const double x = double(placement->pixelOffsetX) / backing + cellWidth * double(cell.col - int64_t(cell.placeholderCol));
        const double y = g.rowBottom + cellHeight * double(cell.placeholderRow) - cellHeight * double(placement->rows - 1) -
                         double(placement->pixelOffsetY) / backing;
        const QRectF whole(x, y, cellWidth * double(placement->cols), cellHeight * double(placement->rows));
        if (!(whole.width() > 0) || !(whole.height() > 0)) continue;
        const QRectF fit = RowPainter::kittyAspectFitRect(QSizeF(texture->width() / scale, texture->height() / scale), whole);
        const QRectF visible = fit.intersected(QRectF(cellWidth * cell.col, g.rowBottom, cellWidth, cellHeight));
        if (!(visible.width() > 0) || !(visible.height() > 0)) continue;
        const TexRect uv{(visible.left() - fit.left()) / fit.width(), (visible.top() - fit.top()) / fit.height(),
                         (visible.right() - fit.left()) / fit.width(), (visible.bottom() - fit.top()) / fit.height()};
        // QRectF's top is the smaller y: the bottom edge in this y-up space.
        if (std::optional<ImageDraw> made = ImageTextures::imageDraw(
                std::move(texture), {visible.left(), visible.top(), visible.right(), visible.bottom()}, uv, g.mode,
                g.clip, g.pivotY, scale))
            out.placeholderImageDraws.push_back(std::move(*made));
    }
}

void RowDrawBuilder::appendDecorations(const TextAttributes& look, double firstCellX, int cellCount,
                                       double cellAdvance, double baseline, double scale, const RowGeometry& g,
                                       std::vector<ColorCell>& out) {
    TerminalView* view = terminalView.data();
    if (!view || look.invisible || cellCount <= 0) return;
    const FaceMetrics& metrics = faceMetrics(*view);
    const QColor nativeForeground = view->nativeForegroundColor();
    // Lines go cell by cell, each as wide as its cell, so that patterns start over in every cell.
    if (look.underlined && look.underlineStyle != 0) {
        const UnderlineStyle style = resolveUnderlineStyle(look);
        const Float4 color = colorToSIMD(look.underlineColor.isValid() ? look.underlineColor : nativeForeground);
        const double points = std::max(0.5, roundedHalfAway(scale * metrics.underlineThickness) / scale);
        const double centre = baseline - metrics.underlinePosition;
        for (int k = 0; k < cellCount; ++k) {
            const double x0 = scale * (firstCellX + k * cellAdvance);
            const double x1 = scale * (firstCellX + (k + 1) * cellAdvance);
            if (style == UnderlineStyle::double_) {
                appendUnderlineSegments(x0, x1, scale * centre, scale * points, color, UnderlineStyle::single, scale,
                                        g.mode, g.clip, g.pivotY, out);
                appendUnderlineSegments(x0, x1, scale * (centre - points - 1), scale * points, color,
                                        UnderlineStyle::single, scale, g.mode, g.clip, g.pivotY, out);
            } else {
                appendUnderlineSegments(x0, x1, scale * centre, scale * points, color, style, scale, g.mode, g.clip,
                                        g.pivotY, out);
            }
        }
    }
    if (look.struckThrough && look.strikethroughStyle != 0) {
        const int v = look.strikethroughStyle;
        const std::size_t face = std::size_t(std::clamp(look.face, 0, 3));
        const Float4 color =
            colorToSIMD(look.strikethroughColor.isValid() ? look.strikethroughColor : nativeForeground);
        const double t = std::max(0.5, roundedHalfAway(scale * metrics.lineWidth[face]) / scale);
        const double centre = baseline + (metrics.xHeight[face] + t) / 2;
        const UnderlineStyle style = (v & 0x100)   ? UnderlineStyle::dotted
                                     : (v & 0x600) ? UnderlineStyle::dashed
                                                   : UnderlineStyle::single;
        for (int k = 0; k < cellCount; ++k) {
            const double x0 = scale * (firstCellX + k * cellAdvance);
            const double x1 = scale * (firstCellX + (k + 1) * cellAdvance);
            appendUnderlineSegments(x0, x1, scale * centre, scale * t, color, style, scale, g.mode, g.clip, g.pivotY,
                                    out);
            if ((v & 0x9) == 0x9)
                appendUnderlineSegments(x0, x1, scale * (centre - t - 1), scale * t, color, style, scale, g.mode,
                                        g.clip, g.pivotY, out);
        }
    }
}

RowDrawData RowDrawBuilder::buildRowDrawData(int row, Buffer& buffer, int yDisp, double cellWidth,
                                             double cellHeight, double yOffset, double viewWidthPx, double scale,
                                             const VirtualPlacements& virtualPlacementsByImageId) {
    RowDrawData out;
    TerminalView* view = terminalView.data();
    if (!view || row < 0 || row >= buffer.lines().count()) return out;
    if (!(scale > 0)) scale = 1;
    const BufferLine& line = *buffer.lines()[row];
    const int cols = buffer.cols();
    const RowGeometry g = RowGeometry::make(row, yDisp, cellWidth, cellHeight, view->height(), scale, viewWidthPx,
                                            line.renderMode);
    const ViewLineInfo& info = view->buildAttributedString(row, line, cols);
    const FaceMetrics& metrics = faceMetrics(*view);
    const double backing = view->backingScale();

    if (!info.boxDrawings.empty() || !info.blockElements.empty()) appendCustomGlyphs(out, info, g, scale, *view);

    // Backgrounds: neighbouring runs of one colour make one rectangle.
    int runStart = -1, runEnd = -1;
    QColor runColor;
    auto flushBackground = [&] {
        if (runStart < 0 || !runColor.isValid()) return;
        const double x0 = g.cellWidthPx * runStart;
        // A run on the last column reaches the drawable's right edge, beside the grid.
        const double x1 = runEnd >= cols ? std::max(viewWidthPx, g.cellWidthPx * runEnd) : g.cellWidthPx * runEnd;
        if (const auto kept = clipRect(g.transform({x0, g.bottomPx, x1, g.topPx}), g.clip))
            out.backgroundCells.push_back(colorCell(*kept, colorToSIMD(runColor)));
    };
    for (const ViewLineSegment& segment : info.segments) {
        int column = segment.column;
        for (const ViewLinePiece& piece : info.piecesOf(segment)) {
            const int c0 = column;
            const int c1 = column + piece.length * segment.columnWidth;
            column = c1;
            const QColor color = piece.selectionBackground ? *piece.selectionBackground
                                 : piece.attributes         ? piece.attributes->background
                                                            : QColor();
            if (runStart >= 0 && c0 == runEnd && color == runColor) {
                runEnd = c1;
                continue;
            }
            flushBackground();
            runStart = c0;
            runEnd = c1;
            runColor = color;
        }
    }
    flushBackground();

    const bool hasStrips = info.images && !info.images->empty();
    if (hasStrips) appendStrips(out, *info.images, g, cellWidth, scale, backing);

    // Text. Every glyph sits on its cell (cell width x column), like the painted path: the shaper's
    // advances are the font's, which need not be a whole number of pixels and drift off the grid.
    const std::vector<ShapedSegment> shaped = _entries.buildShapedSegments(info, *view);
    const double baseline = g.rowBottom + yOffset;
    const QColor nativeForeground = view->nativeForegroundColor();
    for (const ShapedSegment& shapedSegment : shaped) {
        const ViewLineSegment& segment = shapedSegment.segment;
        const double cellAdvance = cellWidth * segment.columnWidth;
        // The font's own advance of one cell of this segment, to find the cell of a glyph when a run has
        // more or fewer glyphs than cells (clusters, marks).
        const double naturalAdvance = std::max(metrics.advance * segment.columnWidth, 1e-3);
        for (const ShapedRun& run : shapedSegment.runs) {
            const TextAttributes* look = run.attributes;
            if (look && look->invisible) continue;
            if (run.cellCount <= 0) continue;
            const QColor foreground = look && look->foreground.isValid() ? look->foreground : nativeForeground;
            const Float4 textColor = colorToSIMD(foreground);
            const ShaperRun& shaperRun = *run.shaperRun;
            const bool oneToOne = shaperRun.glyphCount == run.cellCount;
            auto cellX = [&](int k) { return cellWidth * double(segment.column + (run.cellOffset + k) * segment.columnWidth); };

            int index = 0; // glyph index over all glyph runs
            for (const ShaperGlyphRun& glyphRun : shaperRun.glyphRuns) {
                FontSlot& slot = fontSlot(glyphRun.font, scale);
                for (std::size_t i = 0; i < glyphRun.glyphs.size(); ++i, ++index) {
                    const QPointF p = i < glyphRun.positions.size() ? glyphRun.positions[i] : QPointF();
                    int k = index;
                    double residual = 0;
                    if (!oneToOne) {
                        const double offset = p.x() - shaperRun.firstX;
                        k = std::clamp(int(std::floor(offset / naturalAdvance + 1e-3)), 0, run.cellCount - 1);
                        residual = offset - k * naturalAdvance;
                    } else if (k >= run.cellCount) {
                        break;
                    }
                    // Blank cells draw nothing: no need to ask the atlas for a space every frame.
                    const std::size_t textIndex = std::size_t(run.textStart + k);
                    if (textIndex < info.text.size() && info.text[textIndex] == ' ') continue;
                    const std::optional<GlyphEntry> entry = glyphEntry(slot, glyphRun.glyphs[i]);
                    if (!entry || entry->size.width() <= 0 || entry->size.height() <= 0) continue;
                    const double x0 = scale * (cellX(k) + residual) + entry->bearing.x();
                    const double y0 = scale * (baseline + p.y()) + entry->bearing.y();
                    const PixelRect moved =
                        g.transform({x0, y0, x0 + entry->size.width(), y0 + entry->size.height()});
                    const bool color = entry->atlasKind == GlyphAtlasKind::color;
                    const TexRect tex =
                        regionRect(entry->region, color ? _colorAtlas.size() : _grayscaleAtlas.size(), g.mode);
                    const auto kept = clipRect(moved, tex, g.clip);
                    if (!kept) continue;
                    (color ? out.glyphCellsColor : out.glyphCellsGray)
                        .push_back(textCell(kept->first, kept->second, color ? white : textColor));
                }
            }

            if (look) appendDecorations(*look, cellX(0), run.cellCount, cellAdvance, baseline, scale, g, out.decorationCells);
        }
    }
    if (!info.kittyPlaceholders.empty())
        appendPlaceholders(out, info, g, cellWidth, cellHeight, scale, backing, virtualPlacementsByImageId);
    return out;
}

RowDrawBuffers RowDrawBuilder::makeRowBuffers(const RowDrawData& data) {
    RowDrawBuffers out;
    auto upload = [&](const auto& records, std::shared_ptr<GpuBuffer>& buffer, int& count) {
        if (records.empty()) return;
        const std::size_t bytes = records.size() * sizeof(records.front());
        buffer = _device.makeBuffer(bytes);
        if (!buffer) return;
        buffer->write(records.data(), bytes);
        count = int(records.size());
    };
    upload(data.backgroundCells, out.backgroundBuffer, out.backgroundCount);
    upload(data.glyphCellsGray, out.glyphGrayBuffer, out.glyphGrayCount);
    upload(data.glyphCellsColor, out.glyphColorBuffer, out.glyphColorCount);
    upload(data.decorationCells, out.decorationBuffer, out.decorationCount);
    out.underImageBuffers = _images.makeImageDrawBuffers(data.underImageDraws);
    out.placeholderImageBuffers = _images.makeImageDrawBuffers(data.placeholderImageDraws);
    out.overImageBuffers = _images.makeImageDrawBuffers(data.overImageDraws);
    out.otherImageBuffers = _images.makeImageDrawBuffers(data.otherImageDraws);
    return out;
}

} // namespace Tessaline
