// The view's GPU mode: switching it on and off. Built with the renderer, so that the view alone needs no
// OpenGL; the redraw side of the mode is in TerminalView.cpp.
#include "TerminalView.h"

#include "CaretView.h"
#include "GLTerminalWidget.h"

namespace Tessaline {

void TerminalView::setUseGpu(bool on) {
    if (on == _useGpuRenderer) return;
    if (on) {
        // Throws before anything changes.
        updateGpuRenderer(true);
        _useGpuRenderer = true;
        return;
    }
    updateGpuRenderer(false);
    _useGpuRenderer = false;
}

void TerminalView::updateGpuRenderer(bool enabled) {
    if (!enabled) {
        if (_pendingGpuDisplayTask != 0) _executor.cancel(_pendingGpuDisplayTask);
        _pendingGpuDisplayTask = 0;
        _pendingGpuDisplay = false;
        _gpuNeedsDisplay = nullptr;
        // The widget takes its renderer (and the renderer its blink timer) with it.
        delete std::exchange(_gpuView, nullptr);
        updateMarkedTextOverlay();
        _gpuDirtyRange.reset();
        if (_caretView) {
            if (CaretView::blinks(_caretView->style()))
                _caretView->updateAnimation(true);
            else {
                _caretView->disableAnimations();
                _caretView->setOpacity(1);
            }
            updateCursorPosition();
            _caretView->update();
        }
        update();
        return;
    }
    if (_gpuView) return;
    if (std::optional<GLError> error = GLTerminalWidget::probe()) throw *error;

    auto* widget = new GLTerminalWidget(this);
    widget->setGeometry(rect());
    // Below every other child: the caret (hidden while the mode is on), the scroll bar, the find and
    // progress bars stay over it.
    widget->lower();
    // In a window on screen the widget makes its renderer as it is shown, so its failure is thrown
    // here; in a window not shown yet, it makes it (or falls back) when the window shows.
    widget->show();
    if (std::optional<GLError> error = widget->error()) {
        delete widget;
        throw *error;
    }
    if (_caretView) {
        _caretView->disableAnimations();
        _caretView->setOpacity(1);
        _caretView->hide();
    }
    _gpuView = widget;
    _gpuNeedsDisplay = [widget] { widget->setNeedsDisplay(); };
    updateMarkedTextOverlay();
    _lastResize.reset();
    widget->update();
}

} // namespace Tessaline
