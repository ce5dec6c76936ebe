// For now one plain window holding a terminal panel (the sessions with their tab strip) in the built-in
// handheld skin's colours; the device window takes its place later.
#include "App/FontRegistrar.h"
#include "Skins/SkinManifest.h"
#include "Windows/FlippedContainerView.h"
#include "Windows/ShellView.h"
#include "Windows/TerminalPanel.h"

#include "LocalProcessTerminalView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QResizeEvent>
#include <QWidget>

#include <cmath>
#include <memory>
#include <utility>

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
        // The edit commands on the Ctrl+Shift chord, which the view leaves to the window.
        using Command = Tessaline::TerminalView::EditCommand;
        for (auto [keys, command] :
             {std::pair{Qt::Key_C, Command::copy}, std::pair{Qt::Key_V, Command::paste},
              std::pair{Qt::Key_A, Command::selectAll}, std::pair{Qt::Key_F, Command::showFind},
              std::pair{Qt::Key_G, Command::findNext}}) {
            auto* action = new QAction(this);
            action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | keys));
            connect(action, &QAction::triggered, this, [this, command = command] {
                Quillaby::ShellView* session = _panel->manager().active();
                Tessaline::TerminalView* view = session ? session->terminal() : nullptr;
                if (view && view->isCommandEnabled(command)) view->performCommand(command);
            });
            addAction(action);
        }
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
