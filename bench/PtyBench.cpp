// What a pseudo-terminal itself can carry: `cat` of a file read by a reader that only counts the bytes,
// straight from the master and through the process host's reader thread and drain jobs.
#include "LocalProcess.h"
#include "PseudoTerminalHelpers.h"
#include "RunLoopExecutor.h"

#include <benchmark/benchmark.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace Tessaline;

namespace {

// 16 MiB of coloured text lines, written once per run of the benchmark program.
const std::string& workloadPath() {
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / ("pty-bench-" + std::to_string(getpid()));
        std::ofstream out(file, std::ios::binary);
        std::string line;
        for (size_t written = 0, n = 0; written < (16u << 20); written += line.size(), ++n) {
            line = "\x1b[3" + std::to_string(n % 8) + "mline " + std::to_string(n) +
                   "\x1b[0m the quick brown fox jumps over the lazy dog 0123456789\n";
            out << line;
        }
        std::atexit([] { std::filesystem::remove(workloadPath()); });
        return file.string();
    }();
    return path;
}

int64_t workloadSize() {
    return int64_t(std::filesystem::file_size(workloadPath()));
}

const winsize benchSize{50, 160, 0, 0};

class CountingDelegate : public LocalProcessDelegate {
public:
    int64_t bytes = 0;
    bool ended = false;
    void processTerminated(LocalProcess&, std::optional<int32_t>) override { ended = true; }
    void dataReceived(std::span<const uint8_t> slice) override { bytes += int64_t(slice.size()); }
    winsize getWindowSize() override { return benchSize; }
};

} // namespace

// The pseudo-terminal's own limit: one thread reading the master until the end of input.
static void BM_PtyCatRawMaster(benchmark::State& state) {
    const auto size = workloadSize();
    std::vector<uint8_t> buffer(LocalProcess::readSize);
    for (auto _ : state) {
        auto child =
            PseudoTerminalHelpers::fork("/bin/cat", {"cat", workloadPath()}, {}, std::nullopt, benchSize);
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
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_PtyCatRawMaster)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same through LocalProcess: reader thread, pending list, drain jobs on a run loop, end report.
static void BM_PtyCatLocalProcessNullReader(benchmark::State& state) {
    const auto size = workloadSize();
    for (auto _ : state) {
        RunLoopExecutor executor;
        CountingDelegate delegate;
        LocalProcess process(&delegate, executor);
        process.startProcess("/bin/cat", {workloadPath()}, std::vector<std::string>{});
        if (!process.running() ||
            !executor.runUntil([&] { return delegate.ended; }, std::chrono::minutes(1))) {
            state.SkipWithError("cat did not end");
            return;
        }
        benchmark::DoNotOptimize(delegate.bytes);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_PtyCatLocalProcessNullReader)->Unit(benchmark::kMillisecond)->UseRealTime();
