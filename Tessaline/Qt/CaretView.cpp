#include "CaretView.h"

#include "CharData.h"
#include "Terminal.h"
#include "TerminalView.h"

#include <QEasingCurve>
#include <QFontMetricsF>
#include <QPainter>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace Tessaline {

namespace {

// The fade out eases in; the fade back is the same curve played backwards.
QEasingCurve easeIn() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0), QPointF(1, 1), QPointF(1, 1));
    return curve;
}

QEasingCurve easeInReversed() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

} // namespace

CaretView::CaretView(const QRect& frame, CursorStyle cursorStyle, TerminalView* terminal)
    : QWidget(terminal)
    , _terminal(terminal)
    , _style(cursorStyle) {
    _defaultCaretColor = palette().color(QPalette::Highlight);
    _caretColor = _defaultCaretColor;
    setGeometry(frame);
    // Clicks on the caret act on the cell beneath it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    update();
}

CaretView::~CaretView() = default;

bool CaretView::blinks(CursorStyle style) {
    return style == CursorStyle::blinkBlock || style == CursorStyle::blinkUnderline ||
           style == CursorStyle::blinkBar;
}

void CaretView::setStyle(CursorStyle style) {
    _style = style;
    updateCursorStyle();
}

void CaretView::updateCursorStyle() {
    updateView();
}

void CaretView::updateView() {
    updateAnimation(blinks(_style));
    update();
}

void CaretView::updateAnimation(bool blink) {
    disableAnimations();
    if (!blink) return;
    _blink = new QSequentialAnimationGroup(this);
    auto* out = new QPropertyAnimation(this, "opacity", _blink);
    out->setDuration(blinkFadeMs);
    out->setStartValue(1.0);
    out->setEndValue(0.0);
    out->setEasingCurve(easeIn());
    auto* in = new QPropertyAnimation(this, "opacity", _blink);
    in->setDuration(blinkFadeMs);
    in->setStartValue(0.0);
    in->setEndValue(1.0);
    in->setEasingCurve(easeInReversed());
    _blink->addAnimation(out);
    _blink->addAnimation(in);
    _blink->setLoopCount(-1);
    _blink->start();
}

void CaretView::disableAnimations() {
    if (_blink) {
        _blink->stop();
        delete _blink;
        _blink = nullptr;
    }
    setOpacity(1);
}

bool CaretView::isBlinking() const {
    return _blink && _blink->state() == QAbstractAnimation::Running;
}

void CaretView::setOpacity(double value) {
    if (value == _opacity) return;
    _opacity = value;
    // A repaint at every tick of the animation (60 a second for as long as the caret blinks) kept an idle
    // window busy; twenty steps a fade look the same.
    const int step = int(std::lround(std::clamp(value, 0.0, 1.0) * fadeSteps));
    if (step == _drawnStep) return;
    _drawnStep = step;
    update();
}

void CaretView::setCaretColor(const QColor& color) {
    _caretColor = color;
    update();
}

void CaretView::setCaretTextColor(const std::optional<QColor>& color) {
    _caretTextColor = color;
    update();
}

void CaretView::setText(const CharData& ch) {
    TerminalView* view = _terminal;
    if (!view) {
        _text = QStringLiteral(" ");
        _glyphs.clear();
        update();
        return;
    }
    const Terminal& terminal = view->terminal();
    // An empty cell is a space, as the rows draw it.
    const std::string character = ch.code == 0 ? std::string(" ") : terminal.getCharacter(ch);
    QString text = QString::fromUtf8(character.data(), qsizetype(character.size()));
    // Of the cell's look only the face matters here.
    const TextAttributes look = view->getAttributedValue(
        terminal.attribute(ch), _caretColor, _caretTextColor.value_or(view->nativeForegroundColor()));
    const QFont& font = view->fontSet().face(look.face);
    // Every redraw places the caret: the same character in the same face is neither laid out nor
    // repainted again.
    if (_text == text && _font == font) return;
    _text = std::move(text);
    _font = font;
    QTextLayout layout(*_text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    _glyphs = layout.glyphRuns();
    update();
}

QSize CaretView::caretSize() const {
    TerminalView* view = _terminal;
    if (!view) return size();
    return view->cellDimension().toSize();
}

void CaretView::paintEvent(QPaintEvent*) {
    TerminalView* view = _terminal;
    QPainter painter(this);
    const bool hasFocus = _tracksFocus && view ? view->terminalHasFocus() : true;
    drawCursor(painter, hasFocus);
}

void CaretView::drawCursor(QPainter& painter, bool hasFocus) {
    TerminalView* view = _terminal;
    if (!_text || !view) return;
    const QRectF bounds(QPointF(0, 0), QSizeF(size()));
    painter.setClipRect(bounds);
    const QFontMetricsF metrics(view->fontSet().normal);
    const double baseline = bounds.height() - std::ceil(metrics.descent() + metrics.leading());

    painter.setOpacity(double(_drawnStep) / fadeSteps);
    if (!hasFocus) {
        // Centred on the edge and clipped to the cell: half the width shows inside.
        painter.setPen(QPen(_caretColor, 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bounds);
        return;
    }
    switch (_style) {
    case CursorStyle::blinkBlock:
    case CursorStyle::steadyBlock:
        painter.fillRect(bounds, _caretColor);
        break;
    case CursorStyle::blinkUnderline:
    case CursorStyle::steadyUnderline:
        painter.fillRect(QRectF(0, bounds.height() - 2, bounds.width(), 2), _caretColor);
        return;
    case CursorStyle::blinkBar:
    case CursorStyle::steadyBar:
        painter.fillRect(QRectF(0, 0, 2, bounds.height()), _caretColor);
        return;
    }
    // A block covers its character: draw it again in the caret text colour, every glyph at the cell's
    // origin on the baseline.
    painter.setPen(_caretTextColor.value_or(view->nativeForegroundColor()));
    for (QGlyphRun run : _glyphs) {
        QList<QPointF> positions = run.positions();
        for (QPointF& position : positions)
            position = QPointF(0, 0);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(0, baseline), run);
    }
}

} // namespace Tessaline
