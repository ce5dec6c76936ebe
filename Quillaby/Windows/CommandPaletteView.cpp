#include "Windows/CommandPaletteView.h"

#include "App/SlimScrollBar.h"
#include "Services/SymbolImage.h"
#include "Settings/SettingsStyle.h"
#include "Windows/PaletteState.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace Quillaby {

namespace {

// The panel is a dark heads-up surface whatever the desktop's theme: white text in three strengths.
const QColor primaryText(255, 255, 255, 235);
const QColor secondaryText(255, 255, 255, 140);
const QColor tertiaryText(255, 255, 255, 80);

SymbolImage::Symbol symbolNamed(const QString& name) {
    using Symbol = SymbolImage::Symbol;
    if (name == QLatin1String("paintbrush.fill")) return Symbol::Paintbrush;
    if (name == QLatin1String("terminal")) return Symbol::Terminal;
    if (name == QLatin1String("plus")) return Symbol::Plus;
    if (name == QLatin1String("arrow.triangle.2.circlepath")) return Symbol::ArrowTriangle2Circlepath;
    if (name == QLatin1String("rectangle.stack")) return Symbol::RectangleStack;
    if (name == QLatin1String("gear")) return Symbol::Gear;
    return Symbol::Command;
}

QFont titleFont() { return SettingsStyle::systemFont(13); }
QFont subtitleFont() { return SettingsStyle::monospaced(SettingsStyle::Text::Caption); }
QFont hintFont() {
    QFont font = SettingsStyle::monospaced(SettingsStyle::Text::Caption);
    font.setPixelSize(std::max(9, font.pixelSize() - 1));
    return font;
}

QLabel* textLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace

CommandPaletteView::CommandPaletteView(PaletteState& state, QWidget* parent)
    : QWidget(parent)
    , _state(state) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout();
    header->setContentsMargins(14, 10, 14, 10);
    header->setSpacing(8);
    auto* symbol = new QLabel(this);
    symbol->setPixmap(SymbolImage::pixmap(SymbolImage::Symbol::Command, 16, secondaryText, devicePixelRatioF()));
    header->addWidget(symbol);
    _field = new QLineEdit(this);
    _field->setObjectName(QStringLiteral("search"));
    _field->setFrame(false);
    _field->setPlaceholderText(QStringLiteral("Jump to\u2026"));
    _field->setFont(SettingsStyle::monospaced(16));
    QPalette fieldPalette = _field->palette();
    fieldPalette.setColor(QPalette::Base, Qt::transparent);
    fieldPalette.setColor(QPalette::Text, primaryText);
    fieldPalette.setColor(QPalette::PlaceholderText, tertiaryText);
    _field->setPalette(fieldPalette);
    _field->setAttribute(Qt::WA_MacShowFocusRect, false);
    header->addWidget(_field, 1);
    header->addWidget(textLabel(QStringLiteral("esc"), subtitleFont(), tertiaryText, this));
    column->addLayout(header);

    auto* divider = new QWidget(this);
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette dividerPalette = divider->palette();
    dividerPalette.setColor(QPalette::Window, QColor(255, 255, 255, 26));
    divider->setPalette(dividerPalette);
    column->addWidget(divider);

    _scroll = new QScrollArea(this);
    _scroll->setFrameShape(QFrame::NoFrame);
    _scroll->setWidgetResizable(true);
    _scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _scroll->setFocusPolicy(Qt::NoFocus);
    styleSlimScrollBar(_scroll->verticalScrollBar());
    // The panel paints the surface; nothing in the list fills over it.
    _scroll->setAutoFillBackground(false);
    _scroll->viewport()->setAutoFillBackground(false);
    _rows = new PaletteRowsView(state, _scroll);
    _scroll->setWidget(_rows);
    // setWidget() turned the filling on.
    _rows->setAutoFillBackground(false);
    column->addWidget(_scroll, 1);

    connect(_field, &QLineEdit::textChanged, this, [this](const QString& text) { _state.setQuery(text); });
    connect(&_state, &PaletteState::changed, this, [this] { stateChanged(); });
    _rows->onRun = [this](const PaletteEntry& entry) {
        if (onRun) onRun(entry);
    };
    _field->installEventFilter(this);
    stateChanged();
}

void CommandPaletteView::focusSearchField() { _field->setFocus(Qt::OtherFocusReason); }

bool CommandPaletteView::handleKey(int key) {
    switch (key) {
    case Qt::Key_Escape:
        if (onDismiss) onDismiss();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const QList<PaletteEntry> results = _state.results();
        const int index = _state.selectedIndex();
        if (index >= 0 && index < results.size() && onRun) onRun(results[index]);
        return true;
    }
    case Qt::Key_Down:
        _state.setSelectedIndex(std::min(_state.selectedIndex() + 1, int(_state.results().size()) - 1));
        return true;
    case Qt::Key_Up:
        _state.setSelectedIndex(std::max(_state.selectedIndex() - 1, 0));
        return true;
    default:
        return false;
    }
}

bool CommandPaletteView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == _field && event->type() == QEvent::KeyPress) {
        // The keypad's Enter carries the keypad modifier; any other modifier leaves the key to the field.
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && handleKey(key->key())) return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CommandPaletteView::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event->key())) QWidget::keyPressEvent(event);
}

void CommandPaletteView::stateChanged() {
    if (_field->text() != _state.query()) {
        const QSignalBlocker blocker(_field);
        _field->setText(_state.query());
    }
    _rows->refresh();
    const int selected = _state.selectedIndex();
    if (selected >= 0) {
        const QRect row = _rows->rowRect(selected);
        _scroll->ensureVisible(row.center().x(), row.center().y(), 0, row.height() / 2);
    }
}

PaletteRowsView::PaletteRowsView(PaletteState& state, QWidget* parent)
    : QWidget(parent)
    , _state(state) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    setObjectName(QStringLiteral("rows"));
}

int PaletteRowsView::rowHeight() const {
    const int text = QFontMetrics(titleFont()).height() + 1 + QFontMetrics(subtitleFont()).height();
    return std::max(22, text) + 12;
}

int PaletteRowsView::rowAt(QPoint point) const {
    if (point.y() < 0 || point.x() < 0 || point.x() >= width()) return -1;
    const int row = point.y() / rowHeight();
    return row < _results.size() ? row : -1;
}

QRect PaletteRowsView::rowRect(int row) const { return QRect(0, row * rowHeight(), width(), rowHeight()); }

void PaletteRowsView::refresh() {
    _results = _state.results();
    setMinimumHeight(int(_results.size()) * rowHeight());
    updateGeometry();
    update();
}

QSize PaletteRowsView::sizeHint() const { return QSize(500, int(_results.size()) * rowHeight()); }

void PaletteRowsView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int selected = _state.selectedIndex();
    const QFont title = titleFont(), subtitle = subtitleFont(), hint = hintFont();
    const QFontMetrics titleMetrics(title), subtitleMetrics(subtitle), hintMetrics(hint);
    for (int i = 0; i < _results.size(); ++i) {
        const PaletteEntry& entry = _results[i];
        const QRect row = rowRect(i);
        const bool isSelected = i == selected;
        if (isSelected) {
            QColor accent = palette().color(QPalette::Highlight);
            accent.setAlphaF(0.15f);
            p.fillRect(row, accent);
        }
        const int left = row.left() + 14;
        const QColor iconColor = isSelected ? primaryText : secondaryText;
        const QPixmap icon = SymbolImage::pixmap(symbolNamed(entry.icon), 15, iconColor, devicePixelRatioF());
        p.drawPixmap(QPointF(left + (22 - 15) / 2.0, row.center().y() - 7.5), icon);

        const int textLeft = left + 22 + 10;
        int right = row.right() - 14;
        if (isSelected) {
            p.setFont(hint);
            p.setPen(secondaryText);
            const int hintWidth = hintMetrics.horizontalAdvance(QStringLiteral("return"));
            p.drawText(QRect(right - hintWidth, row.top(), hintWidth, row.height()), Qt::AlignVCenter,
                       QStringLiteral("return"));
            right -= hintWidth + 10;
        }
        const int textHeight = titleMetrics.height() + 1 + subtitleMetrics.height();
        const int top = row.top() + (row.height() - textHeight) / 2;
        p.setFont(title);
        p.setPen(primaryText);
        p.drawText(QRect(textLeft, top, right - textLeft, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   titleMetrics.elidedText(entry.title, Qt::ElideRight, right - textLeft));
        p.setFont(subtitle);
        p.setPen(secondaryText);
        p.drawText(QRect(textLeft, top + titleMetrics.height() + 1, right - textLeft, subtitleMetrics.height()),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   subtitleMetrics.elidedText(entry.subtitle, Qt::ElideRight, right - textLeft));
    }
}

void PaletteRowsView::mouseMoveEvent(QMouseEvent* event) {
    if (const int row = rowAt(event->position().toPoint()); row >= 0) _state.setSelectedIndex(row);
}

void PaletteRowsView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int row = rowAt(event->position().toPoint());
    if (row < 0 || !onRun) return;
    const PaletteEntry entry = _results[row];
    onRun(entry);
}

} // namespace Quillaby
