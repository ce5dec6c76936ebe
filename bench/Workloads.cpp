#include "Workloads.h"
#include "Utf8.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>

namespace Tessaline::Bench {

const std::array<std::string_view, 32> words = {
    "the",     "quick",  "brown", "fox",    "jumps",  "over",   "lazy",     "dog",
    "build",   "server", "error", "return", "0x7ffd", "static", "const",    "value",
    "install", "make",   "git",   "commit", "origin", "main",   "-Wall",    "./src/main.cpp:42:7:",
    "warning", "[OK]",   "12.5%", "{}",     "(void)", "=>",     "#include", "done.",
};

void appendText(std::string& out, Rng& rng, int length) {
    int written = 0;
    while (written < length) {
        std::string_view word = rng.pick(words);
        int room = length - written;
        if (int(word.size()) > room) word = word.substr(0, size_t(room));
        out += word;
        written += int(word.size());
        if (written < length) {
            out += ' ';
            ++written;
        }
    }
}

namespace {

constexpr size_t targetSize = size_t(16) << 20;

std::string plainAscii(Rng& rng) {
    std::string out;
    while (out.size() < targetSize) {
        appendText(out, rng, rng.range(0, 79));
        out += "\r\n";
    }
    return out;
}

std::string denseSgr(Rng& rng) {
    std::string out = "\x1b[?1049h\x1b[H\x1b[2J";
    auto rgb = [&](std::string& s, char sep) {
        for (int k = 0; k < 3; ++k) {
            s += sep;
            s += std::to_string(rng.range(0, 255));
        }
    };
    while (out.size() < targetSize) {
        for (int row = 1; row <= workloadRows; ++row) {
            out += "\x1b[" + std::to_string(row) + ";1H";
            for (int col = 0; col < workloadCols; ++col) {
                out += "\x1b[";
                switch (rng.range(0, 7)) {
                case 0:
                case 1:
                case 2:
                case 3:
                    out += "38;5;" + std::to_string(rng.range(0, 255)) + ";48;5;" +
                           std::to_string(rng.range(0, 255));
                    break;
                case 4:
                case 5:
                    out += "38;2";
                    rgb(out, ';');
                    out += ";48;2";
                    rgb(out, ';');
                    break;
                case 6:
                    out += "38:2:";
                    rgb(out, ':');
                    out += ";48:2:";
                    rgb(out, ':');
                    break;
                default:
                    out += "1;38;5;" + std::to_string(rng.range(0, 255)) + ";48;2";
                    rgb(out, ';');
                    break;
                }
                out += 'm';
                out += char(rng.range(0x21, 0x7E));
            }
        }
        out += "\x1b[0m";
    }
    out += "\x1b[?1049l";
    return out;
}

std::string scrollRegions(Rng& rng) {
    std::string out = "\x1b[H\x1b[2J";
    while (out.size() < targetSize) {
        const int top = rng.range(1, 12);
        const int bottom = rng.range(top + 4, workloadRows);
        out += "\x1b[" + std::to_string(top) + ";" + std::to_string(bottom) + "r";
        out += "\x1b[" + std::to_string(bottom) + ";1H";
        for (int k = rng.range(20, 60); k > 0; --k) {
            appendText(out, rng, rng.range(3, 30));
            out += "\r\n";
        }
        out += "\x1b[" + std::to_string(top) + ";1H";
        for (int k = rng.range(5, 15); k > 0; --k) {
            out += "\x1bM";
            appendText(out, rng, rng.range(3, 30));
            out += '\r';
        }
    }
    out += "\x1b[r";
    return out;
}

std::string cursorRedraws(Rng& rng) {
    std::string out = "\x1b[H\x1b[2J";
    int x = 0; // the cursor column, so that text stays on its row
    auto text = [&] {
        const int room = workloadCols - 1 - x;
        if (room <= 0) return;
        const int length = rng.range(1, room < 30 ? room : 30);
        appendText(out, rng, length);
        x += length;
    };
    while (out.size() < targetSize) {
        const int op = rng.range(0, 99);
        if (op < 40) {
            x = rng.range(1, workloadCols) - 1;
            out += "\x1b[" + std::to_string(rng.range(1, workloadRows)) + ";" + std::to_string(x + 1) + "H";
            text();
        } else if (op < 60) {
            x = rng.range(1, workloadCols) - 1;
            out += "\x1b[" + std::to_string(x + 1) + "G";
            text();
        } else if (op < 75) {
            out += "\x1b[" + std::to_string(rng.range(1, workloadRows)) + "d";
            text();
        } else if (op < 97) {
            static constexpr std::array<std::string_view, 4> erase = {"\x1b[K", "\x1b[0K", "\x1b[1K",
                                                                      "\x1b[2K"};
            out += rng.pick(erase);
        } else {
            static constexpr std::array<std::string_view, 3> erase = {"\x1b[J", "\x1b[1J", "\x1b[2J"};
            out += rng.pick(erase);
        }
    }
    return out;
}

std::string wideText(Rng& rng) {
    // Emoji that are text by default and become wide with VS16.
    static constexpr std::array<uint32_t, 8> vs16Bases = {0x2764, 0x263A, 0x2600, 0x270C,
                                                          0x2708, 0x2660, 0x2B06, 0x00A9};
    static constexpr std::array<std::string_view, 12> flags = {"US", "JP", "KR", "DE", "FR", "BR",
                                                               "IN", "CN", "GB", "IT", "ES", "CA"};
    std::string out;
    while (out.size() < targetSize) {
        int width = 0;
        while (width < workloadCols - 4) {
            const int kind = rng.range(0, 99);
            if (kind < 30) {
                Utf8::append(out, uint32_t(rng.range(0x4E00, 0x9FFF)));
            } else if (kind < 50) {
                Utf8::append(out, uint32_t(rng.range(0xAC00, 0xD7A3)));
            } else if (kind < 62) {
                Utf8::append(out, uint32_t(rng.range(0x1F600, 0x1F64F)));
            } else if (kind < 70) {
                Utf8::append(out, rng.pick(vs16Bases));
                Utf8::append(out, 0xFE0F);
            } else if (kind < 77) {
                // Family, couple or profession sequences joined by ZWJ.
                static constexpr std::array<std::array<uint32_t, 3>, 4> parts = {{
                    {0x1F468, 0x1F469, 0x1F467},
                    {0x1F469, 0x1F469, 0x1F466},
                    {0x1F468, 0x1F468, 0x1F466},
                    {0x1F9D1, 0x1F91D, 0x1F9D1},
                }};
                const auto& p = rng.pick(parts);
                Utf8::append(out, p[0]);
                for (size_t k = 1; k < p.size(); ++k) {
                    Utf8::append(out, 0x200D);
                    Utf8::append(out, p[k]);
                }
            } else if (kind < 84) {
                Utf8::append(out, uint32_t(rng.pick(std::array<int, 4>{0x1F44D, 0x1F44B, 0x1F64C, 0x1F91E})));
                Utf8::append(out, uint32_t(rng.range(0x1F3FB, 0x1F3FF)));
            } else if (kind < 90) {
                for (char c : rng.pick(flags))
                    Utf8::append(out, 0x1F1E6 + uint32_t(c - 'A'));
            } else {
                out += char(rng.range('a', 'z'));
                out += ' ';
            }
            width += 2;
        }
        out += "\r\n";
    }
    return out;
}

std::string combiningText(Rng& rng) {
    std::string out;
    while (out.size() < targetSize) {
        for (int column = rng.range(10, workloadCols - 2); column > 0; --column) {
            if (rng.chance(12)) {
                out += ' ';
                continue;
            }
            out += char(rng.chance(50) ? rng.range('a', 'z') : rng.range('A', 'Z'));
            for (int marks = rng.range(1, 3); marks > 0; --marks)
                Utf8::append(out, uint32_t(rng.range(0x0300, 0x036F)));
        }
        out += "\r\n";
    }
    return out;
}

std::string longLines(Rng& rng) {
    std::string out;
    while (out.size() < targetSize) {
        appendText(out, rng, rng.range(1024, 16384));
        out += "\r\n";
    }
    return out;
}

std::string shellSession(Rng& rng) {
    static constexpr std::array<std::string_view, 6> dirs = {"~",    "~/src/quillaby", "~/src/quillaby/build",
                                                             "/etc", "/var/log",       "~/Documents"};
    static constexpr std::array<std::string_view, 8> commands = {
        "ls --color=auto",   "git status", "make -j8", "cat notes.txt",
        "grep -rn TODO src", "cd ..",      "vim x",    "ps aux",
    };
    static constexpr std::array<std::string_view, 6> colours = {"\x1b[01;34m", "\x1b[01;32m", "\x1b[01;36m",
                                                                "\x1b[00m",    "\x1b[31m",    "\x1b[1;33m"};
    std::string out;
    while (out.size() < targetSize) {
        const std::string dir(rng.pick(dirs));
        out += "\x1b]133;A\x07";
        out += rng.chance(50) ? "\x1b]0;" : "\x1b]2;";
        out += "user@host: " + dir + "\x07";
        const std::string path = dir[0] == '~' ? "/home/user" + dir.substr(1) : dir;
        out += "\x1b]7;file://host" + path + "\x1b\\";
        out += "\x1b[1;32muser@host\x1b[0m:\x1b[1;34m" + dir + "\x1b[0m$ ";
        out += "\x1b]133;B\x07";
        out += rng.pick(commands);
        out += "\r\n\x1b]133;C\x07";
        for (int line = rng.range(0, 30); line > 0; --line) {
            const int kind = rng.range(0, 99);
            if (kind < 40) {
                appendText(out, rng, rng.range(0, 76));
            } else if (kind < 70) {
                for (int k = rng.range(1, 4); k > 0; --k) {
                    out += rng.pick(colours);
                    appendText(out, rng, rng.range(3, 14));
                    out += "\x1b[0m  ";
                }
            } else if (kind < 90) {
                out += "\x1b]8;;file://host/home/user/" + std::string(rng.pick(words)) + ".txt\x1b\\";
                appendText(out, rng, rng.range(3, 20));
                out += "\x1b]8;;\x1b\\";
            } else if (kind < 95) {
                out += rng.chance(50) ? "\x1bP+q544e;636f6c6f7273\x1b\\" : "\x1bP=1s\x1b\\";
            } else {
                out += "\x1b_Xapp-data;";
                appendText(out, rng, rng.range(5, 40));
                out += "\x1b\\";
            }
            out += "\r\n";
        }
        out += "\x1b]133;D;" + std::to_string(rng.chance(90) ? 0 : rng.range(1, 127)) + "\x07";
    }
    return out;
}

constexpr std::array<WorkloadKind, 8> kinds = {
    WorkloadKind::ascii, WorkloadKind::sgr,       WorkloadKind::scroll,    WorkloadKind::cursor,
    WorkloadKind::wide,  WorkloadKind::combining, WorkloadKind::longLines, WorkloadKind::shell,
};

} // namespace

std::span<const WorkloadKind> allWorkloads() {
    return kinds;
}

std::string_view workloadName(WorkloadKind kind) {
    switch (kind) {
    case WorkloadKind::ascii:
        return "ascii";
    case WorkloadKind::sgr:
        return "sgr";
    case WorkloadKind::scroll:
        return "scroll";
    case WorkloadKind::cursor:
        return "cursor";
    case WorkloadKind::wide:
        return "wide";
    case WorkloadKind::combining:
        return "combining";
    case WorkloadKind::longLines:
        return "longlines";
    case WorkloadKind::shell:
        return "shell";
    }
    return "unknown";
}

std::string workloadSize() {
    return std::to_string(workloadCols) + "x" + std::to_string(workloadRows);
}

const std::string& workload(WorkloadKind kind) {
    static std::mutex mutex;
    static std::map<WorkloadKind, std::string> made;
    std::lock_guard lock(mutex);
    auto it = made.find(kind);
    if (it != made.end()) return it->second;
    Rng rng(0x5EED0000u + uint64_t(kind));
    std::string stream;
    switch (kind) {
    case WorkloadKind::ascii:
        stream = plainAscii(rng);
        break;
    case WorkloadKind::sgr:
        stream = denseSgr(rng);
        break;
    case WorkloadKind::scroll:
        stream = scrollRegions(rng);
        break;
    case WorkloadKind::cursor:
        stream = cursorRedraws(rng);
        break;
    case WorkloadKind::wide:
        stream = wideText(rng);
        break;
    case WorkloadKind::combining:
        stream = combiningText(rng);
        break;
    case WorkloadKind::longLines:
        stream = longLines(rng);
        break;
    case WorkloadKind::shell:
        stream = shellSession(rng);
        break;
    }
    return made.emplace(kind, std::move(stream)).first->second;
}

} // namespace Tessaline::Bench
