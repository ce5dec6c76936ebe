#pragma once

#include "GLError.h"

#include <QOpenGLWidget>
#include <QPointer>

#include <memory>
#include <optional>

namespace Tessaline {

class GLTerminalRenderer;
class TerminalView;

// The GL surface of a view's GPU mode: it covers the view below every other child, lets pointer events
// through to the view, and draws a frame of its renderer whenever it is asked to (it has no timer of
// its own). The renderer is made with the widget's context and goes with it.
class GLTerminalWidget : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit GLTerminalWidget(TerminalView* terminalView);
    ~GLTerminalWidget() override;

    // The format every GPU context asks for: OpenGL 3.3 core.
    static QSurfaceFormat surfaceFormat();
    // Whether a 3.3 core context can be had at all, on an offscreen surface. None when it can. The
    // renderer (its shaders above all) is made once, in the widget's own context.
    static std::optional<GLError> probe();

    GLTerminalRenderer* renderer() const { return _renderer.get(); }
    // What went wrong when the widget's own context could not take a renderer.
    const std::optional<GLError>& error() const { return _error; }
    // Asks for a frame; asked while a frame is drawn, one frame follows that one, however many asked.
    void setNeedsDisplay();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void releaseRenderer();

    QPointer<TerminalView> _terminalView;
    std::unique_ptr<GLTerminalRenderer> _renderer;
    std::optional<GLError> _error;
};

} // namespace Tessaline
