#include "CellGlyphs.h"

#include "ManualExecutor.h"
#include "ViewTestSupport.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

std::vector<quint32> glyphIds(CellGlyphs& glyphs, int32_t code, const Terminal& terminal) {
    std::vector<quint32> ids;
    for (const CellGlyphs::PlacedGlyph& placed : glyphs.glyphs(0, code, terminal))
        ids.push_back(placed.glyph);
    return ids;
}

} // namespace

// A full reset gives grapheme codes back and the next cluster may get the same code for another text:
// glyphs cached by code must not outlive that.
TEST(CellGlyphs, AReclaimedGraphemeCodeIsShapedAgainForItsNewText) {
    ManualExecutor executor;
    TerminalView view{QRect(0, 0, 400, 200), testFont(), nullptr, &executor};
    CellGlyphs glyphs;
    glyphs.reset(view.fontSet());
    const auto firstCell = [&] {
        Buffer& buffer = view.terminal().displayBuffer();
        return (*buffer.lines()[buffer.yDisp()])[0].code;
    };

    view.feed("a\xcc\x80\xcc\x81"); // a, grave, acute: one cluster
    const int32_t first = firstCell();
    ASSERT_GE(first, CharData::graphemeCodeBase);
    const std::vector<quint32> before = glyphIds(glyphs, first, view.terminal());

    view.feed("\x1b"
              "c"
              "o\xcc\x82\xcc\x83"); // full reset, then o, circumflex, tilde
    const int32_t second = firstCell();
    ASSERT_EQ(second, first) << "the reclaimed code is handed out again";
    EXPECT_NE(glyphIds(glyphs, second, view.terminal()), before);
}
