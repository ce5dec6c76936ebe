// Makes the seed corpus of the fuzz targets: the start and a middle slice of every benchmark workload,
// and, for every test source, the string literals it feeds the terminal (those with controls or bytes
// past ASCII), joined. Seeds stay small, so that the corpus is cheap to keep in the repository.
//
//   fuzz_make_seeds <tests folder> <output folder>
#include "Workloads.h"
#include "Utf8.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t seedSize = 4096;

void write(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The body of an ordinary string literal from just past its opening quote; i ends past the closing one.
std::string readLiteral(const std::string& src, size_t& i) {
    std::string out;
    while (i < src.size() && src[i] != '"') {
        char c = src[i++];
        if (c != '\\' || i >= src.size()) {
            out += c;
            continue;
        }
        c = src[i++];
        switch (c) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'a':
            out += '\a';
            break;
        case 'b':
            out += '\b';
            break;
        case 'e':
            out += '\x1b';
            break;
        case 'x': {
            unsigned value = 0;
            while (i < src.size() && hexValue(src[i]) >= 0)
                value = value * 16 + unsigned(hexValue(src[i++]));
            out += char(value & 0xFF);
            break;
        }
        case 'u':
        case 'U': {
            const size_t digits = c == 'u' ? 4 : 8;
            uint32_t value = 0;
            for (size_t k = 0; k < digits && i < src.size() && hexValue(src[i]) >= 0; ++k)
                value = value * 16 + uint32_t(hexValue(src[i++]));
            Tessaline::Utf8::append(out, value);
            break;
        }
        default:
            if (c >= '0' && c <= '7') {
                unsigned value = unsigned(c - '0');
                for (int k = 0; k < 2 && i < src.size() && src[i] >= '0' && src[i] <= '7'; ++k)
                    value = value * 8 + unsigned(src[i++] - '0');
                out += char(value & 0xFF);
            } else {
                out += c;
            }
        }
    }
    ++i;
    return out;
}

bool isSequence(const std::string& literal) {
    for (unsigned char c : literal)
        if (c == 0x1b || c == 0x07 || c >= 0x80 || (c < 0x20 && c != '\n')) return true;
    return false;
}

// The sequences of one test source, joined, at most seedSize bytes.
std::string sequencesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string src{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string out;
    size_t i = 0;
    while (i < src.size() && out.size() < seedSize) {
        if (src.compare(i, 2, "//") == 0) {
            i = src.find('\n', i);
            if (i == std::string::npos) break;
        } else if (src[i] == '\'') {
            // A character literal, so that '"' starts no string.
            i += src.compare(i, 2, "'\\") == 0 ? 4 : 3;
        } else if (src[i] == 'R' && i + 1 < src.size() && src[i + 1] == '"') {
            i = src.find(")\"", i);
            if (i == std::string::npos) break;
            i += 2;
        } else if (src[i] == '"') {
            ++i;
            const std::string literal = readLiteral(src, i);
            if (isSequence(literal)) out += literal;
        } else {
            ++i;
        }
    }
    if (out.size() > seedSize) out.resize(seedSize);
    return out;
}

// The protocols the tests build from pieces rather than literals, one small sample each.
struct Sample {
    const char* name;
    std::string_view bytes;
};
constexpr Sample samples[] = {
    {"kitty", "\x1b_Ga=T,f=24,s=2,v=2;AAAAAAAAAAAAAAAA\x1b\\\x1b_Ga=t,i=5,m=1,f=32,s=1,v=1;AAAA\x1b\\"
              "\x1b_Gm=0;AAAA\x1b\\\x1b_Ga=p,i=5,c=3,r=2,p=7\x1b\\\x1b_Ga=p,i=5,P=5,Q=7,H=1,V=1\x1b\\"
              "\x1b_Ga=q,i=9;AAAA\x1b\\\x1b_Ga=d,d=i,i=5\x1b\\\x1b_Ga=d,d=A\x1b\\"},
    {"sixel", "\x1bP0;1;0q\"1;1;8;8#0;2;100;0;0#1;2;0;100;0#0~~~~$#1!4?~~~~-#0!8~\x1b\\"},
    {"osc", "\x1b]0;title\x07\x1b]2;other\x1b\\\x1b]8;id=1;http://example.com/\x1b\\link\x1b]8;;\x1b\\"
            "\x1b]52;c;aGVsbG8=\x07\x1b]7;file:///tmp\x07\x1b]6;file:///tmp/doc\x07\x1b]9;4;1;50\x07"
            "\x1b]777;notify;title;body\x07\x1b]1337;File=inline=1;width=2:AAAA\x07\x1b]4;1;rgb:ff/00/00\x07"
            "\x1b]10;?\x07\x1b]104\x07"},
    {"titles",
     "\x1b[22;0t\x1b]0;one\x07\x1b[22;1t\x1b]0;two\x07\x1b[23;0t\x1b[23;2t\x1b[21t\x1b[18t\x1b[14t"},
    {"reports", "\x1b[c\x1b[>c\x1b[5n\x1b[6n\x1b[?6n\x1bP$qm\x1b\\\x1bP$qr\x1b\\\x1b[?2026$p\x1b[2$p"
                "\x1b[1;1;1;1;10;10*y\x1b[?u\x1b[>1u\x1b[<u"},
    {"sync", "\x1b[?2026hredraw\x1b[2J\x1b[H\x1b[?2026l\x1b[?2026h\x1b[?1049hx\x1b[?1049l"},
    {"editing", "abc\x1b[3b\x1b[5L\x1b[3S\x1b[2T\x1b[4P\x1b[2@\x1b[3X\x1b[1K\x1b[2J\x1b[3J\x1b#8"
                "\x1b[2;5r\x1b[?69h\x1b[3;6s\x1b"
                "D\x1b"
                "M\x1b"
                "6\x1b"
                "9\x1b[3'}\x1b[2'~\x1b[1;1;3;3;2;2$v"
                "\x1b[65;1;1;5;5$x\x1b[1;1;4;4$z\x1b[1;1;4;4${\x1b[?3h\x1b[?3l"},
    {"graphemes",
     "e\xcc\x81\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7 "
     "\xf0\x9f\x87\xaf\xf0\x9f\x87\xb5\xe2\x9d\xa4\xef\xb8\x8f\xe4\xb8\xad\xe6\x96\x87\xed\x95\x9c"},
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <tests folder> <output folder>\n", argv[0]);
        return 2;
    }
    const fs::path tests = argv[1];
    const fs::path output = argv[2];
    fs::create_directories(output);

    for (const Tessaline::Bench::WorkloadKind kind : Tessaline::Bench::allWorkloads()) {
        const std::string& stream = Tessaline::Bench::workload(kind);
        const std::string name(Tessaline::Bench::workloadName(kind));
        write(output / ("workload-" + name + "-start"), std::string_view(stream).substr(0, seedSize));
        write(output / ("workload-" + name + "-middle"),
              std::string_view(stream).substr(stream.size() / 2, seedSize));
    }

    for (const auto& [name, bytes] : samples)
        write(output / ("sample-" + std::string(name)), bytes);

    std::vector<fs::path> sources;
    for (const auto& entry : fs::recursive_directory_iterator(tests))
        if (entry.is_regular_file() && entry.path().extension() == ".cpp") sources.push_back(entry.path());
    std::sort(sources.begin(), sources.end());
    for (const fs::path& source : sources) {
        const std::string seed = sequencesOf(source);
        if (seed.size() >= 16) write(output / ("tests-" + source.stem().string()), seed);
    }
    return 0;
}
