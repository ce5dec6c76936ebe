#include "GLTerminalWidget.h"

#include "GLTerminalRenderer.h"
#include "TerminalView.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QTimer>

#include <cstdio>

namespace Tessaline {

GLTerminalWidget::GLTerminalWidget(TerminalView* terminalView)
    : QOpenGLWidget(terminalView)
    , _terminalView(terminalView) {
    setFormat(surfaceFormat());
    // The view under it takes the pointer, the keys and the input method.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

GLTerminalWidget::~GLTerminalWidget() {
    // The base class destroys the context after this: its signal must not reach a half-destroyed widget.
    if (context()) disconnect(context(), nullptr, this, nullptr);
    releaseRenderer();
}

QSurfaceFormat GLTerminalWidget::surfaceFormat() {
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    return format;
}

std::optional<GLError> GLTerminalWidget::probe() {
    QOpenGLContext context;
    context.setFormat(surfaceFormat());
    if (!context.create() || context.format().version() < qMakePair(3, 3))
        return GLError(GLError::Kind::deviceUnavailable);
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return GLError(GLError::Kind::deviceUnavailable);
    context.doneCurrent();
    return std::nullopt;
}

void GLTerminalWidget::setNeedsDisplay() {
    if (_renderer && _renderer->frameInProgress()) {
        _renderer->setNeedsDisplay();
        return;
    }
    update();
}

void GLTerminalWidget::initializeGL() {
    // A new context (the first, or after the widget moved to another window): a renderer for it.
    releaseRenderer();
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GLTerminalWidget::releaseRenderer,
            Qt::UniqueConnection);
    GLTerminalRenderer::Result result = GLTerminalRenderer::create(this, _terminalView);
    if (auto* error = std::get_if<GLError>(&result)) {
        // Made while the view switched the mode on, the failure is the switch's. Made later (the window
        // was not on screen then), the view goes back to painting itself.
        _error = *error;
        QTimer::singleShot(0, _terminalView.data(), [view = _terminalView, self = QPointer(this)] {
            if (!view || !self || view->gpuView() != self) return;
            std::fprintf(stderr, "[Tessaline] GPU mode off: %s\n", qPrintable(self->_error->description()));
            view->setUseGpu(false);
        });
        return;
    }
    _error.reset();
    _renderer = std::move(std::get<std::unique_ptr<GLTerminalRenderer>>(result));
}

void GLTerminalWidget::paintGL() {
    if (_renderer) {
        _renderer->draw(*this);
        return;
    }
    const QColor background = _terminalView ? _terminalView->nativeBackgroundColor() : QColor(Qt::black);
    QOpenGLContext::currentContext()->functions()->glClearColor(
        float(background.redF()), float(background.greenF()), float(background.blueF()),
        float(background.alphaF()));
    QOpenGLContext::currentContext()->functions()->glClear(GL_COLOR_BUFFER_BIT);
}

void GLTerminalWidget::releaseRenderer() {
    if (!_renderer) return;
    // GL names are deleted on the context they were made on.
    const bool current = context() && QOpenGLContext::currentContext() == context();
    if (!current && context()) makeCurrent();
    _renderer.reset();
    if (!current && context()) doneCurrent();
}

} // namespace Tessaline
