#include "Base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace Tessaline;

namespace {

std::optional<std::string> decodeText(std::string_view text, Base64Decoder::Mode mode) {
    auto bytes = Base64::decode(text, mode);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

} // namespace

TEST(Base64, DecodesStrictAndSkippingForms) {
    using Mode = Base64Decoder::Mode;
    struct Case {
        const char* name;
        std::string text;
        std::optional<std::string> strict;
        std::optional<std::string> skipping;
    };
    const Case cases[] = {
        {"empty", "", "", ""},
        {"one quartet", "YWJj", "abc", "abc"},
        {"two pads", "YQ==", "a", "a"},
        {"one pad", "YWI=", "ab", "ab"},
        {"all letters", "+/+/", "\xfb\xff\xbf", "\xfb\xff\xbf"},
        {"leftover bits ignored", "YR==", "a", "a"},
        {"short", "YWJ", std::nullopt, std::nullopt},
        {"no padding", "YQ", std::nullopt, std::nullopt},
        {"line break", "YW\nJj", std::nullopt, "abc"},
        {"spaces and junk", " Y W J j ", std::nullopt, "abc"},
        {"only junk", "\r\n", std::nullopt, ""},
        {"pad first", "=YWJ", std::nullopt, std::nullopt},
        {"pad second", "Y===", std::nullopt, std::nullopt},
        {"letter after pad in quartet", "YW=j", std::nullopt, std::nullopt},
        {"data after padded quartet", "YQ==YWJj", std::nullopt, std::nullopt},
        {"extra pad", "YQ===", std::nullopt, std::nullopt},
        {"url-safe letters", "YW-_", std::nullopt, std::nullopt},
        {"high bytes", "YWJj\xff", std::nullopt, "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeText(c.text, Mode::strict), c.strict);
        EXPECT_EQ(decodeText(c.text, Mode::skipOutsideAlphabet), c.skipping);
    }
}

TEST(Base64, EncodeRoundTripsEveryLength) {
    std::vector<uint8_t> data;
    for (int n = 0; n < 300; ++n) {
        SCOPED_TRACE(n);
        std::string text = Base64::encode(data);
        EXPECT_EQ(text.size() % 4, 0u);
        EXPECT_EQ(Base64::decode(text), data);
        data.push_back(uint8_t(n * 37 + 11));
    }
    EXPECT_EQ(Base64::encode(std::string_view("abc")), "YWJj");
    EXPECT_EQ(Base64::encode(std::string_view("ab")), "YWI=");
    EXPECT_EQ(Base64::encode(std::string_view("a")), "YQ==");
}

TEST(Base64, PiecesSplitAnywhereDecodeAsTheWhole) {
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 + i / 3);
    std::string text = Base64::encode(data);
    for (size_t step : {1u, 2u, 3u, 5u, 7u, 4096u}) {
        SCOPED_TRACE(step);
        Base64Decoder decoder;
        for (size_t i = 0; i < text.size(); i += step)
            ASSERT_TRUE(decoder.append(std::string_view(text).substr(i, step)));
        EXPECT_TRUE(decoder.finish());
        EXPECT_EQ(decoder.data(), data);
    }
    // Padding in the middle of the joined text is refused however it was split.
    Base64Decoder decoder;
    EXPECT_TRUE(decoder.append(std::string_view("YQ=")));
    EXPECT_TRUE(decoder.append(std::string_view("=")));
    EXPECT_FALSE(decoder.append(std::string_view("YWJj")));
    EXPECT_FALSE(decoder.finish());
    EXPECT_TRUE(decoder.data().empty());
}

TEST(Base64, PiecesPaddedEachOnTheirOwn) {
    // Pieces that end a unit (endPiece) may each end with padding; inside a piece padding still ends the
    // text.
    Base64Decoder decoder;
    for (std::string_view piece : {"YWJjZA==", "ZQ", "==", "ZmdoaQ=="}) {
        ASSERT_TRUE(decoder.append(piece));
        decoder.endPiece();
    }
    EXPECT_TRUE(decoder.finish());
    EXPECT_EQ(std::string(decoder.data().begin(), decoder.data().end()), "abcdefghi");

    Base64Decoder inside;
    EXPECT_FALSE(inside.append(std::string_view("YWJjZA==ZWZn")));
}

TEST(Base64, SizeLimitDropsTheDataButKeepsChecking) {
    Base64Decoder exact(Base64Decoder::Mode::strict, 6);
    EXPECT_TRUE(exact.append(std::string_view("YWJjZGVm")));
    EXPECT_TRUE(exact.finish());
    EXPECT_EQ(exact.data().size(), 6u);

    Base64Decoder over(Base64Decoder::Mode::strict, 5);
    EXPECT_TRUE(over.append(std::string_view("YWJj")));
    EXPECT_FALSE(over.overLimit());
    EXPECT_TRUE(over.append(std::string_view("ZGVm")));
    EXPECT_TRUE(over.overLimit());
    EXPECT_EQ(over.heldBytes(), 0u);
    EXPECT_TRUE(over.append(std::string_view("YWJj")));
    EXPECT_FALSE(over.finish());
    EXPECT_TRUE(over.data().empty());

    // A padded last quartet that just fits.
    Base64Decoder padded(Base64Decoder::Mode::strict, 4);
    EXPECT_TRUE(padded.append(std::string_view("YWJjZA==")));
    EXPECT_TRUE(padded.finish());
    EXPECT_EQ(padded.data().size(), 4u);
}

TEST(Base64, ExactReserveIsNotOutgrownByPadding) {
    std::string data(4096 * 3 + 1, 'z');
    std::string text = Base64::encode(data);
    Base64Decoder decoder;
    decoder.reserve(data.size());
    EXPECT_TRUE(decoder.append(std::string_view(text).substr(0, 4096 * 4)));
    EXPECT_TRUE(decoder.append(std::string_view(text).substr(4096 * 4)));
    EXPECT_TRUE(decoder.finish());
    EXPECT_EQ(decoder.data().size(), data.size());
    EXPECT_EQ(decoder.heldBytes(), data.size());
}
