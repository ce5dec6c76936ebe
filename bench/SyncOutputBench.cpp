// A full-screen program at 200x50 that redraws every cell of the screen each frame (a colour change
// at the start of every row, then the row's text), with and without a synchronized-output batch around
// each frame, for 10,000 frames. Opening a batch copies the active buffer for readers; the difference
// between the two is what a batch costs per frame.
//
// Two screens: the alternate screen (no scroll-back, where most full-screen programs draw) and the
// normal screen with a full scroll-back of 10,000 rows (programs that draw inline), where the copy has
// 10,050 rows to take.
//
// The batch is opened and closed with DECSET and DECRST 2026 and the frame fed as bytes; the cursor is
// homed through the call that CUP makes.
#include "Terminal.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace Tessaline;

namespace {

constexpr int cols = 200;
constexpr int rows = 50;
constexpr int scrollback = 10'000;
constexpr int frames = 10'000;

class SinkDelegate final : public TerminalDelegate {
public:
    void send(Terminal&, std::span<const uint8_t>) override {}
};

// A host's executor whose clock never reaches the time-out: frames come far faster than a second.
class IdleExecutor final : public Executor {
public:
    void post(Task) override {}
    TaskId postAfter(std::chrono::nanoseconds, Task) override { return ++_last; }
    void cancel(TaskId) override {}
    Clock::time_point now() const override { return {}; }

private:
    TaskId _last = 0;
};

// A few different frames, so that consecutive frames change every row. Each row is exactly as wide as the
// screen: the next row's first character wraps to it, and the last row ends on the pending-wrap column.
std::vector<std::string> makeFrames() {
    std::vector<std::string> out;
    const std::string words = "the quick brown fox jumps over the lazy dog 0123456789 ";
    for (int f = 0; f < 4; ++f) {
        std::string frame;
        for (int r = 0; r < rows; ++r) {
            frame += "\x1b[38;5;" + std::to_string((r * 7 + f) % 256) + ";48;5;" + std::to_string(f) + "m";
            for (int c = 0; c < cols; ++c)
                frame += words[size_t(c + r + f) % words.size()];
        }
        out.push_back(std::move(frame));
    }
    return out;
}

void BM_FullScreenFrame(benchmark::State& state) {
    const bool batch = state.range(0) != 0;
    const bool alternate = state.range(1) != 0;
    SinkDelegate delegate;
    TerminalOptions options;
    options.cols = cols;
    options.rows = rows;
    options.scrollback = scrollback;
    IdleExecutor executor;
    Terminal terminal(&delegate, options);
    terminal.executor = &executor;
    const std::vector<std::string> frameTexts = makeFrames();
    if (alternate) {
        terminal.activateAltBuffer(std::nullopt);
    } else {
        // A full scroll-back, as in a long-running terminal.
        const std::string line(cols, 'x');
        for (int i = 0; i < scrollback + rows; ++i)
            terminal.feed(line + "\r\n");
    }
    size_t frame = 0;
    for (auto _ : state) {
        if (batch) terminal.feed("\x1b[?2026h");
        terminal.setCursor(0, 0);
        terminal.feed(frameTexts[frame++ % frameTexts.size()]);
        if (batch) terminal.feed("\x1b[?2026l");
        terminal.clearUpdateRange();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["rowsCopied"] = double(batch ? terminal.buffer().lines().count() : 0);
}

// The batch alone, around an empty frame: the cost of renewing the copy of every row.
void BM_EmptyBatch(benchmark::State& state) {
    const bool alternate = state.range(0) != 0;
    SinkDelegate delegate;
    IdleExecutor executor;
    TerminalOptions options;
    options.cols = cols;
    options.rows = rows;
    options.scrollback = scrollback;
    Terminal terminal(&delegate, options);
    terminal.executor = &executor;
    if (alternate) {
        terminal.activateAltBuffer(std::nullopt);
    } else {
        const std::string line(cols, 'x');
        for (int i = 0; i < scrollback + rows; ++i)
            terminal.feed(line + "\r\n");
    }
    for (auto _ : state)
        terminal.feed("\x1b[?2026h\x1b[?2026l");
    state.counters["rowsCopied"] = double(terminal.buffer().lines().count());
}

} // namespace

BENCHMARK(BM_EmptyBatch)->ArgName("alternate")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_FullScreenFrame)
    ->ArgNames({"batch", "alternate"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Iterations(frames)
    ->Unit(benchmark::kMicrosecond);
