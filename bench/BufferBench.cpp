// The print path's fast lane: runs of plain ASCII written into a screen with a 10,000-row scroll-back.
#include "Buffer.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace Tessaline;

namespace {

// The terminal's whole-screen scroll in simplified form: a new blank bottom row is pushed while the ring
// fills, then the oldest row is recycled; the view follows the bottom.
void installScroll(Buffer& buffer) {
    BufferLinePtr blank = buffer.getBlankLine(Attribute::defaultAttribute());
    buffer.scroll = [&buffer, blank](bool isWrapped) {
        auto& lines = buffer.lines();
        if (lines.isFull()) {
            lines.recycle(Attribute::defaultAttribute());
            BufferLine& bottom = *lines[lines.count() - 1];
            bottom.isWrapped = isWrapped;
            bottom.renderMode = BufferLine::RenderLineMode::single;
            if (buffer.hasScrollback()) ++buffer.linesTop;
        } else {
            auto line = std::make_shared<BufferLine>(*blank);
            line->isWrapped = isWrapped;
            lines.push(std::move(line));
            buffer.setYBase(buffer.yBase() + 1);
        }
        buffer.setYDisp(buffer.yBase());
    };
}

std::vector<uint8_t> sampleText(size_t size) {
    const std::string words =
        "The quick brown fox jumps over the lazy dog; 0123456789 {ABCDEFGHIJKLMNOPQRSTUVWXYZ} ";
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i)
        out[i] = uint8_t(words[i % words.size()]);
    return out;
}

// A 50-row screen whose 10,000-row scroll-back is already full, so that every scroll recycles a row as it
// does in a long-running terminal (filling the ring allocates each row once and is not what we measure).
std::unique_ptr<Buffer> makeScreen(int cols) {
    auto buffer = std::make_unique<Buffer>(cols, 50, 8, 10'000);
    buffer->fillViewportRows();
    buffer->wraparound = true;
    installScroll(*buffer);
    const auto text = sampleText(size_t(cols));
    while (!buffer->lines().isFull())
        buffer->insertAsciiRun(text, Attribute::defaultAttribute());
    return buffer;
}

} // namespace

// Long runs that wrap at the right edge and scroll at the bottom: the parser hands over 4 KB at a time.
static void BM_InsertAsciiRunWrapping(benchmark::State& state) {
    auto buffer = makeScreen(int(state.range(0)));
    const auto text = sampleText(4096);
    const Attribute attribute(Attribute::Color::ansi256(2), Attribute::Color::defaultColor(),
                              CharacterStyle::bold);
    for (auto _ : state)
        benchmark::DoNotOptimize(buffer->insertAsciiRun(text, attribute));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_InsertAsciiRunWrapping)->Arg(80)->Arg(200);

// Lines of text as a program prints them: a run of 10 to 70 bytes, then CR and LF (done here as the
// terminal does: column 0, next row or a scroll at the bottom). Only the run's bytes are counted.
static void BM_InsertAsciiRunLines(benchmark::State& state) {
    auto buffer = makeScreen(int(state.range(0)));
    const auto text = sampleText(8192);
    const Attribute attribute = Attribute::defaultAttribute();
    std::vector<std::span<const uint8_t>> lines;
    for (size_t at = 0, i = 0; at + 70 <= text.size(); ++i) {
        size_t length = 10 + (i * 37) % 61;
        lines.emplace_back(text.data() + at, length);
        at += length;
    }
    int64_t bytes = 0;
    for (auto _ : state) {
        for (const auto& line : lines) {
            bytes += buffer->insertAsciiRun(line, attribute);
            buffer->setX(0);
            if (buffer->y() == buffer->scrollBottom())
                buffer->scroll(false);
            else
                buffer->setY(buffer->y() + 1);
        }
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_InsertAsciiRunLines)->Arg(80)->Arg(200);
