#include "FakeAtlasDevice.h"
#include "GlyphAtlas.h"
#include "GlyphRasterizer.h"

#include <QFontDatabase>
#include <QRawFont>

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace GLTest;

TEST(GlyphAtlas, CreationRoundsSizesUpAndFailsWithoutATexture) {
    FakeDevice device;
    auto atlas = GlyphAtlas::create(device, 100, 50, GlyphAtlasFormat::grayscale);
    ASSERT_TRUE(atlas);
    EXPECT_EQ(atlas->size(), 256);
    EXPECT_EQ(atlas->maxSize(), 256);
    EXPECT_EQ(atlas->data().size(), 256u * 256u);
    auto colour = GlyphAtlas::create(device, 1024, 2048, GlyphAtlasFormat::bgra);
    EXPECT_EQ(colour->bytesPerPixel(), 4);
    EXPECT_EQ(colour->data().size(), 1024u * 1024u * 4u);

    FakeDevice none;
    none.texturesLeft = 0;
    EXPECT_FALSE(GlyphAtlas::create(none, 1024, 2048, GlyphAtlasFormat::grayscale));
}

TEST(GlyphAtlas, ShelvesPackWithoutGapsAndOpenBelowTheTallest) {
    FakeDevice device;
    auto atlas = GlyphAtlas::create(device, 256, 256, GlyphAtlasFormat::grayscale);
    EXPECT_EQ(atlas->ensureRegion(250, 7), (AtlasRegion{0, 0, 250, 7}));
    EXPECT_EQ(atlas->ensureRegion(3, 12), (AtlasRegion{250, 0, 3, 12}));
    // 253 + 10 > 256: a new shelf at nextY + rowHeight.
    EXPECT_EQ(atlas->ensureRegion(10, 10), (AtlasRegion{0, 12, 10, 10}));
    EXPECT_FALSE(atlas->didReset());
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{{0, 5}, {5, 0}, {-1, 3}, {257, 1}})
        EXPECT_FALSE(atlas->ensureRegion(width, height)) << width << "x" << height;
    // A request wider than the largest size changes nothing.
    EXPECT_EQ(atlas->ensureRegion(10, 10), (AtlasRegion{10, 12, 10, 10}));
}

TEST(GlyphAtlas, GrowingKeepsPixelsWhereTheyWere) {
    FakeDevice device;
    auto atlas = GlyphAtlas::create(device, 1024, 2048, GlyphAtlasFormat::grayscale);
    const AtlasRegion first = *atlas->ensureRegion(2, 1);
    const std::vector<std::uint8_t> pixels{0, 0, 0, 77, 0, 0, 0, 99};
    atlas->write(first, pixels, 2, 1);
    ASSERT_TRUE(atlas->ensureRegion(1024, 1000));
    device.uploads.clear();

    // Taller than what is left below the current shelf: the atlas doubles.
    const std::optional<AtlasRegion> tall = atlas->ensureRegion(10, 30);
    ASSERT_TRUE(tall);
    EXPECT_EQ(atlas->size(), 2048);
    EXPECT_FALSE(atlas->didReset());
    EXPECT_EQ(*tall, (AtlasRegion{0, 1001, 10, 30}));
    EXPECT_EQ(atlas->data()[0], 77);
    EXPECT_EQ(atlas->data()[1], 99);
    // The whole new texture is uploaded from the CPU copy, never read back.
    EXPECT_EQ(device.uploads, (std::vector<Upload>{{0, 0, 2048, 2048, 2048}}));
}

TEST(GlyphAtlas, AFullAtlasAtItsLargestSizeStartsOver) {
    FakeDevice device;
    auto atlas = GlyphAtlas::create(device, 256, 256, GlyphAtlasFormat::bgra);
    const AtlasRegion first = *atlas->ensureRegion(1, 1);
    atlas->write(first, std::vector<std::uint8_t>{1, 2, 3, 4}, 1, 1);
    ASSERT_TRUE(atlas->ensureRegion(256, 250));
    const std::optional<AtlasRegion> region = atlas->ensureRegion(20, 20);
    ASSERT_TRUE(region);
    EXPECT_TRUE(atlas->didReset());
    EXPECT_EQ(*region, (AtlasRegion{0, 0, 20, 20}));
    EXPECT_EQ(atlas->size(), 256);
    EXPECT_EQ(atlas->data()[0], 0);
    // The next request clears the flag.
    atlas->ensureRegion(1, 1);
    EXPECT_FALSE(atlas->didReset());
}

TEST(GlyphAtlas, WritingFlipsRowsAndAGrayAtlasKeepsOnlyAlpha) {
    // A 3 x 2 bitmap: top row alphas 1, 2, 3; bottom row 4, 5, 6.
    std::vector<std::uint8_t> pixels;
    for (std::uint8_t alpha : {1, 2, 3, 4, 5, 6})
        pixels.insert(pixels.end(),
                      {std::uint8_t(alpha + 10), std::uint8_t(alpha + 20), std::uint8_t(alpha + 30), alpha});
    FakeDevice device;
    auto gray = GlyphAtlas::create(device, 256, 256, GlyphAtlasFormat::grayscale);
    gray->ensureRegion(5, 1);
    const AtlasRegion region = *gray->ensureRegion(3, 2);
    device.uploads.clear();
    gray->write(region, pixels, 3, 2);
    const auto& data = gray->data();
    EXPECT_EQ((std::vector<int>{data[5], data[6], data[7]}), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ((std::vector<int>{data[256 + 5], data[256 + 6], data[256 + 7]}), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(device.uploads, (std::vector<Upload>{{5, 0, 3, 2, 256}}));

    auto colour = GlyphAtlas::create(device, 256, 256, GlyphAtlasFormat::bgra);
    const AtlasRegion colourRegion = *colour->ensureRegion(3, 2);
    colour->write(colourRegion, pixels, 3, 2);
    EXPECT_EQ(colour->data()[0], 14);
    EXPECT_EQ(colour->data()[3], 4);
    EXPECT_EQ(colour->data()[256 * 4 + 3], 1);

    // Mismatched sizes and short pixel data are ignored.
    device.uploads.clear();
    gray->write(region, pixels, 2, 3);
    gray->write(region, std::vector<std::uint8_t>(4), 3, 2);
    EXPECT_TRUE(device.uploads.empty());
}

TEST(GlyphAtlas, GrowthThatCannotMakeATextureLeavesTheAtlasAsItWas) {
    FakeDevice device;
    auto atlas = GlyphAtlas::create(device, 256, 1024, GlyphAtlasFormat::grayscale);
    ASSERT_TRUE(atlas->ensureRegion(256, 250));
    device.texturesLeft = 0;
    EXPECT_FALSE(atlas->ensureRegion(10, 10));
    EXPECT_EQ(atlas->size(), 256);
    EXPECT_FALSE(atlas->didReset());
}

TEST(GlyphRasterizer, PixelBoxesRoundOutward) {
    const auto box = GlyphRasterizer::pixelBox(0.2, -2.5, 5.1, 7.0);
    EXPECT_EQ(box.x0, 0);
    EXPECT_EQ(box.width, 6);
    EXPECT_EQ(box.y0, -3);
    EXPECT_EQ(box.height, 10);
}

TEST(GlyphRasterizer, WhiteTextIsGrayAndEmptyGlyphsGiveNothing) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(24);
    const QRawFont raw = QRawFont::fromFont(font);
    ASSERT_TRUE(raw.isValid());
    const QList<quint32> glyphs = raw.glyphIndexesForString(QStringLiteral("W "));
    ASSERT_EQ(glyphs.size(), 2);

    GlyphRasterizer rasterizer;
    const std::optional<GlyphBitmap> w = rasterizer.rasterize(raw, glyphs[0]);
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->isColor);
    EXPECT_GT(w->width, 8);
    EXPECT_GT(w->height, 8);
    EXPECT_EQ(w->pixels.size(), std::size_t(w->width * w->height * 4));
    // 'W' stands on the baseline: its bitmap starts at or just below it, y up.
    EXPECT_LE(w->bearing.y(), 0);
    EXPECT_GE(w->bearing.y(), -1);
    int covered = 0;
    for (std::size_t i = 3; i < w->pixels.size(); i += 4)
        covered += w->pixels[i] > 0;
    EXPECT_GT(covered, 20);

    EXPECT_FALSE(rasterizer.rasterize(raw, glyphs[1]));
    EXPECT_TRUE(GlyphRasterizer::hasColor({10, 10, 10, 255, 0, 0, 200, 255}));
    EXPECT_FALSE(GlyphRasterizer::hasColor({10, 10, 10, 255, 3, 3, 3, 0}));
}
