// Images drawn through the GPU path read back the same way up as on the painted path: a Kitty RGBA
// bitmap, a Kitty PNG and a Sixel image, each in colour bands that change inside every cell row.
#include "GLGpuDevice.h"
#include "GLTerminalRenderer.h"
#include "ImageTextures.h"
#include "ManualExecutor.h"
#include "RowDrawBuilder.h"
#include "ViewTestSupport.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QPainter>

#include <gtest/gtest.h>

#include "GLContextTest.h"

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

using ImageDrawTest = GLContextTest;

// A picture 2 x 2 cells in four horizontal bands, half a cell high each: red, green, blue, yellow; the
// top half of the first band is cut to white on the right, so a mirror image would show too.
const QColor bandColours[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};

QImage bands(QSize size) {
    QImage picture(size, QImage::Format_RGBA8888);
    QPainter painter(&picture);
    for (int band = 0; band < 4; ++band)
        painter.fillRect(QRect(0, size.height() * band / 4, size.width(), size.height() / 4 + 1), bandColours[band]);
    painter.fillRect(QRect(size.width() / 2, 0, size.width(), size.height() / 8), Qt::white);
    return picture;
}

std::string base64(const QByteArray& bytes) {
    return bytes.toBase64().toStdString();
}

std::string kittyRgba(QSize size) {
    const QImage picture = bands(size);
    const QByteArray bytes(reinterpret_cast<const char*>(picture.constBits()), picture.sizeInBytes());
    return "\x1b_Ga=T,f=32,q=2,c=2,r=2,s=" + std::to_string(size.width()) + ",v=" + std::to_string(size.height()) +
           ";" + base64(bytes) + "\x1b\\";
}

std::string kittyPng(QSize size) {
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    bands(size).save(&out, "PNG");
    return "\x1b_Ga=T,f=100,q=2,c=2,r=2;" + base64(bytes) + "\x1b\\";
}

// The same bands in sixel bands of six rows, each in the colour of its middle row.
std::string sixel(QSize size) {
    const int count = size.height() / 6;
    std::string out = "\x1bPq\"1;1;" + std::to_string(size.width()) + ";" + std::to_string(count * 6) +
                      "#0;2;100;0;0#1;2;0;100;0#2;2;0;0;100#3;2;100;100;0";
    for (int band = 0; band < count; ++band) {
        const int colour = std::min(3, (band * 6 + 3) * 4 / size.height());
        out += "#" + std::to_string(colour) + "!" + std::to_string(size.width()) + "~-";
    }
    return out + "\x1b\\";
}

} // namespace

TEST_F(ImageDrawTest, ImagesReadBackTheSameWayUpAsOnThePaintedPath) {
    struct Case {
        const char* name;
        std::string (*sequence)(QSize);
    };
    const std::vector<Case> cases = {
        {"Kitty RGBA", kittyRgba}, {"Kitty PNG", kittyPng}, {"Sixel", sixel}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ManualExecutor executor;
        TerminalView view(QRect(0, 0, 200, 120), testFont(), nullptr, &executor);
        const QSizeF cell = view.cellDimension();
        const QSize size = QSizeF(cell.width() * 2, cell.height() * 2).toSize();
        view.feed("\x1b[2;3H" + c.sequence(size));

        // The painted path.
        QImage painted(view.size(), QImage::Format_RGB32);
        painted.fill(view.nativeBackgroundColor());
        {
            QPainter painter(&painted);
            view.drawTerminalContents(painter, QRectF(QPointF(0, 0), QSizeF(view.size())));
        }

        // The GPU path: every visible row's records into its own buffers, drawn layer by layer.
        GLTerminalRenderer::Result made = GLTerminalRenderer::create(nullptr, &view);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<GLTerminalRenderer>>(made));
        GLTerminalRenderer& renderer = *std::get<std::unique_ptr<GLTerminalRenderer>>(made);
        GLGpuDevice gpu;
        ImageTextures images(gpu, &view);
        RowDrawBuilder builder(&view, *renderer.glyphEntries, *renderer.grayscaleAtlas, *renderer.colorAtlas,
                               images, gpu);
        Buffer& buffer = view.terminal().displayBuffer();
        const std::optional<VisibleRows> visible = RowDrawBuilder::visibleRowRange(buffer);
        ASSERT_TRUE(visible);
        const QFontMetricsF metrics(view.fontSet().normal);
        std::vector<RowDrawBuffers> rows;
        for (int row = visible->firstRow; row <= visible->lastRow; ++row) {
            const RowDrawData data =
                builder.buildRowDrawData(row, buffer, visible->yDisp, cell.width(), cell.height(),
                                         std::ceil(metrics.descent() + metrics.leading()), view.width(), 1, {});
            rows.push_back(builder.makeRowBuffers(data));
        }
        int imageDraws = 0;
        for (const RowDrawBuffers& row : rows)
            imageDraws += int(row.underImageBuffers.size() + row.overImageBuffers.size() + row.otherImageBuffers.size());
        EXPECT_EQ(imageDraws, 2);

        QOpenGLFramebufferObject target(view.size());
        ASSERT_TRUE(target.bind());
        QOpenGLFunctions* gl = _context.functions();
        gl->glViewport(0, 0, view.width(), view.height());
        const QColor background = view.nativeBackgroundColor();
        gl->glClearColor(background.redF(), background.greenF(), background.blueF(), 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        const Float2 viewport{float(view.width()), float(view.height())};
        for (const RowDrawBuffers& row : rows)
            if (row.backgroundBuffer)
                renderer.draw(PipelineKind::cellColor, *row.backgroundBuffer, row.backgroundCount, 0, viewport);
        drawImageRows(renderer, rows, &RowDrawBuffers::underImageBuffers, viewport);
        drawImageRows(renderer, rows, &RowDrawBuffers::overImageBuffers, viewport);
        drawImageRows(renderer, rows, &RowDrawBuffers::otherImageBuffers, viewport);
        gl->glFinish();
        ASSERT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
        const QImage drawn = target.toImage().convertToFormat(QImage::Format_RGB32);
        target.release();

        auto at = [&](const QImage& image, double col, double row) {
            return QColor(image.pixel(int(cell.width() * col), int(cell.height() * row)));
        };
        // Inside each cell row the colours change from top to bottom: drawn upside down, they would not
        // match the painted ones.
        EXPECT_NE(at(painted, 2.5, 1.2), at(painted, 2.5, 1.8));
        EXPECT_NE(at(painted, 2.5, 2.2), at(painted, 2.5, 2.8));
        for (double row : {1.05, 1.2, 1.8, 2.2, 2.8})
            for (double col : {2.2, 3.8}) {
                SCOPED_TRACE(std::to_string(col) + "," + std::to_string(row));
                EXPECT_EQ(at(drawn, col, row), at(painted, col, row));
            }
        EXPECT_EQ(at(drawn, 1.5, 1.5), background);
        rows.clear();
    }
}
