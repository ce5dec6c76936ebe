// The frame loop: pacing of redraws, the caret's blink, the frame build, the layers in their order, and
// the optional timing lines.
#include "GLTerminalRenderer.h"

#include "TerminalView.h"

#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace Tessaline {

namespace {

// One stage of a frame, timed while profiling is on: a line on standard error when it ends.
class ProfileInterval {
public:
    explicit ProfileInterval(const char* name)
        : _name(GLTerminalRenderer::profileEnabled() ? name : nullptr) {
        if (_name) _start = std::chrono::steady_clock::now();
    }
    ~ProfileInterval() { end(); }
    ProfileInterval(const ProfileInterval&) = delete;
    ProfileInterval& operator=(const ProfileInterval&) = delete;

    void end() {
        if (!_name) return;
        const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - _start;
        std::fprintf(stderr, "org.quillaby.tessaline GpuProfile: %s %.1f us\n", _name, elapsed.count());
        _name = nullptr;
    }

private:
    const char* _name;
    std::chrono::steady_clock::time_point _start;
};

bool blinks(CursorStyle style) {
    return style == CursorStyle::blinkBlock || style == CursorStyle::blinkUnderline ||
           style == CursorStyle::blinkBar;
}

} // namespace

bool GLTerminalRenderer::parseProfileSwitch(const char* value) {
    return value != nullptr && std::string_view(value) == "1";
}

bool GLTerminalRenderer::profileEnabled() {
    static const bool enabled = parseProfileSwitch(std::getenv("TESSALINE_PROFILE"));
    return enabled;
}

void GLTerminalRenderer::setNeedsDisplay() {
    std::lock_guard lock(redrawLock);
    pendingRedraw = true;
}

DrawData GLTerminalRenderer::buildDrawData(double scale) {
    if (!rowCache) return {};
    return rowCache->buildDrawData(terminalView.data(), scale);
}

void GLTerminalRenderer::updateCursorBlinkTimer(bool shouldBlink) {
    if (shouldBlink && !cursorBlinkTimer) {
        cursorBlinkOn = true;
        cursorBlinkTimer = new QTimer;
        cursorBlinkTimer->setInterval(cursorBlinkIntervalMs);
        QObject::connect(cursorBlinkTimer, &QTimer::timeout, [this] { cursorBlinkTick(); });
        cursorBlinkTimer->start();
    } else if (!shouldBlink && cursorBlinkTimer) {
        cursorBlinkTimer->stop();
        delete cursorBlinkTimer;
        cursorBlinkTimer = nullptr;
        cursorBlinkOn = true;
    }
}

void GLTerminalRenderer::cursorBlinkTick() {
    if (!view) return;
    cursorBlinkOn = !cursorBlinkOn;
    view->update();
}

void GLTerminalRenderer::draw(QOpenGLWidget& widget) {
    ProfileInterval whole("GL.Draw");
    // Frames are synchronous: "busy" is a frame under way on this thread, and a request during it is
    // kept for one frame after it.
    if (_frameInProgress) {
        setNeedsDisplay();
        return;
    }
    TerminalView* terminalView = this->terminalView.data();
    if (!terminalView) return;
    _frameInProgress = true;
    struct FrameEnd {
        bool& inProgress;
        ~FrameEnd() { inProgress = false; }
    } frameEnd{_frameInProgress};

    const double scale = terminalView->backingScale();
    const double ratio = widget.devicePixelRatioF() > 0 ? widget.devicePixelRatioF() : 1;
    const float viewportWidth = float(std::lround(widget.width() * ratio));
    const float viewportHeight = float(std::lround(widget.height() * ratio));

    Terminal& terminal = terminalView->terminal();
    updateCursorBlinkTimer(blinks(terminal.options.cursorStyle) && !terminal.cursorHidden);

    GLuint framebuffer = 0;
    {
        ProfileInterval drawable("GL.CurrentDrawable");
        framebuffer = widget.defaultFramebufferObject();
    }
    bool passReady = false;
    {
        ProfileInterval pass("GL.RenderPass");
        passReady = QOpenGLContext::currentContext() == device && framebuffer != 0;
    }
    if (!passReady) {
        // Nothing to draw into yet: the next frame shows what this one would have.
        setNeedsDisplay();
        return;
    }

    DrawData data;
    {
        ProfileInterval build("GL.BuildDrawData");
        data = buildDrawData(scale);
    }

    {
        ProfileInterval encode("GL.Encode");
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glViewport(0, 0, GLsizei(viewportWidth), GLsizei(viewportHeight));
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_SCISSOR_TEST);
        // The widget's framebuffer is composed as premultiplied colour.
        const QColor background = terminalView->nativeBackgroundColor().toRgb();
        const float alpha = float(background.alphaF());
        glClearColor(float(background.redF()) * alpha, float(background.greenF()) * alpha,
                     float(background.blueF()) * alpha, alpha);
        glClear(GL_COLOR_BUFFER_BIT);
        if (bufferPool) {
            bufferPool->frameBuffers.clear();
            drawLayers(data, viewportWidth, viewportHeight);
        }
    }
    {
        ProfileInterval commit("GL.Commit");
        glFlush();
        if (bufferPool) bufferPool->commit();
    }
    ++framesDrawn;

    // Requests that came while the frame was built: one more frame, posted so that this one ends first.
    _frameInProgress = false;
    bool redraw = false;
    {
        std::lock_guard lock(redrawLock);
        redraw = std::exchange(pendingRedraw, false);
    }
    if (redraw)
        QTimer::singleShot(0, &widget, [target = QPointer<QOpenGLWidget>(&widget)] {
            if (target) target->update();
        });
}

void GLTerminalRenderer::drawLayers(const DrawData& data, float viewportWidth, float viewportHeight) {
    const Float2 viewport{viewportWidth, viewportHeight};
    if (data.frame) {
        drawFrameData(*this, *bufferPool, *data.frame,
                      {grayscaleAtlas->texture().textureId(), colorAtlas->texture().textureId()}, viewport);
    } else {
        auto cells = [&](const GLPipeline& pipeline, std::shared_ptr<GpuBuffer> RowDrawBuffers::*buffer,
                         int RowDrawBuffers::*count, GLuint texture) {
            for (const RowDrawBuffers& row : data.rows)
                if (row.*buffer && row.*count > 0)
                    draw(pipeline, (row.*buffer)->bufferId(), row.*count, texture, viewportWidth,
                         viewportHeight);
        };
        cells(cellColorPipeline, &RowDrawBuffers::backgroundBuffer, &RowDrawBuffers::backgroundCount, 0);
        drawImageRows(*this, data.rows, &RowDrawBuffers::underImageBuffers, viewport);
        cells(cellTextGrayPipeline, &RowDrawBuffers::glyphGrayBuffer, &RowDrawBuffers::glyphGrayCount,
              grayscaleAtlas->texture().textureId());
        cells(cellTextPipeline, &RowDrawBuffers::glyphColorBuffer, &RowDrawBuffers::glyphColorCount,
              colorAtlas->texture().textureId());
        cells(cellColorPipeline, &RowDrawBuffers::decorationBuffer, &RowDrawBuffers::decorationCount, 0);
        drawImageRows(*this, data.rows, &RowDrawBuffers::placeholderImageBuffers, viewport);
        drawImageRows(*this, data.rows, &RowDrawBuffers::overImageBuffers, viewport);
        drawImageRows(*this, data.rows, &RowDrawBuffers::otherImageBuffers, viewport);
    }

    // The caret, in both modes, from pooled buffers; a list without a buffer is left out.
    if (auto buffer = bufferPool->makeBuffer(data.cursorColorVertices))
        draw(colorPipeline, buffer->bufferId(), int(data.cursorColorVertices.size()), 0, viewportWidth,
             viewportHeight);
    if (auto buffer = bufferPool->makeBuffer(data.cursorGlyphVerticesGray))
        draw(textGrayPipeline, buffer->bufferId(), int(data.cursorGlyphVerticesGray.size()),
             grayscaleAtlas->texture().textureId(), viewportWidth, viewportHeight);
    if (auto buffer = bufferPool->makeBuffer(data.cursorGlyphVerticesColor))
        draw(textPipeline, buffer->bufferId(), int(data.cursorGlyphVerticesColor.size()),
             colorAtlas->texture().textureId(), viewportWidth, viewportHeight);
}

} // namespace Tessaline
