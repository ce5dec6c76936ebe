#pragma once

#include "Windows/PaletteEntry.h"
#include "Windows/PaletteState.h"

#include <QPointer>
#include <QSize>
#include <QWidget>

namespace Quillaby {

class CommandPaletteView;
class DeviceWindowController;

// The command palette's floating panel: no title bar, above ordinary windows, movable by its
// background, rounded, dark; hidden (not destroyed) when it closes.
class CommandPalettePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int cornerRadius = 8;
    CommandPalettePanel();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPoint _dragOffset;
};

// The command palette: made by the application delegate on first use and kept. Each opening lists the
// skins, the sessions of the device window it opens over and four commands, and runs the chosen one.
class CommandPaletteController : public QObject {
    Q_OBJECT
public:
    static constexpr QSize panelSize{500, 360};
    // The panel's centre sits this far above the device window's.
    static constexpr int anchorLift = 40;

    CommandPaletteController();
    ~CommandPaletteController() override;

    PaletteState& state() { return _state; }
    CommandPalettePanel* window() const { return _panel; }
    CommandPaletteView* view() const { return _view; }
    DeviceWindowController* anchorController() const { return _anchor; }

    // Rebuilds the list for the anchor (none: no sessions), clears the query and shows the panel over
    // the anchor's window (else centred on the screen) as the active window.
    void open(DeviceWindowController* anchor);
    void close();
    // Runs an entry's action against the anchor, then closes the panel.
    void run(const PaletteEntry& entry);

private:
    PaletteState _state;
    QPointer<CommandPalettePanel> _panel;
    CommandPaletteView* _view = nullptr;
    QPointer<DeviceWindowController> _anchor;
};

} // namespace Quillaby
