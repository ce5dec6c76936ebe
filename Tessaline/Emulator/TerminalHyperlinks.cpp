// OSC 8 hyperlinks: cells are marked once, when the link closes, with a handle whose value is the link's
// payload; printing is never slowed by a link. Handles no cell carries any more are released.
#include "Terminal.h"

#include <algorithm>
#include <bitset>

namespace Tessaline {

namespace {

using LiveCodes = std::bitset<65536>;

void gatherLiveCodes(const Buffer& buffer, LiveCodes& live) {
    // Every slot of the ring's storage: rows outside the current count can come back into it.
    for (const BufferLinePtr& line : buffer.lines().getArray()) {
        if (!line) continue;
        const CharData* cells = line->cells();
        // Past the content mark every cell is the same blank: one of them stands for all.
        const int end = std::min(line->contentEnd() + 1, line->count());
        for (int c = 0; c < end; ++c)
            live.set(cells[c].payload().code);
    }
}

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
    std::optional<TinyAtom> atom = TinyAtom::lookup(payload);
    if (!atom) {
        // Every code is live somewhere. Collect as usual, and when the oldest link still holds the rest
        // back, release every handle of ours that no cell carries.
        if (collectPayloadHandles(true) == 0) collectPayloadHandles(false);
        atom = TinyAtom::lookup(payload);
    }
    if (atom) _payloadHandles.codes.push_back(atom->code);
    return atom;
}

void Terminal::garbageCollectPayload() {
    collectPayloadHandles(true);
}

size_t Terminal::collectPayloadHandles(bool untilInUse) {
    std::deque<uint16_t>& codes = _payloadHandles.codes;
    if (codes.empty()) return 0;
    auto live = std::make_unique<LiveCodes>();
    gatherLiveCodes(*_normalBuffer, *live);
    gatherLiveCodes(*_altBuffer, *live);
    // The synchronized-output copy is still on display: its links must keep their values.
    if (synchronizedOutputBuffer) gatherLiveCodes(*synchronizedOutputBuffer, *live);

    size_t released = 0;
    if (untilInUse) {
        while (!codes.empty() && !live->test(codes.front())) {
            TinyAtom::release(codes.front());
            TinyAtom::lastCollected = codes.front();
            codes.pop_front();
            ++released;
        }
        return released;
    }
    std::erase_if(codes, [&](uint16_t code) {
        if (live->test(code)) return false;
        TinyAtom::release(code);
        ++released;
        return true;
    });
    return released;
}

Terminal::PayloadHandles::~PayloadHandles() {
    for (uint16_t code : codes)
        TinyAtom::release(code);
}

} // namespace Tessaline
