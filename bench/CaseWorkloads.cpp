#include "CaseWorkloads.h"

#include "Utf8.h"
#include "Workloads.h"

namespace Tessaline::Bench {

std::string textLines(int lines, int length, unsigned seed) {
    Rng rng(0xCA5E0000u + seed);
    std::string out;
    out.reserve(size_t(lines) * size_t(length + 2));
    for (int i = 0; i < lines; ++i) {
        appendText(out, rng, length);
        out += "\r\n";
    }
    return out;
}

std::string linkLines(int lines, int perLine, int first) {
    std::string out;
    int number = first;
    for (int i = 0; i < lines; ++i) {
        for (int k = 0; k < perLine; ++k, ++number) {
            const std::string name = "file" + std::to_string(number) + ".txt";
            out += "\x1b]8;;file://host/home/user/" + name + "\x1b\\" + name + "\x1b]8;;\x1b\\  ";
        }
        out += "\r\n";
    }
    return out;
}

std::string columnToggles(size_t bytes) {
    return repeated("\x1b[?3h\x1b[?3l", bytes);
}

std::string columnTogglesEndingApart(size_t bytes, size_t chunk) {
    const std::string_view pair = "\x1b[?3h\x1b[?3l";
    std::string out;
    for (size_t k = 0; out.size() < bytes; ++k) {
        const size_t end = out.size() + chunk;
        while (out.size() + pair.size() + 5 <= end)
            out += pair;
        // A last switch, its parameter padded with zeros to end the read exactly, the other way each read.
        out += "\x1b[?" + std::string(end - out.size() - 5, '0') + (k % 2 == 0 ? "3h" : "3l");
    }
    return out;
}

std::string underlineColours(int first, size_t bytes) {
    std::string out = "\x1b[4m";
    for (uint32_t colour = uint32_t(first); out.size() < bytes; ++colour) {
        out += "\x1b[58:2::" + std::to_string((colour >> 16) & 0xFF) + ":" +
               std::to_string((colour >> 8) & 0xFF) + ":" + std::to_string(colour & 0xFF) + "m";
        out += char('a' + colour % 26);
        if (colour % 150 == 149) out += "\r\n";
    }
    return out;
}

std::string accentedLines(size_t bytes, bool accented) {
    Rng rng(0xACCE0000u);
    std::string out;
    while (out.size() < bytes) {
        std::string line;
        appendText(line, rng, 79);
        const size_t at = size_t(rng.range(0, 78));
        line.replace(at, 1, accented ? "\xC3\xA9" : "e");
        out += line + "\r\n";
    }
    return out;
}

std::string hangulLines(size_t bytes, bool decomposed) {
    Rng rng(0x4A4E0000u);
    std::string out;
    while (out.size() < bytes) {
        for (int k = 0; k < 40; ++k) {
            const int lead = rng.range(0, 18);
            const int vowel = rng.range(0, 20);
            const int trail = rng.chance(60) ? rng.range(1, 27) : 0;
            if (decomposed) {
                Utf8::append(out, 0x1100u + uint32_t(lead));
                Utf8::append(out, 0x1161u + uint32_t(vowel));
                if (trail != 0) Utf8::append(out, 0x11A7u + uint32_t(trail));
            } else {
                Utf8::append(out, 0xAC00u + uint32_t((lead * 21 + vowel) * 28 + trail));
            }
            if (rng.chance(15)) out += ' ';
        }
        out += "\r\n";
    }
    return out;
}

namespace {

// DECLRMM and margins at columns 1 to 100, or nothing.
std::string marginsLeadIn(bool margins) {
    return margins ? "\x1b[?69h\x1b[1;100s" : "";
}

} // namespace

std::string regionScroll(size_t bytes, bool margins) {
    Rng rng(0x5C011000u);
    std::string out = "\x1b[H\x1b[2J" + marginsLeadIn(margins) + "\x1b[50;1H";
    while (out.size() < bytes) {
        appendText(out, rng, rng.range(0, 99));
        out += "\r\n";
    }
    return out;
}

std::string insertDeleteLines(size_t bytes, bool margins) {
    Rng rng(0x11D10000u);
    std::string out = "\x1b[H\x1b[2J" + marginsLeadIn(margins);
    while (out.size() < bytes) {
        out += "\x1b[" + std::to_string(rng.range(1, caseRows)) + ";1H";
        out += rng.chance(50) ? "\x1b[L" : "\x1b[M";
        appendText(out, rng, rng.range(0, 99));
    }
    return out;
}

std::string repeated(std::string_view unit, size_t bytes, std::string_view leadIn) {
    std::string out(leadIn);
    out.reserve(bytes + unit.size());
    while (out.size() < bytes)
        out += unit;
    return out;
}

} // namespace Tessaline::Bench
