#pragma once

#include "ProgressReport.h"

#include <QColor>
#include <QRectF>
#include <QWidget>

#include <cstdint>
#include <optional>

class QSequentialAnimationGroup;
class QVariantAnimation;

namespace Tessaline {

// A program's progress report as a thin strip along the top edge of a terminal view: a bar as wide as the
// percentage, or for indeterminate progress a quarter-width bar sliding to and fro over a faint track.
// Orange while paused, red after an error, the accent colour otherwise; hidden while there is nothing to
// show. It never takes the mouse: clicks on it reach the view below.
class TerminalProgressBarView : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* indeterminateAnimationKey = "terminalProgressIndeterminate";
    // The indeterminate bar's width as a share of the view's.
    static constexpr double barWidthRatio = 0.25;
    // Seconds of one slide, and of a change of the determinate bar.
    static constexpr double indeterminateDuration = 1.2;
    static constexpr double determinateDuration = 0.2;

    explicit TerminalProgressBarView(QWidget* parent = nullptr);
    ~TerminalProgressBarView() override;

    // Shows the state (hidden exactly for remove) and the percentage; no percentage is indeterminate.
    void apply(ProgressReportState state, std::optional<uint8_t> progress);

    ProgressReportState state() const { return _state; }
    std::optional<uint8_t> progress() const { return _progress; }
    QColor barColor() const { return _barColor; }
    bool trackVisible() const { return _trackVisible; }
    // Where the bar is now, and where it comes to rest (the determinate bar moves there in 0.2 s).
    QRectF barRect() const { return _barRect; }
    QRectF barTargetRect() const { return _barTarget; }
    // The indeterminate bar is sliding.
    bool isSliding() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateDeterminate(uint8_t progress, bool animated);
    void updateIndeterminate();
    void stopSliding();

    ProgressReportState _state = ProgressReportState::remove;
    std::optional<uint8_t> _progress;
    QColor _barColor;
    bool _trackVisible = false;
    QRectF _barRect;
    QRectF _barTarget;
    QVariantAnimation* _resize = nullptr;
    QSequentialAnimationGroup* _slide = nullptr;
};

} // namespace Tessaline
