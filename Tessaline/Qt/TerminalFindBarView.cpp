#include "TerminalFindBarView.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace Tessaline {

namespace {

constexpr int margin = 8;
constexpr int widest = 520;
constexpr double cornerRadius = 8;

} // namespace

TerminalFindBarView::TerminalFindBarView(QWidget* parent)
    : QFrame(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);

    _searchField = new QLineEdit(this);
    _searchField->setPlaceholderText(QStringLiteral("Find"));
    _searchField->setClearButtonEnabled(true);
    _searchField->setMinimumWidth(200);
    _searchField->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    _searchField->installEventFilter(this);
    connect(_searchField, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (onSearchChanged) onSearchChanged(text.toStdString());
    });

    _previousButton =
        configureButton(QStringLiteral("go-up"), QStyle::SP_ArrowUp, QStringLiteral("Previous"));
    _nextButton = configureButton(QStringLiteral("go-down"), QStyle::SP_ArrowDown, QStringLiteral("Next"));
    _closeButton = configureButton(QStringLiteral("window-close"), QStyle::SP_TitleBarCloseButton,
                                   QStringLiteral("Close"));
    connect(_previousButton, &QToolButton::clicked, this, &TerminalFindBarView::previousTapped);
    connect(_nextButton, &QToolButton::clicked, this, &TerminalFindBarView::nextTapped);
    connect(_closeButton, &QToolButton::clicked, this, &TerminalFindBarView::closeTapped);
    _caseSensitiveButton = configureOptionButton(QStringLiteral("Aa"), QStringLiteral("Case Sensitive"));
    _regexButton = configureOptionButton(QStringLiteral(".*"), QStringLiteral("Regex"));
    _wholeWordButton = configureOptionButton(QStringLiteral("Word"), QStringLiteral("Whole Word"));

    auto* stack = new QHBoxLayout(this);
    stack->setContentsMargins(margin, 6, margin, 6);
    stack->setSpacing(6);
    for (QWidget* control :
         std::initializer_list<QWidget*>{_searchField, _previousButton, _nextButton, _caseSensitiveButton,
                                         _regexButton, _wholeWordButton, _closeButton})
        stack->addWidget(control, 0, Qt::AlignVCenter);
    stack->setStretch(0, 1);
    if (parent) parent->installEventFilter(this);
}

QToolButton* TerminalFindBarView::configureButton(const QString& iconName, QStyle::StandardPixmap fallback,
                                                  const QString& tooltip) {
    auto* button = new QToolButton(this);
    button->setIcon(QIcon::fromTheme(iconName, style()->standardIcon(fallback)));
    button->setAutoRaise(true);
    button->setIconSize(QSize(14, 14));
    button->setToolTip(tooltip);
    button->setAccessibleName(tooltip);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QCheckBox* TerminalFindBarView::configureOptionButton(const QString& title, const QString& tooltip) {
    auto* box = new QCheckBox(title, this);
    QFont font = QApplication::font();
    font.setPointSizeF(11);
    box->setFont(font);
    box->setToolTip(tooltip);
    box->setFocusPolicy(Qt::NoFocus);
    connect(box, &QCheckBox::toggled, this, &TerminalFindBarView::optionChanged);
    return box;
}

SearchOptions TerminalFindBarView::options() const {
    return SearchOptions(_caseSensitiveButton->isChecked(), _regexButton->isChecked(),
                         _wholeWordButton->isChecked());
}

void TerminalFindBarView::place() {
    QWidget* host = parentWidget();
    if (!host) return;
    const int available = std::max(0, host->width() - 2 * margin);
    const int width = std::min(widest, available);
    setGeometry(host->width() - margin - width, margin, width, sizeHint().height());
}

void TerminalFindBarView::searchFieldAction(Qt::KeyboardModifiers modifiers) {
    if (modifiers.testFlag(Qt::ShiftModifier))
        previousTapped();
    else
        nextTapped();
}

void TerminalFindBarView::previousTapped() {
    if (onFindPrevious) onFindPrevious();
}

void TerminalFindBarView::nextTapped() {
    if (onFindNext) onFindNext();
}

void TerminalFindBarView::closeTapped() {
    if (onClose) onClose();
}

void TerminalFindBarView::optionChanged() {
    if (onOptionsChanged) onOptionsChanged(options());
}

void TerminalFindBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    QColor fill = palette().color(QPalette::Window);
    fill.setAlphaF(0.92);
    painter.fillPath(shape, fill);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawPath(shape);
}

bool TerminalFindBarView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        place();
    } else if (watched == _searchField && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            searchFieldAction(key->modifiers());
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            closeTapped();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void TerminalFindBarView::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

} // namespace Tessaline
