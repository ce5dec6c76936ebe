#pragma once

#include "Color.h"
#include "DcsHandler.h"
#include "SixelDecoder.h"

#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace Tessaline {

// Receives one DCS "q" string (a Sixel picture): collects its body and, when the string ends, decodes it
// and hands the bitmap on. Made by the terminal for each such string and dropped after unhook().
class SixelDcsHandler final : public DcsHandler {
public:
    // Takes the decoded RGBA bitmap (rows top first, width x height x 4 bytes, for update in place) and its
    // size in pixels. The terminal passes it on to its delegate's createImageFromBitmap, when it has one.
    using BitmapSink = std::function<void(std::vector<uint8_t>& bytes, int width, int height)>;
    // The terminal's generated 256-colour table, asked when the string ends; registers a picture does not
    // define take their colours from it.
    using DefaultColors = std::function<std::span<const Color>()>;
    using DiagnosticHandler = std::function<void(std::string_view message)>;

    static constexpr uint8_t poundChar = SixelDecoder::poundChar;

    SixelDcsHandler(BitmapSink sink, DefaultColors defaultColors);

    // Aspect ratio, background mode, grid size and the flag do not change how a picture is drawn.
    void hook(std::string_view collect, const SequenceParams& parameters, uint8_t flag) override;
    void put(std::span<const uint8_t> data) override;
    // Decodes and delivers the picture, an empty one as 0 x 0; a picture past a cap delivers nothing.
    void unhook() override;
    size_t maxDataLength() const override { return SixelDecoder::maxDataLength; }

    // Told what was dropped at a cap (one line of text).
    DiagnosticHandler diagnosticHandler;

    const std::vector<uint8_t>& data() const { return _data; }
    const std::unordered_map<int64_t, uint32_t>& palette() const { return _decoder.palette(); }
    const std::vector<uint8_t>& pixels() const { return _decoder.pixels(); }
    int64_t x() const { return _decoder.x(); }
    int64_t y() const { return _decoder.y(); }
    int64_t maxX() const { return _decoder.maxX(); }
    int64_t maxY() const { return _decoder.maxY(); }

private:
    void report(std::string_view message) const;

    std::vector<uint8_t> _data;
    BitmapSink _sink;
    DefaultColors _defaultColors;
    SixelDecoder _decoder;
    // The body passed maxDataLength: the rest is ignored and the picture dropped.
    bool _dataTooLong = false;
};

} // namespace Tessaline
