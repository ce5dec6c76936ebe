#include "TerminalHarness.h"

#include "DiagnosticsCapture.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace Tessaline::Testing {

namespace {

TerminalOptions sized(int cols, int rows, int scrollback) {
    TerminalOptions options;
    options.cols = cols;
    options.rows = rows;
    options.scrollback = scrollback;
    return options;
}

} // namespace

TerminalHarness::TerminalHarness(int cols, int rows, int scrollback)
    : TerminalHarness(sized(cols, rows, scrollback)) {}

TerminalHarness::TerminalHarness(const TerminalOptions& options)
    : _terminal(std::make_unique<Terminal>(&_delegate, options)) {
    _terminal->silentLog = false;
    _delegate.log.clear();
}

std::pair<int, int> TerminalHarness::cursor() const {
    const auto location = _terminal->getCursorLocation();
    return {location.x, location.y};
}

std::string TerminalHarness::row(const BufferLine& line) const {
    int end = line.count();
    while (end > 0 && line[end - 1].code == 0 && line[end - 1].width() == 1)
        --end;
    std::string out;
    for (int c = 0; c < end; ++c) {
        const CharData& cell = line[c];
        if (cell.code == 0)
            out += cell.width() == 0 ? '_' : '.';
        else
            out += _terminal->character(cell.code);
    }
    return out;
}

std::string TerminalHarness::dumpRows(const Buffer& buffer, int from, int to, bool showWraps) const {
    std::vector<std::string> rows;
    for (int r = from; r < to; ++r) {
        const BufferLinePtr& line = buffer.lines().peek(r);
        std::string text = line ? row(*line) : std::string();
        if (showWraps) text = ((line && line->isWrapped) ? "~" : "|") + text;
        rows.push_back(std::move(text));
    }
    // Trailing blank rows are left out.
    const std::string blank = showWraps ? "|" : "";
    while (!rows.empty() && rows.back() == blank)
        rows.pop_back();
    std::string out;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) out += '\n';
        out += rows[i];
    }
    return out;
}

std::string TerminalHarness::dump(bool showWraps) const {
    return dumpScreen(_terminal->buffer(), showWraps);
}

std::string TerminalHarness::dumpScreen(const Buffer& buffer, bool showWraps) const {
    return dumpRows(buffer, buffer.yBase(), std::min(buffer.yBase() + buffer.rows(), buffer.lines().count()),
                    showWraps);
}

std::string TerminalHarness::dumpAll(bool showWraps) const {
    const Buffer& buffer = _terminal->buffer();
    return dumpRows(buffer, 0, buffer.lines().count(), showWraps);
}

std::vector<DiagnosticKind> TerminalHarness::captureDiagnostics(const std::function<void()>& action) {
    DiagnosticsCapture capture;
    action();
    return capture.takeKinds();
}

} // namespace Tessaline::Testing
