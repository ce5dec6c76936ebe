// Parent-relative Kitty placements: the origin a parent gives a new placement, the positions of
// placements through chains of parents, and the re-anchoring that keeps children on their parents after
// every scroll.
#include "KittyGraphicsMessages.h"
#include "Saturating.h"
#include "Terminal.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace Tessaline {

namespace Messages = KittyGraphicsMessages;

namespace {

bool hasParent(const KittyPlacementRecord& record) {
    return record.parentImageId && record.parentPlacementId;
}

// The first Kitty strip of the placement on the line, if any.
const KittyPlacementImage* stripOf(const BufferLine& line, const KittyPlacementKey& key) {
    if (!line.images) return nullptr;
    for (const TerminalImagePtr& strip : *line.images) {
        auto* kitty = dynamic_cast<const KittyPlacementImage*>(strip.get());
        if (kitty && kitty->kittyIsKitty && kitty->kittyImageId == key.imageId &&
            kitty->kittyPlacementId == key.placementId)
            return kitty;
    }
    return nullptr;
}

bool sameLine(const std::weak_ptr<BufferLine>& remembered, const BufferLinePtr& line) {
    return line && !remembered.owner_before(line) && !line.owner_before(remembered);
}

// Calls visit(index, line, strip, key) for every keyed Kitty strip of the buffer, oldest line first.
template<class Visit>
void forEachKeyedStrip(const Buffer& buffer, Visit&& visit) {
    if (!buffer.hasAnyImages()) return;
    const CircularBufferLineList& lines = buffer.lines();
    for (int i = 0; i < lines.count(); ++i) {
        const BufferLinePtr& line = lines.peek(i);
        if (!line || !line->images) continue;
        for (const TerminalImagePtr& strip : *line->images) {
            auto* kitty = dynamic_cast<const KittyPlacementImage*>(strip.get());
            if (kitty && kitty->kittyIsKitty && kitty->kittyImageId && kitty->kittyPlacementId)
                visit(i, line, *kitty, KittyPlacementKey{*kitty->kittyImageId, *kitty->kittyPlacementId});
        }
    }
}

} // namespace

// MARK: Origin and positions

Terminal::KittyPlacementOrigin Terminal::resolveKittyPlacementOrigin(const KittyGraphicsControl& control) {
    if (!control.parentImageId || !control.parentPlacementId) return {};
    const KittyPlacementKey parent{*control.parentImageId, *control.parentPlacementId};
    const auto& records = kittyGraphicsState.placementsByKey;
    auto it = records.find(parent);
    if (it == records.end()) return {std::nullopt, std::nullopt, false, Messages::parentNotFound};
    if (it->second.isAlternateBuffer != isCurrentBufferAlternate())
        return {std::nullopt, std::nullopt, false, Messages::parentNotInBuffer};
    const Buffer& active = *_buffer;
    KittyResolvedPositions resolved;
    KittyPlacementKeySet visiting;
    std::optional<KittyPlacementPosition> position = resolveKittyPosition(
        parent, [&](const KittyPlacementKey& key) { return locateKittyPlacementStrips(active, key); }, resolved,
        visiting);
    if (!position) return {std::nullopt, std::nullopt, false, Messages::parentNotFound};
    return {saturatingAdd(position->col, control.offsetH), saturatingAdd(position->row, control.offsetV), true,
            std::nullopt};
}

std::optional<Terminal::KittyPlacementPosition>
Terminal::resolveKittyPlacementPosition(const KittyPlacementKey& key, const KittyPlacementPositions& positions,
                                        KittyResolvedPositions& resolved, KittyPlacementKeySet& visiting) {
    return resolveKittyPosition(
        key,
        [&](const KittyPlacementKey& k) -> std::optional<KittyPlacementPosition> {
            auto it = positions.find(k);
            if (it == positions.end()) return std::nullopt;
            return it->second;
        },
        resolved, visiting);
}

std::optional<Terminal::KittyPlacementPosition> Terminal::resolveKittyPosition(
    const KittyPlacementKey& key,
    const std::function<std::optional<KittyPlacementPosition>(const KittyPlacementKey&)>& strips,
    KittyResolvedPositions& resolved, KittyPlacementKeySet& visiting) {
    const auto& records = kittyGraphicsState.placementsByKey;
    const bool alternate = isCurrentBufferAlternate();
    // Up the chain of parents, without recursion (chains may be long), until a placement whose position
    // is known: a root, or one resolved earlier in this pass. A position depends on nothing but the chain
    // above it, so failures are remembered as well and no chain is walked twice.
    std::vector<std::pair<KittyPlacementKey, const KittyPlacementRecord*>> chain;
    std::optional<KittyPlacementPosition> position;
    bool failed = false;
    KittyPlacementKey current = key;
    while (true) {
        if (auto known = resolved.find(current); known != resolved.end()) {
            position = known->second;
            failed = !position;
            break;
        }
        auto it = records.find(current);
        // Missing, of the other screen, or met again (a cycle): unresolvable.
        if (it == records.end() || it->second.isAlternateBuffer != alternate || visiting.contains(current)) {
            failed = true;
            break;
        }
        const KittyPlacementRecord& record = it->second;
        if (!hasParent(record)) {
            // A root is where its strips are (a virtual one has none: where it was made).
            position = KittyPlacementPosition{record.row, record.col};
            if (!record.isVirtual)
                if (std::optional<KittyPlacementPosition> found = strips(current)) position = found;
            resolved[current] = position;
            break;
        }
        visiting.insert(current);
        chain.emplace_back(current, &record);
        current = {*record.parentImageId, *record.parentPlacementId};
    }
    // Back down the chain: each child sits at its parent's position plus its offsets.
    for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
        const auto& [linkKey, record] = *link;
        if (!failed && position)
            position = KittyPlacementPosition{saturatingAdd(position->row, record->parentOffsetV),
                                              saturatingAdd(position->col, record->parentOffsetH)};
        else
            position.reset();
        resolved[linkKey] = position;
        visiting.erase(linkKey);
    }
    if (failed) return std::nullopt;
    return position;
}

Terminal::KittyPlacementPositions Terminal::collectKittyPlacementPositions(const Buffer& buffer) const {
    KittyPlacementPositions positions;
    forEachKeyedStrip(buffer, [&](int index, const BufferLinePtr&, const KittyPlacementImage& strip,
                                  const KittyPlacementKey& key) {
        positions.try_emplace(key, KittyPlacementPosition{index, strip.col()});
    });
    return positions;
}

// MARK: Strip anchors

Terminal::KittyStripAnchors& Terminal::kittyStripAnchors(const Buffer& buffer) {
    KittyStripAnchors& anchors = &buffer == _altBuffer.get() ? _kittyAnchorsAlt : _kittyAnchorsNormal;
    // A new width may have rebuilt lines: nothing remembered holds.
    if (anchors.cols != buffer.cols()) {
        anchors.byKey.clear();
        anchors.cols = buffer.cols();
    }
    return anchors;
}

void Terminal::noteKittyStripAnchor(const Buffer& buffer, const KittyPlacementKey& key, int index) {
    KittyStripAnchors& anchors = kittyStripAnchors(buffer);
    // Forget placements that are gone before the notes outgrow the records.
    const auto& records = kittyGraphicsState.placementsByKey;
    if (anchors.byKey.size() > 2 * records.size() + 64)
        std::erase_if(anchors.byKey, [&](const auto& entry) { return !records.contains(entry.first); });
    KittyStripAnchor& anchor = anchors.byKey[key];
    anchor.index = index;
    anchor.line = index >= 0 ? std::weak_ptr<BufferLine>(buffer.lines().peek(index)) : std::weak_ptr<BufferLine>();
}

std::optional<Terminal::KittyPlacementPosition> Terminal::locateKittyPlacementStrips(const Buffer& buffer,
                                                                                     const KittyPlacementKey& key) {
    KittyStripAnchors& anchors = kittyStripAnchors(buffer);
    const CircularBufferLineList& lines = buffer.lines();
    if (auto it = anchors.byKey.find(key); it != anchors.byKey.end()) {
        KittyStripAnchor& anchor = it->second;
        // Only this terminal attaches strips of a key, and it notes where: without a line there are none.
        if (anchor.index < 0) return std::nullopt;
        // Lines keep their order when they move, and a scroll moves them by one at most: the line last
        // found topmost is still topmost while it holds such a strip.
        for (int delta : {0, -1, 1, -2, 2}) {
            const int index = anchor.index + delta;
            if (index < 0 || index >= lines.count()) continue;
            const BufferLinePtr& line = lines.peek(index);
            if (!sameLine(anchor.line, line)) continue;
            if (const KittyPlacementImage* strip = stripOf(*line, key)) {
                anchor.index = index;
                return KittyPlacementPosition{index, strip->col()};
            }
            break;
        }
    }
    // Lost track: scan the whole ring once and note the topmost line of every keyed placement found; the
    // others noted have no strips.
    for (auto& [noted, anchor] : anchors.byKey)
        anchor = KittyStripAnchor{};
    forEachKeyedStrip(buffer, [&](int index, const BufferLinePtr& line, const KittyPlacementImage&,
                                  const KittyPlacementKey& found) {
        KittyStripAnchor& anchor = anchors.byKey[found];
        if (anchor.index < 0) anchor = KittyStripAnchor{line, index};
    });
    const KittyStripAnchor& anchor = anchors.byKey[key];
    if (anchor.index < 0) return std::nullopt;
    return KittyPlacementPosition{anchor.index, stripOf(*lines.peek(anchor.index), key)->col()};
}

// MARK: Re-anchoring

void Terminal::updateKittyRelativePlacementsForCurrentBuffer() {
    auto& records = kittyGraphicsState.placementsByKey;
    if (records.empty()) return;
    const bool alternate = isCurrentBufferAlternate();
    bool anyStrips = false;
    bool anyChildren = false;
    for (const auto& [key, record] : records) {
        if (record.isAlternateBuffer != alternate) continue;
        if (!record.isVirtual) anyStrips = true;
        if (hasParent(record)) anyChildren = true;
    }
    // No placement of this screen has strips to follow or a parent to follow.
    if (!anyStrips && !anyChildren) return;

    Buffer& active = *_buffer;
    KittyPlacementPositions& positions = _kittyScratchPositions;
    positions.clear();
    // Records follow their strips.
    for (auto& [key, record] : records) {
        if (record.isAlternateBuffer != alternate || record.isVirtual) continue;
        std::optional<KittyPlacementPosition> found = locateKittyPlacementStrips(active, key);
        if (!found) continue;
        if (anyChildren) positions.emplace(key, *found);
        record.row = found->row;
        record.col = found->col;
    }
    if (!anyChildren) return;

    // Children follow their parents.
    KittyResolvedPositions& resolved = _kittyScratchResolved;
    KittyPlacementKeySet& visiting = _kittyScratchVisiting;
    resolved.clear();
    visiting.clear();
    for (auto& [key, record] : records) {
        if (record.isAlternateBuffer != alternate || !hasParent(record)) continue;
        std::optional<KittyPlacementPosition> target = resolveKittyPlacementPosition(key, positions, resolved, visiting);
        if (!target) continue;
        if (!record.isVirtual) {
            auto strips = positions.find(key);
            const KittyPlacementPosition now =
                strips != positions.end() ? strips->second : KittyPlacementPosition{record.row, record.col};
            if (now != *target)
                moveKittyPlacementImages(active, key, saturatingSub(target->row, now.row), target->row, target->col);
        }
        record.row = target->row;
        record.col = target->col;
    }
}

void Terminal::moveKittyPlacementImages(Buffer& buffer, const KittyPlacementKey& key, int64_t deltaRow,
                                        int64_t newTopRow, int64_t newLeftCol) {
    struct Taken {
        TerminalImagePtr strip;
        KittyPlacementImage* kitty;
        int64_t target;
    };
    std::vector<Taken> taken;
    CircularBufferLineList& lines = buffer.lines();
    const bool active = &buffer == _buffer;
    if (buffer.hasAnyImages()) {
        for (int i = 0; i < lines.count(); ++i) {
            const BufferLinePtr& line = lines.peek(i);
            if (!line || !line->images) continue;
            ImageList& strips = *line->images;
            auto kept = strips.begin();
            for (auto it = strips.begin(); it != strips.end(); ++it) {
                auto* kitty = dynamic_cast<KittyPlacementImage*>(it->get());
                if (kitty && kitty->kittyIsKitty && kitty->kittyImageId == key.imageId &&
                    kitty->kittyPlacementId == key.placementId) {
                    taken.push_back({std::move(*it), kitty, saturatingAdd(i, deltaRow)});
                    continue;
                }
                if (kept != it) *kept = std::move(*it);
                ++kept;
            }
            if (kept == strips.end()) continue;
            if (kept == strips.begin())
                buffer.clearImagesFromLine(i);
            else
                strips.erase(kept, strips.end());
            if (active) updateRange(i - buffer.yDisp());
        }
    }
    int topmost = -1;
    const int col = int(std::clamp<int64_t>(newLeftCol, INT_MIN, INT_MAX));
    for (Taken& move : taken) {
        if (move.target < 0 || move.target >= lines.count()) continue;
        KittyPlacementImage* kitty = move.kitty;
        kitty->setCol(col);
        kitty->kittyCol = newLeftCol;
        kitty->kittyRow = newTopRow;
        const int line = int(move.target);
        buffer.attachImage(move.strip, line);
        if (topmost < 0 || line < topmost) topmost = line;
        if (active) updateRange(line - buffer.yDisp());
    }
    noteKittyStripAnchor(buffer, key, topmost);
}

} // namespace Tessaline
