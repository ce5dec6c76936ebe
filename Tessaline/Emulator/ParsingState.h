#pragma once

#include "TransitionTable.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline {

// What the parser reports to its error handler on malformed input. The byte spans are views into the
// parser, valid during the call. Setting abort stops the current parse call: the parser then returns to
// the state it had when the call began.
class ParsingState {
public:
    int64_t position = 0; // index of the offending byte in the data of the current call
    uint8_t code = 0;     // the offending byte
    ParserState currentState = ParserState::ground;
    int64_t print = -1; // start of the pending print run, or -1
    int64_t dcs = -1;   // start of pending DCS data, or -1
    std::span<const uint8_t> osc;
    std::span<const uint8_t> apc;
    std::string_view collect;
    std::vector<int32_t> parameters; // always empty
    bool abort = false;

    // The name of the type, which is what the terminal's log line shows.
    std::string description() const { return "Tessaline.ParsingState"; }
};

} // namespace Tessaline
