// Text extraction, selection, find and link lookup over whatever a byte stream leaves in the buffers. The
// input's tail picks the operations and their positions, its head is the byte stream fed between them.
// Positions stay where a view would put them (inside the buffer, the end column one past the last);
// the terminal's invariants are checked after every step, and the texts read must be valid UTF-8.
#include "FuzzSupport.h"
#include "SearchService.h"
#include "SelectionService.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <unicode/utf8.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using namespace Tessaline;
using Tessaline::Fuzz::fail;
using Tessaline::Fuzz::step;

namespace {

void checkUtf8(const std::string& text, const char* what) {
    int32_t i = 0;
    const int32_t n = int32_t(text.size());
    while (i < n) {
        UChar32 c = 0;
        U8_NEXT(text.data(), i, n, c);
        if (c < 0) fail("%s is not UTF-8 at byte %d", what, i);
    }
}

// A buffer position as the view makes them: a row held in the ring, a column up to one past the last.
Position bufferPosition(Terminal& t, FuzzedDataProvider& in) {
    const Buffer& b = t.displayBuffer();
    const int rows = std::max(b.lines().count(), 1);
    return Position(in.ConsumeIntegralInRange(0, t.cols()), in.ConsumeIntegralInRange(0, rows - 1));
}

void select(Terminal& t, SelectionService& selection, FuzzedDataProvider& in) {
    const int row = in.ConsumeIntegralInRange(0, t.rows() - 1);
    const int col = in.ConsumeIntegralInRange(0, t.cols() - 1);
    switch (in.ConsumeIntegralInRange(0, 10)) {
    case 0:
        step("selection.startSelection(%d, %d)", row, col);
        selection.startSelection(row, col);
        break;
    case 1: {
        const Position a = bufferPosition(t, in);
        const Position b = bufferPosition(t, in);
        step("selection.setSelection(Position(%lld, %lld), Position(%lld, %lld))", (long long)a.col,
             (long long)a.row, (long long)b.col, (long long)b.row);
        selection.setSelection(a, b);
        break;
    }
    case 2:
        step("selection.shiftExtend(%d, %d)", row, col);
        selection.shiftExtend(row, col);
        break;
    case 3:
        step("selection.pivotExtend(%d, %d)", row, col);
        selection.pivotExtend(row, col);
        break;
    case 4:
        step("selection.dragExtend(%d, %d)", row, col);
        selection.dragExtend(row, col);
        break;
    case 5:
        step("selection.selectAll()");
        selection.selectAll();
        break;
    case 6: {
        const int r = in.ConsumeIntegralInRange(0, std::max(t.displayBuffer().lines().count() - 1, 0));
        step("selection.select(%d)", r);
        selection.select(r);
        break;
    }
    case 7: {
        Position at = bufferPosition(t, in);
        at.col = std::min<int64_t>(at.col, t.cols() - 1);
        step("selection.selectWordOrExpression(Position(%lld, %lld))", (long long)at.col, (long long)at.row);
        selection.selectWordOrExpression(at, t.displayBuffer());
        break;
    }
    case 8:
        step("selection.setSoftStart(%d, %d)", row, col);
        selection.setSoftStart(row, col);
        break;
    case 9:
        selection.selectionMode = SelectionService::SelectionMode(in.ConsumeIntegralInRange(0, 2));
        step("selection.selectionMode = %d", int(selection.selectionMode));
        break;
    default:
        step("selection.selectNone()");
        selection.selectNone();
        break;
    }
    const std::string text = selection.getSelectedText();
    checkUtf8(text, "the selected text");
    selection.debugDescription();
}

void find(Terminal& t, SearchService& search, FuzzedDataProvider& in) {
    const SearchOptions options(in.ConsumeBool(), in.ConsumeBool(), in.ConsumeBool());
    const std::string term = in.ConsumeRandomLengthString(24);
    if (in.ConsumeBool()) {
        const Position a = bufferPosition(t, in);
        const Position b = bufferPosition(t, in);
        search.lastSelection = Position::compare(a, b) == Position::CompareResult::after
                                   ? SearchSelection{b, a}
                                   : SearchSelection{a, b};
    }
    const bool next = in.ConsumeBool();
    step("search.%s(\"%s\", {%d, %d, %d})", next ? "findNext" : "findPrevious",
         Fuzz::escaped({reinterpret_cast<const uint8_t*>(term.data()), term.size()}).c_str(),
         options.caseSensitive, options.regex, options.wholeWord);
    const std::optional<SearchResult> found =
        next ? search.findNext(term, options) : search.findPrevious(term, options);
    if (!found) return;
    const Buffer& b = t.displayBuffer();
    if (found->row < 0 || found->row >= b.lines().count() || found->col < 0 || found->col >= t.cols() ||
        found->size < 0)
        fail("match at column %lld row %lld size %lld in %d rows of %d columns", (long long)found->col,
             (long long)found->row, (long long)found->size, b.lines().count(), t.cols());
    checkUtf8(found->term, "the matched text");
}

void extract(Terminal& t, FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
    case 1: {
        const Position a = bufferPosition(t, in);
        const Position b = bufferPosition(t, in);
        step("getText(Position(%lld, %lld), Position(%lld, %lld))", (long long)a.col, (long long)a.row,
             (long long)b.col, (long long)b.row);
        checkUtf8(t.getText(a, b), "getText");
        checkUtf8(t.getDisplayText(a, b), "getDisplayText");
        break;
    }
    case 2: {
        const Buffer& b = t.buffer();
        const int line = in.ConsumeIntegralInRange(-1, b.lines().count());
        const int start = in.ConsumeIntegralInRange(-1, t.cols() + 1);
        const int end = in.ConsumeIntegralInRange(-1, t.cols() + 1);
        step("translateBufferLineToString(%d, %d, %d)", line, start, end);
        checkUtf8(t.translateBufferLineToString(b, line, start, end), "translateBufferLineToString");
        break;
    }
    default: {
        static constexpr std::array<const char*, 6> encodings = {"UTF-8",    "ISO-8859-1",  "Shift_JIS",
                                                                 "UTF-16BE", "ISO-2022-JP", "no-such"};
        const auto kind = Terminal::BufferKind(in.ConsumeIntegralInRange(0, 2));
        const char* encoding = encodings[in.ConsumeIntegralInRange<size_t>(0, encodings.size() - 1)];
        step("getBufferAsData(%d, %s)", int(kind), encoding);
        const auto bytes = t.getBufferAsData(kind, encoding);
        if (bytes.has_value() == (std::string_view(encoding) == "no-such"))
            fail("encoding %s answered wrongly", encoding);
        break;
    }
    }
}

void lookUpLink(Terminal& t, FuzzedDataProvider& in) {
    const auto mode = in.ConsumeBool() ? Terminal::LinkLookupMode::explicitAndImplicit
                                       : Terminal::LinkLookupMode::explicitOnly;
    const Position at = bufferPosition(t, in);
    const Terminal::LinkLookupLocation where =
        in.ConsumeBool()
            ? Terminal::LinkLookupLocation::buffer(Position(std::min<int64_t>(at.col, t.cols() - 1), at.row))
            : Terminal::LinkLookupLocation::screen(Position(in.ConsumeIntegralInRange(0, t.cols() - 1),
                                                            in.ConsumeIntegralInRange(0, t.rows() - 1)));
    step("linkMatch(%s Position(%lld, %lld), %d)",
         where.kind == Terminal::LinkLookupLocation::Kind::buffer ? "buffer" : "screen",
         (long long)where.position.col, (long long)where.position.row, int(mode));
    const std::optional<Terminal::LinkMatch> match = t.linkMatch(where, mode);
    if (!match) return;
    checkUtf8(match->text, "the link");
    if (match->range.lowerBound < 0 || match->range.lowerBound > match->range.upperBound ||
        match->range.upperBound > t.cols())
        fail("link columns %d ... %d on %d columns", match->range.lowerBound, match->range.upperBound,
             t.cols());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    TerminalOptions options;
    options.cols = in.ConsumeIntegralInRange(2, 100);
    options.rows = in.ConsumeIntegralInRange(1, 30);
    options.scrollback = in.ConsumeIntegralInRange(0, 100);

    Fuzz::FuzzDelegate delegate;
    Terminal t(&delegate, options);
    step("Terminal %d x %d, scroll-back %d", options.cols, options.rows, *options.scrollback);
    SelectionService selection(t);
    SearchService search(t);

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 15)) {
        case 8:
        case 9:
            extract(t, in);
            break;
        case 10:
        case 11:
            select(t, selection, in);
            break;
        case 12:
        case 13:
            find(t, search, in);
            break;
        case 14:
            lookUpLink(t, in);
            break;
        case 15:
            // The view's own changes: a new size, the find bar cleared.
            if (in.ConsumeBool()) {
                const int cols = in.ConsumeIntegralInRange(2, 100);
                const int rows = in.ConsumeIntegralInRange(1, 30);
                step("resize(%d, %d)", cols, rows);
                t.resize(cols, rows);
                search.invalidate();
            } else {
                step("search.reset()");
                search.reset();
            }
            break;
        default: {
            const std::vector<uint8_t> piece =
                in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(1, 512));
            step("feed(\"%s\")", Fuzz::escaped(piece).c_str());
            t.feed(std::span<const uint8_t>(piece));
            // New output drops what the find bar cached.
            search.invalidate();
            break;
        }
        }
        Fuzz::checkInvariants(t);
    }
    return 0;
}
