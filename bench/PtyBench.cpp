// End to end: `cat` of each benchmark workload through a real pseudo-terminal, side by side
//   - into a headless terminal (the process host's reader thread and drain jobs, the whole emulator),
//   - into libvterm with its screen layer behind the same process host,
//   - into a null reader behind the same process host (what the host costs),
//   - into a null reader straight on the master (the pseudo-terminal's own limit).
// The window is the workloads' 80x24; the terminal and libvterm keep 10,000 lines of scroll-back and live
// across the runs, as in a long session. The pseudo-terminal turns every LF into CR LF on its way.
#include "HeadlessTerminal.h"
#include "LocalProcess.h"
#include "PseudoTerminalHelpers.h"
#include "RunLoopExecutor.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#ifdef TESSALINE_HAVE_LIBVTERM
#include <vterm.h>
#endif

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace Tessaline;
using namespace Tessaline::Bench;

namespace {

constexpr int scrollback = 10'000;
constexpr auto patience = std::chrono::minutes(2);
const winsize benchSize{uint16_t(workloadRows), uint16_t(workloadCols), 0, 0};

const std::filesystem::path& workloadFolder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("pty-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        std::atexit([] { std::filesystem::remove_all(workloadFolder()); });
        return path;
    }();
    return folder;
}

// The workload as a file for cat, written on first use.
const std::string& workloadFile(WorkloadKind kind) {
    static std::map<WorkloadKind, std::string> paths;
    auto found = paths.find(kind);
    if (found != paths.end()) return found->second;
    const auto path = workloadFolder() / std::string(workloadName(kind));
    const std::string& data = workload(kind);
    std::ofstream(path, std::ios::binary).write(data.data(), std::streamsize(data.size()));
    return paths.emplace(kind, path.string()).first->second;
}

void reportBytes(benchmark::State& state, WorkloadKind kind) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(workload(kind).size()));
}

// Runs cat of the workload once per iteration on the host's process, until its end is reported.
template<class Host>
void catThroughHost(benchmark::State& state, WorkloadKind kind, RunLoopExecutor& executor,
                    LocalProcess& process, Host& host) {
    const std::string& path = workloadFile(kind);
    for (auto _ : state) {
        host.ended = false;
        process.startProcess("/bin/cat", {path}, std::vector<std::string>{});
        if (!process.running() || !executor.runUntil([&] { return host.ended; }, patience)) {
            state.SkipWithError("cat did not end");
            return;
        }
    }
    reportBytes(state, kind);
}

// A headless terminal that notes the end.
struct TessalineHost {
    explicit TessalineHost(RunLoopExecutor& executor)
        : headless(executor, options(), [this](std::optional<int32_t>) { ended = true; }) {}
    static TerminalOptions options() {
        TerminalOptions options;
        options.cols = workloadCols;
        options.rows = workloadRows;
        options.scrollback = scrollback;
        return options;
    }
    bool ended = false;
    HeadlessTerminal headless;
};

void catIntoTessaline(benchmark::State& state, WorkloadKind kind) {
    RunLoopExecutor executor;
    TessalineHost host(executor);
    catThroughHost(state, kind, executor, host.headless.process(), host);
}

class NullReader final : public LocalProcessDelegate {
public:
    int64_t bytes = 0;
    bool ended = false;
    void processTerminated(LocalProcess&, std::optional<int32_t>) override { ended = true; }
    void dataReceived(std::span<const uint8_t> slice) override { bytes += int64_t(slice.size()); }
    winsize getWindowSize() override { return benchSize; }
};

void catIntoNullReader(benchmark::State& state, WorkloadKind kind) {
    RunLoopExecutor executor;
    NullReader reader;
    LocalProcess process(&reader, executor);
    catThroughHost(state, kind, executor, process, reader);
    benchmark::DoNotOptimize(reader.bytes);
}

// One thread reading the master until the end of input: no process host at all.
void catIntoRawMaster(benchmark::State& state, WorkloadKind kind) {
    const std::string& path = workloadFile(kind);
    std::vector<uint8_t> buffer(LocalProcess::readSize);
    for (auto _ : state) {
        auto child = PseudoTerminalHelpers::fork("/bin/cat", {"cat", path}, {}, std::nullopt, benchSize);
        if (!child) {
            state.SkipWithError("cannot start cat on a pseudo-terminal");
            return;
        }
        int64_t received = 0;
        for (;;) {
            const ssize_t length = read(child->masterFd, buffer.data(), buffer.size());
            if (length > 0)
                received += length;
            else if (length < 0 && errno == EINTR)
                continue;
            else
                break;
        }
        close(child->masterFd);
        waitpid(child->pid, nullptr, 0);
        benchmark::DoNotOptimize(received);
    }
    reportBytes(state, kind);
}

#ifdef TESSALINE_HAVE_LIBVTERM
// libvterm with its screen layer and a host ring of 10,000 scrolled-off rows, fed by the process host.
class LibvtermHost final : public LocalProcessDelegate {
public:
    LibvtermHost() {
        _vt = vterm_new(workloadRows, workloadCols);
        vterm_set_utf8(_vt, 1);
        vterm_output_set_callback(
            _vt, [](const char*, size_t, void*) {}, nullptr);
        VTermScreen* screen = vterm_obtain_screen(_vt);
        static const VTermScreenCallbacks callbacks = {
            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, pushLine, popLine,
        };
        vterm_screen_set_callbacks(screen, &callbacks, this);
        vterm_screen_enable_altscreen(screen, 1);
        vterm_screen_reset(screen, 1);
    }
    LibvtermHost(const LibvtermHost&) = delete;
    LibvtermHost& operator=(const LibvtermHost&) = delete;
    ~LibvtermHost() override { vterm_free(_vt); }

    bool ended = false;
    void processTerminated(LocalProcess&, std::optional<int32_t>) override { ended = true; }
    void dataReceived(std::span<const uint8_t> slice) override {
        vterm_input_write(_vt, reinterpret_cast<const char*>(slice.data()), slice.size());
    }
    winsize getWindowSize() override { return benchSize; }

private:
    static int pushLine(int cols, const VTermScreenCell* cells, void* user) {
        auto& self = *static_cast<LibvtermHost*>(user);
        if (self._lines.size() < size_t(scrollback)) self._lines.emplace_back();
        self._lines[self._next].assign(cells, cells + cols);
        self._next = (self._next + 1) % size_t(scrollback);
        return 1;
    }
    static int popLine(int, VTermScreenCell*, void*) { return 0; }

    VTerm* _vt = nullptr;
    std::vector<std::vector<VTermScreenCell>> _lines;
    size_t _next = 0;
};

void catIntoLibvterm(benchmark::State& state, WorkloadKind kind) {
    RunLoopExecutor executor;
    LibvtermHost host;
    LocalProcess process(&host, executor);
    catThroughHost(state, kind, executor, process, host);
}
#endif

const bool registered = [] {
    for (WorkloadKind kind : allWorkloads()) {
        const std::string suffix = "/" + std::string(workloadName(kind)) + "/" + workloadSize();
        auto add = [&](const char* sink, void (*run)(benchmark::State&, WorkloadKind)) {
            benchmark::RegisterBenchmark(("BM_PtyCat/" + std::string(sink) + suffix).c_str(), run, kind)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        };
        add("tessaline", catIntoTessaline);
#ifdef TESSALINE_HAVE_LIBVTERM
        add("libvterm", catIntoLibvterm);
#endif
        add("nullreader", catIntoNullReader);
        add("rawmaster", catIntoRawMaster);
    }
    return true;
}();

} // namespace
