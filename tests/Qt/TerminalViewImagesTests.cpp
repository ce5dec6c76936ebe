// Images in the view: strips one cell row high on consecutive lines, painted where their placement says,
// moving with the text and gone when deleted, for Kitty, Sixel and OSC 1337 images.
#include "ManualExecutor.h"
#include "ViewImageStrip.h"
#include "ViewTestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

struct ImageFixture {
    ManualExecutor executor;
    TerminalView view{QRect(0, 0, 400, 240), testFont(), nullptr, &executor};
    QSizeF cell = view.cellDimension();

    Buffer& buffer() { return view.terminal().displayBuffer(); }
    // The strips on the line of a screen row.
    int stripsOnRow(int row) {
        const BufferLine& line = *buffer().lines()[buffer().yDisp() + row];
        return line.images ? int(line.images->size()) : 0;
    }
    QImage paint() {
        QImage image(view.size(), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        view.drawTerminalContents(painter, QRectF(QPointF(0, 0), QSizeF(view.size())));
        return image;
    }
    // The colour at the middle of a cell.
    QRgb at(const QImage& image, int col, int row) {
        return image.pixel(int(cell.width() * (col + 0.5)), int(cell.height() * (row + 0.5)));
    }
};

} // namespace

TEST(TerminalViewImages, StripsAreOneCellRowEachAndTheCursorEndsBelowTheImage) {
    struct Case {
        const char* name;
        double cellsHigh;
        int strips;
    };
    const std::vector<Case> cases = {{"3.0 cells", 3.0, 3}, {"2.2 cells", 2.2, 3}, {"one pixel", 0.01, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageFixture f;
        f.view.feed("\x1b[2;5H");
        const CellPixelSize px = *f.view.cellSizeInPixels(f.view.terminal());
        const int height = std::max(1, int(std::lround(px.height * c.cellsHigh)));
        std::vector<uint8_t> bytes(size_t(20 * height * 4), 255);
        f.view.createImageFromBitmap(f.view.terminal(), bytes, 20, height);
        for (int row = 1; row < 1 + c.strips; ++row)
            EXPECT_EQ(f.stripsOnRow(row), 1) << row;
        EXPECT_EQ(f.stripsOnRow(1 + c.strips), 0);
        EXPECT_EQ(f.buffer().y(), 1 + c.strips);
        EXPECT_EQ(f.buffer().x(), 4);
        const auto* strip = dynamic_cast<const ViewImageStrip*>(
            f.buffer().lines()[f.buffer().yDisp() + 1]->images->front().get());
        ASSERT_NE(strip, nullptr);
        EXPECT_EQ(strip->pixelHeight(), px.height);
        EXPECT_EQ(strip->pixelWidth(), 20);
        EXPECT_EQ(strip->col(), 4);
    }
}

TEST(TerminalViewImages, AKittyImagePaintsAtItsColumnScrollsWithTheTextAndLeavesWhenDeleted) {
    ImageFixture f;
    const QSize size = QSizeF(f.cell.width() * 2, f.cell.height() * 2).toSize();
    f.view.feed("top\r\n\x1b[5C\x1b_Ga=T,f=100,q=2,c=2,r=2;" + halvesPng(size) + "\x1b\\");
    QImage image = f.paint();
    for (int row : {1, 2}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(f.at(image, 5, row), qRgb(255, 0, 0));
        EXPECT_EQ(f.at(image, 6, row), qRgb(0, 255, 0));
        EXPECT_EQ(f.at(image, 7, row), f.view.nativeBackgroundColor().rgb());
    }
    EXPECT_EQ(f.at(image, 4, 1), f.view.nativeBackgroundColor().rgb());

    // Two lines of scrolling move it up by two rows, with the text.
    const int rows = f.view.terminal().rows();
    f.view.feed("\x1b[" + std::to_string(rows) + ";1H\r\n\r\n");
    image = f.paint();
    EXPECT_EQ(f.at(image, 5, 0), qRgb(255, 0, 0));
    EXPECT_EQ(f.at(image, 6, 0), qRgb(0, 255, 0));
    EXPECT_NE(f.at(image, 5, 1), qRgb(255, 0, 0));

    // Deleting every placement clears its pixels.
    f.view.feed("\x1b_Ga=d,q=2\x1b\\");
    image = f.paint();
    EXPECT_EQ(f.at(image, 5, 0), f.view.nativeBackgroundColor().rgb());
    EXPECT_EQ(f.at(image, 6, 0), f.view.nativeBackgroundColor().rgb());
}

TEST(TerminalViewImages, SixelAndInlineImagesAppearAtTheCursor) {
    struct Case {
        const char* name;
        std::string (*sequence)(QSize);
    };
    const std::vector<Case> cases = {
        {"sixel",
         [](QSize size) {
             // Red, in whole bands of six rows that stay inside two cell rows and reach into the second.
             const int bands = size.height() / 6;
             std::string sixel = "\x1bPq\"1;1;" + std::to_string(size.width()) + ";" +
                                 std::to_string(bands * 6) + "#1;2;100;0;0#1";
             for (int band = 0; band < bands; ++band)
                 sixel += "!" + std::to_string(size.width()) + "~-";
             return sixel + "\x1b\\";
         }},
        {"OSC 1337",
         [](QSize size) {
             return "\x1b]1337;File=inline=1;width=" + std::to_string(size.width()) +
                    "px;height=" + std::to_string(size.height()) + "px:" + halvesPng(size) + "\a";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageFixture f;
        const QSize size = QSizeF(f.cell.width() * 4, f.cell.height() * 2).toSize();
        f.view.feed("\x1b[3;3H" + c.sequence(size));
        const QImage image = f.paint();
        EXPECT_EQ(f.at(image, 2, 2), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(int(f.cell.width() * 3.5), int(f.cell.height() * 3.2)), qRgb(255, 0, 0));
        EXPECT_EQ(f.at(image, 1, 2), f.view.nativeBackgroundColor().rgb());
        EXPECT_EQ(f.at(image, 2, 4), f.view.nativeBackgroundColor().rgb());
        EXPECT_EQ(f.buffer().y(), 4);
    }
}

TEST(TerminalViewImages, UndecodableAndOversizedFilesShowNothing) {
    ImageFixture f;
    f.view.feed("\x1b]1337;File=inline=1:bm90IGFuIGltYWdl\a");
    // A PNG header claiming 60000 x 60000 pixels.
    QByteArray header = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") +
                        QByteArray::fromHex("0000ea600000ea600806000000");
    f.view.feed("\x1b]1337;File=inline=1:" + header.toBase64().toStdString() + "\a");
    EXPECT_EQ(f.stripsOnRow(0), 0);
    EXPECT_EQ(f.buffer().y(), 0);
}

TEST(TerminalViewImages, UnicodePlaceholderCellsShowTheirSliceOfTheImage) {
    ImageFixture f;
    const QSize size = QSizeF(f.cell.width() * 2, f.cell.height()).toSize();
    // Image 42, a virtual placement two cells by one, then its two cells at column 3 (the foreground colour
    // names the image; row 0 and column 0 by diacritics, the second cell continuing the first).
    const std::string placeholder = "\U0010EEEE";
    f.view.feed("\x1b_Ga=t,f=100,i=42,q=2;" + halvesPng(size) + "\x1b\\\x1b_Ga=p,U=1,i=42,c=2,r=1,q=2\x1b\\");
    f.view.feed("\x1b[1;4H\x1b[38;5;42m" + placeholder + "\u0305\u0305" + placeholder + "\x1b[0m");
    QImage image = f.paint();
    EXPECT_EQ(f.at(image, 3, 0), qRgb(255, 0, 0));
    EXPECT_EQ(f.at(image, 4, 0), qRgb(0, 255, 0));
    EXPECT_EQ(f.at(image, 5, 0), f.view.nativeBackgroundColor().rgb());

    // Cells of an image with no virtual placement draw nothing.
    f.view.feed("\x1b[2;4H\x1b[38;5;43m" + placeholder + "\u0305\u0305\x1b[0m");
    image = f.paint();
    EXPECT_EQ(f.at(image, 3, 1), f.view.nativeBackgroundColor().rgb());
}

TEST(TerminalViewImages, KittyZIndexPutsAnImageUnderOrOverTheText) {
    for (int z : {-1, 0}) {
        SCOPED_TRACE(z);
        ImageFixture f;
        const QSize size = QSizeF(f.cell.width() * 2, f.cell.height()).toSize();
        // The cursor stays put (C=1), and full blocks in blue are written over the image's cells.
        f.view.feed("\x1b_Ga=T,f=100,q=2,C=1,c=2,r=1,z=" + std::to_string(z) + ";" + halvesPng(size) +
                    "\x1b\\");
        f.view.feed("\x1b[38;2;0;0;255m\u2588\u2588\x1b[0m");
        const QImage image = f.paint();
        EXPECT_EQ(f.at(image, 0, 0), z < 0 ? qRgb(0, 0, 255) : qRgb(255, 0, 0));
        EXPECT_EQ(f.at(image, 1, 0), z < 0 ? qRgb(0, 0, 255) : qRgb(0, 255, 0));
    }
}
