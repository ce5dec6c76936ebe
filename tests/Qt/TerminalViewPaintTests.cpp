// Painting: the dirty rows at cell positions, in their colours; the cursor is the caret's, not the rows'.
#include "ManualExecutor.h"
#include "ViewTestSupport.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

QImage paint(TerminalView& view) {
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    view.drawTerminalContents(painter, QRectF(QPointF(0, 0), QSizeF(view.size())));
    return image;
}

} // namespace

TEST(TerminalViewPaint, CellsPaintTheirBackgroundsAtTheirColumns) {
    ManualExecutor executor;
    TerminalView view(QRect(0, 0, 400, 250), testFont(), nullptr, &executor);
    const QSizeF cell = view.cellDimension();
    view.feed("ab\x1b[41m  \x1b[0m\r\n\x1b[44m\x1b[K\x1b[0mx");
    const QImage image = paint(view);
    // Compared at the image's 8 bits a channel.
    auto at = [&](int col, int row) {
        return image.pixel(int(cell.width() * (col + 0.5)), int(cell.height() * (row + 0.5)));
    };
    const QRgb red = view.mapColor(Attribute::Color::ansi256(1), false, false, true).rgb();
    const QRgb blue = view.mapColor(Attribute::Color::ansi256(4), false, false, true).rgb();
    const QRgb background = view.nativeBackgroundColor().rgb();
    EXPECT_EQ(at(2, 0), red);
    EXPECT_EQ(at(3, 0), red);
    EXPECT_EQ(at(4, 0), background);
    // An erased row in a background colour is that colour to the right edge.
    EXPECT_EQ(image.pixel(view.width() - 1, int(cell.height() * 1.5)), blue);
    // The cell of the cursor after the "x" is the row's: the caret is a widget of its own.
    EXPECT_EQ(at(1, 1), blue);
    // Nothing is left unpainted, the strip below the last row included.
    EXPECT_EQ(image.pixel(1, view.height() - 1), background);
}
