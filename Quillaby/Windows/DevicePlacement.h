#pragma once

#include "Settings/WindowState.h"

#include <QList>
#include <QRect>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace Quillaby {

// Where a device window opens: its frame in global coordinates (y down) and its points per skin point.
struct DevicePlacement {
    QRect frame;
    double scale = 1;

    bool operator==(const DevicePlacement&) const = default;

    static constexpr double minimumScale = 0.2;
    static constexpr double fitShare = 0.9;
    static constexpr double offScreenInset = 20;

    // A saved frame with a size, still reaching some visible frame once inset by 20 points, is kept as
    // it was; otherwise the skin opens centred on the main visible frame at the largest scale fitting 90 %
    // of it, at most launchScale, at least 0.2, rounded to whole points and never larger than that frame.
    static DevicePlacement atLaunch(const QSizeF& frameSize, double launchScale, const QRectF& mainVisibleFrame,
                                    const QList<QRectF>& visibleFrames, const std::optional<WindowState>& saved);

    // The frame scaled by factor about its centre, each side rounded to whole points.
    static QRect scaledAboutCentre(const QRect& frame, double factor);
    // A size centred on a frame's centre.
    static QRect centredOn(const QRect& frame, const QSize& size);
};

} // namespace Quillaby
