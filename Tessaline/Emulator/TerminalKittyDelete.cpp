// Kitty deletion: the delete command and its selectors, the removal of strips and records they rest on,
// and the clearing of one buffer or of everything that screen switches, resets and ED 2 ask for.
#include "KittyGraphicsMessages.h"
#include "Saturating.h"
#include "Terminal.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace Tessaline {

namespace Messages = KittyGraphicsMessages;

namespace {

// A placement's rectangle: columns and lines, both ends included; at least one cell.
struct Area {
    int64_t left = 0;
    int64_t right = 0;
    int64_t top = 0;
    int64_t bottom = 0;

    Area(int64_t col, int64_t cols, int64_t row, int64_t rows)
        : left(col)
        , right(saturatingAdd(col, std::max<int64_t>(cols, 1) - 1))
        , top(row)
        , bottom(saturatingAdd(row, std::max<int64_t>(rows, 1) - 1)) {}

    bool hasColumn(int64_t col) const { return left <= col && col <= right; }
    bool hasLine(int64_t line) const { return top <= line && line <= bottom; }
    bool meets(int64_t firstCol, int64_t lastCol, int64_t firstLine, int64_t lastLine) const {
        return left <= lastCol && right >= firstCol && top <= lastLine && bottom >= firstLine;
    }
};

Area areaOf(const KittyPlacementImage& strip) {
    return Area(strip.kittyCol, strip.kittyCols, strip.kittyRow, strip.kittyRows);
}

Area areaOf(const KittyPlacementRecord& record) {
    return Area(record.col, record.cols, record.row, record.rows);
}

uint32_t idBound(int64_t value) {
    return uint32_t(std::clamp<int64_t>(value, 0, UINT32_MAX));
}

} // namespace

void Terminal::handleKittyDelete(const KittyGraphicsControl& control) {
    const char selector = control.deleteMode.value_or('a');
    const unsigned char byte = static_cast<unsigned char>(selector);
    // Upper case frees what nothing shows any more; so does a selector without case.
    const bool frees = std::toupper(byte) == byte;
    const int64_t x = control.cropX;
    const int64_t y = control.cropY;
    switch (std::tolower(byte)) {
    case 'a':
        deletePlacementsVisibleOnScreen();
        break;
    case 'i':
        if (!control.imageId) return sendKittyError(control, Messages::missingImageId);
        deletePlacementsByImageId(*control.imageId, control.placementId);
        break;
    case 'n':
        if (!control.imageNumber) return sendKittyError(control, Messages::missingImageNumber);
        if (auto it = kittyGraphicsState.imageNumbers.find(*control.imageNumber);
            it != kittyGraphicsState.imageNumbers.end())
            deletePlacementsByImageId(it->second, control.placementId);
        break;
    case 'c':
        deletePlacementsAtCell(int64_t(_buffer->x()) + 1, int64_t(_buffer->y()) + 1, std::nullopt);
        break;
    case 'p':
        if (x < 1 || y < 1) return sendKittyError(control, Messages::missingCellPosition);
        deletePlacementsAtCell(x, y, std::nullopt);
        break;
    case 'q':
        if (x < 1 || y < 1) return sendKittyError(control, Messages::missingCellPosition);
        deletePlacementsAtCell(x, y, control.zIndex);
        break;
    case 'x':
        if (x < 1) return sendKittyError(control, Messages::missingColumn);
        deletePlacementsInColumn(x);
        break;
    case 'y':
        if (y < 1) return sendKittyError(control, Messages::missingRow);
        deletePlacementsInRow(y);
        break;
    case 'z':
        deletePlacementsWithZIndex(control.zIndex);
        break;
    case 'r':
        if (x < 1 || y < 1) return sendKittyError(control, Messages::missingIdRange);
        // Ids are 32-bit: larger bounds stop at the largest id.
        deletePlacementsByImageIdRange(idBound(std::min(x, y)), idBound(std::max(x, y)));
        break;
    default:
        sendKittyError(control, Messages::unsupportedDelete);
        break;
    }
    if (frees) cleanupUnusedKittyImages();
}

// MARK: Selectors

void Terminal::runKittyDeletion(bool bothBuffers, int64_t lineStart, int64_t lineEnd,
                                const KittyStripPredicate& strip, const KittyRecordPredicate& record) {
    KittyPlacementKeySet removedStrips;
    if (bothBuffers) {
        removedStrips = removeKittyPlacements(*_normalBuffer, lineStart, lineEnd, strip);
        removedStrips.merge(removeKittyPlacements(*_altBuffer, lineStart, lineEnd, strip));
    } else {
        removedStrips = removeKittyPlacements(*_buffer, lineStart, lineEnd, strip);
    }
    const KittyPlacementKeySet removedRecords = removePlacementRecords(record);
    // A placement that lost only some strips (and kept its record) loses the others too.
    KittyPlacementKeySet rest;
    for (const KittyPlacementKey& key : removedStrips)
        if (!removedRecords.contains(key)) rest.insert(key);
    removeKittyPlacementsByKey(rest);
}

void Terminal::deletePlacementsVisibleOnScreen() {
    const int64_t top = _buffer->yBase();
    const int64_t bottom = top + _rows - 1;
    const int64_t lastCol = _cols - 1;
    runKittyDeletion(
        false, top, std::min<int64_t>(top + _rows, _buffer->lines().count()),
        [](const KittyPlacementImage&) { return true; },
        [&](const KittyPlacementRecord& record) { return areaOf(record).meets(0, lastCol, top, bottom); });
}

void Terminal::deletePlacementsByImageId(uint32_t imageId, std::optional<uint32_t> placementId) {
    runKittyDeletion(
        true, 0, INT64_MAX,
        [&](const KittyPlacementImage& strip) {
            return strip.kittyImageId == imageId && (!placementId || strip.kittyPlacementId == placementId);
        },
        [&](const KittyPlacementRecord& record) {
            return record.imageId == imageId && (!placementId || record.placementId == *placementId);
        });
}

void Terminal::deletePlacementsAtCell(int64_t col, int64_t row, std::optional<int64_t> zIndex) {
    const int64_t column = col - 1;
    const int64_t line = saturatingAdd(row - 1, _buffer->yBase());
    runKittyDeletion(
        false, 0, INT64_MAX,
        [&](const KittyPlacementImage& strip) {
            return (!zIndex || strip.kittyZIndex == *zIndex) && areaOf(strip).hasColumn(column) &&
                   areaOf(strip).hasLine(line);
        },
        [&](const KittyPlacementRecord& record) {
            return (!zIndex || record.zIndex == *zIndex) && areaOf(record).hasColumn(column) &&
                   areaOf(record).hasLine(line);
        });
}

void Terminal::deletePlacementsInColumn(int64_t col) {
    const int64_t column = col - 1;
    runKittyDeletion(
        false, 0, INT64_MAX,
        [&](const KittyPlacementImage& strip) { return areaOf(strip).hasColumn(column); },
        [&](const KittyPlacementRecord& record) { return areaOf(record).hasColumn(column); });
}

void Terminal::deletePlacementsInRow(int64_t row) {
    const int64_t line = saturatingAdd(row - 1, _buffer->yBase());
    runKittyDeletion(
        false, 0, INT64_MAX, [&](const KittyPlacementImage& strip) { return areaOf(strip).hasLine(line); },
        [&](const KittyPlacementRecord& record) { return areaOf(record).hasLine(line); });
}

void Terminal::deletePlacementsWithZIndex(int64_t zIndex) {
    runKittyDeletion(
        true, 0, INT64_MAX, [&](const KittyPlacementImage& strip) { return strip.kittyZIndex == zIndex; },
        [&](const KittyPlacementRecord& record) { return record.zIndex == zIndex; });
}

void Terminal::deletePlacementsByImageIdRange(uint32_t minId, uint32_t maxId) {
    runKittyDeletion(
        true, 0, INT64_MAX,
        [&](const KittyPlacementImage& strip) {
            return strip.kittyImageId && *strip.kittyImageId >= minId && *strip.kittyImageId <= maxId;
        },
        [&](const KittyPlacementRecord& record) {
            return record.imageId >= minId && record.imageId <= maxId;
        });
}

// MARK: Strips and records

Terminal::KittyPlacementKeySet Terminal::removeKittyPlacements(Buffer& buffer, int64_t lineStart,
                                                               int64_t lineEnd,
                                                               const KittyStripPredicate& predicate) {
    KittyPlacementKeySet keys;
    const CircularBufferLineList& lines = buffer.lines();
    const int start = int(std::clamp<int64_t>(lineStart, 0, lines.count()));
    const int end = int(std::clamp<int64_t>(lineEnd, 0, lines.count()));
    // The count of lines with strips may overstate, never understate.
    if (start >= end || !buffer.hasAnyImages()) return keys;
    int firstChanged = -1;
    int lastChanged = -1;
    for (int i = start; i < end; ++i) {
        const bool changed = buffer.takeImagesFromLine(i, [&](const TerminalImagePtr& strip) {
            auto* kitty = strip->asKittyPlacementImage();
            if (!kitty || !kitty->kittyIsKitty || !predicate(*kitty)) return false;
            if (kitty->kittyImageId && kitty->kittyPlacementId)
                keys.insert({*kitty->kittyImageId, *kitty->kittyPlacementId});
            return true;
        });
        if (!changed) continue;
        if (firstChanged < 0) firstChanged = i;
        lastChanged = i;
    }
    if (&buffer == _buffer && firstChanged >= 0) {
        updateRange(firstChanged - buffer.yDisp());
        updateRange(lastChanged - buffer.yDisp());
    }
    return keys;
}

Terminal::KittyPlacementKeySet Terminal::removePlacementRecords(const KittyRecordPredicate& predicate) {
    KittyPlacementKeySet keys;
    auto& records = kittyGraphicsState.placementsByKey;
    for (const auto& [key, record] : records)
        if (predicate(record)) keys.insert(key);
    for (const KittyPlacementKey& key : keys)
        records.erase(key);
    return keys;
}

Terminal::KittyPlacementKeySet Terminal::removeKittyPlacementsByKey(const KittyPlacementKeySet& keys) {
    if (keys.empty()) return {};
    auto listed = [&keys](const KittyPlacementImage& strip) {
        return strip.kittyImageId && strip.kittyPlacementId &&
               keys.contains({*strip.kittyImageId, *strip.kittyPlacementId});
    };
    KittyPlacementKeySet removed = removeKittyPlacements(*_normalBuffer, 0, INT64_MAX, listed);
    removed.merge(removeKittyPlacements(*_altBuffer, 0, INT64_MAX, listed));
    return removed;
}

// MARK: Clearing

void Terminal::clearKittyImages(Buffer& buffer, bool isAlternateBuffer) {
    const KittyPlacementKeySet removedStrips =
        removeKittyPlacements(buffer, 0, INT64_MAX, [](const KittyPlacementImage&) { return true; });
    const KittyPlacementKeySet removedRecords =
        removePlacementRecords([isAlternateBuffer](const KittyPlacementRecord& record) {
            return record.isAlternateBuffer == isAlternateBuffer;
        });
    KittyPlacementKeySet rest;
    for (const KittyPlacementKey& key : removedStrips)
        if (!removedRecords.contains(key)) rest.insert(key);
    removeKittyPlacementsByKey(rest);
    cleanupUnusedKittyImages();
}

void Terminal::clearAllKittyImages() {
    for (Buffer* buffer : {_normalBuffer.get(), _altBuffer.get()}) {
        if (!buffer->hasAnyImages()) continue;
        for (int i = 0; i < buffer->lines().count(); ++i)
            buffer->clearImagesFromLine(i);
        // Nothing is left: the count, which may have overstated, becomes exact again.
        buffer->recalculateLinesWithImagesCount();
    }
    kittyGraphicsState.removeAllImages();
    _kittyAnchorsNormal.byKey.clear();
    _kittyAnchorsAlt.byKey.clear();
    updateRange(_buffer->scrollTop());
    updateRange(_buffer->scrollBottom());
}

} // namespace Tessaline
