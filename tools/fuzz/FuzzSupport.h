#pragma once

// What the fuzz targets share: a host for the terminal (delegate and executor) that answers every
// question and keeps nothing it is sent, and the checks of the engine's invariants, run after every step.

#include "Executor.h"
#include "Terminal.h"
#include "TerminalDelegate.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>

namespace Tessaline::Fuzz {

// With TESSALINE_FUZZ_TRACE set, prints one line per step on standard error: the steps of a finding,
// for turning it into a test.
void step(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Bytes as a C string body: ESC as \e, printable ASCII as is, others as \xNN.
std::string escaped(std::span<const uint8_t> bytes);

// Reports the broken invariant on standard error and aborts, so that libFuzzer keeps the input.
[[noreturn]] void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A host that answers: trusted, with a cell size, replies to window reports. It counts what it is sent
// instead of keeping it.
class FuzzDelegate final : public TerminalDelegate {
public:
    bool trusted = true;
    bool knowsCellSize = true;
    size_t bytesSent = 0;
    size_t callbacks = 0;

    void send(Terminal& source, std::span<const uint8_t> data) override;
    std::optional<std::vector<uint8_t>> windowCommand(Terminal& source,
                                                      const WindowManipulationCommand& command) override;
    bool isProcessTrusted(Terminal& source) override;
    std::optional<CellPixelSize> cellSizeInPixels(Terminal& source) override;
    void createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height) override;
    void createImage(Terminal& source, const std::vector<uint8_t>& data, ImageSizeRequest width,
                     ImageSizeRequest height, bool preserveAspectRatio) override;
};

// An executor whose clock moves only when the target says so.
class FuzzExecutor final : public Executor {
public:
    void post(Task task) override;
    TaskId postAfter(std::chrono::nanoseconds delay, Task task) override;
    void cancel(TaskId id) override;
    Clock::time_point now() const override { return _now; }
    // Moves the clock and runs what falls due, in deadline order.
    void advance(std::chrono::nanoseconds delta);
    size_t pending() const { return _tasks.size(); }

private:
    Clock::time_point _now{std::chrono::hours(1)};
    std::map<std::pair<Clock::time_point, TaskId>, Task> _tasks;
    TaskId _lastId = 0;
};

// Every buffer of the terminal: size, cursor, display origin, ring, rows, margins, tab stops; the changed
// rows inside the screen; the bounded stores (titles, keyboard flags, graphemes, images, parser strings).
void checkInvariants(Terminal& terminal);

} // namespace Tessaline::Fuzz
