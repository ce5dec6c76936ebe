#include "App/AppDelegate.h"
#include "App/AppResources.h"
#include "App/FirstFrame.h"
#include "App/LaunchTrace.h"
#include "App/QuitSignals.h"
#include "App/SingleInstance.h"
#include "Terminal.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QThreadPool>

#include <fontconfig/fontconfig.h>

#include <thread>

int main(int argc, char** argv) {
    Quillaby::LaunchTrace::mark("main");
    // Reading the font configuration takes tens of milliseconds the terminal's first font waits for;
    // it runs while Qt connects to the display and the shell starts. Qt's own FcInit then finds it done.
    std::jthread fontConfiguration([] { FcInit(); });
    // Windows are placed by the application: prefer X11 where both are offered.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    Quillaby::LaunchTrace::mark("application made");
    // The first widget shown joins the accessibility bus, and waits for the session bus on the way:
    // tens of milliseconds, more without a bus, when libdbus tries to launch one. Joined here on a
    // worker, the bus is ready by then.
    std::jthread sessionBus([] { QDBusConnection::sessionBus(); });
    QApplication::setApplicationName(QStringLiteral("Quillaby"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillaby"));

    const QStringList arguments = QApplication::arguments();
    const qsizetype previewAt = arguments.indexOf(QStringLiteral("--preview-skin"));
    const bool preview = previewAt >= 0 && previewAt + 1 < arguments.size();
    Quillaby::SingleInstance instance(Quillaby::SingleInstance::defaultName());
    // A preview window is its own process: it neither joins nor blocks the running copy.
    if (!preview && instance.notifyRunning()) return 0;

    Quillaby::AppDelegate delegate;
    if (!preview) {
        instance.onActivate = [&delegate] { delegate.handleReopen(); };
        instance.listen();
    }
    Quillaby::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &Quillaby::QuitSignals::quitRequested, &app,
                     [&delegate] { delegate.terminate(); });
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });

    delegate.arguments = arguments;
    delegate.applicationDidFinishLaunching();
    // Decoding six icon sizes (and loading Qt's image plugins for them) held back the first window
    // and its shell, then its first paint; windows already shown take the icon up when it is set.
    Quillaby::FirstFrame::whenPainted(&app, [] {
        if (const std::optional<QString> resources = Quillaby::AppResources::bundle().resourcePath()) {
            QIcon icon;
            for (int size : {16, 32, 48, 64, 128, 256})
                icon.addFile(QStringLiteral("%1/Icons/quillaby-%2.png").arg(*resources).arg(size),
                             QSize(size, size));
            QApplication::setWindowIcon(icon);
        }
    });
    // Built on a worker while the user reads the prompt, so that the first accented letter or emoji
    // the shell prints does not build them on the GUI thread.
    Quillaby::FirstFrame::whenPainted(&app, [] {
        QThreadPool::globalInstance()->start([] { Tessaline::Terminal::prepareSharedTables(); });
    });
    const int status = QApplication::exec();
    // Workers may still be making the shared tables: they finish before the statics they use go.
    QThreadPool::globalInstance()->waitForDone();
    return status;
}
