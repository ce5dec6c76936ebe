#include "DiagnosticsCapture.h"
#include "EscapeSequenceParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

// Bytes as text, with controls and bytes from 0x7F up shown as \xNN.
std::string visible(std::span<const uint8_t> bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : bytes) {
        if (b >= 0x20 && b < 0x7F) {
            s += char(b);
        } else {
            s += "\\x";
            s += hex[b >> 4];
            s += hex[b & 15];
        }
    }
    return s;
}

std::string visible(std::string_view text) {
    return visible(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string paramsText(const SequenceParams& pars) {
    std::string s;
    for (int k = 0; k < pars.size(); ++k) {
        if (k > 0) s += char(pars.separatorAfter(k - 1));
        s += std::to_string(pars[k]);
    }
    return s;
}

using Log = std::vector<std::string>;

struct RecordingDcsHandler : DcsHandler {
    Log& log;
    int& live;
    size_t limit;
    RecordingDcsHandler(Log& log, int& live, size_t limit)
        : log(log)
        , live(live)
        , limit(limit) {
        ++live;
    }
    ~RecordingDcsHandler() override { --live; }
    void hook(std::string_view collect, const SequenceParams& pars, uint8_t flag) override {
        log.push_back("dcs hook " + std::string(collect) + "|" + paramsText(pars) + "|" + char(flag));
    }
    void put(std::span<const uint8_t> data) override { log.push_back("dcs put " + visible(data)); }
    void unhook() override { log.push_back("dcs unhook"); }
    size_t maxDataLength() const override { return limit; }
};

// A terminal stand-in that writes one line per call. It takes DCS strings with final "q" (with no
// collect, or "$") as the terminal does, and every CSI, ESC and OSC unless told otherwise.
struct Recorder : ParserTarget {
    Log log;
    EscapeSequenceParser parser{this};
    bool takesSequences = true;
    size_t dcsLimit = SIZE_MAX;
    int printStateResets = 0;
    int liveDcsHandlers = 0;

    Recorder() {
        parser.printHandler = [this](std::span<const uint8_t> run) {
            log.push_back("print " + visible(run));
        };
        parser.printStateReset = [this] { ++printStateResets; };
        parser.errorHandler = [this](ParsingState& state) {
            log.push_back("error " + std::string(name(state.currentState)) + " " +
                          visible(std::span<const uint8_t>(&state.code, 1)));
        };
        parser.csiHandlerFallback = [this](const SequenceParams& pars, std::string_view collect,
                                           uint8_t code) {
            log.push_back("csi fallback " + std::string(collect) + "|" + paramsText(pars) + "|" + char(code));
        };
        parser.escHandlerFallback = [this](std::string_view collect, uint8_t code) {
            log.push_back("esc fallback " + visible(collect) + "|" + char(code));
        };
        parser.oscHandlerFallback = [this](int64_t code, std::span<const uint8_t> data) {
            log.push_back("osc fallback " + std::to_string(code) + " " + visible(data));
        };
        parser.apcHandlerFallback = [this](uint8_t command, std::span<const uint8_t> content) {
            log.push_back("apc fallback " + visible(std::span<const uint8_t>(&command, 1)) + " " +
                          visible(content));
        };
        parser.dscHandlerFallback = [this](uint8_t code, const SequenceParams& pars) {
            log.push_back("dcs fallback " + paramsText(pars) + "|" + char(code));
        };
        parser.diagnosticHandler = [this](std::string_view message) {
            log.push_back("note " + std::string(message));
        };
    }

    void handleExecute(uint8_t code) override {
        log.push_back("exec " + visible(std::span<const uint8_t>(&code, 1)));
    }
    bool handleCsi(uint8_t code, const SequenceParams& pars, std::string_view collect) override {
        if (takesSequences)
            log.push_back("csi " + std::string(collect) + "|" + paramsText(pars) + "|" + char(code));
        return takesSequences;
    }
    bool handleEsc(std::string_view collect, uint8_t code) override {
        if (takesSequences) log.push_back("esc " + visible(collect) + "|" + char(code));
        return takesSequences;
    }
    bool handleOsc(int64_t code, std::span<const uint8_t> data) override {
        if (takesSequences) log.push_back("osc " + std::to_string(code) + " " + visible(data));
        return takesSequences;
    }
    void handleKittyGraphics(std::span<const uint8_t> content) override {
        log.push_back("kitty " + visible(content));
    }
    std::unique_ptr<DcsHandler> makeDcsHandler(std::string_view collect, uint8_t code,
                                               const SequenceParams&) override {
        if (code == 'q' && (collect.empty() || collect == "$"))
            return std::make_unique<RecordingDcsHandler>(log, liveDcsHandlers, dcsLimit);
        return nullptr;
    }

    Log feed(std::string_view bytes) {
        log.clear();
        parser.parse(bytes);
        return log;
    }
};

// Print runs and DCS slices are cut where reads end; joined, a log must not depend on the cuts.
Log joined(const Log& log) {
    Log out;
    for (const auto& line : log) {
        for (const char* kind : {"print ", "dcs put "}) {
            std::string_view prefix(kind);
            if (line.starts_with(prefix) && !out.empty() && out.back().starts_with(prefix)) {
                out.back() += line.substr(prefix.size());
                goto next;
            }
        }
        out.push_back(line);
    next:;
    }
    return out;
}

struct Case {
    const char* name;
    std::string input;
    Log expected;
};

void runCases(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder r;
        EXPECT_EQ(r.feed(c.input), c.expected);
        EXPECT_EQ(r.liveDcsHandlers, 0) << "no handler outlives its string";
    }
}

} // namespace

TEST(EscapeSequenceParser, CsiParameters) {
    runCases({
        {"sub-parameters", "\x1b[38:2:10:20:30m", {"csi |38:2:10:20:30|m"}},
        {"nothing is one zero", "\x1b[H", {"csi |0|H"}},
        {"missing parameters are zeros", "\x1b[;H", {"csi |0;0|H"}},
        {"mixed separators", "\x1b[1;4:3;38:5:9m", {"csi |1;4:3;38:5:9|m"}},
        {"prefix", "\x1b[?1049h", {"csi ?|1049|h"}},
        {"prefix and intermediate", "\x1b[>1$p", {"csi >$|1|p"}},
        {"intermediate only", "\x1b[ q", {"csi  |0|q"}},
        {"25 nines restart after the limit", "\x1b[" + std::string(25, '9') + "m", {"csi |9999999|m"}},
        {"8-bit CSI inside a sequence",
         "\x1b\x9b"
         "5m",
         {"csi |5|m"}},
        {"controls inside run in place", "\x1b[1\n2m", {"exec \\x0A", "csi |12|m"}},
        {"DEL inside is dropped", "\x1b[1\x7f;2H", {"csi |1;2|H"}},
    });
}

TEST(EscapeSequenceParser, MalformedSequencesDispatchNothing) {
    runCases({
        {"second prefix", "\x1b[?1?h", {}},
        {"digit after intermediate", "\x1b[ 1q", {}},
        {"colon first is an error, the rest prints", "\x1b[:1mX", {"error csiEntry :", "print 1mX"}},
        {"CAN abandons",
         "\x1b[12\x18"
         "ab",
         {"exec \\x18", "print ab"}},
        {"SUB abandons",
         "\x1b[12\x1a"
         "ab",
         {"exec \\x1A", "print ab"}},
        {"ESC restarts", "\x1b[12\x1b[3m", {"csi |3|m"}},
        {"high byte after CSI", "\x1b[\xc3\xa9", {"error csiEntry \\xC3", "print \\xA9"}},
        {"high byte in CSI ignore is dropped", "\x1b[?1?\xc3m", {}},
        {"colon in DCS parameters", "\x1bP1:2qdata\x1b\\", {"esc |\\"}},
    });
}

TEST(EscapeSequenceParser, PrintRunsAndControls) {
    runCases({
        {"run handed over before LF", "ab\ncd", {"print ab", "exec \\x0A", "print cd"}},
        {"C1 bytes in ground print",
         "a\x9b"
         "5m\x85",
         {"print a\\x9B5m\\x85"}},
        {"UTF-8 prints", "caf\xc3\xa9", {"print caf\\xC3\\xA9"}},
        {"DEL prints",
         "a\x7f"
         "b",
         {"print a\\x7Fb"}},
        {"EM executes",
         "a\x19"
         "b",
         {"print a", "exec \\x19", "print b"}},
        {"ESC sequences",
         "\x1b(B\x1b#8\x1b"
         "c\x1b=",
         {"esc (|B", "esc #|8", "esc |c", "esc |="}},
        {"C0 inside ESC", "\x1b\r(0", {"exec \\x0D", "esc (|0"}},
        {"SOS and PM are consumed", "\x1bXsos\x1b\\\x1b^pm\x9cz", {"esc |\\", "print z"}},
    });
}

TEST(EscapeSequenceParser, OscStrings) {
    runCases({
        {"BEL ends", "\x1b]0;title\x07", {"osc 0 title"}},
        {"ST ends, the backslash is an ESC", "\x1b]0;title\x1b\\", {"osc 0 title", "esc |\\"}},
        {"8-bit OSC",
         "\x9d"
         "2;t\x07",
         {"print \\x9D2;t", "exec \\x07"}},
        {"8-bit OSC inside a sequence",
         "\x1b\x9d"
         "2;t\x07",
         {"osc 2 t"}},
        {"CAN cancels", "\x1b]0;title\x18", {}},
        {"SUB is dropped", "\x1b]0;ti\x1atle\x07", {"osc 0 title"}},
        {"other controls are dropped", "\x1b]0;ti\x01\ntle\x07", {"osc 0 title"}},
        {"UTF-8 is kept", "\x1b]2;\xc3\xa9\x07", {"osc 2 \\xC3\\xA9"}},
        {"0x9C is data",
         "\x1b]0;a\x9c"
         "b\x07",
         {"osc 0 a\\x9Cb"}},
        {"no code is zero", "\x1b];x\x07", {"osc 0 x"}},
        {"no data", "\x1b]4\x07", {"osc 4 "}},
        {"empty string dispatches nothing", "\x1b]\x07", {}},
        {"data keeps later semicolons", "\x1b]8;;http://a;b\x07", {"osc 8 ;http://a;b"}},
    });
}

TEST(EscapeSequenceParser, ApcStrings) {
    runCases({
        {"G goes to the Kitty handler", "\x1b_Ga=q;\x1b\\", {"kitty a=q;", "esc |\\"}},
        {"other commands to the fallback", "\x1b_X\x1b\\", {"apc fallback X ", "esc |\\"}},
        {"empty calls nothing", "\x1b_\x1b\\", {"esc |\\"}},
        {"8-bit APC inside a sequence with 8-bit data", "\x1b\x9fGx\x9cy\x07", {"kitty x\\x9Cy"}},
        {"CAN cancels", "\x1b_Gabc\x18", {}},
    });
}

TEST(EscapeSequenceParser, DcsStrings) {
    runCases({
        {"handler gets hook, body and unhook",
         "\x1bPqBODY\x1b\\",
         {"dcs hook |0|q", "dcs put BODY", "dcs unhook", "esc |\\"}},
        {"parameters and 8-bit ST", "\x1bP1;2q#0\x9c", {"dcs hook |1;2|q", "dcs put #0", "dcs unhook"}},
        {"collect $", "\x1bP$qm\x1b\\", {"dcs hook $|0|q", "dcs put m", "dcs unhook", "esc |\\"}},
        {"no handler: the body is dropped", "\x1bP1$rxx\x1b\\", {"dcs fallback 1|r", "esc |\\"}},
        {"DEL splits the body",
         "\x1bPqab\x7f"
         "cd\x1b\\",
         {"dcs hook |0|q", "dcs put ab", "dcs put cd", "dcs unhook", "esc |\\"}},
        {"high bytes are data",
         "\x1bPq\xc3\xa9\x1b\\",
         {"dcs hook |0|q", "dcs put \\xC3\\xA9", "dcs unhook", "esc |\\"}},
        {"empty body", "\x1bPq\x1b\\", {"dcs hook |0|q", "dcs unhook", "esc |\\"}},
        // Fault: a handler abandoned by CAN used to stay active and receive the next unrelated string.
        {"CAN abandons without unhook",
         "\x1bPqab\x18\x1bP1$rzz\x1b\\",
         {"dcs hook |0|q", "dcs put ab", "exec \\x18", "dcs fallback 1|r", "esc |\\"}},
        {"a C1 control abandons", "\x1bPqab\x85z", {"dcs hook |0|q", "dcs put ab", "exec \\x85", "print z"}},
        {"8-bit CSI abandons",
         "\x1bPqab\x9b"
         "1m",
         {"dcs hook |0|q", "dcs put ab", "csi |1|m"}},
    });
}

// Every split of each stream into two reads, and one byte per read, gives the log of the whole stream.
TEST(EscapeSequenceParser, ResultIndependentOfReadSplits) {
    const std::vector<std::string> streams = {
        "plain \xe4\xbd\xa0\xe5\xa5\xbd text\r\n\x1b[1;31mred\x1b[0m\x1b[38:2:10:20:30mX\x1b[?25l\x1b[12;40H",
        "\x1b]2;caf\xc3\xa9 "
        "\xe2\x9c\x93\x07\x1b]0;\xc5\x9c\x9c\x1b\\\x1b]8;id=1;file:///x\x1b\\link\x1b]8;;\x1b\\",
        "\x1bP1;2q#0;2;0;0;0#0~~@@\x7f--$-\x1b\\\x1bP$qm\x1b\\\x1bP+"
        "q544e\x1b\\\x1bPqab\x18z\x1bPq\xc3\xa9\x9c",
        "\x1b_Ga=T,f=100;iVBORw0KGgo\x1b\\\x1b_Xabc\x1b\\\x1b_Gx\x9c\x85y\x07\x1bXsos\x1b\\\x1b^pm\x9c",
        "\x1b[:1m\x1b[?1?h\x1b[\xc3\xa9\x1b(0lqk\x1b(B\x1b#8\x1b[3;5r\x1bM\x1b[r\x9b\x90"
        "a\x1b\x9b"
        "5m",
        "\x1b[" + std::string(40, '9') + ";" + std::string(3, '7') + "m\x1b]0;t\x1a\x01x\x18y\x1b]1;\x9c\x07",
    };
    for (const auto& stream : streams) {
        SCOPED_TRACE(visible(stream));
        Recorder whole;
        const Log expected = joined(whole.feed(stream));
        for (size_t cut = 0; cut <= stream.size(); ++cut) {
            SCOPED_TRACE(cut);
            Recorder r;
            r.parser.parse(std::string_view(stream).substr(0, cut));
            r.parser.parse(std::string_view(stream).substr(cut));
            ASSERT_EQ(joined(r.log), expected);
        }
        Recorder bytewise;
        for (char c : stream)
            bytewise.parser.parse(std::string_view(&c, 1));
        EXPECT_EQ(joined(bytewise.log), expected);
    }
}

namespace {

// The machine byte by byte from the table alone, without the parser's fast lanes, writing the log the
// Recorder writes (print runs and DCS slices joined).
Log referenceLog(std::string_view input) {
    using S = ParserState;
    using A = ParserAction;
    const TransitionTable& table = EscapeSequenceParser::table();
    Log log;
    S state = S::ground;
    std::vector<int64_t> pars{0};
    std::string seps, collect, osc, apc, print, dcs;
    bool overflow = false, collectOverflow = false, handler = false;
    auto flushPrint = [&] {
        if (!print.empty()) log.push_back("print " + visible(print));
        print.clear();
    };
    auto flushDcs = [&] {
        if (handler && !dcs.empty()) log.push_back("dcs put " + visible(dcs));
        dcs.clear();
    };
    auto parsText = [&] {
        SequenceParams p({pars.data(), pars.size()},
                         {reinterpret_cast<const uint8_t*>(seps.data()), pars.size() - 1});
        return paramsText(p);
    };
    auto restart = [&] {
        pars = {0};
        seps.clear();
        collect.clear();
        osc.clear();
        apc.clear();
        overflow = collectOverflow = false;
    };
    for (char c : input) {
        const uint8_t b = uint8_t(c);
        if (state == S::ground && b >= 0x20) {
            print += char(b);
            continue;
        }
        const A action = table.action(state, b);
        S next = table.next(state, b);
        if (state == S::dcsPassthrough && next != S::dcsPassthrough && action != A::dcsUnhook &&
            action != A::error) {
            flushDcs();
            handler = false;
        }
        switch (action) {
        case A::ignore:
            if (!print.empty())
                flushPrint();
            else
                flushDcs();
            break;
        case A::error:
            if (b >= 0xA0 && (state == S::csiIgnore || state == S::dcsIgnore)) {
                next = state;
                break;
            }
            if (b >= 0xA0 && state == S::dcsPassthrough) {
                dcs += char(b);
                next = state;
                break;
            }
            log.push_back("error " + std::string(name(state)) + " " + visible(std::string(1, char(b))));
            break;
        case A::print:
            print += char(b);
            break;
        case A::execute:
            flushPrint();
            log.push_back("exec " + visible(std::string(1, char(b))));
            break;
        case A::oscStart:
            flushPrint();
            (next == S::apcString ? apc : osc).clear();
            break;
        case A::oscPut:
            (state == S::apcString ? apc : osc) += char(b);
            break;
        case A::oscEnd: {
            const std::string& text = state == S::apcString ? apc : osc;
            if (!text.empty() && b != 0x18 && b != 0x1A) {
                if (state == S::apcString) {
                    if (text[0] == 'G')
                        log.push_back("kitty " + visible(text.substr(1)));
                    else
                        log.push_back("apc fallback " + visible(text.substr(0, 1)) + " " +
                                      visible(text.substr(1)));
                } else {
                    const size_t semicolon = text.find(';');
                    const std::string code = text.substr(0, semicolon);
                    const int64_t number = EscapeSequenceParser::parseInt(
                        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(code.data()), code.size()));
                    log.push_back(
                        "osc " + std::to_string(number) + " " +
                        (semicolon == std::string::npos ? "" : visible(text.substr(semicolon + 1))));
                }
            }
            next = b == 0x1B ? S::escape : S::ground;
            restart();
            break;
        }
        case A::csiDispatch:
            if (overflow) log.push_back("note Tessaline: parameters past 32 ignored");
            log.push_back((collectOverflow ? "csi fallback " : "csi ") + collect + "|" + parsText() + "|" +
                          char(b));
            break;
        case A::param:
            if (b == ';' || b == ':') {
                if (pars.size() < size_t(EscapeSequenceParser::maxParameters)) {
                    seps += char(b);
                    pars.push_back(0);
                } else {
                    overflow = true;
                }
            } else if (!overflow) {
                pars.back() = pars.back() * 10 + (b - '0');
                if (pars.back() > EscapeSequenceParser::parameterLimit) pars.back() = 0;
            }
            break;
        case A::collect:
            if (collect.size() < size_t(EscapeSequenceParser::maxCollect))
                collect += char(b);
            else
                collectOverflow = true;
            break;
        case A::escDispatch:
            log.push_back((collectOverflow ? "esc fallback " : "esc ") + visible(collect) + "|" + char(b));
            break;
        case A::clear:
            flushPrint();
            restart();
            break;
        case A::dcsHook:
            if (overflow) log.push_back("note Tessaline: parameters past 32 ignored");
            handler = !collectOverflow && b == 'q' && (collect.empty() || collect == "$");
            dcs.clear();
            log.push_back(handler ? "dcs hook " + collect + "|" + parsText() + "|" + char(b)
                                  : "dcs fallback " + parsText() + "|" + char(b));
            break;
        case A::dcsPut:
            dcs += char(b);
            break;
        case A::dcsUnhook:
            if (handler) {
                flushDcs();
                log.push_back("dcs unhook");
            }
            handler = false;
            dcs.clear();
            next = b == 0x1B ? S::escape : S::ground;
            restart();
            break;
        }
        state = next;
    }
    if (state == S::ground) flushPrint();
    if (state == S::dcsPassthrough) flushDcs();
    return joined(log);
}

} // namespace

// The fast lanes (text, CSI parameters, string bodies, DCS data) must agree with the table on any input.
TEST(EscapeSequenceParser, AgreesWithTheTableOnRandomStreams) {
    static const std::string alphabet[] = {
        "\x1b", "[",     "]",     "P",     "_",     "X",    "^",          "\\",    "0",
        "1",    "9",     ";",     ";",     ":",     "?",    ">",          "$",     " ",
        "a",    "m",     "q",     "G",     "H",     "(",    "#",          "\x07",  "\x18",
        "\x1a", "\x7f",  "\n",    "\x9c",  "\x9b",  "\x90", "\x9d",       "\x85",  "\xc3",
        "\xa9", "\x1b[", "\x1b]", "\x1bP", "\x1b_", "12",   "38:2:1:2:3", "hello", "\x1b\\",
    };
    uint64_t seed = 42;
    auto next = [&] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(seed >> 33);
    };
    for (int round = 0; round < 3000; ++round) {
        std::string stream;
        for (int k = int(next() % 120); k > 0; --k)
            stream += alphabet[next() % std::size(alphabet)];
        Recorder r;
        for (size_t at = 0; at < stream.size();) {
            const size_t length = 1 + next() % 24;
            r.parser.parse(std::string_view(stream).substr(at, length));
            at += length;
        }
        ASSERT_EQ(joined(r.log), referenceLog(stream)) << visible(stream);
    }
}

// CSI parameters are read many bytes at a time when enough follow in the read; the result must be the
// table's for numbers of any length, any separators, the parameter cap and whatever cuts a sequence short.
TEST(EscapeSequenceParser, CsiParameterWindowsAgreeWithTheTable) {
    static const std::string alphabet[] = {
        "\x1b[",
        "\x1b[",
        "\x9b",
        "m",
        "m",
        ";",
        ";",
        ":",
        "0",
        "7",
        "38",
        "255",
        "1234",
        "00042",
        "99999999",
        "123456789",
        "9223372036854775807",
        std::string(40, '9'),
        "38;5;",
        "48:2:",
        "?",
        ">",
        "$",
        " ",
        "\x18",
        "\x1b",
        "\n",
        "\xc3\xa9",
        "\x7f",
        "x",
        "@",
    };
    uint64_t seed = 7;
    auto next = [&] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(seed >> 33);
    };
    for (int round = 0; round < 3000; ++round) {
        std::string stream;
        for (int k = int(next() % 200); k > 0; --k)
            stream += alphabet[next() % std::size(alphabet)];
        const Log expected = referenceLog(stream);
        Recorder whole;
        whole.parser.parse(stream);
        ASSERT_EQ(joined(whole.log), expected) << visible(stream);
        Recorder pieces;
        for (size_t at = 0; at < stream.size();) {
            const size_t length = 1 + next() % 100;
            pieces.parser.parse(std::string_view(stream).substr(at, length));
            at += length;
        }
        ASSERT_EQ(joined(pieces.log), expected) << visible(stream);
    }
    // Dense SGR as programs write it, cut at every byte.
    std::string sgr;
    for (int k = 0; k < 12; ++k) {
        sgr += "\x1b[38;5;" + std::to_string(k * 23) + ";48;2;" + std::to_string(k) + ";0;255m" +
               char('a' + k) + "\x1b[38:2::10:200:3;48:5:" + std::to_string(k * 9) + ";1;4:3m" +
               char('A' + k);
    }
    sgr += "\x1b[" + std::string(34, ';') + "1m\x1b[0000000000000000000000007;0012345678;01234m.";
    const Log expected = referenceLog(sgr);
    for (size_t cut = 0; cut <= sgr.size(); ++cut) {
        SCOPED_TRACE(cut);
        Recorder r;
        r.parser.parse(std::string_view(sgr).substr(0, cut));
        r.parser.parse(std::string_view(sgr).substr(cut));
        ASSERT_EQ(joined(r.log), expected);
    }
}

TEST(EscapeSequenceParser, ParameterAndCollectCaps) {
    Recorder r;
    std::string many = "\x1b[";
    std::string first32;
    for (int k = 1; k <= 40; ++k) {
        many += std::to_string(k) + (k < 40 ? ";" : "m");
        if (k <= 32) first32 += std::to_string(k) + (k < 32 ? ";" : "");
    }
    EXPECT_EQ(r.feed(many), (Log{"note Tessaline: parameters past 32 ignored", "csi |" + first32 + "|m"}));

    const std::string intermediates(EscapeSequenceParser::maxCollect + 1, '!');
    EXPECT_EQ(r.feed("\x1b[" + intermediates + "p"),
              (Log{"csi fallback " + intermediates.substr(1) + "|0|p"}));
    EXPECT_EQ(r.feed("\x1bP" + intermediates + "q\x1b\\"), (Log{"dcs fallback 0|q", "esc |\\"}));
    EXPECT_EQ(r.feed("\x1b[1;2m"), (Log{"csi |1;2|m"})) << "the next sequence starts afresh";
}

TEST(EscapeSequenceParser, StringCaps) {
    Recorder r;
    r.parser.maxStringLength = 8;
    EXPECT_EQ(r.feed("\x1b]0;123456\x07"), (Log{"osc 0 123456"})) << "exactly the limit";
    r.parser.parse("\x1b]0;12345");
    EXPECT_EQ(r.feed("678\x07"), (Log{"note Tessaline: OSC string longer than 8 bytes dropped"}));
    EXPECT_TRUE(r.parser.osc().empty());
    EXPECT_EQ(r.feed("\x1b_Gabcdefgh\x1b\\\x1b]0;ok\x07"),
              (Log{"note Tessaline: APC string longer than 8 bytes dropped", "esc |\\", "osc 0 ok"}));

    // A DCS handler never sees more than the limit: it is dropped whole, without unhook.
    EXPECT_EQ(r.feed("\x1bPq12345678\x7f"
                     "9\x1b\\"),
              (Log{"dcs hook |0|q", "dcs put 12345678",
                   "note Tessaline: DCS string longer than 8 bytes dropped", "esc |\\"}));
    r.parser.maxStringLength = EscapeSequenceParser::defaultMaxStringLength;
    r.dcsLimit = 3;
    EXPECT_EQ(r.feed("\x1bP$qabcd\x1b\\"),
              (Log{"dcs hook $|0|q", "note Tessaline: DCS string longer than 3 bytes dropped", "esc |\\"}))
        << "the handler's own limit";
}

TEST(EscapeSequenceParser, LongStringsStayBounded) {
    Recorder r;
    const std::string chunk(1 << 20, 'A');
    r.parser.parse("\x1b]52;c;");
    for (int k = 0; k < 20; ++k) {
        r.parser.parse(chunk);
        ASSERT_LE(r.parser.osc().size(), EscapeSequenceParser::defaultMaxStringLength);
    }
    EXPECT_EQ(r.feed("\x07"), Log{});
    EXPECT_EQ(r.log, Log{});
}

TEST(EscapeSequenceParser, WithoutTerminalEverythingFallsBack) {
    Recorder r;
    r.parser.terminal = nullptr;
    EXPECT_EQ(r.feed("a\n\x1b[5W\x1b"
                     "c\x1b]0;t\x07\x1b_Gx\x1b\\\x1bPqz\x1b\\"),
              (Log{"print a", "csi fallback |5|W", "esc fallback |c", "osc fallback 0 t", "apc fallback G x",
                   "esc fallback |\\", "dcs fallback 0|q", "esc fallback |\\"}));
}

TEST(EscapeSequenceParser, UnhandledSequencesReachFallbacks) {
    Recorder r;
    r.takesSequences = false;
    EXPECT_EQ(r.feed("\x1b[?5W\x1b(W\x1b]9;hi\x07"),
              (Log{"csi fallback ?|5|W", "esc fallback (|W", "osc fallback 9 hi"}));

    EscapeSequenceParser plain;
    DiagnosticsCapture capture;
    plain.parse("\x1b[5W");
    EXPECT_EQ(capture.takeKinds(), std::vector{DiagnosticKind::parserFallback});
}

TEST(EscapeSequenceParser, RegisteredOscHandlersComeFirst) {
    Recorder r;
    r.parser.oscHandlers[0] = [&](std::span<const uint8_t> data) {
        r.log.push_back("handler " + visible(data));
    };
    EXPECT_EQ(r.feed("\x1b]0;a\x07\x1b]2;b\x07"), (Log{"handler a", "osc 2 b"}));
}

TEST(EscapeSequenceParser, ResetDropsEverythingInFlight) {
    Recorder r;
    r.parser.parse("\x1bPqab");
    ASSERT_NE(r.parser.activeDcsHandler(), nullptr);
    r.log.clear();
    const int resets = r.printStateResets;
    r.parser.reset();
    EXPECT_EQ(r.log, Log{}) << "dropped without unhook";
    EXPECT_EQ(r.liveDcsHandlers, 0);
    EXPECT_EQ(r.printStateResets, resets + 1);
    EXPECT_EQ(r.parser.currentState, ParserState::ground);
    EXPECT_EQ(r.feed("cd\x1b\\"), (Log{"print cd", "esc |\\"}));

    r.parser.parse("\x1b]0;half");
    r.parser.reset();
    EXPECT_EQ(r.feed("x\x07"), (Log{"print x", "exec \\x07"}));
}

TEST(EscapeSequenceParser, PrintStateResetAtEverySequenceStart) {
    Recorder r;
    r.feed("ab\x1b[m\x1b]0;t\x07");
    // Each ESC starts a sequence afresh, and the end of the OSC resets the print path again.
    EXPECT_EQ(r.printStateResets, 3);
}

TEST(EscapeSequenceParser, AbortingErrorHandlerUndoesTheCall) {
    Recorder r;
    r.parser.parse("\x1b[1;2");
    r.parser.errorHandler = [&](ParsingState& state) {
        r.log.push_back("abort at " + std::to_string(state.position));
        state.abort = true;
    };
    EXPECT_EQ(r.feed("3m\x1b]0;t\x07xy\x1b[:"), (Log{"csi |1;23|m", "osc 0 t", "print xy", "abort at 12"}));
    EXPECT_EQ(r.parser.currentState, ParserState::csiParam);
    EXPECT_EQ(r.feed("m"), (Log{"csi |1;2|m"})) << "back to where the aborted call began";

    r.parser.parse("\x1b]0;ab");
    EXPECT_EQ(r.feed("c\x07\x1b[:"), (Log{"osc 0 abc", "abort at 4"}));
    EXPECT_EQ(r.feed("d\x07"), (Log{"osc 0 abd"}));

    r.parser.parse("\x1bPqab");
    EXPECT_EQ(r.feed("c\x1b\\\x1b[:"), (Log{"dcs put c", "dcs unhook", "esc |\\", "abort at 5"}));
    EXPECT_NE(r.parser.activeDcsHandler(), nullptr) << "the handler the call began with is back";
}

TEST(EscapeSequenceParser, ParseInt) {
    const std::vector<std::pair<std::string, int64_t>> cases = {
        {"", 0},
        {"x1", 0},
        {"12ab", 12},
        {"0052", 52},
        {std::string(25, '9'), 0},
        {"922337203685477570", 922337203685477570},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(EscapeSequenceParser::parseInt(
                      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size())),
                  expected);
    }
}

TEST(EscapeSequenceParser, SequenceParamsAccessors) {
    int count0 = -1, count1 = -1, missing = -1;
    bool sub2 = false, sub1 = true;
    struct Probe : ParserTarget {
        std::function<void(const SequenceParams&)> onCsi;
        void handleExecute(uint8_t) override {}
        bool handleCsi(uint8_t, const SequenceParams& pars, std::string_view) override {
            onCsi(pars);
            return true;
        }
        bool handleEsc(std::string_view, uint8_t) override { return true; }
        bool handleOsc(int64_t, std::span<const uint8_t>) override { return true; }
        void handleKittyGraphics(std::span<const uint8_t>) override {}
        std::unique_ptr<DcsHandler> makeDcsHandler(std::string_view, uint8_t,
                                                   const SequenceParams&) override {
            return nullptr;
        }
    } probe;
    probe.onCsi = [&](const SequenceParams& pars) {
        count0 = pars.count(0);
        count1 = pars.count(1);
        missing = pars.get(9, 7);
        sub1 = pars.isSubParameter(1);
        sub2 = pars.isSubParameter(2);
    };
    EscapeSequenceParser parser(&probe);
    parser.parse("\x1b[0;5:99999999999H");
    EXPECT_EQ(count0, 1);
    EXPECT_EQ(count1, 5);
    EXPECT_EQ(missing, 7);
    EXPECT_FALSE(sub1);
    EXPECT_TRUE(sub2);
    probe.onCsi = [&](const SequenceParams& pars) { count0 = pars.get(2); };
    parser.parse("\x1b[0;5:99999999999H");
    EXPECT_EQ(count0, INT_MAX) << "clamped to int";
}
