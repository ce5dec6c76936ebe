#pragma once

#include "SequenceParams.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace Tessaline {

// Receives one DCS string. The parser makes the handler when the string's final byte arrives, calls
// hook() once, put() with each contiguous slice of the body as it arrives (slices of the caller's bytes,
// valid only during the call), and unhook() at ST. A string abandoned by CAN, SUB or another control is
// dropped without unhook(), and so is one that grows past the parser's string limit.
class DcsHandler {
public:
    virtual ~DcsHandler() = default;

    // collect: the prefix and intermediate bytes; flag: the final byte.
    virtual void hook(std::string_view collect, const SequenceParams& parameters, uint8_t flag) = 0;
    virtual void put(std::span<const uint8_t> data) = 0;
    virtual void unhook() = 0;
    // Bodies longer than this are dropped; handlers that only expect a short request lower it.
    virtual size_t maxDataLength() const { return SIZE_MAX; }
};

} // namespace Tessaline
