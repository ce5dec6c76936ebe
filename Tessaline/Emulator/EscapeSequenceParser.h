#pragma once

#include "DcsHandler.h"
#include "ParserTarget.h"
#include "ParsingState.h"
#include "SequenceParams.h"
#include "TransitionTable.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Tessaline {

// Splits the byte stream a program writes into print runs, controls and ESC, CSI, OSC, DCS and APC
// sequences, and hands each to its terminal (ParserTarget) or to a handler slot. A table-driven machine of
// the VT500 family; it keeps its state between calls, so a sequence may be split anywhere across reads and
// the result never depends on where.
//
// Print runs and DCS bodies are handed over as spans of the caller's bytes, without copying. What a
// program can make the parser hold is bounded: at most maxParameters parameters (further ones are ignored)
// and maxCollect prefix and intermediate bytes per sequence, and maxStringLength bytes per OSC, APC or DCS
// string (a longer one is dropped whole).
//
// One thread at a time; handlers run synchronously inside parse() and must not call parse() themselves.
class EscapeSequenceParser {
public:
    static constexpr int maxParameters = 32;
    static constexpr int maxCollect = 16;
    static constexpr size_t defaultMaxStringLength = size_t(16) << 20;
    // A parameter that would pass this becomes 0 and accumulates afresh (Int.max / 10 - 10).
    static constexpr int64_t parameterLimit = 922337203685477570;

    using PrintHandler = std::function<void(std::span<const uint8_t> run)>;
    using OscHandler = std::function<void(std::span<const uint8_t> data)>;
    using ErrorHandler = std::function<void(ParsingState& state)>;
    using EscFallback = std::function<void(std::string_view collect, uint8_t code)>;
    using DcsFallback = std::function<void(uint8_t code, const SequenceParams& pars)>;
    using ExecuteFallback = std::function<void()>;
    using CsiFallback =
        std::function<void(const SequenceParams& pars, std::string_view collect, uint8_t code)>;
    using OscFallback = std::function<void(int64_t code, std::span<const uint8_t> data)>;
    using ApcFallback = std::function<void(uint8_t command, std::span<const uint8_t> content)>;
    using DiagnosticHandler = std::function<void(std::string_view message)>;

    explicit EscapeSequenceParser(ParserTarget* terminal = nullptr);
    ~EscapeSequenceParser();
    EscapeSequenceParser(const EscapeSequenceParser&) = delete;
    EscapeSequenceParser& operator=(const EscapeSequenceParser&) = delete;

    // OSC handlers by code; they take precedence over the terminal's own OSC commands.
    std::unordered_map<int64_t, OscHandler> oscHandlers;
    // Called on malformed input; the default changes nothing, so parsing goes on in ground.
    ErrorHandler errorHandler;
    // The receiver of all dispatched commands; not owned. Without one, DCS strings are dropped, APC
    // strings and CSI, ESC and OSC sequences go to the fallbacks and controls are dropped.
    ParserTarget* terminal = nullptr;
    ParserState initialState = ParserState::ground;
    ParserState currentState = ParserState::ground;
    PrintHandler printHandler;
    // Tells the print path to drop a partial character it holds.
    std::function<void()> printStateReset;
    // Called when a call to parse() has taken all of its bytes: nothing of the target is half done.
    std::function<void()> parseEnded;
    EscFallback escHandlerFallback;
    // Called with a DCS string for which no handler was chosen.
    DcsFallback dscHandlerFallback;
    // Never called: unknown controls do nothing.
    ExecuteFallback executeHandlerFallback;
    // Default: prints "Cannot handle ESC-" and the final byte's decimal value on standard output.
    CsiFallback csiHandlerFallback;
    OscFallback oscHandlerFallback;
    ApcFallback apcHandlerFallback;
    // Told what was dropped at a limit (one line of text, without a prefix).
    DiagnosticHandler diagnosticHandler;
    size_t maxStringLength = defaultMaxStringLength;

    void parse(std::span<const uint8_t> data);
    void parse(std::string_view data) {
        parse(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
    }
    // Back to initialState with empty buffers; the active DCS handler is dropped without unhook().
    void reset();

    // The decimal value of the leading ASCII digits; 0 for none or for a value past parameterLimit.
    static int64_t parseInt(std::span<const uint8_t> data);

    // The command dispatch: each asks the terminal first and falls back to the slots above.
    void dispatchExecute(uint8_t code);
    void dispatchCsi(uint8_t code, const SequenceParams& pars, std::string_view collect);
    void dispatchEsc(std::string_view collect, uint8_t code);
    void dispatchOsc(int64_t code, std::span<const uint8_t> data);
    void dispatchApc(uint8_t command, std::span<const uint8_t> content);
    std::unique_ptr<DcsHandler> dispatchDcs(std::string_view collect, uint8_t code,
                                            const SequenceParams& pars);

    // The transitions. Text, CSI parameters and string bodies take fast lanes that follow the same rows.
    static const TransitionTable& table() { return vt500TransitionTable; }

    // The machine's buffers, for inspection.
    DcsHandler* activeDcsHandler() const { return _activeDcsHandler.get(); }
    SequenceParams params() const;
    std::string_view collect() const;
    std::span<const uint8_t> osc() const { return _osc.bytes; }
    std::span<const uint8_t> apc() const { return _apc.bytes; }

private:
    // Parameters and collected bytes of the sequence being parsed; trivially copyable, so that a call can
    // keep the values it began with for an error handler that aborts.
    struct Sequence {
        // Slot maxParameters swallows the digits of ignored parameters; parsTxt[k] is the separator after
        // parameter k.
        int64_t pars[maxParameters + 1];
        uint8_t parsTxt[maxParameters + 1];
        char collect[maxCollect];
        int current; // the slot digits go to: the last parameter, or maxParameters past the limit
        int collectLength;
        bool collectOverflow;

        int parsCount() const { return (current < maxParameters ? current : maxParameters - 1) + 1; }
        bool parsOverflow() const { return current == maxParameters; }
    };

    // An OSC or APC string being collected. Destructive changes during a call keep the string the call
    // began with, so an aborted call can put it back.
    class StringBuffer {
    public:
        std::vector<uint8_t> bytes;
        bool dropped = false;
        void beginCall();
        void endCall();
        void rollback();
        void clear();
        void drop();

    private:
        void save();
        std::vector<uint8_t> _saved;
        size_t _startSize = 0;
        bool _startDropped = false;
        bool _hasSaved = false;
        bool _inCall = false;
    };

    void parseBytes(std::span<const uint8_t> data);
    void addParameter(uint8_t separator);
    void collectByte(uint8_t b);
    void dispatchCsiSequence(uint8_t code);
    void clearSequence();
    void clearStrings();
    void startSequence();
    void callPrintStateReset();
    void appendString(StringBuffer& buffer, const uint8_t* from, const uint8_t* to, const char* kind);
    void endString(ParserState state, uint8_t b);
    void hookDcs(uint8_t code);
    void putDcs(const uint8_t* data, size_t length);
    void setDcsHandler(std::unique_ptr<DcsHandler> handler);
    void beginCall();
    void endCall();
    void rollback();
    void report(std::string_view message);
    SequenceParams sequenceParams() const;

    Sequence _seq;
    StringBuffer _osc;
    StringBuffer _apc;
    std::unique_ptr<DcsHandler> _activeDcsHandler;
    size_t _dcsLength = 0;
    size_t _dcsLimit = 0;

    // Per call: the values an aborting error handler returns to.
    bool _inCall = false;
    Sequence _callStartSeq;
    ParserState _callStartState = ParserState::ground;
    DcsHandler* _callStartHandler = nullptr;
    size_t _callStartDcsLength = 0;
    size_t _callStartDcsLimit = 0;
    std::unique_ptr<DcsHandler> _savedDcsHandler;   // the handler the call began with, once dropped
    std::unique_ptr<DcsHandler> _retiredDcsHandler; // dropped during the call, maybe inside its own callback
};

} // namespace Tessaline
