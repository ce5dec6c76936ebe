// OSC 8 hyperlinks: cells are marked once, when the link closes, with a handle whose value is the link's
// payload; printing is never slowed by a link. Handles no cell carries any more are released.
#include "Terminal.h"

#include <algorithm>
#include <bitset>
#include <climits>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Tessaline {

namespace {

using LiveCodes = std::bitset<65536>;

void gatherLiveCodes(const BufferLine& line, LiveCodes& live) {
    const CharData* cells = line.cells();
    // Past the content mark every cell is the same blank: one of them stands for all.
    if (line.contentEnd() < line.count())
        if (const uint16_t code = line.blank().payload().code) live.set(code);
    const int end = line.contentEnd();
    int c = 0;
    uint16_t last = 0;
#if defined(__SSE2__)
    // Most cells carry no handle: four at a time are looked at together (the handle is a cell's last
    // two bytes).
    static_assert(sizeof(CharData) == 16);
    for (; c + 4 <= end; c += 4) {
        const auto* p = reinterpret_cast<const __m128i*>(cells + c);
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(p), _mm_loadu_si128(p + 1)),
                                         _mm_or_si128(_mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3)));
        if (_mm_extract_epi16(any, 7) == 0) continue;
        // A link covers a run of cells: one handle is set once per run.
        for (int k = c; k < c + 4; ++k)
            if (const uint16_t code = cells[k].payload().code; code != last) {
                live.set(code);
                last = code;
            }
    }
#endif
    for (; c < end; ++c)
        if (const uint16_t code = cells[c].payload().code; code != last) {
            live.set(code);
            last = code;
        }
    live.reset(0);
}

// Rows first ... end - 1 of a ring (slots it has not made hold nothing); answers end.
int gatherLiveCodes(const CircularBufferLineList& lines, int first, int end, LiveCodes& live) {
    for (int row = first; row < end; ++row)
        if (const BufferLinePtr& line = lines.peek(row)) gatherLiveCodes(*line, live);
    return std::max(first, end);
}

void gatherLiveCodes(const Buffer& buffer, LiveCodes& live) {
    // Every slot of the ring's storage: rows outside the current count can come back into it.
    for (const BufferLinePtr& line : buffer.lines().getArray())
        if (line) gatherLiveCodes(*line, live);
}

// A pass starts once this many handles were taken since the last one ended, and marks this many rows
// of the scroll-back (and as many of a synchronized-output copy) per link taken while it runs: a full
// scroll-back is done long before the registry fills. Only when the registry would fill first does it
// mark more, so as to leave this many handles free when it ends, for the links taken while the unused
// ones are released.
constexpr size_t handlesPerPass = 32768;
constexpr int rowsPerStep = 2;
constexpr size_t passReserve = 8192;
// Unused handles are released in batches, one every so many links, well ahead of the links that come
// in: their blocks have long left the cache, and a batch overlaps those waits where one at a time would
// pay each in full.
constexpr size_t releasesPerBatch = 80;
constexpr unsigned stepsPerBatch = 32;
// Released at once when a link finds no free handle while unused ones wait.
constexpr size_t releasesWhenFull = 64;
// Past this many handles a pass starts with every link, whatever the last one found: the registry
// (65,534) must not fill while a pass goes on.
constexpr size_t passesAlwaysAbove = 40960;
// When a pass would end with more handles in use than this, the links of the oldest scroll-back rows
// give way as it starts, until those of the newest `keptWhenScarce` handles are left: the pass itself
// then finds their handles unused. Decided at the end, the rows would give way only in the pass after,
// and the registry would fill in the meantime. Rows are stripped just ahead of the pass, or this many
// with every new link when none runs.
constexpr size_t scarceAbove = 40960;
constexpr size_t keptWhenScarce = 24576;
constexpr int stripRowsPerStep = 8;
// A link that finds the registry full with nothing to release waits for this many more links before
// the rows are walked again.
constexpr size_t takesBetweenFullCollections = 4096;

} // namespace

// MARK: Opening and closing

void Terminal::oscHyperlink(std::span<const uint8_t> data) {
    if (data.size() == 1 && data[0] == ';') {
        if (!hyperLinkTracking) return;
        const HyperLinkTracking link = std::move(*hyperLinkTracking);
        hyperLinkTracking.reset();

        Buffer& b = *_buffer;
        const int cursorRow = b.yBase() + b.y();
        const int startRow = int(link.start.row);
        if (cursorRow < startRow) return;
        const std::optional<TinyAtom> atom = takePayloadHandle(link.payload);
        if (!atom) return;

        const int lastRow = std::min(cursorRow, b.lines().count() - 1);
        // A link opened long ago reaches back into the scroll-back, maybe into rows that gave up their
        // links: those hold some again.
        if (&b == _normalBuffer.get())
            _payloadHandles.stripNext =
                std::min(_payloadHandles.stripNext, int64_t(std::max(startRow, 0)) + b.linesTop);
        const int rightEdge = marginMode ? b.marginRight() : _cols - 1;
        for (int row = std::max(startRow, 0); row <= lastRow; ++row) {
            const int first = row == startRow ? std::min(int(link.start.col), _cols - 1) : 0;
            int last = row == cursorRow ? std::min(b.x(), _cols - 1) : rightEdge;
            BufferLine& line = *b.lines()[row];
            last = std::min(last, line.count() - 1);
            if (first >= last) continue;
            CharData* cells = line.cellsForWrite(last + 1);
            for (int c = first; c <= last; ++c)
                cells[c].setPayload(*atom);
        }
        return;
    }
    if (data.size() > maxHyperlinkPayloadLength) {
        hyperLinkTracking.reset();
        return;
    }
    const bool ascii = std::all_of(data.begin(), data.end(), [](uint8_t b) { return b < 0x80; });
    std::string payload = ascii ? std::string(reinterpret_cast<const char*>(data.data()), data.size()) : "";
    hyperLinkTracking =
        HyperLinkTracking{Position(_buffer->x(), _buffer->yBase() + _buffer->y()), std::move(payload)};
}

std::optional<std::string> Terminal::parseHyperlinkPayload(std::string_view payload) {
    const size_t semicolon = payload.find(';');
    if (semicolon == std::string_view::npos) return std::nullopt;
    return std::string(payload.substr(semicolon + 1));
}

// MARK: Handles

std::optional<TinyAtom> Terminal::takePayloadHandle(const std::string& payload) {
    PayloadHandles& handles = _payloadHandles;
    stepPayloadCollection();
    std::optional<TinyAtom> atom = _payloads.lookup(payload);
    if (!atom && !handles.unused.empty()) {
        releaseUnusedPayloadHandles(releasesWhenFull);
        atom = _payloads.lookup(payload);
    }
    if (!atom && handles.takesSinceFailedCollection >= takesBetweenFullCollections) {
        // Every code is live somewhere: the oldest scroll-back rows give up their links now, and every
        // handle no cell carries any more is released. The new link never goes without while the
        // scroll-back holds links.
        planPayloadStrip(keptWhenScarce);
        stripPayloadRows(INT_MAX);
        collectPayloadHandles(false);
        atom = _payloads.lookup(payload);
        if (!atom) handles.takesSinceFailedCollection = 0;
    }
    if (handles.takesSinceFailedCollection < SIZE_MAX) ++handles.takesSinceFailedCollection;
    if (!atom) return atom;
    // The row the link ends on, as the normal buffer counts it; a link on the alternate screen counts as
    // on the normal one's.
    const Buffer& normal = *_normalBuffer;
    const int row = _buffer == &normal ? normal.yBase() + normal.y() : normal.yBase() + _rows - 1;
    handles.codes.push_back({atom->code, int64_t(row) + normal.linesTop});
    ++handles.taken;
    return atom;
}

void Terminal::dropPayloadPass(bool rowsGone) {
    PayloadHandles& handles = _payloadHandles;
    handles.pass.reset();
    handles.stripNext = handles.stripEnd = 0;
    // Counted against the new rows, theirs would make the newest rows give way.
    if (rowsGone)
        for (PayloadHandles::Taken& taken : handles.codes)
            taken.row = -1;
}

void Terminal::planPayloadStrip(size_t keep) {
    PayloadHandles& handles = _payloadHandles;
    if (handles.codes.size() <= keep) return;
    handles.stripEnd = std::max(handles.stripEnd, handles.codes[handles.codes.size() - keep].row);
}

void Terminal::stripPayloadRows(int limit) {
    PayloadHandles& handles = _payloadHandles;
    Buffer& buffer = *_normalBuffer;
    CircularBufferLineList& lines = buffer.lines();
    const int64_t top = buffer.linesTop;
    // Only the scroll-back: the screen's links stay whatever happens.
    const int64_t end = std::min(handles.stripEnd, int64_t(std::min(buffer.yBase(), lines.count())) + top);
    int64_t row = std::max(handles.stripNext, top);
    for (; row < end && limit > 0; ++row, --limit)
        if (const BufferLinePtr& line = lines.peek(int(row - top))) line->dropPayloads();
    handles.stripNext = row;
}

void Terminal::garbageCollectPayload() {
    collectPayloadHandles(true);
}

void Terminal::releaseUnusedPayloadHandles(size_t limit) {
    PayloadHandles& handles = _payloadHandles;
    for (; limit > 0 && !handles.unused.empty(); --limit) {
        _payloads.release(handles.unused.back());
        handles.unused.pop_back();
    }
}

void Terminal::stepPayloadCollection() {
    PayloadHandles& handles = _payloadHandles;
    const int rows = passRowsPerStep();
    if (handles.stripNext < handles.stripEnd) {
        // Just ahead of the pass (a row it marked before the row lost its links would hold their handles
        // for one more pass), spread over the steps until it gets there: a row's strip costs more than
        // its marking.
        int strip = stripRowsPerStep;
        if (handles.pass) {
            const int64_t top = _normalBuffer->linesTop;
            const int64_t to = handles.stripEnd - std::max(handles.stripNext, top);
            const int64_t ahead = std::max<int64_t>(handles.stripEnd - std::max(handles.pass->next, top), 1);
            strip = int(std::min<int64_t>((to * rows + ahead - 1) / ahead + 1, INT_MAX));
        }
        stripPayloadRows(strip);
    }
    if (!handles.unused.empty()) {
        if (++handles.stepsSinceBatch >= stepsPerBatch) {
            handles.stepsSinceBatch = 0;
            releaseUnusedPayloadHandles(releasesPerBatch);
        }
        return;
    }
    const Buffer& buffer = *_normalBuffer;
    const CircularBufferLineList& lines = buffer.lines();
    if (!handles.pass) {
        if (handles.codes.size() < handles.nextPassAt + handlesPerPass &&
            handles.codes.size() < passesAlwaysAbove)
            return;
        // Kept from pass to pass: a large allocation among the many small blocks the releases freed
        // would first have the allocator sort all of those out.
        if (!handles.live)
            handles.live = std::make_unique<LiveCodes>();
        else
            handles.live->reset();
        // A cell takes up a handle handed out before now only as a copy of a cell that holds it now, so
        // what the pass must see is the cells of this moment. The rows that can still change (the screen
        // rows, the slots past the ring's count, the alternate buffer) are marked at once; the scroll-back
        // rows change only by leaving the ring, and are marked a slice at a time (one gone before its
        // turn took its handles with it).
        const int scrollbackEnd = std::min(buffer.yBase(), lines.count());
        const int slots = int(lines.getArray().size());
        gatherLiveCodes(lines, scrollbackEnd, slots, *handles.live);
        gatherLiveCodes(*_altBuffer, *handles.live);
        // The rows that gave up their links have none to mark: they change only by leaving the ring.
        const int64_t first = std::max<int64_t>(buffer.linesTop, handles.stripNext);
        int toMark = int(std::max<int64_t>(int64_t(scrollbackEnd) + buffer.linesTop - first, 0));
        if (synchronizedOutputBuffer) toMark += synchronizedOutputBuffer->lines().count();
        if (payloadsScarceAtPassEnd(toMark)) planPayloadStrip(keptWhenScarce);
        handles.takenAtPass = handles.taken;
        handles.topAtPass = buffer.linesTop;
        handles.pass =
            PayloadHandles::Pass{handles.codes.size(), first, int64_t(scrollbackEnd) + buffer.linesTop};
    }
    PayloadHandles::Pass& pass = *handles.pass;
    LiveCodes& live = *handles.live;

    const int end = int(std::max<int64_t>(pass.end - buffer.linesTop, 0));
    const int first = int(std::max<int64_t>(pass.next - buffer.linesTop, 0));
    const int row = gatherLiveCodes(lines, first, std::min(end, first + rows), live);
    pass.next = int64_t(row) + buffer.linesTop;
    // The copy shown under synchronized output may hold cells the buffer lost since; it never changes
    // while it is shown.
    const bool snapshotMarked = markSnapshotRows(pass, live, rows);
    if (row < end || !snapshotMarked) return;

    // Every unused handle goes, wherever it stands; the rest keep their order. One old link still shown
    // (a prompt's, or one on a copy under synchronized output) would otherwise hold back every handle
    // after it until the registry is full. Compacted in place: a buffer as large as the registry, new
    // each pass, would cost its pages every time.
    std::deque<PayloadHandles::Taken>& codes = handles.codes;
    const auto candidatesEnd = codes.begin() + ptrdiff_t(pass.candidates);
    auto kept = codes.begin();
    for (auto it = codes.begin(); it != candidatesEnd; ++it) {
        if (!live.test(it->code))
            handles.unused.push_back(it->code);
        else
            *kept++ = *it;
    }
    codes.erase(kept, candidatesEnd);
    handles.nextPassAt = handles.codes.size();
    handles.pass.reset();
}

bool Terminal::payloadsScarceAtPassEnd(int rowsToMark) const {
    const PayloadHandles& handles = _payloadHandles;
    const int64_t top = _normalBuffer->linesTop;
    const int64_t links = rowsToMark / rowsPerStep + 1;
    // Rows leave the ring as fast as they did while the last pass went on.
    const uint64_t since = handles.taken - handles.takenAtPass;
    const int64_t left = top - handles.topAtPass;
    const int64_t horizon =
        top + (since > 0 && left > 0 ? int64_t(double(left) / double(since) * double(links)) : 0);
    // The rows of the handles mostly rise with the order they were taken in, enough for an estimate.
    const auto stays =
        std::partition_point(handles.codes.begin(), handles.codes.end(),
                             [&](const PayloadHandles::Taken& taken) { return taken.row < horizon; });
    return size_t(handles.codes.end() - stays) + size_t(links) > scarceAbove;
}

int Terminal::passRowsPerStep() const {
    const PayloadHandles& handles = _payloadHandles;
    if (!handles.pass) return rowsPerStep;
    const PayloadHandles::Pass& pass = *handles.pass;
    const Buffer& buffer = *_normalBuffer;
    int64_t left = std::max<int64_t>(pass.end - std::max<int64_t>(pass.next, buffer.linesTop), 0);
    if (synchronizedOutputBuffer)
        left += pass.snapshotGeneration == _snapshotGeneration
                    ? std::max(synchronizedOutputBuffer->lines().count() - pass.snapshotNext, 0)
                    : synchronizedOutputBuffer->lines().count();
    // The pass must end before the registry fills, with room to spare for the links taken while its
    // unused handles are released; it speeds up only when the room left is short of that.
    const int64_t room = int64_t(TinyAtom::lastCode) - int64_t(_payloads.size());
    const int64_t reserve = int64_t(passReserve);
    const int64_t links = room > 2 * reserve ? room - reserve : std::max<int64_t>(room / 2, 1);
    return int(
        std::clamp<int64_t>((left + links - 1) / links, rowsPerStep, std::max<int64_t>(left, rowsPerStep)));
}

bool Terminal::markSnapshotRows(PayloadHandles::Pass& pass, LiveCodes& live, int rows) {
    if (!synchronizedOutputBuffer) return true;
    if (pass.snapshotGeneration != _snapshotGeneration) {
        pass.snapshotGeneration = _snapshotGeneration;
        pass.snapshotNext = 0;
    }
    const CircularBufferLineList& lines = synchronizedOutputBuffer->lines();
    pass.snapshotNext =
        gatherLiveCodes(lines, pass.snapshotNext, std::min(lines.count(), pass.snapshotNext + rows), live);
    return pass.snapshotNext >= lines.count();
}

size_t Terminal::collectPayloadHandles(bool untilInUse) {
    std::deque<PayloadHandles::Taken>& codes = _payloadHandles.codes;
    // Whatever a pass under way or its outcome counted on may go now.
    _payloadHandles.pass.reset();
    // What a pass found unused stays so: no cell took it up.
    size_t released = _payloadHandles.unused.size();
    releaseUnusedPayloadHandles(SIZE_MAX);
    _payloadHandles.nextPassAt = codes.size();
    if (codes.empty()) return released;
    auto live = std::make_unique<LiveCodes>();
    gatherLiveCodes(*_normalBuffer, *live);
    gatherLiveCodes(*_altBuffer, *live);
    // The synchronized-output copy is still on display: its links must keep their values.
    if (synchronizedOutputBuffer) gatherLiveCodes(*synchronizedOutputBuffer, *live);

    if (untilInUse) {
        while (!codes.empty() && !live->test(codes.front().code)) {
            _payloads.release(codes.front().code);
            codes.pop_front();
            ++released;
        }
        return released;
    }
    std::erase_if(codes, [&](const PayloadHandles::Taken& taken) {
        if (live->test(taken.code)) return false;
        _payloads.release(taken.code);
        ++released;
        return true;
    });
    return released;
}

} // namespace Tessaline
