#include "App/AppDelegate.h"
#include "App/AppResources.h"
#include "App/LaunchTrace.h"
#include "App/QuitSignals.h"
#include "App/SingleInstance.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

int main(int argc, char** argv) {
    Quillaby::LaunchTrace::mark("main");
    // Windows are placed by the application: prefer X11 where both are offered.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    Quillaby::LaunchTrace::mark("application made");
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
    // and its shell; windows already shown take the icon up when it is set.
    QTimer::singleShot(0, &app, [] {
        if (const std::optional<QString> resources = Quillaby::AppResources::bundle().resourcePath()) {
            QIcon icon;
            for (int size : {16, 32, 48, 64, 128, 256})
                icon.addFile(QStringLiteral("%1/Icons/quillaby-%2.png").arg(*resources).arg(size),
                             QSize(size, size));
            QApplication::setWindowIcon(icon);
        }
    });
    return QApplication::exec();
}
