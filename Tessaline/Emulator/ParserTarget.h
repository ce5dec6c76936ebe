#pragma once

#include "DcsHandler.h"
#include "SequenceParams.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace Tessaline {

// What the escape-sequence parser calls on its terminal: the command dispatch of controls, ESC, CSI and
// OSC sequences, the Kitty graphics handler and the choice of a DCS handler. The parser refers to its
// target without owning it. Spans and views are valid only during the call.
//
// The handle... functions answer whether a command took the sequence; when one answers false, the parser
// hands the sequence to its fallback slot (which the terminal fills with a logging closure).
class ParserTarget {
public:
    virtual ~ParserTarget() = default;

    // A C0 control, or a C1 control that arrived inside a sequence or string. Unknown controls do nothing.
    virtual void handleExecute(uint8_t code) = 0;
    // code: the final byte; collect: the prefix ("?", ">", "=", "<") and then the intermediates.
    virtual bool handleCsi(uint8_t code, const SequenceParams& pars, std::string_view collect) = 0;
    virtual bool handleEsc(std::string_view collect, uint8_t code) = 0;
    // code: the number before the first ';'; data: the bytes after it. Registered OSC handlers of the
    // parser take their codes before this is asked.
    virtual bool handleOsc(int64_t code, std::span<const uint8_t> data) = 0;
    // The content of an APC string after its leading "G".
    virtual void handleKittyGraphics(std::span<const uint8_t> content) = 0;
    // The handler for a DCS string whose final byte just arrived, or null to drop the string.
    virtual std::unique_ptr<DcsHandler> makeDcsHandler(std::string_view collect, uint8_t code,
                                                       const SequenceParams& pars) = 0;
};

} // namespace Tessaline
