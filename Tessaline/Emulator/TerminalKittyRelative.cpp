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

// Whether the handle still names the object noted (compared by owner, so no count changes hands).
template<class T, class U>
bool same(const std::weak_ptr<T>& noted, const std::shared_ptr<U>& handle) {
    return handle && !noted.owner_before(handle) && !handle.owner_before(noted);
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
            auto* kitty = strip->asKittyPlacementImage();
            if (kitty && kitty->kittyIsKitty && kitty->kittyImageId && kitty->kittyPlacementId)
                visit(i, line, strip, KittyPlacementKey{*kitty->kittyImageId, *kitty->kittyPlacementId});
        }
    }
}

using Position = Terminal::KittyPlacementPosition;
using Records = std::unordered_map<KittyPlacementKey, KittyPlacementRecord>;
using Chain = std::vector<std::pair<KittyPlacementKey, const KittyPlacementRecord*>>;

// The memo of resolveKittyPlacementPosition: the caller's maps.
struct MapMemo {
    Terminal::KittyResolvedPositions& resolved;
    Terminal::KittyPlacementKeySet& visiting;

    const std::optional<Position>* find(const KittyPlacementKey& key) const {
        auto it = resolved.find(key);
        return it == resolved.end() ? nullptr : &it->second;
    }
    void store(const KittyPlacementKey& key, const std::optional<Position>& position) {
        resolved[key] = position;
    }
    bool isVisiting(const KittyPlacementKey& key) const { return visiting.contains(key); }
    void enter(const KittyPlacementKey& key) { visiting.insert(key); }
    void leave(const KittyPlacementKey& key) { visiting.erase(key); }
};

// The memo of a re-anchoring pass (Terminal::KittyResolveMemo): entries stamped with the pass, reused from
// pass to pass. The walk asks several things of one placement in a row: the entry is looked up once.
template<class ResolveMemo>
struct StampMemo {
    ResolveMemo& memo;
    KittyPlacementKey lastKey;
    typename ResolveMemo::Entry* last = nullptr;

    typename ResolveMemo::Entry& at(const KittyPlacementKey& key) {
        if (!last || !(lastKey == key)) {
            last = &memo.entries[key];
            lastKey = key;
        }
        return *last;
    }
    const std::optional<Position>* find(const KittyPlacementKey& key) {
        auto& entry = at(key);
        return entry.resolvedPass == memo.pass ? &entry.position : nullptr;
    }
    void store(const KittyPlacementKey& key, const std::optional<Position>& position) {
        auto& entry = at(key);
        entry.resolvedPass = memo.pass;
        entry.position = position;
    }
    bool isVisiting(const KittyPlacementKey& key) { return at(key).visitingPass == memo.pass; }
    void enter(const KittyPlacementKey& key) { at(key).visitingPass = memo.pass; }
    void leave(const KittyPlacementKey& key) { at(key).visitingPass = 0; }
};

// The position of a placement of the active screen (`alternate`), following its chain of parents: a root
// is where its strips are (strips(key), when it is not virtual and has any) or else where its record
// says; each child is at its parent's position plus its offsets. A missing placement, one of the other
// screen or a cycle makes the whole chain unresolvable.
//
// The walk goes up without recursion (chains may be long) until a placement whose position is known: a
// root, or one resolved earlier in the pass. A position depends on nothing but the chain above it, so
// failures are remembered as well and no chain is walked twice in a pass.
template<class Memo, class Strips>
std::optional<Position> resolveChain(const Records& records, bool alternate, const KittyPlacementKey& key,
                                     Strips&& strips, Memo& memo, Chain& chain) {
    chain.clear();
    std::optional<Position> position;
    bool failed = false;
    KittyPlacementKey current = key;
    while (true) {
        if (const std::optional<Position>* known = memo.find(current)) {
            position = *known;
            failed = !position;
            break;
        }
        auto it = records.find(current);
        if (it == records.end() || it->second.isAlternateBuffer != alternate || memo.isVisiting(current)) {
            failed = true;
            break;
        }
        const KittyPlacementRecord& record = it->second;
        if (!hasParent(record)) {
            position = Position{record.row, record.col};
            if (!record.isVirtual)
                if (std::optional<Position> found = strips(current)) position = found;
            memo.store(current, position);
            break;
        }
        memo.enter(current);
        chain.emplace_back(current, &record);
        current = {*record.parentImageId, *record.parentPlacementId};
    }
    for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
        const auto& [linkKey, record] = *link;
        if (!failed && position)
            position = Position{saturatingAdd(position->row, record->parentOffsetV),
                                saturatingAdd(position->col, record->parentOffsetH)};
        else
            position.reset();
        memo.store(linkKey, position);
        memo.leave(linkKey);
    }
    if (failed) return std::nullopt;
    return position;
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
    MapMemo memo{resolved, visiting};
    Chain chain;
    std::optional<KittyPlacementPosition> position = resolveChain(
        records, isCurrentBufferAlternate(), parent,
        [&](const KittyPlacementKey& key) { return locateKittyPlacementStrips(active, key); }, memo, chain);
    if (!position) return {std::nullopt, std::nullopt, false, Messages::parentNotFound};
    return {saturatingAdd(position->col, control.offsetH), saturatingAdd(position->row, control.offsetV),
            true, std::nullopt};
}

std::optional<Terminal::KittyPlacementPosition>
Terminal::resolveKittyPlacementPosition(const KittyPlacementKey& key,
                                        const KittyPlacementPositions& positions,
                                        KittyResolvedPositions& resolved, KittyPlacementKeySet& visiting) {
    MapMemo memo{resolved, visiting};
    Chain chain;
    return resolveChain(
        kittyGraphicsState.placementsByKey, isCurrentBufferAlternate(), key,
        [&](const KittyPlacementKey& k) -> std::optional<KittyPlacementPosition> {
            auto it = positions.find(k);
            if (it == positions.end()) return std::nullopt;
            return it->second;
        },
        memo, chain);
}

Terminal::KittyPlacementPositions Terminal::collectKittyPlacementPositions(const Buffer& buffer) const {
    KittyPlacementPositions positions;
    forEachKeyedStrip(buffer, [&](int index, const BufferLinePtr&, const TerminalImagePtr& strip,
                                  const KittyPlacementKey& key) {
        positions.try_emplace(key, KittyPlacementPosition{index, strip->col()});
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

void Terminal::noteKittyStripAnchor(const Buffer& buffer, const KittyPlacementKey& key, int index,
                                    const TerminalImagePtr& strip) {
    KittyStripAnchors& anchors = kittyStripAnchors(buffer);
    // Forget placements that are gone before the notes outgrow the records.
    const auto& records = kittyGraphicsState.placementsByKey;
    if (anchors.byKey.size() > 2 * records.size() + 64)
        std::erase_if(anchors.byKey, [&](const auto& entry) { return !records.contains(entry.first); });
    KittyStripAnchor& anchor = anchors.byKey[key];
    anchor = KittyStripAnchor{};
    if (index < 0 || !strip) return;
    anchor.line = buffer.lines().peek(index);
    anchor.strip = strip;
    anchor.index = index;
}

std::optional<Terminal::KittyPlacementPosition>
Terminal::locateKittyPlacementStrips(const Buffer& buffer, const KittyPlacementKey& key) {
    KittyStripAnchors& anchors = kittyStripAnchors(buffer);
    const CircularBufferLineList& lines = buffer.lines();
    if (auto it = anchors.byKey.find(key); it != anchors.byKey.end()) {
        KittyStripAnchor& anchor = it->second;
        // Only this terminal attaches strips of a key, and it notes where: without a line there are none.
        if (anchor.index < 0) return std::nullopt;
        // Lines keep their order when they move, and a scroll moves them by one at most: the line last
        // found topmost is still topmost while it holds that strip.
        for (int delta : {0, -1, 1, -2, 2}) {
            const int index = anchor.index + delta;
            if (index < 0 || index >= lines.count()) continue;
            const BufferLinePtr& line = lines.peek(index);
            if (!same(anchor.line, line)) continue;
            if (line->images)
                for (const TerminalImagePtr& strip : *line->images)
                    if (same(anchor.strip, strip)) {
                        anchor.index = index;
                        return KittyPlacementPosition{index, strip->col()};
                    }
            break;
        }
    }
    // Lost track: scan the whole ring once and note the topmost strip of every keyed placement found; the
    // others noted have no strips.
    for (auto& [noted, anchor] : anchors.byKey)
        anchor = KittyStripAnchor{};
    forEachKeyedStrip(buffer, [&](int index, const BufferLinePtr& line, const TerminalImagePtr& strip,
                                  const KittyPlacementKey& found) {
        KittyStripAnchor& anchor = anchors.byKey[found];
        if (anchor.index < 0) anchor = KittyStripAnchor{line, strip, index};
    });
    const KittyStripAnchor& anchor = anchors.byKey[key];
    if (anchor.index < 0) return std::nullopt;
    return KittyPlacementPosition{anchor.index, anchor.strip.lock()->col()};
}

// MARK: Re-anchoring

void Terminal::updateKittyRelativePlacementsForCurrentBuffer() {
    auto& records = kittyGraphicsState.placementsByKey;
    if (records.empty()) return;
    const bool alternate = isCurrentBufferAlternate();
    Buffer& active = *_buffer;

    // Records follow their strips.
    bool anyChildren = false;
    for (auto& [key, record] : records) {
        if (record.isAlternateBuffer != alternate) continue;
        if (hasParent(record)) anyChildren = true;
        if (record.isVirtual) continue;
        if (std::optional<KittyPlacementPosition> found = locateKittyPlacementStrips(active, key)) {
            record.row = found->row;
            record.col = found->col;
        }
    }
    if (!anyChildren) return;

    // Where the strips are now, before any moves, for the children's pass (the anchors were just
    // confirmed: each look is one line).
    KittyResolveMemo& scratch = _kittyResolveMemo;
    if (scratch.entries.size() > 2 * records.size() + 64)
        std::erase_if(scratch.entries, [&](const auto& entry) { return !records.contains(entry.first); });
    ++scratch.pass;
    StampMemo<KittyResolveMemo> memo{scratch, {}, nullptr};
    for (const auto& [key, record] : records) {
        if (record.isAlternateBuffer != alternate || record.isVirtual) continue;
        auto& entry = memo.at(key);
        entry.stripsPass = scratch.pass;
        entry.strips = locateKittyPlacementStrips(active, key);
    }

    // Children follow their parents, from where the strips were before any moved.
    auto strips = [&](const KittyPlacementKey& key) -> std::optional<KittyPlacementPosition> {
        auto& entry = memo.at(key);
        return entry.stripsPass == scratch.pass ? entry.strips : std::nullopt;
    };
    for (auto& [key, record] : records) {
        if (record.isAlternateBuffer != alternate || !hasParent(record)) continue;
        std::optional<KittyPlacementPosition> target =
            resolveChain(records, alternate, key, strips, memo, scratch.chain);
        if (!target) continue;
        if (!record.isVirtual) {
            const KittyPlacementPosition now =
                strips(key).value_or(KittyPlacementPosition{record.row, record.col});
            if (now != *target)
                moveKittyPlacementImages(active, key, saturatingSub(target->row, now.row), target->row,
                                         target->col);
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
    // No strip lies above the topmost, and a placement has at most one strip a row: the walk down the
    // ring stops once it holds them all, instead of reading every line on every scroll that moves them.
    const std::optional<KittyPlacementPosition> top = locateKittyPlacementStrips(buffer, key);
    size_t expected = SIZE_MAX;
    if (auto record = kittyGraphicsState.placementsByKey.find(key);
        record != kittyGraphicsState.placementsByKey.end())
        expected = size_t(std::clamp<int64_t>(record->second.rows, 1, INT_MAX));
    if (top) {
        for (int i = int(top->row); i < lines.count() && taken.size() < expected; ++i) {
            const bool changed = buffer.takeImagesFromLine(i, [&](TerminalImagePtr& strip) {
                auto* kitty = strip->asKittyPlacementImage();
                if (!kitty || !kitty->kittyIsKitty || kitty->kittyImageId != key.imageId ||
                    kitty->kittyPlacementId != key.placementId)
                    return false;
                taken.push_back({std::move(strip), kitty, saturatingAdd(i, deltaRow)});
                return true;
            });
            if (changed && active) updateRange(i - buffer.yDisp());
        }
    }
    int topmost = -1;
    TerminalImagePtr topStrip;
    const int col = int(std::clamp<int64_t>(newLeftCol, INT_MIN, INT_MAX));
    for (Taken& move : taken) {
        if (move.target < 0 || move.target >= lines.count()) continue;
        KittyPlacementImage* kitty = move.kitty;
        kitty->setCol(col);
        kitty->kittyCol = newLeftCol;
        kitty->kittyRow = newTopRow;
        const int line = int(move.target);
        buffer.attachImage(move.strip, line);
        if (topmost < 0 || line < topmost) {
            topmost = line;
            topStrip = move.strip;
        }
        if (active) updateRange(line - buffer.yDisp());
    }
    noteKittyStripAnchor(buffer, key, topmost, topStrip);
}

} // namespace Tessaline
