#include "Windows/DeviceWindowController.h"

#include "App/AppDelegate.h"
#include "App/KeyEquivalents.h"
#include "App/LaunchTrace.h"
#include "App/MainMenu.h"
#include "App/AppHooks.h"
#include "App/Log.h"
#include "App/NotificationCenter.h"
#include "Picker/SkinPickerWindowController.h"
#include "Settings/CuratedPalettes.h"
#include "Settings/HexColor.h"
#include "Settings/SettingsStore.h"
#include "Skins/SkinLoader.h"
#include "Skins/ViewportShape.h"
#include "Windows/DevicePlacement.h"
#include "Windows/EffectsLayer.h"
#include "Windows/ScreenContainer.h"
#include "Windows/SessionManager.h"
#include "Windows/ShellView.h"
#include "Windows/SkinFrameView.h"
#include "Windows/TerminalPanel.h"

#include <algorithm>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMouseEvent>

#include <utility>

namespace Quillaby {

namespace {

QColor toQColor(const RgbColor& c) {
    return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue));
}

} // namespace

DeviceWindow::DeviceWindow() {
    setWindowTitle(QStringLiteral("Quillaby"));
    setMouseTracking(true);
}

void DeviceWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (onMoved) onMoved();
}

void DeviceWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onResized) onResized();
}

void DeviceWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onClosing) onClosing();
}

DeviceWindowController::DeviceWindowController(const SkinManifest& skin,
                                               const std::optional<WindowState>& restoringState)
    : _skin(skin)
    , _terminalPanel(std::make_unique<TerminalPanel>(skin.palette)) {
    // Decoded while the shell starts and the terminal view measures its font.
    SkinFrameView::prefetchFrameImage(skin);
    const ScreenFrames screens = AppHooks::current().screens();
    QList<QRectF> visibleFrames;
    for (const QRect& frame : screens.all)
        visibleFrames.append(frame);
    const DevicePlacement placement = DevicePlacement::atLaunch(skin.frameSize, skin.launchScale,
                                                                QRectF(screens.main), visibleFrames, restoringState);

    _window = new DeviceWindow();
    setDeviceLook(true);
    _window->setGeometry(placement.frame);
    _currentScale = placement.scale;
    _screenContainer = new ScreenContainer(_window);
    // The shell first: its start-up overlaps the frame art's decoding and the rest of the window.
    _screenContainer->registerPanel(*_terminalPanel, 0);
    startTerminal();
    setupViews();
    LaunchTrace::mark("frame made");
    addEditShortcuts();

    _window->onResized = [this] { windowDidResize(); };
    _window->onClosing = [this] { windowWillClose(); };
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(SettingsStore::effectsDidChange, this,
                       [this](const Notification& n) { effectsSettingsChanged(n.object); });
    center.addObserver(SettingsStore::paletteDidChange, this,
                       [this](const Notification& n) { paletteSettingsChanged(n.object); });
    center.addObserver(SkinLoader::skinsDidReload, this, [this](const Notification&) { skinsReloaded(); });
}

void DeviceWindowController::addEditShortcuts() {
    // Find and Find Next on the Ctrl+Shift chord, which terminal views leave to their window; copy,
    // paste and select all are the application menu's.
    using Command = Tessaline::TerminalView::EditCommand;
    for (auto [key, command] : {std::pair{KeyEquivalents::Command::find, Command::showFind},
                                std::pair{KeyEquivalents::Command::findNext, Command::findNext}}) {
        auto* action = new QAction(_window);
        action->setShortcut(KeyEquivalents::sequence(key));
        QObject::connect(action, &QAction::triggered, _window, [this, command = command] {
            ShellView* session = _terminalPanel->manager().active();
            Tessaline::TerminalView* view = session ? session->terminal() : nullptr;
            if (view && view->isCommandEnabled(command)) view->performCommand(command);
        });
        _window->addAction(action);
    }
}

DeviceWindowController::~DeviceWindowController() {
    NotificationCenter::defaultCenter().removeObservers(this);
    Log::write(QStringLiteral("deinit DeviceWindowController"));
    if (!_didTeardown) {
        _didTeardown = true;
        _terminalPanel->manager().terminateAll();
    }
    if (_window) {
        _window->onMoved = nullptr;
        _window->onResized = nullptr;
        _window->onClosing = nullptr;
    }
    // The panel's views live in the window: they go with it, after the panel let go of its sessions.
    _terminalPanel.reset();
    delete _window;
}

void DeviceWindowController::setDeviceLook(bool device) {
    const QRect frame = _window->geometry();
    const bool wasVisible = _window->isVisible();
    const bool wasActive = _window->isActiveWindow();
    _window->setWindowFlag(Qt::FramelessWindowHint, device);
    _window->setAttribute(Qt::WA_TranslucentBackground, device);
    _window->setAttribute(Qt::WA_NoSystemBackground, device);
    _window->setAutoFillBackground(!device);
    if (device) {
        _window->setMinimumSize(0, 0);
    } else {
        QPalette palette = _window->palette();
        palette.setColor(QPalette::Window, toQColor(resolvedPalette().background));
        _window->setPalette(palette);
        _window->setMinimumSize(miniMinimumSize);
    }
    _window->setGeometry(frame);
    if (wasVisible) _window->show();
    // Cleared once the window is shown again: cleared while the flags change hid it, the shape stayed
    // on the X window, and the mini terminal showed through the device's outline.
    if (!device) _window->clearMask();
    // Changing the flags hides the window, which makes Qt forget it was the active one, while the
    // platform's focus never left it: no activation follows, and Ctrl+Shift+M could not bring the
    // device back. Tell Qt again.
    if (wasActive) {
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        QApplication::setActiveWindow(_window);
        QT_WARNING_POP
        _window->activateWindow();
    }
}

QRect DeviceWindowController::savedFrame() const {
    if (!_isDeviceMode) return _deviceFrameBeforeMini;
    return _window ? _window->geometry() : QRect();
}

void DeviceWindowController::showWindow() {
    if (!_window) return;
    _window->show();
    _window->raise();
    _window->activateWindow();
    LaunchTrace::mark("window shown");
    if (_isDeviceMode && _window->width() > 0 && _window->height() > 0) {
        _currentScale = _window->width() / _skin.frameSize.width();
        layoutViewport();
    }
}

void DeviceWindowController::setupViews() {
    _effectsLayer = new EffectsLayer(_window);
    _effectsLayer->setAttribute(Qt::WA_TransparentForMouseEvents);
    _effectsLayer->hide();
    applyEffects();
    installFrameView();
    layoutViewport();
}

void DeviceWindowController::installFrameView() {
    delete _skinFrameView;
    _skinFrameView = new SkinFrameView(_skin, _window);
    _skinFrameView->setGeometry(_window->rect());
    _skinFrameView->onContextMenu = [this](QMouseEvent* event, SkinFrameView* view) {
        showContextMenu(event, view);
    };
    // Back to front: screen, effects, frame; with the screen in front: frame, screen, effects.
    if (_skin.screenInFront) {
        _skinFrameView->lower();
        _screenContainer->raise();
        if (_effectsLayer) _effectsLayer->raise();
    } else {
        _skinFrameView->raise();
    }
    _skinFrameView->setVisible(_isDeviceMode);
}

void DeviceWindowController::startTerminal() {
    _terminalPanel->startSession(resolvedPalette());
    QWidget* focus = _terminalPanel->focusView();
    (focus ? focus : static_cast<QWidget*>(_screenContainer))->setFocus();
}

void DeviceWindowController::layoutViewport() {
    if (!_window || !_isDeviceMode) return;
    const double s = _currentScale;
    const QRectF viewport = _skin.viewportRect;
    const double vw = std::abs(viewport.width()), vh = std::abs(viewport.height());
    const QRectF upright(viewport.x() * s, viewport.y() * s, vw * s, vh * s);
    QList<QPointF> offsets;
    if (_skin.viewportCornerOffsets.size() == 4)
        for (const QPointF& offset : _skin.viewportCornerOffsets)
            offsets.append(offset * s);
    const QList<QPointF> quad = ViewportShape::corners(upright, offsets);
    const QRectF box = ViewportShape::boundingBox(quad);
    QList<QPointF> containerCorners;
    for (const QPointF& corner : quad)
        containerCorners.append(corner - box.topLeft());
    QList<double> radii;
    if (_skin.viewportCornerRadii.size() == 4)
        for (double radius : _skin.viewportCornerRadii)
            radii.append(radius * s);
    _screenContainer->configureViewport(box, upright.size(), containerCorners, _skin.viewportCornerRadius * s,
                                        radii);
    double largestRadius = _skin.viewportCornerRadius * s;
    if (!radii.isEmpty()) largestRadius = *std::max_element(radii.begin(), radii.end());
    if (_terminalPanel) _terminalPanel->manager().setScreenCornerRadius(largestRadius);
    if (_effectsLayer) {
        QList<double> effectRadii = radii;
        if (effectRadii.isEmpty() && _skin.viewportCornerRadius > 0)
            effectRadii = QList<double>(4, _skin.viewportCornerRadius * s);
        _effectsLayer->setViewport(upright, quad, effectRadii);
    }
    if (_skinFrameView) _skinFrameView->setGeometry(_window->rect());
    updateMask();
}

void DeviceWindowController::updateMask() {
    if (!_window || !_isDeviceMode || !_skinFrameView) return;
    QRegion region = _skinFrameView->mask().isEmpty() ? QRegion(_window->rect()) : _skinFrameView->mask();
    region += QRegion(_screenContainer->geometry());
    _window->setMask(region);
}

void DeviceWindowController::applyEffects() {
    const SkinEffectsSettings effects = SettingsStore::shared().effects(_skin.name);
    if (!_effectsLayer) return;
    _effectsLayer->configure(effects, _skin.palette);
    _effectsLayer->setVisible(_isDeviceMode && EffectsLayer::showsAnything(effects));
}

SkinManifest::TerminalPalette DeviceWindowController::resolvedPalette() const {
    const SettingsStore& store = SettingsStore::shared();
    std::optional<RgbColor> cursorOverride;
    const auto cursorOverrides = store.cursorOverrides();
    if (const auto it = cursorOverrides.find(_skin.name); it != cursorOverrides.end())
        cursorOverride = hexColorOrMagenta(*it);
    SkinManifest::TerminalPalette result = _skin.palette;
    const QMap<QString, QString> overrides = store.paletteOverrides();
    if (const auto it = overrides.find(_skin.name); it != overrides.end()) {
        if (const std::optional<CuratedPalette> curated = CuratedPalettes::byId(*it)) {
            result.foreground = hexColorOrMagenta(curated->foreground);
            result.background = hexColorOrMagenta(curated->background);
            result.cursor = cursorOverride ? cursorOverride : hexColorOrMagenta(curated->cursor);
            if (curated->ansi.size() == 16) {
                QList<RgbColor> ansi;
                for (const QString& hex : curated->ansi)
                    ansi.append(hexColorOrMagenta(hex));
                result.ansi = ansi;
            } else {
                result.ansi.reset();
            }
            return result;
        }
    }
    if (cursorOverride) result.cursor = cursorOverride;
    if (result.ansi && result.ansi->size() != 16) result.ansi.reset();
    return result;
}

void DeviceWindowController::installSkinViews(const SkinManifest& skin) {
    _skin = skin;
    installFrameView();
    _terminalPanel->applyPalette(resolvedPalette());
}

void DeviceWindowController::changeSkin(const SkinManifest& skin) {
    if (!_window) return;
    if (!_isDeviceMode) exitMiniMode();
    const QRect old = _window->geometry();
    installSkinViews(skin);
    _window->setGeometry(DevicePlacement::centredOn(
        old, QSize(int(std::lround(skin.frameSize.width())), int(std::lround(skin.frameSize.height())))));
    _currentScale = _window->width() / _skin.frameSize.width();
    layoutViewport();
    applyEffects();
}

void DeviceWindowController::reapplySkin(const SkinManifest& updated) {
    if (!_window || !_isDeviceMode) return;
    const QSizeF oldSize = _skin.frameSize;
    installSkinViews(updated);
    if (updated.frameSize != oldSize) {
        const QRect old = _window->geometry();
        _window->setGeometry(old.x(), old.y(), int(std::lround(updated.frameSize.width() * _currentScale)),
                             int(std::lround(updated.frameSize.height() * _currentScale)));
    }
    _currentScale = _window->width() / _skin.frameSize.width();
    layoutViewport();
    applyEffects();
}

void DeviceWindowController::scaleDevice(double factor) {
    if (!_window) return;
    const QRect scaled = DevicePlacement::scaledAboutCentre(_window->geometry(), factor);
    // Growing without end asked the window system for windows no screen can show, and their backing store
    // for gigabytes: a step that outgrows the largest screen is not taken.
    if (factor > 1) {
        QSize largest;
        for (const QRect& frame : AppHooks::current().screens().all)
            largest = largest.expandedTo(frame.size());
        if (scaled.width() > largest.width() || scaled.height() > largest.height()) return;
    }
    _currentScale *= factor;
    _window->setGeometry(scaled);
    layoutViewport();
    _window->update();
}

void DeviceWindowController::enterMiniMode() {
    if (!_window || !_isDeviceMode) return;
    _isDeviceMode = false;
    _deviceFrameBeforeMini = _window->geometry();
    if (_skinFrameView) _skinFrameView->hide();
    if (_effectsLayer) _effectsLayer->hide();
    setDeviceLook(false);
    _window->setGeometry(DevicePlacement::centredOn(_deviceFrameBeforeMini, miniSize));
    fillWindowWithScreen();
    if (_terminalPanel) _terminalPanel->manager().setScreenCornerRadius(0);
    QWidget* focus = _terminalPanel->focusView();
    (focus ? focus : static_cast<QWidget*>(_screenContainer))->setFocus();
}

void DeviceWindowController::exitMiniMode() {
    if (!_window || _isDeviceMode) return;
    _isDeviceMode = true;
    setDeviceLook(true);
    if (_skinFrameView) _skinFrameView->show();
    applyEffects();
    _window->setGeometry(_deviceFrameBeforeMini);
    _currentScale = _window->width() / _skin.frameSize.width();
    layoutViewport();
    if (_skinReloadPendingWhileMini) {
        _skinReloadPendingWhileMini = false;
        for (const SkinManifest& skin : SkinLoader::shared().skins())
            if (skin.id == _skin.id) {
                reapplySkin(skin);
                break;
            }
    }
}

void DeviceWindowController::showChangeSkinPicker() {
    auto picker = std::make_unique<SkinPickerWindowController>(_skin.id);
    QPointer<DeviceWindowController> self(this);
    picker->onSkinSelected = [self](const SkinManifest& skin) {
        if (self) self->changeSkin(skin);
    };
    picker->showWindow();
    // The earlier picker stays open: it lives on with the window.
    if (_skinPickerController) _skinPickerController.release()->setParent(this);
    _skinPickerController = std::move(picker);
}

void DeviceWindowController::showContextMenu(QMouseEvent* event, QWidget* view) {
    QMenu menu(view);
    menu.addAction(_isDeviceMode ? QStringLiteral("Mini Terminal") : QStringLiteral("Exit Mini Terminal"),
                   this, [this] { _isDeviceMode ? enterMiniMode() : exitMiniMode(); });
    menu.addAction(QStringLiteral("Change Skin..."), this, [this] { showChangeSkinPicker(); });
    menu.addAction(QStringLiteral("Skin Builder..."), this, [] {
        if (AppDelegate* app = AppDelegate::instance()) app->openSkinBuilder(std::nullopt);
    });
    menu.addAction(QStringLiteral("Settings..."), this, [] {
        if (AppDelegate* app = AppDelegate::instance()) app->showSettings();
    });
    menu.addSeparator();
    QPointer<DeviceWindow> window = _window;
    menu.addAction(QStringLiteral("Close Window"), this, [window] {
        if (window) window->close();
    });
    // No menu bar on this desktop: the application's menus hang off every device.
    if (AppDelegate* app = AppDelegate::instance(); app && app->mainMenu) {
        menu.addSeparator();
        for (QMenu* submenu : app->mainMenu->menus())
            menu.addMenu(submenu);
    }
    menu.exec(event->globalPosition().toPoint());
}

void DeviceWindowController::fillWindowWithScreen() {
    _screenContainer->configureViewport(QRectF(_window->rect()), QSizeF(_window->size()), {}, 0, {});
}

void DeviceWindowController::windowDidResize() {
    if (!_window || _window->width() <= 0) return;
    // A window manager applies the mini size later than asked, and the user may resize a mini window:
    // the screen follows the window's size each time.
    if (!_isDeviceMode) {
        fillWindowWithScreen();
        return;
    }
    _currentScale = _window->width() / _skin.frameSize.width();
    layoutViewport();
}

void DeviceWindowController::windowWillClose() {
    if (_didTeardown) return;
    _didTeardown = true;
    _terminalPanel->manager().terminateAll();
}

void DeviceWindowController::skinsReloaded() {
    for (const SkinManifest& skin : SkinLoader::shared().skins()) {
        if (skin.id != _skin.id) continue;
        if (!_isDeviceMode)
            _skinReloadPendingWhileMini = true;
        else
            reapplySkin(skin);
        return;
    }
}

void DeviceWindowController::paletteSettingsChanged(const QVariant& object) {
    if (object.isValid() && object.toString() != _skin.name) return;
    _terminalPanel->applyPalette(resolvedPalette());
}

void DeviceWindowController::effectsSettingsChanged(const QVariant& object) {
    if (object.isValid() && object.toString() != _skin.name) return;
    applyEffects();
}

} // namespace Quillaby
