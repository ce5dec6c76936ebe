#include "RowCache.h"

#include "Buffer.h"
#include "KittyGraphicsState.h"
#include "TerminalView.h"

#include <algorithm>
#include <cmath>

namespace Tessaline {

namespace {

template<class T>
void appendAll(std::vector<T>& to, const std::vector<T>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

void appendRow(FrameDrawData& frame, const RowDrawData& row) {
    appendAll(frame.backgroundCells, row.backgroundCells);
    appendAll(frame.glyphCellsGray, row.glyphCellsGray);
    appendAll(frame.glyphCellsColor, row.glyphCellsColor);
    appendAll(frame.decorationCells, row.decorationCells);
    appendAll(frame.underImageDraws, row.underImageDraws);
    appendAll(frame.placeholderImageDraws, row.placeholderImageDraws);
    appendAll(frame.overImageDraws, row.overImageDraws);
    appendAll(frame.otherImageDraws, row.otherImageDraws);
}

} // namespace

KittyCacheStamp KittyCacheStamp::of(const KittyGraphicsState& state) {
    return {int(state.imagesById.size()), int(state.placementsByKey.size()), state.nextImageId,
            state.nextPlacementId};
}

RowCache::RowCache(Builders rowBuilders, bool& atlasResetDuringBuild, bool& atlasResetHandled)
    : builders(std::move(rowBuilders))
    , _atlasResetDuringBuild(atlasResetDuringBuild)
    , _atlasResetHandled(atlasResetHandled) {}

void RowCache::atlasChanged() {
    _atlasResetDuringBuild = true;
    ++_atlasChanges;
    rowCache.clear();
}

const FontMeasures& RowCache::measuresOf(const QFont& font) {
    if (!_measures || _measures->first != font) _measures = std::pair{font, FontMeasures::of(font)};
    return _measures->second;
}

DrawData RowCache::buildDrawData(TerminalView* view, double scale) {
    if (!view) return {};
    DrawData result = build(*view, scale);
    if (_atlasResetDuringBuild && !_atlasResetHandled) {
        // Rows built before the atlas changed point into what it was: build the frame once more. A change
        // during the repeat is not repeated again; the rows it spoilt are no longer cached.
        _atlasResetHandled = true;
        rowCache.clear();
        result = build(*view, scale);
    }
    _atlasResetHandled = false;
    return result;
}

DrawData RowCache::build(TerminalView& view, double scale) {
    lastStats = Stats{lastStats.builds + 1, 0, 0};
    _atlasResetDuringBuild = false;
    if (builders.pruneKittyTextureCache) builders.pruneKittyTextureCache();

    Terminal& terminal = view.terminal();
    Buffer& buffer = terminal.displayBuffer();
    const QSizeF cell = view.cellDimension();
    const QFont& font = view.fontSet().normal;
    const FontMeasures& measures = measuresOf(font);
    const double viewWidth = view.width();
    const double viewHeight = view.height();

    const std::optional<VisibleRows> visible = builders.visibleRowRange
                                                   ? builders.visibleRowRange(buffer, cell.height())
                                                   : RowDrawBuilder::visibleRowRange(buffer);
    if (!visible) return {};

    const GLBufferingMode mode = view.gpuBufferingMode();
    if (cacheBufferingMode != mode) {
        if (mode == GLBufferingMode::perFrameAggregated)
            for (auto& [row, entry] : rowCache)
                entry.buffers.reset();
        cacheBufferingMode = mode;
    }

    const bool isAltBuffer = terminal.isCurrentBufferAlternate();
    const KittyGraphicsState& kitty = terminal.kittyGraphicsState;
    const CacheSignature signature{
        scale,         cell.width(),      cell.height(), viewWidth,
        viewHeight,    buffer.yDisp(),    buffer.rows(), buffer.cols(),
        font.family(), font.pointSizeF(), isAltBuffer,   KittyCacheStamp::of(kitty)};
    bool fullRebuild = false;
    if (cacheSignature != signature) {
        rowCache.clear();
        cacheSignature = signature;
        fullRebuild = true;
    }

    rowCache.erase(rowCache.begin(), rowCache.lower_bound(visible->firstRow));
    rowCache.erase(rowCache.upper_bound(visible->lastRow), rowCache.end());

    const std::optional<std::pair<int, int>> taken = view.takeGpuDirtyRange();
    if (rowCache.empty()) fullRebuild = true;
    int dirtyLower = 0;
    int dirtyUpper = -1;
    if (!fullRebuild && taken) {
        dirtyLower = std::max(taken->first, visible->firstRow);
        dirtyUpper = std::min(taken->second, visible->lastRow);
    }

    VirtualPlacements virtualPlacements;
    for (const auto& [key, record] : kitty.placementsByKey)
        if (record.isVirtual && record.isAlternateBuffer == isAltBuffer)
            virtualPlacements[record.imageId].push_back(record);

    const bool persistent = mode == GLBufferingMode::perRowPersistent;
    const double yOffset = std::ceil(measures.descent + measures.leading);
    const double viewWidthPx = scale * viewWidth;
    DrawData result;
    if (persistent)
        result.rows.reserve(size_t(visible->lastRow - visible->firstRow + 1));
    else
        result.frame.emplace();

    auto appendOutput = [&](const RowCacheEntry& entry) {
        if (persistent)
            result.rows.push_back(entry.buffers.value_or(RowDrawBuffers{}));
        else if (entry.data)
            appendRow(*result.frame, *entry.data);
    };
    for (int row = visible->firstRow; row <= visible->lastRow; ++row) {
        auto found = rowCache.find(row);
        const bool dirty = row >= dirtyLower && row <= dirtyUpper;
        if (fullRebuild || dirty || found == rowCache.end()) {
            // The row builder may empty the cache (an atlas change): no iterator is held across it.
            const int changesBefore = _atlasChanges;
            RowCacheEntry entry;
            entry.data = builders.buildRowDrawData(row, buffer, visible->yDisp, cell.width(), cell.height(),
                                                   yOffset, viewWidthPx, scale, virtualPlacements);
            ++lastStats.rowsBuilt;
            if (persistent) {
                entry.buffers = builders.makeRowBuffers(*entry.data);
                ++lastStats.rowBuffersMade;
            }
            if (_atlasChanges != changesBefore) {
                // Glyphs placed before the atlas changed point into what it was: shown this once (the
                // build is repeated, or, in the repeat, rebuilt next frame) but not kept.
                appendOutput(entry);
                continue;
            }
            found = rowCache.insert_or_assign(row, std::move(entry)).first;
        } else if (persistent && !found->second.buffers) {
            found->second.buffers = builders.makeRowBuffers(found->second.data.value_or(RowDrawData{}));
            ++lastStats.rowBuffersMade;
        }
        appendOutput(found->second);
    }

    if (builders.buildCursorDrawData)
        builders.buildCursorDrawData(
            CaretRequest{scale, cell.width(), cell.height(), measures.descent, measures.leading, *visible},
            result);
    return result;
}

} // namespace Tessaline
