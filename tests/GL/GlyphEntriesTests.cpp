#include "FakeAtlasDevice.h"
#include "GlyphEntries.h"

#include <QFont>
#include <QRawFont>

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace GLTest;

namespace {

QFont mono(int pixels) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(pixels);
    return font;
}

class GlyphEntriesTest : public ::testing::Test {
protected:
    GlyphEntriesTest()
        : gray(GlyphAtlas::create(device, 256, 512, GlyphAtlasFormat::grayscale))
        , colour(GlyphAtlas::create(device, 256, 512, GlyphAtlasFormat::bgra))
        , entries(*gray, *colour, rasterizer) {
        entries.onAtlasChanged = [this] { ++atlasChanges; };
    }

    // Alpha of every pixel of a custom glyph image, top row first.
    static std::vector<int> alphas(uint32_t codePoint, int width, int height, double scale, bool antiAlias) {
        std::vector<int> out;
        const auto pixels = GlyphEntries::drawCustomGlyph(codePoint, width, height, scale, 1, antiAlias);
        if (!pixels) return out;
        for (std::size_t i = 3; i < pixels->size(); i += 4)
            out.push_back((*pixels)[i]);
        return out;
    }

    FakeDevice device;
    GlyphRasterizer rasterizer;
    std::unique_ptr<GlyphAtlas> gray;
    std::unique_ptr<GlyphAtlas> colour;
    GlyphEntries entries;
    int atlasChanges = 0;
};

} // namespace

TEST(ShaperCache, ShapesOnceAndEvictsTheOldestShapedFirst) {
    ShaperCache cache(3);
    const QFont font = mono(16);
    EXPECT_FALSE(cache.shape(QString(), font));
    const std::shared_ptr<const ShaperRun> ab = cache.shape(QStringLiteral("ab"), font);
    ASSERT_TRUE(ab);
    EXPECT_EQ(ab->glyphCount, 2);
    EXPECT_EQ(ab->firstX, 0);
    EXPECT_GT(ab->positions[1].x(), ab->positions[0].x());
    EXPECT_EQ(ab->positions[1].y(), 0); // on the baseline, y up

    cache.shape(QStringLiteral("cd"), font);
    cache.shape(QStringLiteral("ef"), font);
    cache.shape(QStringLiteral("ab"), font); // a hit: the order stays
    cache.shape(QStringLiteral("gh"), font);
    const ShaperKey first{fontIdentity(font), fontKeySize(font), QStringLiteral("ab")};
    EXPECT_FALSE(cache.contains(first));
    EXPECT_EQ(cache.count(), 3);
    cache.shape(QStringLiteral("ab"), font);
    EXPECT_EQ(cache.order().back(), first);
    // The same text in another size is another entry.
    cache.shape(QStringLiteral("ab"), mono(20));
    EXPECT_EQ(cache.order().back().text, QStringLiteral("ab"));
    EXPECT_NE(cache.order().back().fontSize, first.fontSize);
}

TEST_F(GlyphEntriesTest, GlyphsAreRasterizedOnceAndBlanksEveryTime) {
    const QRawFont raw = QRawFont::fromFont(mono(24));
    const QList<quint32> glyphs = raw.glyphIndexesForString(QStringLiteral("W "));
    const std::optional<GlyphEntry> w = entries.glyphEntry(raw, glyphs[0]);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->atlasKind, GlyphAtlasKind::grayscale);
    EXPECT_EQ(w->region.width, w->size.width());
    const std::size_t uploads = device.uploads.size();
    EXPECT_EQ(entries.glyphEntry(raw, glyphs[0])->region, w->region);
    EXPECT_EQ(device.uploads.size(), uploads);

    EXPECT_FALSE(entries.glyphEntry(raw, glyphs[1]));
    EXPECT_EQ(entries.glyphCache.size(), 1);
    EXPECT_EQ(atlasChanges, 0);
}

TEST_F(GlyphEntriesTest, AnAtlasThatGrowsEmptiesTheGlyphCaches) {
    const QRawFont raw = QRawFont::fromFont(mono(24));
    const quint32 w = raw.glyphIndexesForString(QStringLiteral("W"))[0];
    ASSERT_TRUE(entries.customGlyphEntry(0x2588, 10, 20, 1, 1, false));
    ASSERT_TRUE(gray->ensureRegion(256, 230)); // fills what is left of the gray atlas
    ASSERT_TRUE(entries.glyphEntry(raw, w));
    EXPECT_EQ(gray->size(), 512);
    EXPECT_EQ(atlasChanges, 1);
    // Only the entry placed after the growth is left.
    EXPECT_EQ(entries.glyphCache.size(), 1);
    EXPECT_TRUE(entries.customGlyphCache.isEmpty());
}

TEST_F(GlyphEntriesTest, CustomGlyphsAreExactPixels) {
    struct Case {
        const char* name;
        uint32_t codePoint;
        bool antiAlias;
        std::vector<int> expected; // 2 x 4 image, top row first
    };
    const Case cases[] = {
        {"full block", 0x2588, true, std::vector<int>(8, 255)},
        {"light shade", 0x2591, true, std::vector<int>(8, 64)},
        {"upper half", 0x2580, true, {255, 255, 255, 255, 0, 0, 0, 0}},
        {"horizontal line, never antialiased", 0x2500, true, {0, 0, 255, 255, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(alphas(c.codePoint, 2, 4, 1, c.antiAlias), c.expected);
    }
    for (int alpha : alphas(0x2500, 9, 17, 1, true))
        EXPECT_TRUE(alpha == 0 || alpha == 255) << alpha;
    EXPECT_FALSE(entries.customGlyphEntry(0x25A0, 8, 16, 1, 1, true));
    EXPECT_FALSE(entries.customGlyphEntry(0x2588, 0, 16, 1, 1, true));
}

TEST_F(GlyphEntriesTest, CustomGlyphKeysRoundTheScale) {
    const std::pair<double, int> cases[] = {{1.5, 2}, {0.4, 1}, {2.5, 3}, {1.0, 1}, {2.0, 2}};
    for (const auto& [scale, expected] : cases)
        EXPECT_EQ(GlyphEntries::keyScale(scale), expected) << scale;
    const auto first = entries.customGlyphEntry(0x2588, 10, 20, 1.5, 1, false);
    const auto second = entries.customGlyphEntry(0x2588, 10, 20, 2.0, 1, false);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->region, second->region);
    EXPECT_EQ(entries.customGlyphCache.size(), 1);
}

TEST_F(GlyphEntriesTest, ScaledFontsAreMadeOnce) {
    const QFont font = mono(12);
    const QFont scaled = entries.scaledFontFor(font, 2);
    EXPECT_EQ(scaled.pixelSize(), 24);
    EXPECT_EQ(scaled.family(), font.family());
    entries.scaledFontFor(font, 2);
    EXPECT_EQ(entries.scaledFontCache.size(), 1);
    QFont points(QStringLiteral("DejaVu Sans Mono"), 10);
    EXPECT_DOUBLE_EQ(entries.scaledFontFor(points, 1.5).pointSizeF(), 15.0);
}
