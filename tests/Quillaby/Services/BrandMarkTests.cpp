#include "App/AppResources.h"
#include "Services/BrandMark.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace Quillaby;

namespace {

class BrandMarkTest : public testing::Test {
protected:
    void SetUp() override {
        AppResources::setBundleForTesting(bundle.path());
        BrandMark::resetForTesting();
    }
    void TearDown() override {
        AppResources::setBundleForTesting(std::nullopt);
        BrandMark::resetForTesting();
    }

    void writeImage(const QString& name, QSize size, QColor color) {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(color);
        ASSERT_TRUE(image.save(bundle.path() + "/" + name + ".png"));
    }

    QTemporaryDir bundle;
};

QColor centreOf(QWidget* view) {
    return view ? static_cast<BrandMarkView*>(view)->image().pixelColor(0, 0) : QColor();
}

} // namespace

TEST_F(BrandMarkTest, PrefersTheMarkForTheBackgroundThenTheOther) {
    writeImage("quillaby-mark", {200, 100}, Qt::red);
    writeImage("quillaby-mark-dark", {200, 100}, Qt::blue);
    std::unique_ptr<QWidget> light(BrandMark::view(56, false));
    std::unique_ptr<QWidget> dark(BrandMark::view(56, true));
    EXPECT_EQ(centreOf(light.get()), QColor(Qt::red));
    EXPECT_EQ(centreOf(dark.get()), QColor(Qt::blue));
    // Width from the aspect ratio.
    EXPECT_EQ(light->size(), QSize(112, 56));
}

TEST_F(BrandMarkTest, FallsBackToTheOtherMarkThenToNothing) {
    writeImage("quillaby-mark-dark", {64, 64}, Qt::blue);
    std::unique_ptr<QWidget> light(BrandMark::view(56, false));
    EXPECT_EQ(centreOf(light.get()), QColor(Qt::blue));
    EXPECT_FALSE(BrandMark::cached());

    BrandMark::resetForTesting();
    QFile::remove(bundle.path() + "/quillaby-mark-dark.png");
    QFile junk(bundle.path() + "/quillaby-mark.png");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a png");
    junk.close();
    EXPECT_EQ(BrandMark::view(56, false), nullptr);
    EXPECT_EQ(BrandMark::view(56, true), nullptr);
}

TEST_F(BrandMarkTest, EachMarkIsReadOnceAndAnAbsentOneStaysAbsent) {
    EXPECT_FALSE(BrandMark::cached());
    writeImage("quillaby-mark", {64, 64}, Qt::red);
    EXPECT_FALSE(BrandMark::cached());
    BrandMark::resetForTesting();
    ASSERT_TRUE(BrandMark::cached());
    QFile::remove(bundle.path() + "/quillaby-mark.png");
    EXPECT_TRUE(BrandMark::cached());
}

TEST(BrandMark, TheShippedMarksLoad) {
    AppResources::setBundleForTesting(QStringLiteral(QUILLABY_SOURCE_DIR "/Quillaby/Resources"));
    BrandMark::resetForTesting();
    EXPECT_TRUE(BrandMark::cached());
    EXPECT_TRUE(BrandMark::cachedDark());
    AppResources::setBundleForTesting(std::nullopt);
    BrandMark::resetForTesting();
}
