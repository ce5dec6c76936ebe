#include "TerminalProgressBarView.h"

#include <QEasingCurve>
#include <QPaintEvent>
#include <QPainter>
#include <QSequentialAnimationGroup>
#include <QVariantAnimation>

namespace Tessaline {

namespace {

const QColor pauseColor(255, 149, 0);
const QColor errorColor(255, 59, 48);

int milliseconds(double seconds) {
    return int(seconds * 1000);
}

} // namespace

TerminalProgressBarView::TerminalProgressBarView(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    _resize = new QVariantAnimation(this);
    _resize->setDuration(milliseconds(determinateDuration));
    _resize->setEasingCurve(QEasingCurve::InOutQuad);
    connect(_resize, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        _barRect = value.toRectF();
        update();
    });
}

TerminalProgressBarView::~TerminalProgressBarView() = default;

void TerminalProgressBarView::apply(ProgressReportState state, std::optional<uint8_t> progress) {
    _state = state;
    _progress = progress;
    setVisible(state != ProgressReportState::remove);
    if (state == ProgressReportState::remove) {
        stopSliding();
        return;
    }
    switch (state) {
    case ProgressReportState::pause:
        _barColor = pauseColor;
        break;
    case ProgressReportState::error:
        _barColor = errorColor;
        break;
    default:
        _barColor = palette().color(QPalette::Highlight);
        break;
    }
    if (progress)
        updateDeterminate(*progress, true);
    else
        updateIndeterminate();
    update();
}

void TerminalProgressBarView::updateDeterminate(uint8_t progress, bool animated) {
    _trackVisible = false;
    stopSliding();
    _barTarget = QRectF(0, 0, width() * double(progress) / 100, height());
    _resize->stop();
    if (animated && _barRect != _barTarget) {
        _resize->setStartValue(_barRect);
        _resize->setEndValue(_barTarget);
        _resize->start();
    } else {
        _barRect = _barTarget;
    }
    update();
}

void TerminalProgressBarView::updateIndeterminate() {
    _trackVisible = true;
    _resize->stop();
    const double barWidth = width() * barWidthRatio;
    _barTarget = _barRect = QRectF(0, 0, barWidth, height());
    stopSliding();
    if (barWidth > 0 && barWidth < width()) {
        // Centre from one end to the other and back, eased each way, for as long as it is shown.
        _slide = new QSequentialAnimationGroup(this);
        for (const bool forward : {true, false}) {
            auto* leg = new QVariantAnimation(_slide);
            leg->setDuration(milliseconds(indeterminateDuration));
            leg->setEasingCurve(QEasingCurve::InOutQuad);
            leg->setStartValue(forward ? barWidth / 2 : width() - barWidth / 2);
            leg->setEndValue(forward ? width() - barWidth / 2 : barWidth / 2);
            connect(leg, &QVariantAnimation::valueChanged, this, [this, barWidth](const QVariant& centre) {
                _barRect = QRectF(centre.toDouble() - barWidth / 2, 0, barWidth, height());
                update();
            });
            _slide->addAnimation(leg);
        }
        _slide->setLoopCount(-1);
        _slide->start();
    }
    update();
}

void TerminalProgressBarView::stopSliding() {
    if (!_slide) return;
    _slide->stop();
    _slide->deleteLater();
    _slide = nullptr;
}

bool TerminalProgressBarView::isSliding() const {
    return _slide && _slide->state() == QAbstractAnimation::Running;
}

void TerminalProgressBarView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isHidden()) return;
    if (_progress)
        updateDeterminate(*_progress, false);
    else
        updateIndeterminate();
}

void TerminalProgressBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (_trackVisible) {
        QColor track = _barColor;
        track.setAlphaF(0.3f);
        painter.fillRect(rect(), track);
    }
    painter.fillRect(_barRect, _barColor);
}

} // namespace Tessaline
