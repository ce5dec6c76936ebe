#pragma once

#include "CellMetrics.h"
#include "DrawData.h"
#include "GLBufferingMode.h"
#include "RowDrawBuilder.h"

#include <QFont>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Tessaline {

class Buffer;
class KittyGraphicsState;
class TerminalView;

// The Kitty image store as far as rows depend on it: any change empties the row cache.
struct KittyCacheStamp {
    int imagesCount = 0;
    int placementsCount = 0;
    uint32_t nextImageId = 0;
    uint32_t nextPlacementId = 0;

    static KittyCacheStamp of(const KittyGraphicsState& state);
    bool operator==(const KittyCacheStamp&) const = default;
};

// Everything that affects every row at once: the cached rows are valid for one value of it.
struct CacheSignature {
    double scale = 0;
    double cellWidth = 0;
    double cellHeight = 0;
    double viewWidth = 0;
    double viewHeight = 0;
    int yDisp = 0;
    int rows = 0;
    int cols = 0;
    QString fontName;
    double fontSize = 0;
    bool isAltBuffer = false;
    KittyCacheStamp kittyStamp;

    bool operator==(const CacheSignature&) const = default;
};

// One row's draw data and, with per-row buffering, its GPU buffers.
struct RowCacheEntry {
    std::optional<RowDrawData> data;
    std::optional<RowDrawBuffers> buffers;
};

// The frame builder's memory of the rows on screen: it turns the visible rows into draw data before each
// frame and rebuilds only the rows that changed, for as long as the signature holds. GUI thread.
class RowCache {
public:
    // Where the caret's lists go, with what they are built from.
    struct CaretRequest {
        double scale = 1;
        double cellWidth = 0;
        double cellHeight = 0;
        double lineDescent = 0;
        double lineLeading = 0;
        VisibleRows visible;
    };
    // The renderer's row, buffer and caret builders; tests count their calls.
    struct Builders {
        std::function<void()> pruneKittyTextureCache;
        // RowDrawBuilder::visibleRowRange when not set.
        std::function<std::optional<VisibleRows>(const Buffer& buffer, double cellHeight)> visibleRowRange;
        std::function<RowDrawData(int row, Buffer& buffer, int yDisp, double cellWidth, double cellHeight,
                                  double yOffset, double viewWidthPx, double scale,
                                  const VirtualPlacements& virtualPlacements)>
            buildRowDrawData;
        std::function<RowDrawBuffers(const RowDrawData& data)> makeRowBuffers;
        std::function<void(const CaretRequest& request, DrawData& output)> buildCursorDrawData;
    };
    // What the last build did, for benchmarks and tests.
    struct Stats {
        int builds = 0;
        int rowsBuilt = 0;
        int rowBuffersMade = 0;
    };

    // The flags are the renderer's: the glyph side sets the first when an atlas grows or starts over.
    RowCache(Builders rowBuilders, bool& atlasResetDuringBuild, bool& atlasResetHandled);

    // The draw data of the view's visible rows at the backing scale; empty without a view or without
    // visible rows. Takes the view's GPU dirty range.
    DrawData buildDrawData(TerminalView* view, double scale);
    // An atlas grew or started over: every cached row points into the old one.
    void atlasChanged();

    Builders builders;
    // By line index of the buffer on display.
    std::map<int, RowCacheEntry> rowCache;
    std::optional<GLBufferingMode> cacheBufferingMode;
    std::optional<CacheSignature> cacheSignature;
    Stats lastStats;

private:
    DrawData build(TerminalView& view, double scale);
    const FontMeasures& measuresOf(const QFont& font);

    bool& _atlasResetDuringBuild;
    bool& _atlasResetHandled;
    int _atlasChanges = 0;
    std::optional<std::pair<QFont, FontMeasures>> _measures;
};

} // namespace Tessaline
