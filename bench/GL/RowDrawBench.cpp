// The CPU cost of the GPU path's row records: every row of a 200x50 screen of the shell workload (and a
// screen changing colour every four cells, the dense case) built into backgrounds, glyph cells and
// decorations, with the glyph caches warm, at scale 1 and 2. Goal: a full screen under 1 ms.
//
//   build/release/bench/quillaby_gl_bench --benchmark_filter=BM_RowDrawData
#include "CellMetrics.h"
#include "GlyphAtlas.h"
#include "GlyphEntries.h"
#include "ImageTextures.h"
#include "RowDrawBuilder.h"
#include "TerminalView.h"
#include "Workloads.h"

#include <QFontMetricsF>

#include <benchmark/benchmark.h>

#include <cmath>

using namespace Tessaline;
using namespace Tessaline::Bench;

namespace {

constexpr int cols = 200;
constexpr int rows = 50;
constexpr size_t fedBytes = size_t(512) << 10;

// Textures and buffers that only exist on the CPU: the build, not the upload, is measured.
class NullTexture : public AtlasTexture {
public:
    void upload(int, int, int, int, const std::uint8_t*, int) override {}
};
class NullAtlasDevice : public AtlasDevice {
public:
    std::unique_ptr<AtlasTexture> makeTexture(int, GlyphAtlasFormat) override { return std::make_unique<NullTexture>(); }
};
class NullBuffer : public GpuBuffer {
public:
    explicit NullBuffer(std::size_t length)
        : _length(length) {}
    std::size_t length() const override { return _length; }
    void write(const void*, std::size_t) override {}

private:
    std::size_t _length;
};
class NullTextureImage : public GpuTexture {
public:
    int width() const override { return 1; }
    int height() const override { return 1; }
};
class NullGpuDevice : public GpuDevice {
public:
    std::shared_ptr<GpuBuffer> makeBuffer(std::size_t length) override { return std::make_shared<NullBuffer>(length); }
    std::shared_ptr<GpuTexture> makeTexture(int, int, const unsigned char*) override {
        return std::make_shared<NullTextureImage>();
    }
};

std::string denseScreen() {
    std::string out = "\x1b[H";
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < cols; col += 4)
            out += "\x1b[38;5;" + std::to_string((row * 7 + col) % 256) + "m" + "abcd";
        if (row + 1 < rows) out += "\r\n";
    }
    return out;
}

struct Screen {
    std::unique_ptr<TerminalView> view;
    NullAtlasDevice atlasDevice;
    std::unique_ptr<GlyphAtlas> gray = GlyphAtlas::create(atlasDevice, 1024, 2048, GlyphAtlasFormat::grayscale);
    std::unique_ptr<GlyphAtlas> colour = GlyphAtlas::create(atlasDevice, 1024, 2048, GlyphAtlasFormat::bgra);
    GlyphRasterizer rasterizer;
    GlyphEntries entries{*gray, *colour, rasterizer};
    NullGpuDevice gpu;
    std::unique_ptr<ImageTextures> images;
    std::unique_ptr<RowDrawBuilder> builder;

    explicit Screen(bool dense) {
        const QFont font = TerminalView::defaultFont();
        const QSizeF cell = CellMetrics::cellSize(FontMeasures::of(font), 1);
        view = std::make_unique<TerminalView>(
            QRect(0, 0, int(std::ceil(cell.width() * cols)) + 20, int(std::ceil(cell.height() * rows))), font);
        view->resizeTerminal(cols, rows);
        const std::string& shell = workload(WorkloadKind::shell);
        view->feed(std::string_view(shell).substr(0, std::min(fedBytes, shell.size())));
        if (dense) view->feed(denseScreen());
        images = std::make_unique<ImageTextures>(gpu, view.get());
        builder = std::make_unique<RowDrawBuilder>(view.get(), entries, *gray, *colour, *images, gpu);
    }

    // Every visible row's records; answers the number of glyph cells.
    size_t build(double scale) {
        Buffer& buffer = view->terminal().displayBuffer();
        const QSizeF cell = view->cellDimension();
        const QFontMetricsF metrics(view->fontSet().normal);
        const double yOffset = std::ceil(metrics.descent() + metrics.leading());
        size_t glyphs = 0;
        for (int row = buffer.yDisp(); row < buffer.yDisp() + buffer.rows(); ++row) {
            const RowDrawData data = builder->buildRowDrawData(row, buffer, buffer.yDisp(), cell.width(), cell.height(),
                                                               yOffset, view->width() * scale, scale, {});
            glyphs += data.glyphCellsGray.size() + data.glyphCellsColor.size();
        }
        return glyphs;
    }
};

void fullScreen(benchmark::State& state, bool dense) {
    Screen screen(dense);
    if (screen.view->terminal().cols() != cols) {
        state.SkipWithError("the view did not come out at 200 columns");
        return;
    }
    const double scale = double(state.range(0));
    size_t glyphs = screen.build(scale); // warms the shaping and glyph caches
    for (auto _ : state)
        benchmark::DoNotOptimize(glyphs = screen.build(scale));
    state.counters["glyphCells"] = double(glyphs);
}

void BM_RowDrawDataShell(benchmark::State& state) {
    fullScreen(state, false);
}

void BM_RowDrawDataDense(benchmark::State& state) {
    fullScreen(state, true);
}

BENCHMARK(BM_RowDrawDataShell)
    ->Name("BM_RowDrawData/shell/200x50/scale")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowDrawDataDense)
    ->Name("BM_RowDrawData/dense/200x50/scale")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);

} // namespace
