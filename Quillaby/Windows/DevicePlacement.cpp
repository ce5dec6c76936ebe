#include "Windows/DevicePlacement.h"

#include <algorithm>
#include <cmath>

namespace Quillaby {

DevicePlacement DevicePlacement::atLaunch(const QSizeF& frameSize, double launchScale, const QRectF& visible,
                                          const QList<QRectF>& visibleFrames,
                                          const std::optional<WindowState>& saved) {
    if (frameSize.width() <= 0 || frameSize.height() <= 0) return {};
    if (saved && saved->width > 0 && saved->height > 0) {
        const QRectF rect(saved->x, saved->y, saved->width, saved->height);
        const QRectF inset = rect.adjusted(offScreenInset, offScreenInset, -offScreenInset, -offScreenInset);
        const bool reachable = inset.isValid() && std::any_of(visibleFrames.begin(), visibleFrames.end(),
                                                              [&](const QRectF& f) { return f.intersects(inset); });
        if (reachable)
            return {QRect(int(std::lround(rect.x())), int(std::lround(rect.y())), int(std::lround(rect.width())),
                          int(std::lround(rect.height()))),
                    rect.width() / frameSize.width()};
    }
    const double fit = std::min(visible.width() * fitShare / frameSize.width(),
                                visible.height() * fitShare / frameSize.height());
    double scale = std::max(std::min(fit, launchScale), minimumScale);
    double width = std::round(frameSize.width() * scale);
    double height = std::round(frameSize.height() * scale);
    // Even the smallest scale must not make a window larger than the screen.
    if (visible.width() > 0 && visible.height() > 0 && (width > visible.width() || height > visible.height())) {
        scale = std::min(visible.width() / frameSize.width(), visible.height() / frameSize.height());
        width = std::floor(frameSize.width() * scale);
        height = std::floor(frameSize.height() * scale);
    }
    const QPointF centre = visible.center();
    return {QRect(int(std::lround(centre.x() - width / 2)), int(std::lround(centre.y() - height / 2)), int(width),
                  int(height)),
            scale};
}

QRect DevicePlacement::scaledAboutCentre(const QRect& frame, double factor) {
    const double w = std::round(frame.width() * factor);
    const double h = std::round(frame.height() * factor);
    return QRect(int(std::lround(frame.x() - (w - frame.width()) / 2)),
                 int(std::lround(frame.y() - (h - frame.height()) / 2)), int(w), int(h));
}

QRect DevicePlacement::centredOn(const QRect& frame, const QSize& size) {
    const QPointF c = QRectF(frame).center();
    return QRect(int(std::lround(c.x() - size.width() / 2.0)), int(std::lround(c.y() - size.height() / 2.0)),
                 size.width(), size.height());
}

} // namespace Quillaby
