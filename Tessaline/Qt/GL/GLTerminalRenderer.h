#pragma once

#include "FrameEncoder.h"
#include "GLError.h"
#include "GlyphAtlas.h"
#include "GlyphEntries.h"
#include "GlyphRasterizer.h"
#include "ShaderLibrary.h"

#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>
#include <QPointer>

#include <array>
#include <memory>
#include <mutex>
#include <variant>

class QOpenGLContext;
class QOpenGLWidget;
class QTimer;

namespace Tessaline {

class TerminalView;

// How the row cache keeps GPU buffers: one set per visible row across frames, or only the rows' draw
// data, uploaded whole into pooled buffers each frame.
enum class GLBufferingMode {
    perRowPersistent,
    perFrameAggregated
};

// Which record a pipeline's vertex buffer holds.
enum class GLRecordKind {
    glyphVertex,
    colorVertex,
    colorCell,
    textCell
};

// One vertex/fragment program with its blending and record layout.
struct GLPipeline {
    const char* name = "";
    std::unique_ptr<QOpenGLShaderProgram> program;
    GLRecordKind records = GLRecordKind::glyphVertex;
    GLenum sourceRgb = GL_ONE;
    // Cell pipelines draw six vertices per record, one record per instance.
    bool perCell() const { return records == GLRecordKind::colorCell || records == GLRecordKind::textCell; }
};

// Draws one TerminalView through OpenGL 3.3 core inside the view's GL widget. Made while that widget's
// context is current (its initializeGL); everything it owns belongs to that context.
class GLTerminalRenderer : public FrameEncoder, protected QOpenGLExtraFunctions {
public:
    using Result = std::variant<std::unique_ptr<GLTerminalRenderer>, GLError>;

    // Nothing of the renderer survives a failure. `atlasDevice` and `sources` are for tests.
    static Result create(QOpenGLWidget* view, TerminalView* terminalView,
                         const ShaderLibrarySources& sources = ShaderLibrarySources::standard(),
                         AtlasDevice* atlasDevice = nullptr);
    ~GLTerminalRenderer();
    GLTerminalRenderer(const GLTerminalRenderer&) = delete;
    GLTerminalRenderer& operator=(const GLTerminalRenderer&) = delete;

    // Binds a pipeline, its blending, the record layout of `buffer` and the texture on unit 0, then
    // draws `count` records (vertices, or cells of six vertices) into the current framebuffer.
    void draw(const GLPipeline& pipeline, GLuint buffer, int count, GLuint texture, float viewportWidth,
              float viewportHeight);
    // The frame encoder's draw: the pipeline of that kind over a GPU buffer.
    void draw(PipelineKind pipeline, const GpuBuffer& buffer, int count, unsigned texture,
              Float2 viewport) override;
    GLPipeline& pipeline(PipelineKind kind);

    QPointer<TerminalView> terminalView;
    QPointer<QOpenGLWidget> view;
    QOpenGLContext* device = nullptr;
    // The vertex array every draw goes through: the GL counterpart of a command queue.
    GLuint commandQueue = 0;
    GLPipeline textPipeline;
    GLPipeline textGrayPipeline;
    GLPipeline colorPipeline;
    GLPipeline cellTextPipeline;
    GLPipeline cellTextGrayPipeline;
    GLPipeline cellColorPipeline;
    GLuint sampler = 0;
    std::unique_ptr<AtlasDevice> ownAtlasDevice;
    std::unique_ptr<GlyphAtlas> grayscaleAtlas;
    std::unique_ptr<GlyphAtlas> colorAtlas;
    GlyphRasterizer rasterizer;
    // The shaping cache, scaled fonts, glyph and custom glyph entries over the two atlases.
    std::unique_ptr<GlyphEntries> glyphEntries;
    bool atlasResetDuringBuild = false;
    bool atlasResetHandled = false;
    QTimer* cursorBlinkTimer = nullptr;
    bool cursorBlinkOn = true;
    bool pendingRedraw = false;
    std::mutex redrawLock;

private:
    GLTerminalRenderer() = default;
};

// Atlas textures on the current GL context.
class GLAtlasDevice : public AtlasDevice {
public:
    std::unique_ptr<AtlasTexture> makeTexture(int side, GlyphAtlasFormat format) override;
};

} // namespace Tessaline
