// What an image on the screen costs the text that scrolls past it: the ASCII workload (`cat` of a large
// file) fed straight into an 80x24 terminal with 10,000 lines of scroll-back, with no image, with one
// image without a placement id, with one keyed image (p=1), with a keyed image and a child placed
// relative to it, and with such a child alone after its parent has left the ring. Every scroll
// re-anchors placements; the target for one image is at most ~1.2x the time without.
//
// The workload is fed in slices of 5,000 lines, half what the ring holds. Before a slice the image is
// placed again at the cursor when the last one has left the ring, so that it is on the screen, then in
// the scroll-back, for nearly every line fed; the parent and child pair is placed again before every
// slice (replacing the last pair), so that the two always scroll together. The orphaned child is placed
// once before timing: once its parent's strips have left the ring, its record keeps the parent's last
// position and the child is moved back there on every scroll. The ring is filled once before timing, so
// what is timed is a long-running terminal.
#include "Base64.h"
#include "Terminal.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

using namespace Tessaline;
using namespace Tessaline::Bench;

namespace {

constexpr int scrollback = 10'000;
constexpr int linesPerSlice = 5'000;

enum class Scene {
    none,
    unkeyed,
    keyed,
    child,
    orphan,
};

class SinkDelegate final : public TerminalDelegate {
public:
    void send(Terminal&, std::span<const uint8_t>) override {}
};

std::string kitty(const std::string& control, const std::string& data = {}) {
    std::string command = "\x1b_G" + control;
    if (!data.empty()) command += ";" + Base64::encode(std::string_view(data));
    return command + "\x1b\\";
}

// The workload cut after every linesPerSlice-th line feed.
std::vector<std::string_view> slices(const std::string& data) {
    std::vector<std::string_view> out;
    size_t start = 0;
    int lines = 0;
    for (size_t at = 0; at < data.size(); ++at) {
        if (data[at] != '\n' || ++lines < linesPerSlice) continue;
        out.push_back(std::string_view(data).substr(start, at + 1 - start));
        start = at + 1;
        lines = 0;
    }
    if (start < data.size()) out.push_back(std::string_view(data).substr(start));
    return out;
}

void scrollPastImage(benchmark::State& state, Scene scene) {
    const std::string& data = workload(WorkloadKind::ascii);
    const std::vector<std::string_view> pieces = slices(data);
    SinkDelegate delegate;
    TerminalOptions options;
    options.cols = workloadCols;
    options.rows = workloadRows;
    options.scrollback = scrollback;
    auto terminal = std::make_unique<Terminal>(&delegate, options);
    // 80 x 80 pixels: 8 x 4 cells of the default cell.
    std::string pixels;
    for (int k = 0; k < 80 * 80; ++k)
        pixels += {char(k), char(k >> 8), char(90), char(255)};
    terminal->feed(kitty("a=t,q=2,f=32,s=80,v=80,i=1", pixels));
    std::string place;
    switch (scene) {
    case Scene::none:
        break;
    case Scene::unkeyed:
        place = kitty("a=p,q=2,i=1,C=1");
        break;
    case Scene::keyed:
        place = kitty("a=p,q=2,i=1,p=1,C=1");
        break;
    case Scene::child:
    case Scene::orphan:
        place = kitty("a=p,q=2,i=1,p=1,C=1") + kitty("a=p,q=2,i=1,p=2,P=1,Q=1,H=10,V=1");
        break;
    }
    feedInChunks(data, [&](std::string_view chunk) { terminal->feed(chunk); });
    if (scene == Scene::orphan) {
        terminal->feed(place);
        place.clear();
        feedInChunks(data, [&](std::string_view chunk) { terminal->feed(chunk); });
    }
    for (auto _ : state) {
        for (std::string_view piece : pieces) {
            if (!place.empty() && (scene == Scene::child || !terminal->normalBuffer().hasAnyImages()))
                terminal->feed(place);
            feedInChunks(piece, [&](std::string_view chunk) { terminal->feed(chunk); });
        }
        terminal->clearUpdateRange();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["records"] = double(terminal->kittyGraphicsState.placementsByKey.size());
}

const bool registered = [] {
    const std::pair<const char*, Scene> scenes[] = {
        {"none", Scene::none},   {"unkeyed", Scene::unkeyed}, {"keyed", Scene::keyed},
        {"child", Scene::child}, {"orphan", Scene::orphan},
    };
    for (const auto& [name, scene] : scenes)
        benchmark::RegisterBenchmark(
            ("BM_KittyScroll/ascii/" + std::string(name) + "/" + workloadSize()).c_str(), scrollPastImage,
            scene)
            ->Unit(benchmark::kMillisecond);
    return true;
}();

} // namespace
