#include "GlyphEntries.h"

#include "BlockElementMapping.h"
#include "BoxDrawingRenderer.h"
#include "CharData.h"
#include "PainterGlyphCanvas.h"
#include "Terminal.h"
#include "TerminalView.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace Tessaline {

namespace {

void appendCode(QString& text, int32_t code, const Terminal& terminal) {
    if (code <= 0) {
        text += QLatin1Char(' ');
    } else if (code < CharData::graphemeCodeBase) {
        // Appended in place: a string made per character would allocate for every cell of a row.
        const char32_t scalar = char32_t(code);
        if (QChar::requiresSurrogates(scalar)) {
            text += QChar(QChar::highSurrogate(scalar));
            text += QChar(QChar::lowSurrogate(scalar));
        } else {
            text += QChar(char16_t(scalar));
        }
    } else {
        const std::string utf8 = terminal.character(code);
        text += QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    }
}

} // namespace

GlyphEntries::GlyphEntries(GlyphAtlas& grayscaleAtlas, GlyphAtlas& colorAtlas,
                           const GlyphRasterizer& rasterizer)
    : _grayscaleAtlas(grayscaleAtlas)
    , _colorAtlas(colorAtlas)
    , _rasterizer(rasterizer) {}

std::vector<ShapedSegment> GlyphEntries::buildShapedSegments(const ViewLineInfo& info,
                                                             const TerminalView& view) {
    std::vector<ShapedSegment> shaped;
    const Terminal& terminal = view.terminal();
    for (const ViewLineSegment& segment : info.segments) {
        if (segment.characterCount <= 0) continue;
        ShapedSegment out{segment, {}};
        int cells = 0;
        for (const ViewLinePiece& piece : info.piecesOf(segment)) {
            const int cellOffset = cells;
            cells += std::max(piece.length, 0);
            if (piece.length <= 0) continue;
            _text.clear();
            for (int k = 0; k < piece.length; ++k)
                appendCode(_text, info.text[size_t(piece.start + k)], terminal);
            const QFont& font =
                piece.attributes ? view.fontSet().face(piece.attributes->face) : view.fontSet().normal;
            if (std::shared_ptr<const ShaperRun> run = shaperCache.shape(_text, font))
                out.runs.push_back({piece.attributes, font, std::move(run), cellOffset, piece.length, piece.start});
        }
        if (!out.runs.empty()) shaped.push_back(std::move(out));
    }
    return shaped;
}

QFont GlyphEntries::scaledFontFor(const QFont& font, double scale) {
    const GlyphKey key{fontIdentity(font), fontKeySize(font) * scale, 0};
    if (auto it = scaledFontCache.constFind(key); it != scaledFontCache.constEnd()) return *it;
    QFont scaled = font;
    if (font.pixelSize() > 0)
        scaled.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * scale))));
    else
        scaled.setPointSizeF(font.pointSizeF() * scale);
    scaledFontCache.insert(key, scaled);
    return scaled;
}

void GlyphEntries::invalidateIfChanged(const GlyphAtlas& atlas, int sizeBefore) {
    if (atlas.size() == sizeBefore && !atlas.didReset()) return;
    glyphCache.clear();
    customGlyphCache.clear();
    ++_generation;
    if (onAtlasChanged) onAtlasChanged();
}

std::optional<GlyphEntry> GlyphEntries::glyphEntry(const QRawFont& font, quint32 glyph) {
    const GlyphKey key{fontIdentity(font), font.pixelSize(), glyph};
    if (auto it = glyphCache.constFind(key); it != glyphCache.constEnd()) return *it;
    const std::optional<GlyphBitmap> bitmap = _rasterizer.rasterize(font, glyph);
    if (!bitmap) return std::nullopt;
    GlyphAtlas& atlas = bitmap->isColor ? _colorAtlas : _grayscaleAtlas;
    const int sizeBefore = atlas.size();
    const std::optional<AtlasRegion> region = atlas.ensureRegion(bitmap->width, bitmap->height);
    if (!region) return std::nullopt;
    invalidateIfChanged(atlas, sizeBefore);
    atlas.write(*region, bitmap->pixels, bitmap->width, bitmap->height);
    const GlyphEntry entry{*region, QSize(bitmap->width, bitmap->height), bitmap->bearing, bitmap->isColor,
                           bitmap->isColor ? GlyphAtlasKind::color : GlyphAtlasKind::grayscale};
    glyphCache.insert(key, entry);
    return entry;
}

int GlyphEntries::keyScale(double scale) {
    return std::max(1, int(std::lround(scale)));
}

std::optional<std::vector<std::uint8_t>> GlyphEntries::drawCustomGlyph(uint32_t codePoint, int width,
                                                                       int height, double scale,
                                                                       int baseThicknessPx, bool antiAlias) {
    if (width <= 0 || height <= 0) return std::nullopt;
    const bool box = codePoint >= 0x2500 && codePoint <= 0x257F;
    std::optional<std::span<const BlockElementRect>> rects;
    if (!box) {
        rects = BlockElementMapping::rects(codePoint);
        if (!rects) return std::nullopt;
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::nullopt;
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        PainterGlyphCanvas canvas(painter);
        const QSizeF cell(width / scale, height / scale);
        if (box) {
            // Box lines join across cells only when their edges are whole pixels.
            canvas.setAntialiasing(false);
            canvas.scale(scale, scale);
            BoxDrawingRenderer::draw(codePoint, canvas, QPointF(0, 0), cell, scale, Qt::white,
                                     baseThicknessPx);
        } else {
            canvas.setAntialiasing(antiAlias);
            canvas.scale(scale, scale);
            BlockElementMapping::draw(*rects, canvas, QRectF(QPointF(0, 0), cell), scale, antiAlias,
                                      Qt::white);
        }
    }
    std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height) * 4);
    const std::size_t rowBytes = std::size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(pixels.data() + std::size_t(y) * rowBytes, image.constScanLine(y), rowBytes);
    return pixels;
}

std::optional<CustomGlyphEntry> GlyphEntries::customGlyphEntry(uint32_t codePoint, int cellWidthPx,
                                                               int cellHeightPx, double scale,
                                                               int baseThicknessPx, bool antiAlias) {
    const CustomGlyphKey key{codePoint,       cellWidthPx,     cellHeightPx,
                             baseThicknessPx, keyScale(scale), antiAlias};
    if (auto it = customGlyphCache.constFind(key); it != customGlyphCache.constEnd()) return *it;
    const std::optional<std::vector<std::uint8_t>> pixels =
        drawCustomGlyph(codePoint, cellWidthPx, cellHeightPx, scale, baseThicknessPx, antiAlias);
    if (!pixels) return std::nullopt;
    const int sizeBefore = _grayscaleAtlas.size();
    const std::optional<AtlasRegion> region = _grayscaleAtlas.ensureRegion(cellWidthPx, cellHeightPx);
    if (!region) return std::nullopt;
    invalidateIfChanged(_grayscaleAtlas, sizeBefore);
    _grayscaleAtlas.write(*region, *pixels, cellWidthPx, cellHeightPx);
    const CustomGlyphEntry entry{*region, QSize(cellWidthPx, cellHeightPx)};
    customGlyphCache.insert(key, entry);
    return entry;
}

} // namespace Tessaline
