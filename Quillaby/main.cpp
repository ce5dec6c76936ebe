#include "App/AppDelegate.h"
#include "App/QuitSignals.h"
#include "App/SingleInstance.h"

#include "TerminalView.h"

#include <QAction>
#include <QApplication>

#include <utility>

int main(int argc, char** argv) {
    // Windows are placed by the application: prefer X11 where both are offered.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillaby"));
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList arguments = QApplication::arguments();
    const bool preview = arguments.contains(QStringLiteral("--preview-skin"));
    Quillaby::SingleInstance instance(Quillaby::SingleInstance::defaultName());
    // A preview window is its own process: it neither joins nor blocks the running copy.
    if (!preview && instance.notifyRunning()) return 0;

    Quillaby::AppDelegate delegate;
    if (!preview) {
        instance.onActivate = [&delegate] { delegate.handleReopen(); };
        instance.listen();
    }
    Quillaby::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &Quillaby::QuitSignals::quitRequested, &app, [&delegate] {
        // Saved before Qt closes the windows on its way out.
        delegate.applicationWillTerminate();
        QApplication::quit();
    });
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });

    // The edit commands on the Ctrl+Shift chord, which terminal views leave to the application; they act
    // on the terminal that has the keyboard.
    QWidget shortcutHost;
    using Command = Tessaline::TerminalView::EditCommand;
    for (auto [key, command] :
         {std::pair{Qt::Key_C, Command::copy}, std::pair{Qt::Key_V, Command::paste},
          std::pair{Qt::Key_A, Command::selectAll}, std::pair{Qt::Key_F, Command::showFind},
          std::pair{Qt::Key_G, Command::findNext}}) {
        auto* action = new QAction(&shortcutHost);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | key));
        action->setShortcutContext(Qt::ApplicationShortcut);
        QObject::connect(action, &QAction::triggered, &app, [command = command] {
            auto* view = qobject_cast<Tessaline::TerminalView*>(QApplication::focusWidget());
            if (view && view->isCommandEnabled(command)) view->performCommand(command);
        });
        shortcutHost.addAction(action);
    }

    delegate.previewSkin = Quillaby::AppDelegate::parsePreviewSkinArg(arguments);
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
