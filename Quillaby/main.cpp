#include "App/AppDelegate.h"
#include "App/QuitSignals.h"
#include "App/SingleInstance.h"

#include <QApplication>

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
    QObject::connect(&quitSignals, &Quillaby::QuitSignals::quitRequested, &app,
                     [&delegate] { delegate.terminate(); });
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });

    delegate.previewSkin = Quillaby::AppDelegate::parsePreviewSkinArg(arguments);
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
