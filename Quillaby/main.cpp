// For now one plain window holding a terminal panel (the sessions with their tab strip) in the built-in
// handheld skin's colours; the device window takes its place later.
#include "App/FontRegistrar.h"
#include "Skins/SkinManifest.h"
#include "Windows/FlippedContainerView.h"
#include "Windows/ShellView.h"
#include "Windows/TerminalPanel.h"

#include "LocalProcessTerminalView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QResizeEvent>
#include <QWidget>

#include <cmath>
#include <memory>

namespace {

// Ends every session when it closes.
class PanelWindow final : public QWidget {
public:
    PanelWindow()
        : _panel(std::make_unique<Quillaby::TerminalPanel>(Quillaby::SkinManifest::handheld().palette)) {
        setWindowTitle(QStringLiteral("Quillaby"));
        _panel->container()->setParent(this);
        _panel->startSession(std::nullopt);
        resize(sizeFor(80, 24));
    }

protected:
    void resizeEvent(QResizeEvent*) override { _panel->container()->setGeometry(rect()); }
    void closeEvent(QCloseEvent* event) override {
        _panel->manager().terminateAll();
        event->accept();
    }

private:
    // The window size that shows the given number of cells in the first session's font.
    QSize sizeFor(int cols, int rows) const {
        const Tessaline::LocalProcessTerminalView* view = _panel->manager().active()->terminal();
        const QSizeF cell = view->cellDimension();
        return QSize(int(std::ceil(cell.width() * cols + view->scrollerWidth())),
                     int(std::ceil(cell.height() * rows)));
    }

    std::unique_ptr<Quillaby::TerminalPanel> _panel;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillaby"));
    Quillaby::FontRegistrar::registerBundledFonts();
    PanelWindow window;
    window.show();
    return QApplication::exec();
}
