#include "EscapeSequenceParser.h"

#include "ControlScan.h"
#include "Diagnostics.h"
#include "ParameterScan.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace Tessaline {

namespace {

using S = ParserState;
using A = ParserAction;
constexpr const TransitionTable& vt500 = vt500TransitionTable;
static_assert(vt500.entry(S::ground, 'a') == TransitionTable::pack(A::print, S::ground));
static_assert(vt500.entry(S::ground, '\n') == TransitionTable::pack(A::execute, S::ground));
static_assert(vt500.entry(S::ground, 0x19) == TransitionTable::pack(A::execute, S::ground));
static_assert(vt500.entry(S::ground, 0x1B) == TransitionTable::pack(A::clear, S::escape));
static_assert(vt500.entry(S::escape, '[') == TransitionTable::pack(A::clear, S::csiEntry));
static_assert(vt500.entry(S::escape, '\\') == TransitionTable::pack(A::escDispatch, S::ground));
static_assert(vt500.entry(S::escape, 0x9B) == TransitionTable::pack(A::clear, S::csiEntry));
static_assert(vt500.entry(S::csiEntry, ':') == TransitionTable::pack(A::error, S::ground));
static_assert(vt500.entry(S::csiEntry, '?') == TransitionTable::pack(A::collect, S::csiParam));
static_assert(vt500.entry(S::csiEntry, 0xC3) == TransitionTable::pack(A::error, S::ground));
static_assert(vt500.entry(S::csiParam, ':') == TransitionTable::pack(A::param, S::csiParam));
static_assert(vt500.entry(S::csiParam, '?') == TransitionTable::pack(A::ignore, S::csiIgnore));
static_assert(vt500.entry(S::csiParam, 'm') == TransitionTable::pack(A::csiDispatch, S::ground));
static_assert(vt500.entry(S::csiParam, 0x18) == TransitionTable::pack(A::execute, S::ground));
static_assert(vt500.entry(S::oscString, 0x07) == TransitionTable::pack(A::oscEnd, S::ground));
static_assert(vt500.entry(S::oscString, 0x18) == TransitionTable::pack(A::oscEnd, S::ground));
static_assert(vt500.entry(S::oscString, 0x1A) == TransitionTable::pack(A::ignore, S::oscString));
static_assert(vt500.entry(S::oscString, 0x9C) == TransitionTable::pack(A::oscPut, S::oscString));
static_assert(vt500.entry(S::apcString, 0x85) == TransitionTable::pack(A::oscPut, S::apcString));
static_assert(vt500.entry(S::dcsPassthrough, 0x9C) == TransitionTable::pack(A::dcsUnhook, S::ground));
static_assert(vt500.entry(S::dcsPassthrough, 0x7F) == TransitionTable::pack(A::ignore, S::dcsPassthrough));
static_assert(vt500.entry(S::dcsPassthrough, 0x9B) == TransitionTable::pack(A::clear, S::csiEntry));
static_assert(vt500.entry(S::dcsParam, 0xFF) == TransitionTable::pack(A::error, S::ground));
static_assert(vt500.entry(S::sosPmApcString, 0x9C) == TransitionTable::pack(A::ignore, S::ground));

constexpr uint8_t BEL = 0x07, CAN = 0x18, SUB = 0x1A, ESC = 0x1B;
// String buffers give back memory above this when they are emptied.
constexpr size_t keptCapacity = size_t(1) << 20;

bool profilingEnabled() {
    static const bool enabled = [] {
        const char* value = std::getenv("TESSALINE_PROFILE");
        return value != nullptr && std::string_view(value) == "1";
    }();
    return enabled;
}

bool isDigit(uint8_t b) {
    return uint8_t(b - '0') < 10;
}

int64_t addDigit(int64_t value, uint8_t digit) {
    value = value * 10 + (digit - '0');
    return value > EscapeSequenceParser::parameterLimit ? 0 : value;
}

} // namespace

std::string_view name(ParserState state) {
    static constexpr std::string_view names[] = {
        "ground",          "escape",    "escapeIntermediate", "csiEntry",        "csiParam",
        "csiIntermediate", "csiIgnore", "sosPmApcString",     "oscString",       "apcString",
        "dcsEntry",        "dcsParam",  "dcsIgnore",          "dcsIntermediate", "dcsPassthrough",
    };
    return size_t(state) < std::size(names) ? names[size_t(state)] : "invalid";
}

std::string_view name(ParserAction action) {
    static constexpr std::string_view names[] = {
        "ignore", "error",   "print",       "execute", "oscStart", "oscPut", "oscEnd",    "csiDispatch",
        "param",  "collect", "escDispatch", "clear",   "dcsHook",  "dcsPut", "dcsUnhook",
    };
    return size_t(action) < std::size(names) ? names[size_t(action)] : "invalid";
}

// MARK: String buffers

void EscapeSequenceParser::StringBuffer::beginCall() {
    _startSize = bytes.size();
    _startDropped = dropped;
    _hasSaved = false;
    _inCall = true;
}

void EscapeSequenceParser::StringBuffer::endCall() {
    if (_hasSaved) _saved = {};
    _hasSaved = false;
    _inCall = false;
}

void EscapeSequenceParser::StringBuffer::save() {
    // Appends can be undone by truncation; only the first destructive change needs the old bytes kept.
    if (!_inCall || _hasSaved || _startSize == 0) return;
    _saved = std::move(bytes);
    bytes = {};
    _hasSaved = true;
}

void EscapeSequenceParser::StringBuffer::rollback() {
    if (_hasSaved) {
        bytes = std::move(_saved);
        _saved = {};
        _hasSaved = false;
    }
    bytes.resize(_startSize);
    dropped = _startDropped;
}

void EscapeSequenceParser::StringBuffer::clear() {
    if (bytes.empty() && !dropped) return;
    save();
    bytes.clear();
    dropped = false;
}

void EscapeSequenceParser::StringBuffer::drop() {
    save();
    bytes = {};
    dropped = true;
}

// MARK: Set-up

EscapeSequenceParser::EscapeSequenceParser(ParserTarget* terminal)
    : terminal(terminal) {
    errorHandler = [](ParsingState&) {};
    printHandler = [](std::span<const uint8_t>) {};
    printStateReset = [] {};
    escHandlerFallback = [](std::string_view, uint8_t) {};
    dscHandlerFallback = [](uint8_t, const SequenceParams&) {};
    executeHandlerFallback = [] {};
    csiHandlerFallback = [](const SequenceParams&, std::string_view, uint8_t code) {
        Diagnostics::report(DiagnosticSeverity::info, DiagnosticKind::parserFallback,
                            "Cannot handle ESC-" + std::to_string(int(code)));
    };
    oscHandlerFallback = [](int64_t, std::span<const uint8_t>) {};
    apcHandlerFallback = [](uint8_t, std::span<const uint8_t>) {};
    diagnosticHandler = [](std::string_view) {};
    clearSequence();
}

EscapeSequenceParser::~EscapeSequenceParser() = default;

void EscapeSequenceParser::reset() {
    currentState = initialState;
    _osc.clear();
    _apc.clear();
    clearSequence();
    setDcsHandler(nullptr);
    _dcsLength = 0;
    callPrintStateReset();
}

void EscapeSequenceParser::clearSequence() {
    _seq.pars[0] = 0;
    _seq.current = 0;
    _seq.collectLength = 0;
    _seq.collectOverflow = false;
}

void EscapeSequenceParser::clearStrings() {
    for (StringBuffer* buffer : {&_osc, &_apc}) {
        if (buffer->bytes.empty() && !buffer->dropped) continue;
        buffer->clear();
        if (buffer->bytes.capacity() > keptCapacity) buffer->bytes = {};
    }
}

inline void EscapeSequenceParser::startSequence() {
    clearSequence();
    callPrintStateReset();
    if (!_osc.bytes.empty() || _osc.dropped || !_apc.bytes.empty() || _apc.dropped) clearStrings();
}

void EscapeSequenceParser::callPrintStateReset() {
    if (printStateReset) printStateReset();
}

void EscapeSequenceParser::report(std::string_view message) {
    if (diagnosticHandler) diagnosticHandler(message);
}

SequenceParams EscapeSequenceParser::sequenceParams() const {
    const size_t count = size_t(_seq.parsCount());
    return SequenceParams({_seq.pars, count}, {_seq.parsTxt, count - 1});
}

SequenceParams EscapeSequenceParser::params() const {
    return sequenceParams();
}

std::string_view EscapeSequenceParser::collect() const {
    return {_seq.collect, size_t(_seq.collectLength)};
}

int64_t EscapeSequenceParser::parseInt(std::span<const uint8_t> data) {
    int64_t value = 0;
    for (uint8_t b : data) {
        if (!isDigit(b)) break;
        value = value * 10 + (b - '0');
        if (value > parameterLimit) return 0;
    }
    return value;
}

// MARK: Dispatch

void EscapeSequenceParser::dispatchExecute(uint8_t code) {
    if (terminal != nullptr) terminal->handleExecute(code);
}

void EscapeSequenceParser::dispatchCsi(uint8_t code, const SequenceParams& pars, std::string_view collect) {
    if (terminal != nullptr && terminal->handleCsi(code, pars, collect)) return;
    if (csiHandlerFallback) csiHandlerFallback(pars, collect, code);
}

void EscapeSequenceParser::dispatchEsc(std::string_view collect, uint8_t code) {
    if (terminal != nullptr && terminal->handleEsc(collect, code)) return;
    if (escHandlerFallback) escHandlerFallback(collect, code);
}

void EscapeSequenceParser::dispatchOsc(int64_t code, std::span<const uint8_t> data) {
    if (!oscHandlers.empty()) {
        if (auto it = oscHandlers.find(code); it != oscHandlers.end() && it->second) {
            // A copy: the handler may register or remove handlers while it runs.
            OscHandler handler = it->second;
            handler(data);
            return;
        }
    }
    if (terminal != nullptr && terminal->handleOsc(code, data)) return;
    if (oscHandlerFallback) oscHandlerFallback(code, data);
}

void EscapeSequenceParser::dispatchApc(uint8_t command, std::span<const uint8_t> content) {
    if (terminal != nullptr && command == 'G')
        terminal->handleKittyGraphics(content);
    else if (apcHandlerFallback)
        apcHandlerFallback(command, content);
}

std::unique_ptr<DcsHandler> EscapeSequenceParser::dispatchDcs(std::string_view collect, uint8_t code,
                                                              const SequenceParams& pars) {
    if (terminal == nullptr) return nullptr;
    return terminal->makeDcsHandler(collect, code, pars);
}

// MARK: Strings and DCS

void EscapeSequenceParser::appendString(StringBuffer& buffer, const uint8_t* from, const uint8_t* to,
                                        const char* kind) {
    if (buffer.dropped) return;
    size_t length = size_t(to - from);
    if (buffer.bytes.size() + length > maxStringLength) {
        buffer.drop();
        report("Tessaline: " + std::string(kind) + " string longer than " + std::to_string(maxStringLength) +
               " bytes dropped");
        return;
    }
    buffer.bytes.insert(buffer.bytes.end(), from, to);
}

void EscapeSequenceParser::endString(ParserState state, uint8_t b) {
    StringBuffer& buffer = state == ParserState::apcString ? _apc : _osc;
    if (buffer.dropped || buffer.bytes.empty() || b == CAN || b == SUB) return;
    std::span<const uint8_t> bytes = buffer.bytes;
    if (state == ParserState::apcString) {
        dispatchApc(bytes[0], bytes.subspan(1));
        return;
    }
    size_t semicolon = 0;
    while (semicolon < bytes.size() && bytes[semicolon] != ';')
        ++semicolon;
    if (semicolon == bytes.size())
        dispatchOsc(parseInt(bytes), {});
    else
        dispatchOsc(parseInt(bytes.first(semicolon)), bytes.subspan(semicolon + 1));
}

void EscapeSequenceParser::hookDcs(uint8_t code) {
    const SequenceParams pars = sequenceParams();
    const std::string_view collected = collect();
    // A sequence whose intermediates overflowed is no command; it gets no handler.
    std::unique_ptr<DcsHandler> handler = _seq.collectOverflow ? nullptr : dispatchDcs(collected, code, pars);
    // An earlier handler never receives this string, whether or not one was chosen for it.
    setDcsHandler(std::move(handler));
    _dcsLength = 0;
    if (_activeDcsHandler) {
        _dcsLimit = std::min(maxStringLength, _activeDcsHandler->maxDataLength());
        _activeDcsHandler->hook(collected, pars, code);
    } else if (dscHandlerFallback) {
        dscHandlerFallback(code, pars);
    }
}

void EscapeSequenceParser::putDcs(const uint8_t* data, size_t length) {
    if (!_activeDcsHandler || length == 0) return;
    _dcsLength += length;
    _activeDcsHandler->put({data, length});
}

void EscapeSequenceParser::setDcsHandler(std::unique_ptr<DcsHandler> handler) {
    if (_activeDcsHandler && _inCall) {
        // Keep the handler alive until the call ends: it may be the one whose callback got us here, and an
        // aborted call puts back the one it began with.
        if (_activeDcsHandler.get() == _callStartHandler && !_savedDcsHandler)
            _savedDcsHandler = std::move(_activeDcsHandler);
        else
            _retiredDcsHandler = std::move(_activeDcsHandler);
    }
    _activeDcsHandler = std::move(handler);
}

// MARK: Calls

void EscapeSequenceParser::beginCall() {
    _inCall = true;
    _callStartSeq = _seq;
    _callStartState = currentState;
    _callStartHandler = _activeDcsHandler.get();
    _callStartDcsLength = _dcsLength;
    _callStartDcsLimit = _dcsLimit;
    _osc.beginCall();
    _apc.beginCall();
}

void EscapeSequenceParser::endCall() {
    _osc.endCall();
    _apc.endCall();
    _savedDcsHandler.reset();
    _retiredDcsHandler.reset();
    _inCall = false;
}

void EscapeSequenceParser::rollback() {
    _seq = _callStartSeq;
    currentState = _callStartState;
    _osc.rollback();
    _apc.rollback();
    if (_savedDcsHandler) {
        _retiredDcsHandler = std::move(_activeDcsHandler);
        _activeDcsHandler = std::move(_savedDcsHandler);
    } else if (_activeDcsHandler.get() != _callStartHandler) {
        // The call began without a handler (one it began with would have been saved when dropped).
        _retiredDcsHandler = std::move(_activeDcsHandler);
    }
    _dcsLength = _callStartDcsLength;
    _dcsLimit = _callStartDcsLimit;
}

void EscapeSequenceParser::parse(std::span<const uint8_t> data) {
    if (!profilingEnabled()) [[likely]] {
        parseBytes(data);
        if (parseEnded) parseEnded();
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    parseBytes(data);
    if (parseEnded) parseEnded();
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "org.quillaby.tessaline ParserProfile: Parser.Parse %zu bytes %.1f us\n",
                 data.size(), elapsed.count());
}

// MARK: The machine

inline void EscapeSequenceParser::addParameter(uint8_t separator) {
    _seq.parsTxt[_seq.current] = separator;
    // Past the limit, further parameters go to a slot nobody reads.
    if (_seq.current < maxParameters) ++_seq.current;
    _seq.pars[_seq.current] = 0;
}

inline void EscapeSequenceParser::collectByte(uint8_t b) {
    if (_seq.collectLength < maxCollect)
        _seq.collect[_seq.collectLength++] = char(b);
    else
        _seq.collectOverflow = true;
}

void EscapeSequenceParser::dispatchCsiSequence(uint8_t code) {
    const SequenceParams pars = sequenceParams();
    const std::string_view collected = collect();
    if (_seq.parsOverflow() || _seq.collectOverflow) [[unlikely]] {
        if (_seq.parsOverflow())
            report("Tessaline: parameters past " + std::to_string(maxParameters) + " ignored");
        // A sequence whose intermediates overflowed is no command.
        if (_seq.collectOverflow) {
            if (csiHandlerFallback) csiHandlerFallback(pars, collected, code);
            return;
        }
    }
    if (terminal != nullptr && terminal->handleCsi(code, pars, collected)) return;
    if (csiHandlerFallback) csiHandlerFallback(pars, collected, code);
}

void EscapeSequenceParser::parseBytes(std::span<const uint8_t> input) {
    const uint8_t* const data = input.data();
    const size_t n = input.size();
    const uint8_t* const transitions = vt500TransitionTable.table.data();
    constexpr uint8_t dcsData = TransitionTable::pack(A::dcsPut, S::dcsPassthrough);
    const uint8_t* const dcsRow = transitions + int(S::dcsPassthrough) * 256;

    beginCall();
    ParserState state = currentState;
    // Starts of the pending print run and DCS data in this call's bytes; neither outlives the call.
    ptrdiff_t printStart = -1;
    ptrdiff_t dcsStart = -1;
    size_t i = 0;

    // Inlined, so that the loop's counters stay in registers.
    auto flushPrint = [&](size_t end) __attribute__((always_inline)) {
        if (printStart < 0) return;
        if (printHandler) printHandler({data + printStart, end - size_t(printStart)});
        printStart = -1;
    };
    // DCS body bytes from i on, up to the next byte the table must see; stays in dcsPassthrough.
    auto consumeDcsData = [&]() __attribute__((always_inline)) {
        if (dcsStart < 0) dcsStart = ptrdiff_t(i);
        ++i;
        while (i < n && (data[i] >= 0xA0 || dcsRow[data[i]] == dcsData))
            ++i;
        if (_activeDcsHandler && _dcsLength + (i - size_t(dcsStart)) > _dcsLimit) {
            report("Tessaline: DCS string longer than " + std::to_string(_dcsLimit) + " bytes dropped");
            setDcsHandler(nullptr);
            dcsStart = -1;
        }
    };

    while (i < n) {
        uint8_t b = data[i];
        if (state == S::ground && b >= 0x20) {
            // Text, UTF-8 and C1 bytes alike, runs to the next C0 control.
            if (printStart < 0) printStart = ptrdiff_t(i);
            if (++i < n && data[i] >= 0x20) i = size_t(findControlByte(data + i, data + n) - data);
            continue;
        }
        if (state == S::ground) {
            // Below 0x20 in ground: ESC starts a sequence, every other byte executes (the table's rows,
            // without the lookup).
            flushPrint(i);
            if (b != ESC) {
                dispatchExecute(b);
                ++i;
                continue;
            }
            startSequence();
            dcsStart = -1;
            state = S::escape;
            if (++i == n) break;
            b = data[i];
        }
        if (state == S::escape) {
            // The ESC has just started a fresh sequence and handed over the print run, so "[", "]" and
            // "_" need not clear again.
            if (b == '[') {
                state = S::csiEntry;
                if (++i == n) break;
                b = data[i];
            } else if (b == ']' || b == '_') {
                state = b == ']' ? S::oscString : S::apcString;
                if (++i == n) break;
                b = data[i];
            }
        }
        if (state == S::csiEntry || state == S::csiParam) {
            // The common CSI shape (prefix, digits and separators, final byte) without a table lookup per
            // byte; anything else goes on to the table.
            if (state == S::csiEntry) {
                if (b >= '<' && b <= '?') {
                    collectByte(b);
                    state = S::csiParam;
                    if (++i == n) break;
                    b = data[i];
                } else if (isDigit(b) || b == ';') {
                    state = S::csiParam;
                }
            }
            if (state == S::csiParam) {
                // The value stays in a register across its digits and is stored once, at its separator
                // or where the parameters end; only ':' and ';' follow '9' up to the final bytes.
                int current = _seq.current;
                int64_t value = _seq.pars[current];
                for (;;) {
                    if (value == 0 && n - i >= ParameterWindow::readable) {
                        // Whole parameters from a window of bytes: a branch per parameter, not per byte.
                        ParameterWindow w;
                        scanParameterWindow(data + i, w);
                        uint32_t separators = w.separators;
                        uint32_t start = 0;
                        bool longNumber = false;
                        if (w.shortNumbers) {
                            // Numbers of up to three digits, read from the window's table.
                            while (separators != 0) {
                                const uint32_t at = uint32_t(__builtin_ctz(separators));
                                _seq.pars[current] = w.values[at];
                                _seq.parsTxt[current] = data[i + at];
                                current += int(current < maxParameters);
                                separators &= separators - 1;
                            }
                            if (w.separators != 0) start = 32 - uint32_t(__builtin_clz(w.separators));
                        } else {
                            while (separators != 0) {
                                const uint32_t at = uint32_t(__builtin_ctz(separators));
                                if (at - start > 8) [[unlikely]] {
                                    longNumber = true;
                                    break;
                                }
                                _seq.pars[current] = parseShortNumber(data + i + start, at - start);
                                _seq.parsTxt[current] = data[i + at];
                                current += int(current < maxParameters);
                                start = at + 1;
                                separators &= separators - 1;
                            }
                        }
                        if (!longNumber && w.end < ParameterWindow::size && w.end - start <= 8) {
                            // The parameters end inside the window, so the last one is whole.
                            value = w.shortNumbers ? int64_t(w.values[w.end])
                                                   : parseShortNumber(data + i + start, w.end - start);
                            i += w.end;
                            b = data[i];
                            break;
                        }
                        // A long number, or parameters going on past the window: on from the first
                        // parameter not taken, a byte at a time if that one is long.
                        i += start;
                        b = data[i];
                        if (start != 0 && !longNumber) continue;
                    }
                    const uint8_t d = uint8_t(b - '0');
                    if (d <= 9) {
                        const int64_t shifted = value * 10 + d;
                        if (shifted > parameterLimit) [[unlikely]]
                            value = 0;
                        else
                            value = shifted;
                    } else if (d <= ';' - '0') {
                        _seq.pars[current] = value;
                        _seq.parsTxt[current] = b;
                        current += int(current < maxParameters);
                        value = 0;
                    } else {
                        break;
                    }
                    if (++i == n) break;
                    b = data[i];
                }
                _seq.pars[current] = value;
                _seq.current = current;
                if (i == n) break;
            }
            if (b >= 0x40 && b <= 0x7E) {
                dispatchCsiSequence(b);
                state = S::ground;
                ++i;
                continue;
            }
        }

        const uint8_t entry = transitions[TransitionTable::index(state, b)];
        const ParserAction action = ParserAction(entry >> 4);
        ParserState next = ParserState(entry & 0x0F);
        if (state == S::dcsPassthrough && next != S::dcsPassthrough && action != A::dcsUnhook &&
            action != A::error) {
            // CAN, SUB or a C1 control cut the string short: its handler gets what arrived (as it would
            // have at the end of a read) and is dropped without unhook().
            if (dcsStart >= 0) putDcs(data + dcsStart, i - size_t(dcsStart));
            dcsStart = -1;
            setDcsHandler(nullptr);
        }

        switch (action) {
        case A::ignore:
            if (printStart >= 0) {
                flushPrint(i);
            } else if (dcsStart >= 0) {
                putDcs(data + dcsStart, i - size_t(dcsStart));
                dcsStart = -1;
            }
            break;
        case A::error: {
            if (b >= 0xA0) {
                if (state == S::csiIgnore || state == S::dcsIgnore) {
                    next = state;
                    break;
                }
                if (state == S::dcsPassthrough) {
                    consumeDcsData();
                    continue;
                }
                if (state == S::ground) {
                    if (printStart < 0) printStart = ptrdiff_t(i);
                    next = state;
                    break;
                }
            }
            ParsingState error;
            error.position = int64_t(i);
            error.code = b;
            error.currentState = state;
            error.print = printStart;
            error.dcs = dcsStart;
            error.osc = _osc.bytes;
            error.apc = _apc.bytes;
            error.collect = collect();
            if (errorHandler) errorHandler(error);
            if (error.abort) {
                rollback();
                endCall();
                return;
            }
            break;
        }
        case A::print:
            if (printStart < 0) printStart = ptrdiff_t(i);
            break;
        case A::execute:
            flushPrint(i);
            dispatchExecute(b);
            break;
        case A::oscStart:
            flushPrint(i);
            if (next == S::apcString)
                _apc.clear();
            else
                _osc.clear();
            break;
        case A::oscPut: {
            // Bytes from 0x20 up are data; BEL, CAN and ESC end the run for the table to see; other
            // controls are dropped.
            const bool apc = state == S::apcString;
            StringBuffer& buffer = apc ? _apc : _osc;
            while (i < n) {
                const uint8_t* stop = findControlByte(data + i, data + n);
                if (stop != data + i) appendString(buffer, data + i, stop, apc ? "APC" : "OSC");
                i = size_t(stop - data);
                if (i == n || *stop == BEL || *stop == CAN || *stop == ESC) break;
                ++i;
            }
            continue;
        }
        case A::oscEnd:
            endString(state, b);
            next = b == ESC ? S::escape : S::ground;
            startSequence();
            dcsStart = -1;
            break;
        case A::csiDispatch:
            dispatchCsiSequence(b);
            break;
        case A::param:
            if (b == ';' || b == ':')
                addParameter(b);
            else
                _seq.pars[_seq.current] = addDigit(_seq.pars[_seq.current], b);
            break;
        case A::collect:
            collectByte(b);
            break;
        case A::escDispatch:
            if (_seq.collectOverflow) {
                if (escHandlerFallback) escHandlerFallback(collect(), b);
            } else {
                dispatchEsc(collect(), b);
            }
            break;
        case A::clear:
            flushPrint(i);
            startSequence();
            dcsStart = -1;
            break;
        case A::dcsHook:
            if (_seq.parsOverflow())
                report("Tessaline: parameters past " + std::to_string(maxParameters) + " ignored");
            hookDcs(b);
            break;
        case A::dcsPut:
            consumeDcsData();
            continue;
        case A::dcsUnhook:
            if (_activeDcsHandler) {
                if (dcsStart >= 0) putDcs(data + dcsStart, i - size_t(dcsStart));
                _activeDcsHandler->unhook();
                setDcsHandler(nullptr);
            }
            next = b == ESC ? S::escape : S::ground;
            startSequence();
            dcsStart = -1;
            break;
        }
        state = next;
        ++i;
    }

    if (state == S::ground)
        flushPrint(n);
    else if (state == S::dcsPassthrough && dcsStart >= 0)
        putDcs(data + dcsStart, n - size_t(dcsStart));
    currentState = state;
    endCall();
}

} // namespace Tessaline
