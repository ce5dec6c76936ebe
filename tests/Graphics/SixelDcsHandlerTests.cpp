#include "EscapeSequenceParser.h"
#include "SixelDcsHandler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace Tessaline;

namespace {

using Log = std::vector<std::string>;

// A terminal stand-in: makes a Sixel handler for DCS "q" as the terminal does and logs what reaches it.
struct SixelHost : ParserTarget {
    Log log;
    std::vector<uint8_t> lastBitmap;
    std::vector<Color> ansiColors = Color::generateXtermPalette(Color::terminalAppColors);
    EscapeSequenceParser parser{this};

    SixelHost() {
        parser.diagnosticHandler = [this](std::string_view message) {
            log.push_back("parser " + std::string(message));
        };
    }

    void handleExecute(uint8_t) override {}
    bool handleCsi(uint8_t, const SequenceParams&, std::string_view) override { return true; }
    bool handleEsc(std::string_view, uint8_t) override { return true; }
    bool handleOsc(int64_t, std::span<const uint8_t>) override { return true; }
    void handleKittyGraphics(std::span<const uint8_t>) override {}
    std::unique_ptr<DcsHandler> makeDcsHandler(std::string_view collect, uint8_t code,
                                               const SequenceParams&) override {
        if (code != 'q' || !collect.empty()) return nullptr;
        auto handler = std::make_unique<SixelDcsHandler>(
            [this](std::vector<uint8_t>& bytes, int width, int height) {
                log.push_back("bitmap " + std::to_string(width) + "x" + std::to_string(height));
                lastBitmap = bytes;
            },
            [this] { return std::span<const Color>(ansiColors); });
        handler->diagnosticHandler = [this](std::string_view message) {
            log.push_back("sixel " + std::string(message));
        };
        return handler;
    }

    Log feed(const std::vector<std::string>& chunks) {
        log.clear();
        for (const std::string& chunk : chunks)
            parser.parse(chunk);
        return log;
    }
};

} // namespace

TEST(SixelDcsHandler, ThroughTheParser) {
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        Log expected;
    };
    const Case cases[] = {
        {"one call", {"\x1bPq#0;2;100;0;0#0~\x1b\\"}, {"bitmap 1x6"}},
        {"body and terminator split", {"\x1bPq#0;2;1", "00;0;0#0!3~", "\x1b", "\\"}, {"bitmap 3x6"}},
        {"DCS parameters and raster attributes change nothing",
         {"\x1bP0;1;8q\"1;1;40;40#0!2~\x1b\\"},
         {"bitmap 2x6"}},
        {"empty string still delivers", {"\x1bPq\x1b\\"}, {"bitmap 0x0"}},
        {"two strings, two pictures", {"\x1bPq#1@\x1b\\\x1bPq#1@@\x1b\\"}, {"bitmap 1x1", "bitmap 2x1"}},
        {"too large delivers nothing",
         {"\x1bPq#0!10001~\x1b\\"},
         {"sixel Tessaline: Sixel image larger than 10000 pixels on a side dropped"}},
        {"abandoned by CAN", {"\x1bPq#0~\x18"}, {}},
        {"another intermediate is not Sixel", {"\x1bP$q#0~\x1b\\"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SixelHost host;
        EXPECT_EQ(host.feed(c.chunks), c.expected);
    }

    // Undefined registers take the terminal's colours; the bytes reach the host as RGBA.
    SixelHost host;
    host.feed({"\x1bPq#1@#5;2;0;100;0#5@\x1b\\"});
    EXPECT_EQ(host.lastBitmap, (std::vector<uint8_t>{0xC2, 0x36, 0x21, 0xFF, 0x00, 0xFF, 0x00, 0xFF}));
}

TEST(SixelDcsHandler, DataCap) {
    const std::string chunk(size_t(1) << 20, '?');
    const size_t chunks = SixelDecoder::maxDataLength / chunk.size();

    // Through the parser, which asks the handler for its cap: the string is dropped at it, unhooked never.
    SixelHost host;
    host.parser.maxStringLength = SIZE_MAX;
    host.parser.parse("\x1bPq");
    for (size_t k = 0; k < chunks; ++k)
        host.parser.parse(chunk);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.feed({"?\x1b\\"}), Log{"parser Tessaline: DCS string longer than " +
                                          std::to_string(SixelDecoder::maxDataLength) + " bytes dropped"});

    // On its own, the handler stops collecting at the cap and delivers nothing.
    Log log;
    SixelDcsHandler handler([&](std::vector<uint8_t>&, int, int) { log.push_back("bitmap"); }, {});
    handler.diagnosticHandler = [&](std::string_view message) { log.push_back(std::string(message)); };
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size());
    handler.hook("", SequenceParams({}, {}), 'q');
    for (size_t k = 0; k < chunks; ++k)
        handler.put(bytes);
    EXPECT_EQ(handler.data().size(), SixelDecoder::maxDataLength);
    handler.put(bytes.first(1));
    EXPECT_TRUE(handler.data().empty());
    handler.unhook();
    EXPECT_EQ(log, Log{"Tessaline: Sixel data longer than " + std::to_string(SixelDecoder::maxDataLength) +
                       " bytes dropped"});

    // hook starts a fresh body.
    log.clear();
    handler.hook("", SequenceParams({}, {}), 'q');
    handler.put(bytes.first(1));
    handler.unhook();
    EXPECT_EQ(log, Log{"bitmap"});
    EXPECT_EQ(handler.data().size(), 1u);
}
