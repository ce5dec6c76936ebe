#include "App/WelcomeWindowController.h"

#include "Services/SymbolImage.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace Quillaby {

const QList<WelcomeCard>& WelcomeCard::cards() {
    static const QList<WelcomeCard> list{
        {QStringLiteral("paintbrush.fill"), QStringLiteral("Pick a skin"),
         QStringLiteral("Quillaby wraps a real terminal in device-style skins. Each skin is a folder you can "
                        "drop into Application Support — no code, just a PNG + JSON.")},
        {QStringLiteral("rectangle.grid.2x2.fill"), QStringLiteral("Four buttons, your choice"),
         QStringLiteral("Slot 1 is always the Terminal. Slots 2–4 hold panels or widgets — right-click the "
                        "device to swap. Widgets are declarative; drop in JSON and you're live.")},
        {QStringLiteral("command"), QStringLiteral("Keyboard-first"),
         QStringLiteral("⌘T new tab · ⌘1–⌘9 switch · ⌘P palette · ⌘D drawer · ⌥Space from anywhere. "
                        "Everything in the View menu has a shortcut.")},
    };
    return list;
}

namespace {
// The drawn symbol standing in for each card's symbol name.
SymbolImage::Symbol symbolFor(const QString& name) {
    if (name == QLatin1String("paintbrush.fill")) return SymbolImage::Symbol::Paintbrush;
    if (name == QLatin1String("rectangle.grid.2x2.fill")) return SymbolImage::Symbol::GridFill;
    if (name == QLatin1String("command")) return SymbolImage::Symbol::Command;
    return SymbolImage::Symbol::TerminalFill;
}
} // namespace

WelcomeView::WelcomeView(std::function<void()> onFinish, QWidget* parent)
    : QWidget(parent), _onFinish(std::move(onFinish)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 20);
    layout->addStretch();
    _symbol = new QLabel(this);
    _symbol->setAlignment(Qt::AlignCenter);
    layout->addWidget(_symbol);
    _title = new QLabel(this);
    _title->setAlignment(Qt::AlignCenter);
    QFont titleFont = _title->font();
    // Sizes in points of the window's geometry, one logical pixel each (not typographic points).
    titleFont.setPixelSize(22);
    titleFont.setWeight(QFont::DemiBold);
    _title->setFont(titleFont);
    layout->addWidget(_title);
    _body = new QLabel(this);
    _body->setAlignment(Qt::AlignCenter);
    _body->setWordWrap(true);
    QFont bodyFont = _body->font();
    bodyFont.setPixelSize(13);
    _body->setFont(bodyFont);
    _body->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(_body);
    layout->addStretch();
    auto* dots = new QHBoxLayout();
    dots->addStretch();
    for (int i = 0; i < WelcomeCard::cards().size(); ++i) {
        auto* dot = new QWidget(this);
        dot->setFixedSize(7, 7);
        _dots.append(dot);
        dots->addWidget(dot);
    }
    dots->addStretch();
    layout->addLayout(dots);
    auto* buttons = new QHBoxLayout();
    _back = new QPushButton(QStringLiteral("Back"), this);
    _primary = new QPushButton(this);
    _primary->setDefault(true);
    buttons->addWidget(_back);
    buttons->addStretch();
    buttons->addWidget(_primary);
    layout->addLayout(buttons);
    connect(_back, &QPushButton::clicked, this, [this] { showPage(_index - 1); });
    connect(_primary, &QPushButton::clicked, this, [this] { primaryPressed(); });
    showPage(0);
}

void WelcomeView::showPage(int index) {
    const QList<WelcomeCard>& cards = WelcomeCard::cards();
    _index = std::clamp(index, 0, int(cards.size()) - 1);
    const WelcomeCard& card = cards[_index];
    const QColor accent = palette().color(QPalette::Highlight);
    _symbol->setPixmap(SymbolImage::pixmap(symbolFor(card.symbol), 56, accent, devicePixelRatioF()));
    _title->setText(card.title);
    _body->setText(card.body);
    QColor secondary = palette().color(QPalette::PlaceholderText);
    secondary.setAlphaF(0.3f);
    for (int i = 0; i < _dots.size(); ++i)
        _dots[i]->setStyleSheet(QStringLiteral("background: %1; border-radius: 3px;")
                                    .arg((i == _index ? accent : secondary).name(QColor::HexArgb)));
    _back->setVisible(_index > 0);
    _primary->setText(_index == cards.size() - 1 ? QStringLiteral("Pick a Skin") : QStringLiteral("Next"));
    _primary->setFocus();
}

void WelcomeView::primaryPressed() {
    if (_index < WelcomeCard::cards().size() - 1) {
        showPage(_index + 1);
        return;
    }
    if (_onFinish) _onFinish();
}

void WelcomeView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        primaryPressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

WelcomeWindowController::WelcomeWindowController(std::function<void()> onFinish) {
    // Customised, or the window system adds minimise and maximise buttons to the close button.
    _window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                       Qt::WindowCloseButtonHint);
    _window->setWindowTitle(QStringLiteral("Welcome to Quillaby"));
    _window->setFixedSize(contentSize);
    QPointer<WelcomeWindowController> self(this);
    _view = new WelcomeView(
        [self, onFinish = std::move(onFinish)] {
            if (self && self->_window) self->_window->close();
            if (onFinish) onFinish();
        },
        _window);
    auto* layout = new QVBoxLayout(_window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(_view);
    if (QScreen* screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        _window->move(area.center() - QPoint(contentSize.width() / 2, contentSize.height() / 2));
    }
}

WelcomeWindowController::~WelcomeWindowController() { delete _window; }

void WelcomeWindowController::showWindow() {
    _window->show();
    _window->raise();
    _window->activateWindow();
}

} // namespace Quillaby
