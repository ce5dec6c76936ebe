#include "Windows/CommandPaletteController.h"

#include "App/AppDelegate.h"
#include "Skins/SkinLoader.h"
#include "Windows/CommandPaletteView.h"
#include "Windows/DeviceWindowController.h"
#include "Windows/SessionManager.h"
#include "Windows/TerminalPanel.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

namespace Quillaby {

namespace {

QPainterPath panelShape(QRectF rect) {
    QPainterPath path;
    path.addRoundedRect(rect, CommandPalettePanel::cornerRadius, CommandPalettePanel::cornerRadius);
    return path;
}

} // namespace

CommandPalettePanel::CommandPalettePanel() {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Command Palette"));
    setObjectName(QStringLiteral("commandPalette"));
}

void CommandPalettePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = panelShape(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    // A heads-up surface: dark and nearly opaque, so it reads over any skin.
    p.fillPath(shape, QColor(28, 28, 30, 242));
    p.setPen(QPen(QColor(255, 255, 255, 20), 1));
    p.drawPath(shape);
}

void CommandPalettePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Without a compositor the clear corners would be black: cut them off.
    setMask(QRegion(panelShape(QRectF(rect())).toFillPolygon().toPolygon()));
}

void CommandPalettePanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) _dragOffset = event->globalPosition().toPoint() - pos();
}

void CommandPalettePanel::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) move(event->globalPosition().toPoint() - _dragOffset);
}

CommandPaletteController::CommandPaletteController() {
    _panel = new CommandPalettePanel();
    _panel->resize(panelSize);
    auto* layout = new QVBoxLayout(_panel);
    layout->setContentsMargins(0, 0, 0, 0);
    _view = new CommandPaletteView(_state, _panel);
    layout->addWidget(_view);
    QPointer<CommandPaletteController> self(this);
    _view->onDismiss = [self] {
        if (self) self->close();
    };
    _view->onRun = [self](const PaletteEntry& entry) {
        if (self) self->run(entry);
    };
}

CommandPaletteController::~CommandPaletteController() { delete _panel; }

void CommandPaletteController::open(DeviceWindowController* anchor) {
    _anchor = anchor;
    _state.reload(anchor);
    _state.setQuery(QString());
    QWidget* anchorWindow = anchor ? anchor->window() : nullptr;
    if (anchorWindow) {
        const QRect frame = anchorWindow->frameGeometry();
        const QPoint centre = frame.center();
        _panel->move(centre.x() - panelSize.width() / 2, centre.y() - panelSize.height() / 2 - anchorLift);
    } else {
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen) screen = QGuiApplication::primaryScreen();
        if (screen) {
            QRect frame(QPoint(), panelSize);
            frame.moveCenter(screen->geometry().center());
            _panel->move(frame.topLeft());
        }
    }
    _panel->show();
    _panel->raise();
    _panel->activateWindow();
    _view->focusSearchField();
}

void CommandPaletteController::close() {
    if (_panel) _panel->hide();
}

void CommandPaletteController::run(const PaletteEntry& entry) {
    using Kind = PaletteEntry::Action::Kind;
    const PaletteEntry::Action& action = entry.action;
    // Hidden first, so the device window is the active one again when the action runs.
    close();
    DeviceWindowController* anchor = _anchor;
    AppDelegate* app = AppDelegate::instance();
    switch (action.kind) {
    case Kind::changeSkin:
        if (!anchor) break;
        for (const SkinManifest& skin : SkinLoader::shared().skinsOrFallback())
            if (skin.name == action.skinName) {
                anchor->changeSkin(skin);
                break;
            }
        break;
    case Kind::switchSession:
        if (anchor) anchor->terminalPanel()->manager().switchTo(action.sessionIndex);
        break;
    case Kind::newSession:
        if (anchor) anchor->terminalPanel()->addSession();
        break;
    case Kind::cycleSkin:
        // The window the palette was opened over: the panel itself was the active window till now.
        if (app) AppDelegate::cycleSkin(anchor ? anchor : app->activeController());
        break;
    case Kind::openSkinPicker:
        if (app) app->showSkinPicker();
        break;
    case Kind::openSettings:
        if (app) app->showSettings();
        break;
    }
}

} // namespace Quillaby
