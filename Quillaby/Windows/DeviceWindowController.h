#pragma once

#include "Settings/WindowState.h"
#include "Skins/SkinManifest.h"
#include "Windows/EffectsLayer.h"
#include "Windows/ScreenContainer.h"
#include "Windows/SkinFrameView.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QMouseEvent;

namespace Quillaby {

class SkinPickerWindowController;
class TerminalPanel;

// The top-level widget of a device: frameless and translucent, shaped by the frame's opaque art plus
// the screen, so it stays usable without a compositor.
class DeviceWindow : public QWidget {
    Q_OBJECT
public:
    DeviceWindow();
    // Moved, resized (by anyone) and about to close: the controller and the application follow them.
    std::function<void()> onMoved;
    std::function<void()> onResized;
    std::function<void()> onClosing;

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};

// One device window: the skin, the screen carrying the terminal panel into the viewport, the effects
// over it and the frame around it; mini mode turns it into a plain terminal window.
class DeviceWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr QSize miniSize{600, 420};
    static constexpr QSize miniMinimumSize{320, 200};
    static constexpr double biggerFactor = 1.2;
    static constexpr double smallerFactor = 1 / 1.2;

    explicit DeviceWindowController(const SkinManifest& skin,
                                    const std::optional<WindowState>& restoringState = std::nullopt);
    ~DeviceWindowController() override;

    DeviceWindow* window() const { return _window; }
    const SkinManifest& skin() const { return _skin; }
    ScreenContainer* screenContainer() const { return _screenContainer; }
    TerminalPanel* terminalPanel() const { return _terminalPanel.get(); }
    SkinFrameView* skinFrameView() const { return _skinFrameView; }
    EffectsLayer* effectsLayer() const { return _effectsLayer; }
    double currentScale() const { return _currentScale; }
    bool isDeviceMode() const { return _isDeviceMode; }
    QRect deviceFrameBeforeMini() const { return _deviceFrameBeforeMini; }
    bool skinReloadPendingWhileMini() const { return _skinReloadPendingWhileMini; }
    bool didTeardown() const { return _didTeardown; }
    void markTornDown() { _didTeardown = true; }
    // The frame saved for this window: the device frame, also in mini mode.
    QRect savedFrame() const;

    void showWindow();
    void changeSkin(const SkinManifest& skin);
    void reapplySkin(const SkinManifest& updated);
    void scaleDevice(double factor);
    void enterMiniMode();
    void exitMiniMode();
    void applyEffects();
    SkinManifest::TerminalPalette resolvedPalette() const;
    void showChangeSkinPicker();
    void showContextMenu(QMouseEvent* event, QWidget* view);

    // Handlers, public for the application and tests.
    void windowDidResize();
    void windowWillClose();
    void skinsReloaded();
    void paletteSettingsChanged(const QVariant& object);
    void effectsSettingsChanged(const QVariant& object);

private:
    void addEditShortcuts();
    void setupViews();
    void startTerminal();
    void layoutViewport();
    void fillWindowWithScreen();
    void installSkinViews(const SkinManifest& skin);
    void installFrameView();
    void updateMask();
    void setDeviceLook(bool device);

    SkinManifest _skin;
    QPointer<DeviceWindow> _window;
    QPointer<ScreenContainer> _screenContainer;
    std::unique_ptr<TerminalPanel> _terminalPanel;
    QPointer<SkinFrameView> _skinFrameView;
    QPointer<EffectsLayer> _effectsLayer;
    double _currentScale = 1;
    bool _isDeviceMode = true;
    QRect _deviceFrameBeforeMini;
    std::unique_ptr<SkinPickerWindowController> _skinPickerController;
    bool _skinReloadPendingWhileMini = false;
    bool _didTeardown = false;
};

} // namespace Quillaby
