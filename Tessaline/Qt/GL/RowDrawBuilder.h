#pragma once

#include "Attribute.h"
#include "DrawData.h"
#include "DrawGeometry.h"
#include "GlyphEntries.h"
#include "KittyPlacementRecord.h"

#include <QFont>
#include <QHash>
#include <QPointer>
#include <QRawFont>

#include <array>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Tessaline {

class Buffer;
class GlyphAtlas;
class ImageTextures;
class TerminalView;
struct TextAttributes;
struct ViewLineInfo;

// The Kitty virtual placements of the screen on display, by image id.
using VirtualPlacements = std::unordered_map<uint32_t, std::vector<KittyPlacementRecord>>;

// The lines on display: first and last line index of the buffer, and its yDisp.
struct VisibleRows {
    int firstRow = 0;
    int lastRow = 0;
    int yDisp = 0;
    bool operator==(const VisibleRows&) const = default;
};

// Turns one buffer row into the GPU records that draw it: cell backgrounds, glyph cells of both atlases,
// underlines and strikethroughs, and image quads in four layers. Glyphs sit on their cells (cell width x
// column), like the painted path, never at the font's advances. Keeps no state of its own; the glyph
// caches and textures it uses are the renderer's. GUI thread, inside a frame build.
class RowDrawBuilder {
public:
    RowDrawBuilder(TerminalView* terminalView, GlyphEntries& entries, const GlyphAtlas& grayscaleAtlas,
                   const GlyphAtlas& colorAtlas, ImageTextures& images, GpuDevice& device);

    QPointer<TerminalView> terminalView;

    // Empty data when the view is gone or `row` is not a line of `buffer`.
    RowDrawData buildRowDrawData(int row, Buffer& buffer, int yDisp, double cellWidth, double cellHeight,
                                 double yOffset, double viewWidthPx, double scale,
                                 const VirtualPlacements& virtualPlacementsByImageId);
    // One exact-size buffer per non-empty list, from the device.
    RowDrawBuffers makeRowBuffers(const RowDrawData& data);

    // Underlines and strikethroughs of `cellCount` cells of one look from x `firstCellX` (points),
    // `cellAdvance` apart, on the baseline (points, y up).
    void appendDecorations(const TextAttributes& look, double firstCellX, int cellCount, double cellAdvance,
                           double baseline, double scale, const RowGeometry& g, std::vector<ColorCell>& out);

    static std::optional<VisibleRows> visibleRowRange(const Buffer& buffer);
    // The style a look's underline is drawn in.
    static UnderlineStyle resolveUnderlineStyle(const TextAttributes& look);
    // The pieces of one line in a style (the second line of `double` is the caller's).
    static void appendUnderlineSegments(double x0, double x1, double yCenter, double thickness, Float4 color,
                                        UnderlineStyle style, double patternScale,
                                        BufferLine::RenderLineMode renderMode,
                                        const std::optional<ClipRect>& clipRect, double pivotY,
                                        std::vector<ColorCell>& output);

private:
    // Metrics of the view's four faces, in points, read again when the faces change.
    struct FaceMetrics {
        QFont normal;
        bool ready = false;
        double underlinePosition = 0; // below the baseline
        double underlineThickness = 0;
        double advance = 0; // of one cell's character
        std::array<double, 4> xHeight{};
        std::array<double, 4> lineWidth{};
    };
    const FaceMetrics& faceMetrics(const TerminalView& view);
    // A shaped run's font at the drawable's pixel size, with the entries of its glyphs found so far: a
    // row asks for thousands of glyphs, found here by the font's engine instead of its name.
    struct FontSlot {
        QRawFont scaled;
        QHash<quint32, GlyphEntry> entries;
    };
    FontSlot& fontSlot(const QRawFont& font, double scale);
    std::optional<GlyphEntry> glyphEntry(FontSlot& slot, quint32 glyph);

    void appendCustomGlyphs(RowDrawData& out, const ViewLineInfo& info, const RowGeometry& g, double scale,
                            const TerminalView& view);
    void appendStrips(RowDrawData& out, const ImageList& images, const RowGeometry& g, double cellWidth,
                      double scale, double backing);
    void appendPlaceholders(RowDrawData& out, const ViewLineInfo& info, const RowGeometry& g, double cellWidth,
                            double cellHeight, double scale, double backing,
                            const VirtualPlacements& placements);

    FaceMetrics _metrics;
    QHash<QRawFont, FontSlot> _fontSlots;
    double _slotScale = 0;
    int _slotGeneration = -1;
    GlyphEntries& _entries;
    const GlyphAtlas& _grayscaleAtlas;
    const GlyphAtlas& _colorAtlas;
    ImageTextures& _images;
    GpuDevice& _device;
};

} // namespace Tessaline
