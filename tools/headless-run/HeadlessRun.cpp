// headless-run: runs a program in a headless terminal, the terminal answering the program's queries, and
// once the program has ended prints what it left on the screen as plain text and exits with its status.
//
//   headless-run [--cols N] [--rows N] [--scrollback N] [--all] [--allow-resize] -- PROGRAM [ARGS...]
//
// The program gets the terminal's environment and the terminal as its standard input, output and error.
// A PROGRAM without a "/" is looked for along PATH. Each row is printed up to its last non-blank cell;
// blank rows at the end are left out. With --all the scroll-back comes first. With --allow-resize the
// program's requests to resize the text area (CSI 8 ; rows ; cols t) are carried out, as conformance
// suites that resize per test need. Standard output carries the screen and nothing else; the engine's
// diagnostics go to standard error.
//
// SIGINT, SIGTERM or SIGHUP stop the program (SIGTERM, then SIGKILL to its process group half a second
// later) and still print the screen, then exit with 128 plus the signal's number, within a second
// whatever output is pending: a suite that gives up on a program after a time sees how far it got.
#include "HeadlessTerminal.h"
#include "RunLoopExecutor.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

using namespace Tessaline;

namespace {

constexpr int usageStatus = 2;
// What a shell answers for a program it cannot find.
constexpr int notFoundStatus = 127;
// How long a program stopped by a signal may take to end (and its output to be shown) before it is
// killed: the run ends well within a second of the signal, whatever is pending.
constexpr std::chrono::milliseconds stopPatience{500};

constexpr const char* usageText =
    "usage: headless-run [--cols N] [--rows N] [--scrollback N] [--all] [--allow-resize] -- PROGRAM "
    "[ARGS...]\n"
    "Runs PROGRAM in a headless terminal (80x25, scroll-back 500 lines by default), prints its screen\n"
    "(with --all, the scroll-back first) once PROGRAM ends, and exits with PROGRAM's status.\n"
    "With --allow-resize, PROGRAM's requests to resize the terminal (CSI 8;rows;cols t) are carried out.\n";

struct Arguments {
    int cols = 80;
    int rows = 25;
    int scrollback = TerminalOptions::defaultOptions().scrollback.value_or(0);
    bool all = false;
    bool allowResize = false;
    std::vector<std::string> command;
};

[[noreturn]] void failUsage(const std::string& message) {
    std::fprintf(stderr, "headless-run: %s\n%s", message.c_str(), usageText);
    std::exit(usageStatus);
}

int parseNumber(std::string_view option, std::string_view text, int lowest, int highest) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest) {
        failUsage(std::string(option) + " takes a whole number from " + std::to_string(lowest) + " to " +
                  std::to_string(highest) + ", not \"" + std::string(text) + "\"");
    }
    return value;
}

Arguments parseArguments(int argc, char** argv) {
    Arguments arguments;
    int at = 1;
    while (at < argc) {
        std::string_view word = argv[at];
        if (word == "--") {
            ++at;
            break;
        }
        if (word == "-h" || word == "--help") {
            std::fputs(usageText, stdout);
            std::exit(0);
        }
        if (word == "--all") {
            arguments.all = true;
            ++at;
            continue;
        }
        if (word == "--allow-resize") {
            arguments.allowResize = true;
            ++at;
            continue;
        }
        if (!word.starts_with("-")) break;

        // --name N or --name=N.
        std::string_view name = word;
        std::optional<std::string_view> value;
        if (const auto equals = word.find('='); equals != std::string_view::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
        }
        int* target = nullptr;
        int lowest = 1;
        int highest = 0xFFFF;
        if (name == "--cols") {
            target = &arguments.cols;
        } else if (name == "--rows") {
            target = &arguments.rows;
        } else if (name == "--scrollback") {
            target = &arguments.scrollback;
            lowest = 0;
            // Far past any test's need, and still a bounded amount of memory.
            highest = 1'000'000;
        } else {
            failUsage("unknown option \"" + std::string(word) + "\"");
        }
        if (!value) {
            if (at + 1 >= argc) failUsage(std::string(name) + " needs a value");
            value = argv[++at];
        }
        *target = parseNumber(name, *value, lowest, highest);
        ++at;
    }
    for (; at < argc; ++at)
        arguments.command.emplace_back(argv[at]);
    if (arguments.command.empty()) failUsage("no program given");
    return arguments;
}

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program's path: as given when it holds a "/", else the first match along PATH.
std::optional<std::string> resolveProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (;;) {
        const size_t colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + program;
        if (isExecutableFile(candidate)) return candidate;
        if (colon == std::string_view::npos) return std::nullopt;
        folders.remove_prefix(colon + 1);
    }
}

// The rows from..to (ring indices) of the buffer, as text, without the blank rows at the end.
std::string screenText(Terminal& terminal, const Buffer& buffer, int from, int to) {
    const auto character = [&](const CharData& cell) {
        return cell.code == 0 ? std::string(" ") : terminal.getCharacter(cell);
    };
    std::vector<std::string> rows;
    for (int row = from; row < to; ++row) {
        const BufferLinePtr& line = buffer.lines().peek(row);
        rows.push_back(line ? line->translateToString(true, 0, -1, true, character) : std::string());
    }
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    std::string text;
    for (const auto& row : rows)
        text += row + "\n";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const Arguments arguments = parseArguments(argc, argv);
    const auto executable = resolveProgram(arguments.command[0]);
    if (!executable) {
        std::fprintf(stderr, "headless-run: %s: command not found\n", arguments.command[0].c_str());
        return notFoundStatus;
    }

    TerminalOptions options;
    options.cols = arguments.cols;
    options.rows = arguments.rows;
    options.scrollback = arguments.scrollback;

    // Blocked here and so in every thread started later; the waiter below takes them. The child starts
    // with an empty mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stopSignals, number);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    RunLoopExecutor loop;
    std::atomic<bool> finished{false};
    int caught = 0;
    std::thread waiter([&] {
        int number = 0;
        while (sigwait(&stopSignals, &number) != 0) {
        }
        if (!finished) loop.post([&caught, number] { caught = number; });
    });
    const auto stopWaiter = [&] {
        finished = true;
        pthread_kill(waiter.native_handle(), SIGHUP);
        waiter.join();
    };

    bool ended = false;
    std::optional<int32_t> status;
    HeadlessTerminal headless(loop, options, [&](std::optional<int32_t> exitCode) {
        ended = true;
        status = exitCode;
    });
    headless.resizesOnRequest = arguments.allowResize;
    const std::vector<std::string> args(arguments.command.begin() + 1, arguments.command.end());
    headless.process().startProcess(*executable, args, std::nullopt, arguments.command[0]);
    if (!headless.process().running()) {
        std::fprintf(stderr, "headless-run: cannot start %s on a pseudo-terminal\n", executable->c_str());
        stopWaiter();
        return 1;
    }
    loop.runUntil([&] { return ended || caught != 0; }, std::chrono::nanoseconds::max());
    stopWaiter();
    if (!ended) {
        // What the program wrote before it was stopped still reaches the screen; one that will not stop is
        // hung up.
        kill(headless.process().shellPid(), SIGTERM);
        loop.runUntil([&] { return ended; }, stopPatience);
        if (!ended) headless.process().terminate(std::chrono::milliseconds(0));
        status = 128 + caught;
    }

    Terminal& terminal = headless.terminal();
    const Buffer& buffer = terminal.buffer();
    const int last = std::min(buffer.yBase() + terminal.rows(), buffer.lines().count());
    const std::string text = screenText(terminal, buffer, arguments.all ? 0 : buffer.yBase(), last);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return status.value_or(1);
}
