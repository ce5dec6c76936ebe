#include "GLTerminalRenderer.h"

#include "GLGpuDevice.h"
#include "GpuRecords.h"
#include "TerminalView.h"

#include <QOpenGLContext>
#include <QOpenGLShader>
#include <QOpenGLWidget>
#include <QTimer>

#include <map>

namespace Tessaline {

namespace {

class GLAtlasTexture : public AtlasTexture {
public:
    GLAtlasTexture(QOpenGLExtraFunctions* gl, GLuint id, GlyphAtlasFormat format)
        : _gl(gl)
        , _id(id)
        , _format(format) {}
    ~GLAtlasTexture() override {
        if (QOpenGLContext::currentContext()) _gl->glDeleteTextures(1, &_id);
    }
    void upload(int x, int y, int width, int height, const std::uint8_t* data, int bytesPerRow) override {
        const int bytesPerPixel = _format == GlyphAtlasFormat::grayscale ? 1 : 4;
        _gl->glBindTexture(GL_TEXTURE_2D, _id);
        _gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        _gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, bytesPerRow / bytesPerPixel);
        _gl->glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height,
                             _format == GlyphAtlasFormat::grayscale ? GL_RED : GL_BGRA, GL_UNSIGNED_BYTE,
                             data);
        _gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    }
    unsigned textureId() const override { return _id; }

private:
    QOpenGLExtraFunctions* _gl;
    GLuint _id;
    GlyphAtlasFormat _format;
};

using CompiledStages = std::map<QString, std::shared_ptr<QOpenGLShader>>;

int compilations = 0;

// Compiles each stage once; the pipelines link from these.
std::optional<QString> compileStages(const ShaderLibrary& library, CompiledStages& stages) {
    ++compilations;
    stages.clear();
    for (auto it = library.functions().constBegin(); it != library.functions().constEnd(); ++it) {
        const bool vertex = it.key().endsWith(QStringLiteral("_vertex"));
        auto shader =
            std::make_shared<QOpenGLShader>(vertex ? QOpenGLShader::Vertex : QOpenGLShader::Fragment);
        if (!shader->compileSourceCode(it.value()))
            return it.key() + QStringLiteral(": ") + shader->log().trimmed();
        stages[it.key()] = shader;
    }
    return std::nullopt;
}

struct VertexAttribute {
    GLuint location;
    GLint components;
    std::size_t offset;
};

// VertexAttribute locations as the shaders declare them, offsets as the records lay them out.
std::vector<VertexAttribute> attributes(GLRecordKind kind) {
    switch (kind) {
    case GLRecordKind::glyphVertex:
        return {{0, 2, offsetof(GlyphVertex, position)},
                {1, 2, offsetof(GlyphVertex, texCoord)},
                {2, 4, offsetof(GlyphVertex, color)}};
    case GLRecordKind::colorVertex:
        return {{0, 2, offsetof(ColorVertex, position)}, {2, 4, offsetof(ColorVertex, color)}};
    case GLRecordKind::colorCell:
        return {{0, 2, offsetof(ColorCell, position)},
                {1, 2, offsetof(ColorCell, size)},
                {4, 4, offsetof(ColorCell, color)}};
    case GLRecordKind::textCell:
        return {{0, 2, offsetof(TextCell, position)},
                {1, 2, offsetof(TextCell, size)},
                {2, 2, offsetof(TextCell, texOrigin)},
                {3, 2, offsetof(TextCell, texSize)},
                {4, 4, offsetof(TextCell, color)}};
    }
    return {};
}

GLsizei stride(GLRecordKind kind) {
    switch (kind) {
    case GLRecordKind::glyphVertex:
        return sizeof(GlyphVertex);
    case GLRecordKind::colorVertex:
        return sizeof(ColorVertex);
    case GLRecordKind::colorCell:
        return sizeof(ColorCell);
    case GLRecordKind::textCell:
        return sizeof(TextCell);
    }
    return 0;
}

} // namespace

std::unique_ptr<AtlasTexture> GLAtlasDevice::makeTexture(int side, GlyphAtlasFormat format) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context || side < 1) return nullptr;
    QOpenGLExtraFunctions* gl = context->extraFunctions();
    GLint largest = 0;
    gl->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (largest > 0 && side > largest) return nullptr;
    GLuint id = 0;
    gl->glGenTextures(1, &id);
    if (!id) return nullptr;
    gl->glBindTexture(GL_TEXTURE_2D, id);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    gl->glTexImage2D(GL_TEXTURE_2D, 0, format == GlyphAtlasFormat::grayscale ? GL_R8 : GL_RGBA8, side, side,
                     0, format == GlyphAtlasFormat::grayscale ? GL_RED : GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    if (gl->glGetError() != GL_NO_ERROR) {
        gl->glDeleteTextures(1, &id);
        return nullptr;
    }
    return std::make_unique<GLAtlasTexture>(gl, id, format);
}

namespace {

std::optional<GLError> makePipelines(GLTerminalRenderer& renderer, const CompiledStages& stages) {
    struct Spec {
        GLPipeline* pipeline;
        const char* name;
        const char* vertex;
        const char* fragment;
        GLRecordKind records;
        GLenum sourceRgb;
    };
    const Spec specs[] = {
        {&renderer.textPipeline, "text", "terminal_text_vertex", "terminal_text_fragment",
         GLRecordKind::glyphVertex, GL_ONE},
        {&renderer.textGrayPipeline, "textGray", "terminal_text_vertex", "terminal_text_fragment_gray",
         GLRecordKind::glyphVertex, GL_ONE},
        {&renderer.cellTextPipeline, "cellText", "terminal_cell_text_vertex", "terminal_text_fragment",
         GLRecordKind::textCell, GL_ONE},
        {&renderer.cellTextGrayPipeline, "cellTextGray", "terminal_cell_text_vertex",
         "terminal_text_fragment_gray", GLRecordKind::textCell, GL_ONE},
        {&renderer.colorPipeline, "color", "terminal_color_vertex", "terminal_color_fragment",
         GLRecordKind::colorVertex, GL_SRC_ALPHA},
        {&renderer.cellColorPipeline, "cellColor", "terminal_cell_color_vertex", "terminal_color_fragment",
         GLRecordKind::colorCell, GL_SRC_ALPHA},
    };
    const GLError failure(GLError::Kind::pipelineCreationFailed, QStringLiteral("text/color/cell"));
    for (const Spec& spec : specs) {
        auto vertex = stages.find(QString::fromLatin1(spec.vertex));
        auto fragment = stages.find(QString::fromLatin1(spec.fragment));
        if (vertex == stages.end() || fragment == stages.end()) return failure;
        auto program = std::make_unique<QOpenGLShaderProgram>();
        if (!program->addShader(vertex->second.get()) || !program->addShader(fragment->second.get()) ||
            !program->link())
            return failure;
        program->bind();
        program->setUniformValue("glyphTexture", 0);
        program->release();
        spec.pipeline->name = spec.name;
        spec.pipeline->program = std::move(program);
        spec.pipeline->records = spec.records;
        spec.pipeline->sourceRgb = spec.sourceRgb;
    }
    return std::nullopt;
}

} // namespace

int GLTerminalRenderer::libraryCompilations() {
    return compilations;
}

GLTerminalRenderer::Result GLTerminalRenderer::create(QOpenGLWidget* view, TerminalView* terminalView,
                                                      const ShaderLibrarySources& sources,
                                                      AtlasDevice* atlasDevice) {
    std::unique_ptr<GLTerminalRenderer> renderer(new GLTerminalRenderer);

    // The widget's own context, else whatever is current.
    QOpenGLContext* context = view ? view->context() : nullptr;
    if (!context) context = QOpenGLContext::currentContext();
    if (!context || !context->isValid() || context->format().version() < qMakePair(3, 3))
        return GLError(GLError::Kind::deviceUnavailable);
    if (QOpenGLContext::currentContext() != context) return GLError(GLError::Kind::deviceUnavailable);
    renderer->device = context;
    renderer->view = view;
    renderer->initializeOpenGLFunctions();

    renderer->glGenVertexArrays(1, &renderer->commandQueue);
    if (!renderer->commandQueue) return GLError(GLError::Kind::commandQueueUnavailable);

    if (!atlasDevice) {
        renderer->ownAtlasDevice = std::make_unique<GLAtlasDevice>();
        atlasDevice = renderer->ownAtlasDevice.get();
    }
    renderer->grayscaleAtlas = GlyphAtlas::create(*atlasDevice, 1024, 2048, GlyphAtlasFormat::grayscale);
    renderer->colorAtlas = GlyphAtlas::create(*atlasDevice, 1024, 2048, GlyphAtlasFormat::bgra);
    if (!renderer->grayscaleAtlas || !renderer->colorAtlas) return GLError(GLError::Kind::atlasUnavailable);
    renderer->glyphEntries = std::make_unique<GlyphEntries>(*renderer->grayscaleAtlas, *renderer->colorAtlas,
                                                            renderer->rasterizer);
    GLTerminalRenderer* self = renderer.get();
    renderer->glyphEntries->onAtlasChanged = [self] {
        if (self->rowCache)
            self->rowCache->atlasChanged();
        else
            self->atlasResetDuringBuild = true;
    };

    CompiledStages stages;
    ShaderLibrarySources compiling = sources;
    compiling.compile = [&stages](const ShaderLibrary& library) { return compileStages(library, stages); };
    ShaderLibraryResult library = makeShaderLibrary(compiling);
    if (auto* error = std::get_if<GLError>(&library)) return *error;
    if (std::optional<GLError> error = makePipelines(*renderer, stages)) return *error;

    renderer->glGenSamplers(1, &renderer->sampler);
    if (!renderer->sampler) return GLError(GLError::Kind::samplerUnavailable);
    renderer->glSamplerParameteri(renderer->sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    renderer->glSamplerParameteri(renderer->sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    renderer->glSamplerParameteri(renderer->sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    renderer->glSamplerParameteri(renderer->sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    renderer->terminalView = terminalView;
    renderer->makeFrameBuilders();
    return renderer;
}

void GLTerminalRenderer::makeFrameBuilders() {
    gpuDevice = std::make_unique<GLGpuDevice>();
    bufferPool = std::make_unique<BufferPool>(*gpuDevice);
    imageTextures = std::make_unique<ImageTextures>(*gpuDevice, terminalView);
    rowDrawBuilder = std::make_unique<RowDrawBuilder>(terminalView, *glyphEntries, *grayscaleAtlas,
                                                      *colorAtlas, *imageTextures, *gpuDevice);
    cursorDrawBuilder =
        std::make_unique<CursorDrawBuilder>(terminalView, *glyphEntries, *grayscaleAtlas, *colorAtlas);
    RowCache::Builders builders;
    builders.pruneKittyTextureCache = [this] { imageTextures->pruneKittyTextureCache(); };
    builders.buildRowDrawData = [this](int row, Buffer& buffer, int yDisp, double cellWidth,
                                       double cellHeight, double yOffset, double viewWidthPx, double scale,
                                       const VirtualPlacements& placements) {
        return rowDrawBuilder->buildRowDrawData(row, buffer, yDisp, cellWidth, cellHeight, yOffset,
                                                viewWidthPx, scale, placements);
    };
    builders.makeRowBuffers = [this](const RowDrawData& data) {
        return rowDrawBuilder->makeRowBuffers(data);
    };
    builders.buildCursorDrawData = [this](const RowCache::CaretRequest& request, DrawData& output) {
        CursorDrawData caret = cursorDrawBuilder->buildCursorDrawData(
            request.scale, request.cellWidth, request.cellHeight, request.lineDescent, request.lineLeading,
            request.visible.yDisp, request.visible.firstRow, request.visible.lastRow, cursorBlinkOn);
        output.cursorColorVertices = std::move(caret.colorVertices);
        output.cursorGlyphVerticesGray = std::move(caret.glyphVerticesGray);
        output.cursorGlyphVerticesColor = std::move(caret.glyphVerticesColor);
    };
    rowCache = std::make_unique<RowCache>(std::move(builders), atlasResetDuringBuild, atlasResetHandled);
}

GLTerminalRenderer::~GLTerminalRenderer() {
    if (cursorBlinkTimer) cursorBlinkTimer->stop();
    delete cursorBlinkTimer;
    // GL names belong to the renderer's context; without it current they go with the context.
    if (device && QOpenGLContext::currentContext() == device) {
        if (sampler) glDeleteSamplers(1, &sampler);
        if (commandQueue) glDeleteVertexArrays(1, &commandQueue);
    }
}

void GLTerminalRenderer::draw(const GLPipeline& pipeline, GLuint buffer, int count, GLuint texture,
                              float viewportWidth, float viewportHeight) {
    if (!pipeline.program || count <= 0) return;
    glEnable(GL_BLEND);
    glBlendEquationSeparate(GL_FUNC_ADD, GL_FUNC_ADD);
    glBlendFuncSeparate(pipeline.sourceRgb, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    pipeline.program->bind();
    pipeline.program->setUniformValue("viewport", viewportWidth, viewportHeight);
    glBindVertexArray(commandQueue);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const GLuint divisor = pipeline.perCell() ? 1 : 0;
    for (GLuint location = 0; location < 5; ++location)
        glDisableVertexAttribArray(location);
    for (const VertexAttribute& attribute : attributes(pipeline.records)) {
        glEnableVertexAttribArray(attribute.location);
        glVertexAttribPointer(attribute.location, attribute.components, GL_FLOAT, GL_FALSE,
                              stride(pipeline.records), reinterpret_cast<const void*>(attribute.offset));
        glVertexAttribDivisor(attribute.location, divisor);
    }
    if (texture) {
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture);
        glBindSampler(0, sampler);
    }
    if (pipeline.perCell())
        glDrawArraysInstanced(GL_TRIANGLES, 0, 6, count);
    else
        glDrawArrays(GL_TRIANGLES, 0, count);
    glBindVertexArray(0);
    pipeline.program->release();
}

GLPipeline& GLTerminalRenderer::pipeline(PipelineKind kind) {
    switch (kind) {
    case PipelineKind::text:
        return textPipeline;
    case PipelineKind::textGray:
        return textGrayPipeline;
    case PipelineKind::color:
        return colorPipeline;
    case PipelineKind::cellText:
        return cellTextPipeline;
    case PipelineKind::cellTextGray:
        return cellTextGrayPipeline;
    case PipelineKind::cellColor:
        return cellColorPipeline;
    }
    return textPipeline;
}

void GLTerminalRenderer::draw(PipelineKind kind, const GpuBuffer& buffer, int count, unsigned texture,
                              Float2 viewport) {
    draw(pipeline(kind), buffer.bufferId(), count, texture, viewport.x, viewport.y);
}

} // namespace Tessaline
