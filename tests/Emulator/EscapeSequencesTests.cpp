#include "EscapeSequences.h"

#include <gtest/gtest.h>

using namespace Tessaline;

namespace {
std::string text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}
} // namespace

TEST(EscapeSequences, FunctionKeys) {
    const char* expected[] = {
        "\x1bOP",   "\x1bOQ",   "\x1bOR",   "\x1bOS",   "\x1b[15~", "\x1b[17~",
        "\x1b[18~", "\x1b[19~", "\x1b[20~", "\x1b[21~", "\x1b[23~", "\x1b[24~",
    };
    static_assert(EscapeSequences::cmdF.size() == 12);
    for (size_t k = 0; k < 12; ++k) {
        SCOPED_TRACE("F" + std::to_string(k + 1));
        EXPECT_EQ(text(EscapeSequences::cmdF[k]), expected[k]);
    }
}

TEST(EscapeSequences, CursorAndEditingKeys) {
    using E = EscapeSequences;
    const std::pair<const E::Bytes*, const char*> cases[] = {
        {&E::moveHomeApp, "\x1bOH"},
        {&E::moveHomeNormal, "\x1b[H"},
        {&E::moveEndApp, "\x1bOF"},
        {&E::moveEndNormal, "\x1b[F"},
        {&E::moveUpApp, "\x1bOA"},
        {&E::moveLeftNormal, "\x1b[D"},
        {&E::cmdDelKey, "\x1b[3~"},
        {&E::cmdDel, "\x7f"},
        {&E::cmdBackTab, "\x1b[Z"},
        {&E::controlLeft, "\x1b[1;5D"},
        {&E::controlRight, "\x1b[1;5C"},
        {&E::emacsBack, "\x1b"
                        "b"},
        {&E::cmdPageDown, "\x1b[6~"},
        {&E::cmdInsert, "\x1b[2~"},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(expected + 1);
        EXPECT_EQ(text(*bytes), expected);
    }
}

TEST(EscapeSequences, BracketedPasteMarkersCanBeChanged) {
    EXPECT_EQ(text(EscapeSequences::bracketedPasteStart), "\x1b[200~");
    EXPECT_EQ(text(EscapeSequences::bracketedPasteEnd), "\x1b[201~");
    const auto saved = EscapeSequences::bracketedPasteStart;
    EscapeSequences::bracketedPasteStart = {'<'};
    EXPECT_EQ(text(EscapeSequences::bracketedPasteStart), "<");
    EscapeSequences::bracketedPasteStart = saved;
    static_assert(std::is_const_v<decltype(EscapeSequences::cmdEsc)>, "the other members are constants");
}

TEST(CC, SevenAndEightBitIntroducers) {
    CC cc;
    EXPECT_EQ(cc.csi(), "\x1b[");
    EXPECT_EQ(cc.dcs(), "\x1bP");
    EXPECT_EQ(cc.osc(), "\x1b]");
    EXPECT_EQ(cc.st(), "\x1b\\");
    cc.send8bit = true;
    EXPECT_EQ(cc.csi(), "\x9b");
    EXPECT_EQ(cc.dcs(), "\x90");
    EXPECT_EQ(cc.osc(), "\x9d");
    EXPECT_EQ(cc.st(), "\x9c");
}
