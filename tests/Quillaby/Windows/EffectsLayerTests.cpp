// The effects overlay: scanline bands and their strength per style, the rolling steps, the grades, the
// vignette, when the overlay shows at all, and that it never takes the mouse.
#include "Windows/EffectsLayer.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using Quillaby::EffectsLayer;
using Quillaby::SkinEffectsSettings;
using Quillaby::SkinManifest;

namespace {

SkinManifest::TerminalPalette testPalette() {
    SkinManifest::TerminalPalette p;
    p.foreground = Quillaby::RgbColor::rgb(0, 1, 0);
    p.background = Quillaby::RgbColor::rgb(0, 0, 0);
    return p;
}

SkinEffectsSettings scanlines(const QString& style, double intensity) {
    SkinEffectsSettings e;
    e.scanlines = true;
    e.scanlineStyle = style;
    e.scanlineIntensity = intensity;
    return e;
}

// The layer drawn over a transparent (or given) background at one pixel per point.
QImage draw(EffectsLayer& layer, QColor background = Qt::transparent) {
    QImage image(layer.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    layer.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

} // namespace

TEST(EffectsLayer, BandAlphaPerStyleAndIntensity) {
    struct Case {
        const char* style;
        double at1, at2;
    } cases[] = {
        {"standard", 0.55, 1}, {"heavy", 0.715, 1}, {"rolling", 0.55, 1},
        {"shadowmask", 0.6, 1}, {"Heavy", 0.55, 1}, {"sepia", 0.55, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        const QString style = QString::fromLatin1(c.style);
        EXPECT_NEAR(EffectsLayer::bandAlpha(style, 1), c.at1, 1e-12);
        EXPECT_NEAR(EffectsLayer::bandAlpha(style, 2), c.at2, 1e-12);

        // Drawn: the bottom row is a gap (rolling, standard) or a band (shadowmask), counted from the bottom.
        for (double intensity : {1.0, 2.0}) {
            EffectsLayer layer;
            layer.setViewport(QRectF(0, 0, 30, 24), {});
            layer.configure(scanlines(style, intensity), testPalette());
            const QImage image = draw(layer);
            const int bandRow = style == QStringLiteral("shadowmask") ? 23 : 23 - (style == QStringLiteral("rolling") ? 3 : 2);
            // Shadow-mask bands lie over the coloured stripes; the others are black alone.
            // A shadow-mask band lies over a coloured column of alpha 0.2 x intensity.
            const double band = EffectsLayer::bandAlpha(style, intensity);
            const double expected = style == QStringLiteral("shadowmask") ? band + 0.2 * intensity * (1 - band) : band;
            EXPECT_NEAR(qAlpha(image.pixel(5, bandRow)) / 255.0, std::min(1.0, expected), 0.01) << intensity;
            if (style != QStringLiteral("shadowmask")) {
                EXPECT_EQ(qAlpha(image.pixel(5, 23)), 0) << "gap";
            }
        }
    }
}

TEST(EffectsLayer, StripePatterns) {
    using Stripe = EffectsLayer::Stripe;
    const QSizeF size(10, 12);
    const auto rows = [&](const QString& style, double offset) {
        QList<QRectF> result;
        for (const Stripe& s : EffectsLayer::scanlineStripes(style, 0.5, size, offset))
            if (s.rect.width() == 10) result.append(s.rect);
        return result;
    };
    EXPECT_EQ(rows(QStringLiteral("standard"), 0),
              (QList<QRectF>{QRectF(0, 8, 10, 2), QRectF(0, 4, 10, 2), QRectF(0, 0, 10, 2)}));
    EXPECT_EQ(rows(QStringLiteral("rolling"), 0),
              (QList<QRectF>{QRectF(0, 8, 10, 1), QRectF(0, 4, 10, 1), QRectF(0, 0, 10, 1)}));
    // Moved up by the offset; the part that leaves the top is cut off.
    const QList<QRectF> moved = rows(QStringLiteral("rolling"), 0.5);
    ASSERT_EQ(moved.size(), 3);
    EXPECT_EQ(moved[0], QRectF(0, 7.5, 10, 1));
    EXPECT_EQ(moved[2], QRectF(0, 0, 10, 0.5));
    // Shadow mask: one-point columns cycling red, green, blue, and a band every 3 points.
    const QList<Stripe> mask = EffectsLayer::scanlineStripes(QStringLiteral("shadowmask"), 1, size, 0);
    ASSERT_GE(mask.size(), 14);
    EXPECT_EQ(mask[0].rect, QRectF(0, 0, 1, 12));
    EXPECT_GT(mask[0].colour.redF(), mask[0].colour.greenF());
    EXPECT_GT(mask[1].colour.greenF(), mask[1].colour.blueF());
    EXPECT_GT(mask[2].colour.blueF(), mask[2].colour.redF());
    EXPECT_NEAR(mask[0].colour.alphaF(), 0.2, 0.005);
    EXPECT_EQ(rows(QStringLiteral("shadowmask"), 0).front(), QRectF(0, 11, 10, 1));
    EXPECT_TRUE(EffectsLayer::scanlineStripes(QStringLiteral("standard"), 0, size, 0).isEmpty());
    EXPECT_TRUE(EffectsLayer::scanlineStripes(QStringLiteral("standard"), 1, QSizeF(), 0).isEmpty());
}

TEST(EffectsLayer, GradesTintThroughSoftLight) {
    struct Case {
        const char* grade;
        std::optional<QColor> tint;
    } cases[] = {
        {"amber", QColor::fromRgbF(1.0f, 0.6f, 0.1f)}, {"green", QColor::fromRgbF(0.0f, 1.0f, 0.3f)},
        {"blue", QColor::fromRgbF(0.3f, 0.5f, 1.0f)},  {"cool", QColor::fromRgbF(0.4f, 0.6f, 0.8f)},
        {"none", std::nullopt},                          {"sepia", std::nullopt},
    };
    const QColor grey(128, 128, 128);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.grade);
        EXPECT_EQ(EffectsLayer::colorForGrade(QString::fromLatin1(c.grade)), c.tint);
        EffectsLayer layer;
        layer.setViewport(QRectF(0, 0, 20, 20), {});
        SkinEffectsSettings e;
        e.colorGrade = QString::fromLatin1(c.grade);
        layer.configure(e, testPalette());
        const QColor drawn = draw(layer, grey).pixelColor(10, 10);
        if (!c.tint) {
            EXPECT_EQ(drawn, grey);
            continue;
        }
        // Soft light pulls each channel toward the tint's side of grey, faintly.
        const auto moved = [&](float tint, int channel) {
            return tint > 0.5f ? channel >= 128 : channel <= 128;
        };
        EXPECT_TRUE(moved(c.tint->redF(), drawn.red()) && moved(c.tint->blueF(), drawn.blue())) << drawn.name().toStdString();
        EXPECT_NE(drawn, grey);
        EXPECT_LT(std::abs(drawn.red() - 128) + std::abs(drawn.blue() - 128), 40);
    }
}

TEST(EffectsLayer, OverlayShowsWhenAnyEffectIsOn) {
    const auto with = [](auto change) {
        SkinEffectsSettings e;
        change(e);
        return EffectsLayer::showsAnything(e);
    };
    EXPECT_FALSE(with([](SkinEffectsSettings&) {}));
    EXPECT_TRUE(with([](SkinEffectsSettings& e) { e.scanlines = true; }));
    EXPECT_TRUE(with([](SkinEffectsSettings& e) { e.glow = true; }));
    EXPECT_TRUE(with([](SkinEffectsSettings& e) { e.curvature = true; }));
    EXPECT_TRUE(with([](SkinEffectsSettings& e) { e.colorGrade = QStringLiteral("sepia"); })) << "unknown grade";
    EXPECT_FALSE(with([](SkinEffectsSettings& e) { e.scanlineIntensity = 1; e.glowIntensity = 1; }));
}

TEST(EffectsLayer, ConfigureCopiesSettingsAndGlowColour) {
    EffectsLayer layer;
    EXPECT_FALSE(layer.scanlineEnabled());
    EXPECT_EQ(layer.scanlineIntensity(), 0.3);
    EXPECT_EQ(layer.scanlineStyle(), QStringLiteral("standard"));
    EXPECT_EQ(layer.glowIntensity(), 0.4);
    EXPECT_EQ(layer.curvatureAmount(), 0.15);
    EXPECT_EQ(layer.colorGrade(), QStringLiteral("none"));
    EXPECT_TRUE(layer.testAttribute(Qt::WA_TransparentForMouseEvents));

    SkinEffectsSettings e;
    e.glow = true;
    e.glowIntensity = 0.8;
    layer.configure(e, testPalette());
    EXPECT_TRUE(layer.glowEnabled());
    EXPECT_EQ(layer.glowColor(), QColor::fromRgbF(0, 1, 0));
    layer.setViewport(QRectF(0, 0, 100, 60), {});
    // Glow: the foreground colour at the edges, fading inward.
    QImage image = draw(layer);
    EXPECT_NEAR(qAlpha(image.pixel(50, 0)), 0.48 * 255, 8);
    EXPECT_EQ(qRed(image.pixel(50, 0)), 0);
    EXPECT_GT(qGreen(image.pixel(0, 30)), qGreen(image.pixel(5, 30)));
    EXPECT_GT(qGreen(image.pixel(5, 30)), qGreen(image.pixel(9, 30)));
    EXPECT_EQ(qAlpha(image.pixel(50, 30)), 0);
    // With rounded corners nothing is drawn outside the outline.
    layer.setViewport(QRectF(0, 0, 100, 60), {}, {20, 20, 20, 20});
    image = draw(layer);
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);
    EXPECT_GT(qAlpha(image.pixel(20, 1)), 100);

    // Vignette: clear inside 55% of the way to the edge, darkening to the amount at the edge midpoints.
    e.glow = false;
    e.curvature = true;
    e.curvatureAmount = 0.5;
    layer.configure(e, testPalette());
    layer.setViewport(QRectF(0, 0, 100, 60), {});
    EXPECT_TRUE(layer.curvatureEnabled());
    image = draw(layer);
    EXPECT_EQ(qAlpha(image.pixel(50, 30)), 0);
    EXPECT_EQ(qAlpha(image.pixel(60, 30)), 0);
    EXPECT_NEAR(qAlpha(image.pixel(50, 0)), 0.5 * 255, 8);
    EXPECT_NEAR(qAlpha(image.pixel(99, 59)), 0.5 * 255, 2) << "beyond the ellipse: the last colour";
}

TEST(EffectsLayer, RollingStepsRunOnlyInAWindow) {
    QWidget window;
    auto* layer = new EffectsLayer(&window);
    layer->setViewport(QRectF(0, 0, 40, 40), {});
    layer->configure(scanlines(QStringLiteral("rolling"), 0.5), testPalette());
    EXPECT_TRUE(layer->isRolling());
    for (int i = 0; i < 25; ++i) layer->rollingTick();
    EXPECT_NEAR(layer->rollingOffset(), 2.0, 1e-9);
    for (int i = 0; i < 35; ++i) layer->rollingTick();
    EXPECT_NEAR(layer->rollingOffset(), 0.8, 1e-9) << "wraps every 4 points";

    layer->configure(scanlines(QStringLiteral("standard"), 0.5), testPalette());
    EXPECT_FALSE(layer->isRolling());
    layer->configure(scanlines(QStringLiteral("rolling"), 0.5), testPalette());
    EXPECT_TRUE(layer->isRolling());
    // Taken out of its window it stops; configured again in one, it starts again.
    layer->setParent(nullptr);
    EXPECT_FALSE(layer->isRolling());
    layer->configure(scanlines(QStringLiteral("rolling"), 0.5), testPalette());
    EXPECT_FALSE(layer->isRolling());
    layer->setParent(&window);
    layer->configure(scanlines(QStringLiteral("rolling"), 0.5), testPalette());
    EXPECT_TRUE(layer->isRolling());
    SkinEffectsSettings off;
    layer->configure(off, testPalette());
    EXPECT_FALSE(layer->isRolling());
}

TEST(EffectsLayer, WarpedOntoTheQuadrilateral) {
    EffectsLayer layer;
    // A keystone: the top edge pulled in by 20 on each side.
    layer.setViewport(QRectF(10, 10, 100, 50), {{30, 10}, {90, 10}, {110, 60}, {10, 60}});
    EXPECT_EQ(layer.geometry(), QRect(10, 10, 100, 50));
    layer.configure(scanlines(QStringLiteral("standard"), 1), testPalette());
    const QImage image = draw(layer);
    EXPECT_EQ(qAlpha(image.pixel(2, 0)), 0) << "outside the quadrilateral";
    int covered = 0;
    for (int y = 0; y < 50; ++y) covered += qAlpha(image.pixel(50, y)) > 70;
    EXPECT_GT(covered, 18) << "half the rows are bands";
    EXPECT_LT(covered, 32);
}
