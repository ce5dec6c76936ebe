// The escape-sequence parser alone, against libvterm's parser alone: both receive the shared workloads in
// reads of feedChunkSize bytes and hand what they recognise to callbacks that only count.
#include "EscapeSequenceParser.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#ifdef TESSALINE_HAVE_LIBVTERM
#include <vterm.h>
#endif

#include <string>

using namespace Tessaline;
using namespace Tessaline::Bench;

namespace {

struct Counts {
    uint64_t printed = 0;
    uint64_t controls = 0;
    uint64_t sequences = 0;
    uint64_t parameters = 0;
    uint64_t strings = 0;
};

struct CountingTarget : ParserTarget {
    Counts& counts;
    explicit CountingTarget(Counts& counts)
        : counts(counts) {}
    void handleExecute(uint8_t) override { ++counts.controls; }
    bool handleCsi(uint8_t, const SequenceParams& pars, std::string_view) override {
        ++counts.sequences;
        counts.parameters += uint64_t(pars[0]);
        return true;
    }
    bool handleEsc(std::string_view, uint8_t) override {
        ++counts.sequences;
        return true;
    }
    bool handleOsc(int64_t, std::span<const uint8_t> data) override {
        counts.strings += data.size();
        return true;
    }
    void handleKittyGraphics(std::span<const uint8_t> content) override { counts.strings += content.size(); }
    std::unique_ptr<DcsHandler> makeDcsHandler(std::string_view, uint8_t, const SequenceParams&) override {
        return nullptr;
    }
};

void parseTessaline(benchmark::State& state, WorkloadKind kind) {
    const std::string& data = workload(kind);
    Counts counts;
    CountingTarget target(counts);
    EscapeSequenceParser parser(&target);
    parser.printHandler = [&](std::span<const uint8_t> run) { counts.printed += run.size(); };
    parser.apcHandlerFallback = [&](uint8_t, std::span<const uint8_t> content) {
        counts.strings += content.size();
    };
    for (auto _ : state)
        feedInChunks(data, [&](std::string_view chunk) { parser.parse(chunk); });
    benchmark::DoNotOptimize(counts);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["printed"] = double(counts.printed) / double(state.iterations());
}

#ifdef TESSALINE_HAVE_LIBVTERM
// libvterm offers the text callback everything up to the end of the read; the callback consumes the
// printable run (its own state layer walks it byte by byte the same way) and the parser resumes after it.
int vtermText(const char* bytes, size_t len, void* user) {
    size_t run = 0;
    while (run < len && uint8_t(bytes[run]) >= 0x20 && bytes[run] != 0x7F)
        ++run;
    static_cast<Counts*>(user)->printed += run;
    return int(run);
}
int vtermControl(unsigned char, void* user) {
    ++static_cast<Counts*>(user)->controls;
    return 1;
}
int vtermEscape(const char*, size_t, void* user) {
    ++static_cast<Counts*>(user)->sequences;
    return 1;
}
int vtermCsi(const char*, const long args[], int argcount, const char*, char, void* user) {
    auto* counts = static_cast<Counts*>(user);
    ++counts->sequences;
    if (argcount > 0 && args[0] >= 0) counts->parameters += uint64_t(args[0] & CSI_ARG_MASK);
    return 1;
}
int vtermString(const char*, size_t len, void* user) {
    static_cast<Counts*>(user)->strings += len;
    return 1;
}

void parseLibvterm(benchmark::State& state, WorkloadKind kind) {
    const std::string& data = workload(kind);
    Counts counts;
    VTerm* vt = vterm_new(workloadRows, workloadCols);
    vterm_set_utf8(vt, 1);
    static const VTermParserCallbacks callbacks = {
        vtermText, vtermControl, vtermEscape, vtermCsi, vtermString, vtermString, nullptr,
    };
    vterm_parser_set_callbacks(vt, &callbacks, &counts);
    for (auto _ : state)
        feedInChunks(data,
                     [&](std::string_view chunk) { vterm_input_write(vt, chunk.data(), chunk.size()); });
    benchmark::DoNotOptimize(counts);
    vterm_free(vt);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["printed"] = double(counts.printed) / double(state.iterations());
}
#endif

const bool registered = [] {
    for (WorkloadKind kind : allWorkloads()) {
        const std::string suffix = "/" + std::string(workloadName(kind)) + "/" + workloadSize();
        benchmark::RegisterBenchmark(("BM_Parse/tessaline" + suffix).c_str(), parseTessaline, kind)
            ->Unit(benchmark::kMillisecond);
#ifdef TESSALINE_HAVE_LIBVTERM
        benchmark::RegisterBenchmark(("BM_Parse/libvterm" + suffix).c_str(), parseLibvterm, kind)
            ->Unit(benchmark::kMillisecond);
#endif
    }
    return true;
}();

} // namespace
