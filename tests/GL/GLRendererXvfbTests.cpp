#include "GLTerminalRenderer.h"
#include "GpuRecords.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QRawFont>

#include <gtest/gtest.h>

#include "GLContextTest.h"

#include <dlfcn.h>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

// The GL driver is unloaded at exit, which leaves its process-long allocations without a module name;
// kept loaded, the leak checker can name them and the suppressions for the driver apply.
const bool driverPinned = [] {
    for (const char* library : {"libGLX_mesa.so.0", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                                "/usr/lib/aarch64-linux-gnu/dri/swrast_dri.so"})
        dlopen(library, RTLD_NOW | RTLD_NODELETE);
    return true;
}();


std::unique_ptr<GLTerminalRenderer> makeRenderer() {
    GLTerminalRenderer::Result result = GLTerminalRenderer::create(nullptr, nullptr);
    if (auto* error = std::get_if<GLError>(&result)) {
        ADD_FAILURE() << error->description().toStdString();
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<GLTerminalRenderer>>(result));
}

} // namespace

TEST_F(GLContextTest, TheShadersCompileAndEveryPipelineLinks) {
    auto renderer = makeRenderer();
    ASSERT_TRUE(renderer);
    for (const GLPipeline* pipeline :
         {&renderer->textPipeline, &renderer->textGrayPipeline, &renderer->colorPipeline,
          &renderer->cellTextPipeline, &renderer->cellTextGrayPipeline, &renderer->cellColorPipeline}) {
        ASSERT_TRUE(pipeline->program) << pipeline->name;
        EXPECT_TRUE(pipeline->program->isLinked()) << pipeline->name;
    }
    EXPECT_EQ(renderer->colorPipeline.sourceRgb, GLenum(GL_SRC_ALPHA));
    EXPECT_EQ(renderer->cellTextGrayPipeline.sourceRgb, GLenum(GL_ONE));
    EXPECT_NE(renderer->sampler, 0u);
    EXPECT_EQ(renderer->grayscaleAtlas->size(), 1024);
    EXPECT_EQ(renderer->colorAtlas->maxSize(), 2048);
}

TEST_F(GLContextTest, ASourceThatDoesNotCompileIsReportedWithTheCompilersWords) {
    ShaderLibrarySources sources;
    sources.loadShaderSource = [] {
        return std::optional<QString>(
            QStringLiteral("//! terminal_text_vertex\n#version 330 core\nvoid main() { nope }\n"));
    };
    GLTerminalRenderer::Result result = GLTerminalRenderer::create(nullptr, nullptr, sources);
    const GLError* error = std::get_if<GLError>(&result);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), GLError::Kind::shaderCompilationFailed);
    EXPECT_TRUE(error->description().startsWith(
        QStringLiteral("Failed to compile OpenGL shader source: terminal_text_vertex")))
        << error->description().toStdString();
}

// One cell: a red background, then a white 'W' from the gray atlas over it, read back y-up.
TEST_F(GLContextTest, OneCellWithAGlyphIsDrawnInItsColours) {
    auto renderer = makeRenderer();
    ASSERT_TRUE(renderer);
    QOpenGLFunctions* gl = _context.functions();

    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(28);
    const QRawFont raw = QRawFont::fromFont(font);
    const quint32 glyph = raw.glyphIndexesForString(QStringLiteral("W")).value(0);
    const std::optional<GlyphBitmap> bitmap = renderer->rasterizer.rasterize(raw, glyph);
    ASSERT_TRUE(bitmap);
    GlyphAtlas& atlas = *renderer->grayscaleAtlas;
    const AtlasRegion region = *atlas.ensureRegion(bitmap->width, bitmap->height);
    atlas.write(region, bitmap->pixels, bitmap->width, bitmap->height);

    const int width = 40;
    const int height = 40;
    QOpenGLFramebufferObject target(width, height);
    ASSERT_TRUE(target.bind());
    gl->glViewport(0, 0, width, height);
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);

    const ColorCell background{{0, 0}, {float(width), float(height)}, {1, 0, 0, 1}};
    const float side = float(atlas.size());
    const TextCell text{{5, 5},
                        {float(bitmap->width), float(bitmap->height)},
                        {region.x / side, region.y / side},
                        {region.width / side, region.height / side},
                        {1, 1, 1, 1}};
    GLuint buffers[2];
    gl->glGenBuffers(2, buffers);
    gl->glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    gl->glBufferData(GL_ARRAY_BUFFER, sizeof background, &background, GL_STATIC_DRAW);
    gl->glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    gl->glBufferData(GL_ARRAY_BUFFER, sizeof text, &text, GL_STATIC_DRAW);
    renderer->draw(renderer->cellColorPipeline, buffers[0], 1, 0, width, height);
    renderer->draw(renderer->cellTextGrayPipeline, buffers[1], 1, atlas.texture().textureId(), width, height);
    gl->glFinish();
    ASSERT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));

    // toImage flips to y-down; the glyph's bitmap rows were flipped into the atlas, so it reads upright.
    const QImage image = target.toImage();
    target.release();
    gl->glDeleteBuffers(2, buffers);
    int white = 0;
    int red = 0;
    int other = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() == 255 && c.green() == 255 && c.blue() == 255)
                ++white;
            else if (c == QColor(255, 0, 0))
                ++red;
            else if (c.red() == 255 && c.green() == c.blue())
                ++other; // antialiased edges: red towards white
            else
                ADD_FAILURE() << "unexpected colour at " << x << "," << y;
        }
    }
    EXPECT_GT(white, 20);
    EXPECT_GT(red, width * height / 2);
    // The glyph sits in the lower left: image rows near the top (y-down) are plain background.
    for (int x = 0; x < width; ++x)
        EXPECT_EQ(image.pixelColor(x, 0), QColor(255, 0, 0));
    // 'W' is wider at its top than at its bottom: compare the covered widths of its first and last rows.
    const int top = height - 5 - bitmap->height - bitmap->bearing.y();
    auto coverage = [&](int y) {
        int n = 0;
        for (int x = 0; x < width; ++x)
            n += image.pixelColor(x, y).green() > 128;
        return n;
    };
    EXPECT_GE(coverage(top + 1), coverage(height - 5 - 2));
}
