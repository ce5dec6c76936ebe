// The escape-sequence parser alone. Each input is parsed whole and again in pieces whose sizes the input
// picks, into recorders whose event lists must agree: a sequence may be split anywhere. A third pass has
// the error handler abort every call it sees an error in, and checks that such a call leaves the parser
// as it found it. The string limit is small, so that the paths that drop strings run too.
#include "EscapeSequenceParser.h"
#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace Tessaline;
using Tessaline::Fuzz::fail;

namespace {

class Recorder;

void appendByte(std::string& out, uint8_t b) {
    static constexpr char hex[] = "0123456789ABCDEF";
    out += hex[b >> 4];
    out += hex[b & 15];
}

std::string describe(const SequenceParams& pars, std::string_view collect) {
    if (pars.size() < 1 || pars.size() > EscapeSequenceParser::maxParameters)
        fail("%d parameters dispatched", pars.size());
    if (pars.separators().size() != size_t(pars.size() - 1))
        fail("%zu separators for %d parameters", pars.separators().size(), pars.size());
    if (collect.size() > size_t(EscapeSequenceParser::maxCollect))
        fail("%zu bytes collected", collect.size());
    std::string out(collect);
    for (int k = 0; k < pars.size(); ++k) {
        if (pars[k] < 0 || pars[k] > EscapeSequenceParser::parameterLimit)
            fail("parameter %lld", (long long)pars[k]);
        out += std::to_string(pars[k]);
        if (const uint8_t separator = pars.separatorAfter(k)) {
            if (separator != ';' && separator != ':') fail("separator %d", separator);
            out += char(separator);
        }
    }
    return out;
}

// A DCS string's outcome is written into the event made at its hook, so that when the handler is dropped
// (which the parser may do at the end of a call) does not matter.
class RecordingDcs final : public DcsHandler {
public:
    RecordingDcs(Recorder& recorder, size_t limit)
        : _recorder(recorder)
        , _limit(limit) {}
    ~RecordingDcs() override;
    void hook(std::string_view collect, const SequenceParams& parameters, uint8_t flag) override;
    void put(std::span<const uint8_t> data) override {
        if (!_hooked || _done) fail("DCS data outside hook and unhook");
        _data.insert(_data.end(), data.begin(), data.end());
        if (_data.size() > _limit) fail("DCS handler got %zu bytes past its limit %zu", _data.size(), _limit);
    }
    void unhook() override;
    size_t maxDataLength() const override { return _limit; }

private:
    Recorder& _recorder;
    size_t _limit;
    size_t _event = 0;
    bool _hooked = false;
    bool _done = false;
    std::string _data;
};

class Recorder final : public ParserTarget {
public:
    std::vector<std::string> events;

    void add(std::string event) { events.push_back(std::move(event)); }
    void print(std::span<const uint8_t> run) {
        if (run.empty()) fail("empty print run");
        // Runs split by the pieces join up again.
        if (events.empty() || events.back().front() != 'P') events.emplace_back("P");
        events.back().append(reinterpret_cast<const char*>(run.data()), run.size());
    }

    void handleExecute(uint8_t code) override {
        std::string e = "X";
        appendByte(e, code);
        add(e);
    }
    bool handleCsi(uint8_t code, const SequenceParams& pars, std::string_view collect) override {
        std::string e = "C" + describe(pars, collect);
        appendByte(e, code);
        add(e);
        // Some commands are refused, so that the fallback runs too.
        return code % 3 != 0;
    }
    bool handleEsc(std::string_view collect, uint8_t code) override {
        if (collect.size() > size_t(EscapeSequenceParser::maxCollect)) fail("%zu ESC bytes", collect.size());
        std::string e = "E" + std::string(collect);
        appendByte(e, code);
        add(e);
        return code % 3 != 0;
    }
    bool handleOsc(int64_t code, std::span<const uint8_t> data) override {
        add("O" + std::to_string(code) + ";" + std::string(data.begin(), data.end()));
        return code % 3 != 0;
    }
    void handleKittyGraphics(std::span<const uint8_t> content) override {
        add("G" + std::string(content.begin(), content.end()));
    }
    std::unique_ptr<DcsHandler> makeDcsHandler(std::string_view collect, uint8_t code,
                                               const SequenceParams& pars) override {
        std::string e = "H" + describe(pars, collect);
        appendByte(e, code);
        add(e);
        // Some strings have no handler; some handlers take only a little.
        if (code == 'x') return nullptr;
        return std::make_unique<RecordingDcs>(*this, code == 'q' ? 16 : SIZE_MAX);
    }
};

RecordingDcs::~RecordingDcs() {
    if (_hooked && !_done) _recorder.events[_event] += "|dropped";
}

void RecordingDcs::hook(std::string_view collect, const SequenceParams& parameters, uint8_t flag) {
    if (_hooked) fail("DCS handler hooked twice");
    _hooked = true;
    _event = _recorder.events.size();
    std::string e = "D" + describe(parameters, collect);
    appendByte(e, flag);
    _recorder.add(e);
}

void RecordingDcs::unhook() {
    if (!_hooked || _done) fail("DCS unhook without hook");
    _done = true;
    _recorder.events[_event] += "|" + _data + "|unhook";
}

void wire(EscapeSequenceParser& parser, Recorder& recorder, size_t stringLimit) {
    parser.terminal = &recorder;
    parser.maxStringLength = stringLimit;
    parser.printHandler = [&recorder](std::span<const uint8_t> run) { recorder.print(run); };
    parser.printStateReset = [&recorder] {
        // Consecutive resets say no more than one.
        if (recorder.events.empty() || recorder.events.back() != "R") recorder.add("R");
    };
    parser.csiHandlerFallback = [&recorder](const SequenceParams& pars, std::string_view collect,
                                            uint8_t code) {
        recorder.add("c" + std::string(collect) + std::to_string(pars.size()) + char(code));
    };
    parser.escHandlerFallback = [&recorder](std::string_view collect, uint8_t code) {
        recorder.add("e" + std::string(collect) + char(code));
    };
    parser.oscHandlerFallback = [&recorder](int64_t code, std::span<const uint8_t>) {
        recorder.add("o" + std::to_string(code));
    };
    parser.apcHandlerFallback = [&recorder](uint8_t command, std::span<const uint8_t> content) {
        recorder.add("a" + std::string(1, char(command)) + std::string(content.begin(), content.end()));
    };
    parser.dscHandlerFallback = [&recorder](uint8_t code, const SequenceParams& pars) {
        recorder.add("h" + std::to_string(pars.size()) + char(code));
    };
    parser.diagnosticHandler = [&recorder](std::string_view message) {
        recorder.add("!" + std::string(message));
    };
    parser.errorHandler = [&recorder](ParsingState& state) {
        std::string e = "!error " + std::string(name(state.currentState)) + " ";
        appendByte(e, state.code);
        recorder.add(e);
    };
    // A registered handler takes its code first, and may change the registrations while it runs.
    parser.oscHandlers[52] = [&recorder](std::span<const uint8_t> data) {
        recorder.add("o52 " + std::string(data.begin(), data.end()));
    };
    parser.oscHandlers[4242] = [&parser, &recorder](std::span<const uint8_t>) {
        recorder.add("o4242");
        parser.oscHandlers.erase(4242);
    };
}

void checkParser(const EscapeSequenceParser& parser) {
    if (parser.osc().size() > parser.maxStringLength || parser.apc().size() > parser.maxStringLength)
        fail("strings of %zu and %zu bytes held past the limit %zu", parser.osc().size(), parser.apc().size(),
             parser.maxStringLength);
    const SequenceParams pars = parser.params();
    if (pars.size() < 1 || pars.size() > EscapeSequenceParser::maxParameters)
        fail("%d parameters held", pars.size());
    if (parser.collect().size() > size_t(EscapeSequenceParser::maxCollect))
        fail("%zu bytes collected", parser.collect().size());
}

// splitmix64: piece sizes from a seed the input gives.
struct Pieces {
    uint64_t state;
    size_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        // Mostly small pieces, sometimes large ones.
        return 1 + size_t(z % (size_t(1) << (z >> 60) % 10));
    }
};

struct Snapshot {
    ParserState state;
    std::vector<uint8_t> osc;
    std::vector<uint8_t> apc;
    std::string collect;
    std::vector<int64_t> params;
    bool operator==(const Snapshot&) const = default;

    static Snapshot of(const EscapeSequenceParser& parser) {
        const SequenceParams pars = parser.params();
        return {parser.currentState,
                {parser.osc().begin(), parser.osc().end()},
                {parser.apc().begin(), parser.apc().end()},
                std::string(parser.collect()),
                pars.toVector()};
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const size_t stringLimit = size_t(1) << provider.ConsumeIntegralInRange(4, 20);
    const uint64_t seed = provider.ConsumeIntegral<uint64_t>();
    const std::vector<uint8_t> input = provider.ConsumeRemainingBytes<uint8_t>();
    const std::span<const uint8_t> bytes(input);

    Recorder whole;
    {
        EscapeSequenceParser parser;
        wire(parser, whole, stringLimit);
        parser.parse(bytes);
        checkParser(parser);
    }

    Recorder pieces;
    {
        EscapeSequenceParser parser;
        wire(parser, pieces, stringLimit);
        Pieces sizes{seed};
        for (size_t at = 0; at < bytes.size();) {
            const size_t n = std::min(sizes.next(), bytes.size() - at);
            parser.parse(bytes.subspan(at, n));
            checkParser(parser);
            at += n;
        }
    }
    if (whole.events != pieces.events) {
        const size_t common = std::min(whole.events.size(), pieces.events.size());
        size_t k = 0;
        while (k < common && whole.events[k] == pieces.events[k])
            ++k;
        fail("pieces change event %zu: \"%s\" whole, \"%s\" in pieces", k,
             k < whole.events.size() ? whole.events[k].c_str() : "(none)",
             k < pieces.events.size() ? pieces.events[k].c_str() : "(none)");
    }

    // Aborting calls: each aborted call must leave the machine as the call found it.
    {
        Recorder aborting;
        EscapeSequenceParser parser;
        wire(parser, aborting, stringLimit);
        bool aborted = false;
        parser.errorHandler = [&aborted](ParsingState& state) {
            state.abort = true;
            aborted = true;
        };
        Pieces sizes{seed ^ 0x5555};
        for (size_t at = 0; at < bytes.size();) {
            const size_t n = std::min(sizes.next(), bytes.size() - at);
            const Snapshot before = Snapshot::of(parser);
            aborted = false;
            parser.parse(bytes.subspan(at, n));
            checkParser(parser);
            if (aborted && !(Snapshot::of(parser) == before)) fail("an aborted call changed the parser");
            at += n;
            if (aborted) parser.reset();
        }
    }
    return 0;
}
