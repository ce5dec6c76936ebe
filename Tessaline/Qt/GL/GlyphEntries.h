#pragma once

#include "GlyphAtlas.h"
#include "GlyphRasterizer.h"
#include "ShaperCache.h"
#include "ViewLineInfo.h"

#include <QFont>
#include <QHash>
#include <QPointF>
#include <QRawFont>
#include <QSize>

#include <functional>
#include <optional>
#include <vector>

namespace Tessaline {

class TerminalView;

// The atlas a glyph lives in.
enum class GlyphAtlasKind {
    grayscale,
    color
};

struct GlyphKey {
    QString fontName;
    double size = 0;
    quint32 glyph = 0;
    bool operator==(const GlyphKey&) const = default;
};

inline size_t qHash(const GlyphKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.fontName, key.size, key.glyph);
}

struct GlyphEntry {
    AtlasRegion region;
    QSize size;
    QPoint bearing;
    bool isColor = false;
    GlyphAtlasKind atlasKind = GlyphAtlasKind::grayscale;
};

struct CustomGlyphKey {
    uint32_t codePoint = 0;
    int cellWidthPx = 0;
    int cellHeightPx = 0;
    int baseThicknessPx = 0;
    int scale = 1;
    bool antiAlias = false;
    bool operator==(const CustomGlyphKey&) const = default;
};

inline size_t qHash(const CustomGlyphKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.codePoint, key.cellWidthPx, key.cellHeightPx, key.baseThicknessPx, key.scale,
                      key.antiAlias);
}

struct CustomGlyphEntry {
    AtlasRegion region;
    QSize size;
};

// One run of equal looks in a segment, shaped.
struct ShapedRun {
    const TextAttributes* attributes = nullptr;
    QFont font;
    std::shared_ptr<const ShaperRun> shaperRun;
    // The run's cells: `cellCount` of them, after `cellOffset` cells of its segment.
    int cellOffset = 0;
    int cellCount = 0;
    // Its first character in the row's text.
    int textStart = 0;
};

struct ShapedSegment {
    ViewLineSegment segment;
    std::vector<ShapedRun> runs;
};

// Between a row's runs and the GPU records: shaped text, fonts at device size, glyph images and the
// block and box characters as pixel-exact images, each kept until an atlas grows or starts over. Used
// only while a frame is built; GUI thread.
class GlyphEntries {
public:
    GlyphEntries(GlyphAtlas& grayscaleAtlas, GlyphAtlas& colorAtlas, const GlyphRasterizer& rasterizer);

    // Runs whenever an atlas grew or was emptied, after the glyph caches were: the renderer forgets its
    // cached rows and rebuilds the frame once.
    std::function<void()> onAtlasChanged;

    // The segments of one row with their runs shaped; empty segments and runs are dropped.
    std::vector<ShapedSegment> buildShapedSegments(const ViewLineInfo& info, const TerminalView& view);
    // The same font at scale x its size.
    QFont scaledFontFor(const QFont& font, double scale);
    std::optional<GlyphEntry> glyphEntry(const QRawFont& font, quint32 glyph);
    std::optional<CustomGlyphEntry> customGlyphEntry(uint32_t codePoint, int cellWidthPx, int cellHeightPx,
                                                     double scale, int baseThicknessPx, bool antiAlias);

    // Counts the times the glyph caches were emptied: entries kept elsewhere are good while it stays.
    int generation() const { return _generation; }

    ShaperCache shaperCache{2048};
    QHash<GlyphKey, GlyphEntry> glyphCache;
    QHash<GlyphKey, QFont> scaledFontCache;
    QHash<CustomGlyphKey, CustomGlyphEntry> customGlyphCache;

    // Max(1, the scale rounded half away from zero).
    static int keyScale(double scale);
    // The pixels of a block element or box-drawing character, white on transparent, B,G,R,A premultiplied,
    // top row first; nothing for other code points.
    static std::optional<std::vector<std::uint8_t>> drawCustomGlyph(uint32_t codePoint, int width, int height,
                                                                    double scale, int baseThicknessPx,
                                                                    bool antiAlias);

private:
    // Empties the glyph caches when the atlas changed size or started over.
    void invalidateIfChanged(const GlyphAtlas& atlas, int sizeBefore);

    GlyphAtlas& _grayscaleAtlas;
    GlyphAtlas& _colorAtlas;
    const GlyphRasterizer& _rasterizer;
    QString _text;
    int _generation = 0;
};

} // namespace Tessaline
