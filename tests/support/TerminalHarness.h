#pragma once

#include "FakeDelegate.h"
#include "Terminal.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Tessaline::Testing {

// A terminal with a FakeDelegate, for tests that feed bytes and compare the screen, the cursor, the
// replies or the delegate's log.
//
// Screen dumps are text, one line per row, top first, joined by "\n":
//   - a row shows its cells left to right up to its last cell that is not blank; trailing blank rows are
//     left out, so a fresh screen dumps as "";
//   - a blank cell (code 0, width 1) is ".", the continuation cell after a wide character (code 0,
//     width 0) is "_", every other cell its character (graphemes resolved by the terminal);
//   - with showWraps, each row starts with "~" when it continues the row above (isWrapped), else "|".
// Attributes are not shown; tests that care read the cells.
class TerminalHarness {
public:
    // A terminal of that size with silentLog off (so tests can see the log lines). The delegate's log
    // starts empty: the construction's mouseModeChanged is dropped.
    explicit TerminalHarness(int cols = 80, int rows = 24, int scrollback = 100);
    explicit TerminalHarness(const TerminalOptions& options);

    Terminal& terminal() { return *_terminal; }
    FakeDelegate& delegate() { return _delegate; }
    Buffer& buffer() { return _terminal->buffer(); }

    // Bytes as text; for NUL bytes pass a std::string_view literal ("\x00"sv) or the bytes themselves.
    TerminalHarness& feed(std::string_view bytes) {
        _terminal->feed(bytes);
        return *this;
    }
    TerminalHarness& feed(std::span<const uint8_t> bytes) {
        _terminal->feed(bytes);
        return *this;
    }
    // What was sent to the program since the last call.
    std::string replies() { return _delegate.takeReplies(); }
    // The delegate's log since the last call.
    std::vector<std::string> log() { return _delegate.takeLog(); }
    // The active buffer's cursor: column, and row counted from the top of the screen.
    std::pair<int, int> cursor() const;

    // The active buffer's screen.
    std::string dump(bool showWraps = false) const;
    // The screen of any buffer (the display buffer, the alternate one...).
    std::string dumpScreen(const Buffer& buffer, bool showWraps = false) const;
    // Every line of the active buffer's ring, oldest scroll-back line first.
    std::string dumpAll(bool showWraps = false) const;
    // One row as dumped.
    std::string row(const BufferLine& line) const;

    // The kinds of the diagnostics the action reports (the terminal's log lines among them).
    static std::vector<DiagnosticKind> captureDiagnostics(const std::function<void()>& action);

private:
    std::string dumpRows(const Buffer& buffer, int from, int to, bool showWraps) const;

    FakeDelegate _delegate;
    std::unique_ptr<Terminal> _terminal;
};

} // namespace Tessaline::Testing
