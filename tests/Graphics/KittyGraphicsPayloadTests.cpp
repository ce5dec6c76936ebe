#include "KittyGraphicsPayload.h"
#include "KittyTestData.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <string>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

KittyGraphicsControl control(int64_t format, int64_t width = 0, int64_t height = 0) {
    KittyGraphicsControl c;
    c.format = format;
    c.width = width;
    c.height = height;
    return c;
}

// "rgba WxH b0 b1 ...", "png N bytes" or "none".
std::string describe(const std::optional<KittyGraphicsPayload>& payload) {
    if (!payload) return "none";
    if (payload->isPng()) return "png " + std::to_string(payload->bytes.size()) + " bytes";
    std::string out = "rgba " + std::to_string(payload->width) + "x" + std::to_string(payload->height);
    for (uint8_t b : payload->bytes)
        out += " " + std::to_string(b);
    return out;
}

} // namespace

TEST(KittyGraphicsPayload, FormatCheck) {
    const std::vector<uint8_t> png = makePng(3, 2);
    struct Case {
        const char* name;
        KittyGraphicsControl control;
        std::vector<uint8_t> data;
        std::string expected;
    };
    const Case cases[] = {
        {"f=24 widened with opaque alpha",
         control(24, 2, 1),
         {1, 2, 3, 4, 5, 6},
         "rgba 2x1 1 2 3 255 4 5 6 255"},
        {"f=24 five bytes", control(24, 2, 1), {1, 2, 3, 4, 5}, "none"},
        {"f=24 seven bytes", control(24, 2, 1), {1, 2, 3, 4, 5, 6, 7}, "none"},
        {"f=32 straight alpha kept",
         control(32, 1, 2),
         {10, 20, 30, 0, 200, 100, 50, 128},
         "rgba 1x2 10 20 30 0 200 100 50 128"},
        {"f=32 short", control(32, 1, 2), {1, 2, 3, 4}, "none"},
        {"f=32 side 10001", control(32, 10001, 1), std::vector<uint8_t>(40004), "none"},
        {"f=32 side 0", control(32, 0, 1), {}, "none"},
        {"f=32 negative side", control(32, -1, -1), {1, 2, 3, 4}, "none"},
        {"f=100 png", control(100), png, "png " + std::to_string(png.size()) + " bytes"},
        {"f=100 sides not consulted", control(100, 7, 7), png,
         "png " + std::to_string(png.size()) + " bytes"},
        {"f=100 png 10001 wide", control(100), makePng(10001, 1), "none"},
        {"f=100 not an image", control(100), bytesOf("GIF89a not a png"), "none"},
        {"f=100 empty", control(100), {}, "none"},
        {"unknown format", control(33, 1, 1), {1, 2, 3, 4}, "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(decodeKittyPayloadData(c.control, c.data)), c.expected);
    }
}

namespace {

// A PNG that is only its header: enough for the pixel size, nothing to decode.
std::vector<uint8_t> pngHeader(uint32_t width, uint32_t height) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](const char* type, std::vector<uint8_t> data) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(uint8_t(data.size() >> shift));
        std::vector<uint8_t> typed(type, type + 4);
        typed.insert(typed.end(), data.begin(), data.end());
        png.insert(png.end(), typed.begin(), typed.end());
        const uLong crc = crc32(0, typed.data(), uInt(typed.size()));
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(uint8_t(crc >> shift));
    };
    std::vector<uint8_t> header;
    for (const uint32_t side : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.push_back(uint8_t(side >> shift));
    header.insert(header.end(), {8, 6, 0, 0, 0});
    chunk("IHDR", header);
    chunk("IDAT", {});
    return png;
}

} // namespace

// Sides the protocol allows could still ask for 400 MB decoded: images are held to a budget in bytes.
TEST(KittyGraphicsPayload, ImagesOverTheByteBudgetAreRefused) {
    EXPECT_EQ(describe(decodeKittyPayloadData(control(100), pngHeader(4096, 8192))),
              "png " + std::to_string(pngHeader(4096, 8192).size()) + " bytes");
    EXPECT_EQ(describe(decodeKittyPayloadData(control(100), pngHeader(4096, 8193))), "none");
    EXPECT_EQ(describe(decodeKittyPayloadData(control(100), pngHeader(10000, 10000))), "none");
    EXPECT_FALSE(decodePngToRgba(pngHeader(10000, 10000)));

    // Refused before inflating: 400 kB of zlib that would inflate to 400 MB.
    const std::vector<uint8_t> zeros(size_t(8192) * 4096 * 4 + 4);
    const auto compressed = zlibCompress(zeros);
    EXPECT_EQ(decompressKittyData(compressed, 'z', int64_t(zeros.size())), std::nullopt);
    EXPECT_EQ(describe(decodeKittyPayloadData(control(32, 8192, 4097),
                                              std::vector<uint8_t>(size_t(8192) * 4097 * 4))),
              "none");
}

TEST(KittyGraphicsPayload, ExpectedSizes) {
    EXPECT_EQ(kittyExpectedDataSize(control(32, 2, 3)), 24);
    EXPECT_EQ(kittyExpectedDataSize(control(24, 2, 3)), 18);
    EXPECT_EQ(kittyExpectedDataSize(control(100, 2, 3)), std::nullopt);
    EXPECT_EQ(kittyExpectedDataSize(control(32, 10001, 3)), std::nullopt);
    EXPECT_EQ(kittyStoredDataSize(control(24, 2, 3)), 24);
}

TEST(KittyGraphicsPayload, Inflation) {
    std::vector<uint8_t> raw(70000);
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = uint8_t(i % 251);
    std::vector<uint8_t> stream = zlibCompress(raw);
    std::vector<uint8_t> truncated(stream.begin(), stream.end() - 5);
    std::vector<uint8_t> withTrailer = stream;
    withTrailer.push_back(0x42);
    std::vector<uint8_t> corrupt = stream;
    corrupt[stream.size() / 2] ^= 0xFF;

    EXPECT_EQ(decompressZlib(stream), raw);
    EXPECT_EQ(decompressZlib(stream, int64_t(raw.size())), raw);
    EXPECT_EQ(decompressZlib(truncated), std::nullopt);
    EXPECT_EQ(decompressZlib(std::span(stream).first(2)), std::nullopt);
    EXPECT_EQ(decompressZlib(withTrailer), raw);
    EXPECT_EQ(decompressZlib(corrupt), std::nullopt);
    EXPECT_EQ(decompressZlib(bytesOf("not zlib")), std::nullopt);
    EXPECT_EQ(decompressZlib({}), std::nullopt);

    EXPECT_EQ(decompressKittyData(raw, std::nullopt), raw);
    EXPECT_EQ(decompressKittyData(stream, 'z'), raw);
    EXPECT_EQ(decompressKittyData(stream, 'x'), std::nullopt);

    // o=z on an RGBA image, through the whole direct-data path.
    KittyGraphicsControl c = control(32, 2, 1);
    c.compression = 'z';
    std::vector<uint8_t> pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(describe(decodeKittyPayload(c, zlibCompress(pixels))), "rgba 2x1 1 2 3 4 5 6 7 8");
    EXPECT_EQ(describe(decodeKittyPayload(c, pixels)), "none");
    EXPECT_EQ(describe(decodeKittyPayload(c, std::nullopt)), "none");
}

// A stream of zeros that inflates past the data limit is refused, not held in full.
TEST(KittyGraphicsPayload, InflationStopsPastTheDataLimit) {
    if (sanitizedBuild) GTEST_SKIP() << "400 MiB of data; run in the release suite";
    z_stream stream{};
    ASSERT_EQ(deflateInit(&stream, 1), Z_OK);
    std::vector<uint8_t> zeros(1 << 20);
    std::vector<uint8_t> out;
    std::vector<uint8_t> buffer(1 << 16);
    int64_t total = KittyGraphicsLimits::maxDataSize + 1;
    while (total > 0) {
        size_t n = size_t(std::min<int64_t>(total, int64_t(zeros.size())));
        total -= int64_t(n);
        stream.next_in = zeros.data();
        stream.avail_in = uInt(n);
        int flush = total == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = buffer.data();
            stream.avail_out = uInt(buffer.size());
            deflate(&stream, flush);
            out.insert(out.end(), buffer.begin(), buffer.end() - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    EXPECT_EQ(decompressZlib(out), std::nullopt);
}

TEST(KittyGraphicsPayload, PngHelpers) {
    // Two pixels: opaque red and half-transparent white.
    std::vector<uint8_t> png = makePng(2, 1, {255, 0, 0, 255, 255, 255, 255, 128});
    EXPECT_EQ(kittyPngPixelSize(png), (KittyPixelSize{2, 1}));
    EXPECT_TRUE(validateKittyPngDimensions(png));
    auto bitmap = decodePngToRgba(png);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width, 2);
    EXPECT_EQ(bitmap->height, 1);
    EXPECT_EQ(bitmap->bytes, (std::vector<uint8_t>{255, 0, 0, 255, 128, 128, 128, 128}));

    std::vector<uint8_t> wide = makePng(10001, 1);
    EXPECT_EQ(kittyPngPixelSize(wide), (KittyPixelSize{10001, 1}));
    EXPECT_FALSE(validateKittyPngDimensions(wide));
    EXPECT_FALSE(decodePngToRgba(wide));

    EXPECT_FALSE(kittyPngPixelSize(bytesOf("nonsense")));
    EXPECT_FALSE(decodePngToRgba({}));
    // Cut short inside the pixel data: the size still reads, decoding fails.
    std::vector<uint8_t> cut = makePng(64, 64);
    cut.resize(cut.size() - 40);
    EXPECT_EQ(kittyPngPixelSize(cut), (KittyPixelSize{64, 64}));
    EXPECT_TRUE(validateKittyPngDimensions(cut));
    EXPECT_FALSE(decodePngToRgba(cut));

    std::vector<uint8_t> straight = {200, 100, 50, 0, 200, 100, 50, 255, 255, 255, 255, 51};
    premultiplyRgba(straight);
    EXPECT_EQ(straight, (std::vector<uint8_t>{0, 0, 0, 0, 200, 100, 50, 255, 51, 51, 51, 51}));
}
