#pragma once

#include "BufferPool.h"
#include "CursorDrawBuilder.h"
#include "DrawData.h"
#include "FrameEncoder.h"
#include "GLBufferingMode.h"
#include "GLError.h"
#include "GlyphAtlas.h"
#include "GlyphEntries.h"
#include "GlyphRasterizer.h"
#include "ImageTextures.h"
#include "RowCache.h"
#include "RowDrawBuilder.h"
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
    // How often this process has compiled a shader library: once per renderer made.
    static int libraryCompilations();
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

    // MARK: Frames (GLTerminalRendererFrame.cpp)

    // One frame of the terminal view into the widget's framebuffer: the widget's paintGL.
    void draw(QOpenGLWidget& view);
    // A redraw asked for while a frame is drawn: one more frame follows it, however many asked.
    void setNeedsDisplay();
    bool frameInProgress() const { return _frameInProgress; }
    // The visible rows as draw data, through the row cache; empty without the terminal view.
    DrawData buildDrawData(double scale);
    // Starts the 0.7 s caret blink (phase on) or stops it (phase left on); otherwise nothing changes.
    void updateCursorBlinkTimer(bool shouldBlink);
    // One blink tick: the other phase, and a frame to show it.
    void cursorBlinkTick();
    static constexpr int cursorBlinkIntervalMs = 700;
    // "TESSALINE_PROFILE" exactly "1": every frame logs how long its stages took. Read once.
    static bool profileEnabled();
    static bool parseProfileSwitch(const char* value);

    // Buffers, textures and the pool on the widget's context; the builders of rows and caret over them;
    // the row cache that calls the builders (tests may swap its hooks).
    std::unique_ptr<GpuDevice> gpuDevice;
    std::unique_ptr<BufferPool> bufferPool;
    std::unique_ptr<ImageTextures> imageTextures;
    std::unique_ptr<RowDrawBuilder> rowDrawBuilder;
    std::unique_ptr<CursorDrawBuilder> cursorDrawBuilder;
    std::unique_ptr<RowCache> rowCache;
    // Frames drawn so far (those that got past the checks and reached the layers).
    int framesDrawn = 0;

private:
    GLTerminalRenderer() = default;
    // The device, pool, image textures, row and caret builders and the row cache, on the current context.
    void makeFrameBuilders();
    // The eight row layers, per row or from the aggregated frame, then the caret.
    void drawLayers(const DrawData& data, float viewportWidth, float viewportHeight);

    bool _frameInProgress = false;
};

// Atlas textures on the current GL context.
class GLAtlasDevice : public AtlasDevice {
public:
    std::unique_ptr<AtlasTexture> makeTexture(int side, GlyphAtlasFormat format) override;
};

} // namespace Tessaline
