// Row drawing into images: backgrounds and selection, the lines under and through text, double rows and
// concealed text, found by colour at rows and columns of pixels (no glyph images).
#include "ManualExecutor.h"
#include "ViewTestSupport.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <set>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

struct PaintFixture {
    ManualExecutor executor;
    TerminalView view{QRect(0, 0, 400, 200), testFont(), nullptr, &executor};
    QSizeF cell = view.cellDimension();

    QImage paint(double scale = 1) {
        QImage image((QSizeF(view.size()) * scale).toSize(), QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        view.drawTerminalContents(painter, QRectF(QPointF(0, 0), QSizeF(view.size())));
        return image;
    }
    QRgb fg(int index) { return view.mapColor(Attribute::Color::ansi256(index), true, false, true).rgb(); }
    QRgb bg(int index) { return view.mapColor(Attribute::Color::ansi256(index), false, false, true).rgb(); }
    // The rows of pixels of a cell band (row `row`, columns c0 up to c1) that hold the colour.
    static std::set<int> rowsWith(const QImage& image, QRgb color, int x0, int x1, int y0, int y1) {
        std::set<int> rows;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (image.pixel(x, y) == color) rows.insert(y - y0);
        return rows;
    }
    // Runs of the colour along one row of pixels.
    static int runsAlong(const QImage& image, QRgb color, int x0, int x1, int y) {
        int runs = 0;
        bool in = false;
        for (int x = x0; x < x1; ++x) {
            const bool hit = image.pixel(x, y) == color;
            runs += hit && !in;
            in = hit;
        }
        return runs;
    }
};

} // namespace

TEST(RowPainter, BackgroundsReachTheRightEdgeFromTheLastColumnAndSelectionReplacesThem) {
    PaintFixture f;
    const int cols = f.view.terminal().cols();
    // A red cell on the last column of row 0; a blue run in the middle of row 1.
    f.view.feed("\x1b[1;" + std::to_string(cols) + "H\x1b[41mx\x1b[0m\x1b[2;3H\x1b[44mab\x1b[0m");
    QImage image = f.paint();
    // Near the top of the rows, above the glyphs.
    const int mid0 = 1;
    const int mid1 = int(f.cell.height()) + 2;
    const double gridRight = f.cell.width() * cols;
    // Past the grid, beside the last column, the run's colour goes on to the view's edge.
    EXPECT_EQ(image.pixel(int(gridRight) + 1, mid0), f.bg(1));
    EXPECT_EQ(image.pixel(f.view.width() - 1, mid0), f.bg(1));
    // A run in the middle stops at its last column.
    EXPECT_EQ(image.pixel(int(f.cell.width() * 3.5), mid1), f.bg(4));
    EXPECT_EQ(image.pixel(int(f.cell.width() * 5.5), mid1), f.view.nativeBackgroundColor().rgb());

    // Columns 3 to 4 of row 1 selected: the selection colour, not the blue.
    const QColor selection(10, 200, 30);
    f.view.setSelectedTextBackgroundColor(selection);
    const int line = f.view.terminal().displayBuffer().yDisp() + 1;
    f.view.selection().setSelection(Position(3, line), Position(5, line));
    image = f.paint();
    EXPECT_EQ(image.pixel(int(f.cell.width() * 2.5), mid1), f.bg(4));
    EXPECT_EQ(image.pixel(int(f.cell.width() * 3.5), mid1), selection.rgb());
    EXPECT_EQ(image.pixel(int(f.cell.width() * 4.5), mid1), selection.rgb());
    EXPECT_EQ(image.pixel(int(f.cell.width() * 5.5), mid1), f.view.nativeBackgroundColor().rgb());
}

TEST(RowPainter, UnderlineStylesAndStrikethroughSitWhereTheyShould) {
    struct Case {
        const char* name;
        std::string sgr;
        // Rows of pixels holding the line colour, at least / at most; runs along the first of them.
        int minRows;
        int maxRows;
        bool gaps;
    };
    // Each line in its own colour (SGR 58), over a row of spaces so that no glyph is in the way.
    const std::vector<Case> cases = {
        {"single", "4:1", 1, 2, false}, {"double", "4:2", 2, 4, false},
        {"curly", "4:3", 2, 12, false}, {"dotted", "4:4", 1, 2, true},
        {"dashed", "4:5", 1, 2, true},  {"a bare underline flag is single", "4", 1, 2, false},
    };
    for (double scale : {1.0, 2.0}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (scale == 1 ? " at scale 1" : " at scale 2"));
            PaintFixture f;
            f.view.feed("\x1b[" + c.sgr + ";58:2::250:10:20m      \x1b[0m");
            const QImage image = f.paint(scale);
            const QRgb line = qRgb(250, 10, 20);
            const int y0 = 0, y1 = int(f.cell.height() * scale);
            const int x1 = int(f.cell.width() * 6 * scale);
            const std::set<int> rows = PaintFixture::rowsWith(image, line, 0, x1, y0, y1);
            ASSERT_FALSE(rows.empty());
            EXPECT_GE(int(rows.size()), c.minRows * int(scale));
            EXPECT_LE(int(rows.size()), c.maxRows * int(scale));
            // Below the middle of the cell, under the baseline's side.
            EXPECT_GT(*rows.begin(), y1 / 2);
            if (c.name == std::string("double")) {
                // Two lines with a gap between them.
                EXPECT_GT(*rows.rbegin() - *rows.begin() + 1, int(rows.size()));
            }
            const int runs = PaintFixture::runsAlong(image, line, 0, x1, *rows.begin() + y0);
            if (c.gaps) {
                EXPECT_GE(runs, 6);
            } else if (c.name != std::string("curly")) {
                EXPECT_EQ(runs, 1);
            }
            // Nothing past the six cells.
            EXPECT_TRUE(
                PaintFixture::rowsWith(image, line, x1 + 1, int(f.view.width() * scale), y0, y1).empty());
        }
    }

    // A strikethrough in the foreground, above the underline's place and through the middle of the text.
    PaintFixture f;
    f.view.feed("\x1b[9;38:2::250:10:20m      \x1b[0m");
    const QImage image = f.paint();
    const std::set<int> rows =
        PaintFixture::rowsWith(image, qRgb(250, 10, 20), 0, int(f.cell.width() * 6), 0, int(f.cell.height()));
    ASSERT_FALSE(rows.empty());
    EXPECT_LE(int(rows.size()), 2);
    EXPECT_GT(*rows.begin(), int(f.cell.height() / 4));
    EXPECT_LT(*rows.begin(), int(f.cell.height() * 3 / 4));
}

TEST(RowPainter, AWideCharactersUnderlineCoversBothItsColumns) {
    PaintFixture f;
    f.view.feed("\x1b[4;58:2::250:10:20m\u6f22\x1b[0m");
    const QImage image = f.paint();
    const std::set<int> rows =
        PaintFixture::rowsWith(image, qRgb(250, 10, 20), 0, int(f.cell.width() * 2), 0, int(f.cell.height()));
    ASSERT_FALSE(rows.empty());
    const int y = *rows.begin();
    EXPECT_EQ(image.pixel(1, y), qRgb(250, 10, 20));
    EXPECT_EQ(image.pixel(int(f.cell.width() * 2) - 1, y), qRgb(250, 10, 20));
    EXPECT_NE(image.pixel(int(f.cell.width() * 2) + 1, y), qRgb(250, 10, 20));
}

TEST(RowPainter, ConcealedTextKeepsItsBackgroundAndDrawsNoGlyph) {
    PaintFixture f;
    f.view.feed("\x1b[8;38:2::250:10:20;48:2::0:0:90mMMMM\x1b[0m");
    const QImage image = f.paint();
    const QRect cells = QRectF(QPointF(0, 0), QSizeF(f.cell.width() * 4, f.cell.height())).toAlignedRect();
    for (int y = cells.top(); y < cells.bottom(); ++y)
        for (int x = cells.left(); x < cells.right(); ++x)
            ASSERT_EQ(image.pixel(x, y), qRgb(0, 0, 90)) << x << "," << y;
}

TEST(RowPainter, DoubleRowsDrawTheirCellsTwiceAsLarge) {
    // A red block in a double-width row covers two columns; in a double-height pair, two rows as well.
    PaintFixture f;
    f.view.feed("\x1b#6\x1b[31m\u2588\x1b[0m\r\n\x1b#3\x1b[32m\u2588\x1b[0m\r\n\x1b#4\x1b[32m\u2588\x1b[0m");
    const QImage image = f.paint();
    const double w = f.cell.width(), h = f.cell.height();
    EXPECT_EQ(image.pixel(int(w * 1.5), int(h * 0.5)), f.fg(1));
    EXPECT_NE(image.pixel(int(w * 2.5), int(h * 0.5)), f.fg(1));
    for (double row : {1.1, 1.9, 2.1, 2.9}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(image.pixel(int(w * 1.5), int(h * row)), f.fg(2));
        EXPECT_NE(image.pixel(int(w * 2.5), int(h * row)), f.fg(2));
    }
}
