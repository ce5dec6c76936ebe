// Opens one of the application's windows on its own, as the application would, for looking at it.
#include "App/AppDelegate.h"
#include "App/FontRegistrar.h"
#include "Settings/SettingsView.h"
#include "Settings/SettingsWindowController.h"
#include "Skins/SkinLoader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTabWidget>

#include <cstdio>

using namespace Quillaby;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillaby"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows one window of Quillaby: settings, about or picker."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("window"), QStringLiteral("settings, about or picker"));
    const QCommandLineOption tab(QStringLiteral("tab"), QStringLiteral("The Settings tab to show first."),
                                 QStringLiteral("title"));
    parser.addOption(tab);
    parser.process(app);
    const QStringList windows = parser.positionalArguments();
    const QString window = windows.isEmpty() ? QStringLiteral("settings") : windows.first();

    FontRegistrar::registerBundledFonts();
    SkinLoader::shared().loadAll();
    AppDelegate delegate;
    if (window == QLatin1String("settings")) {
        delegate.showSettings();
        QTabWidget* tabs = SettingsWindowController::shared().view()->tabs();
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->tabText(i) == parser.value(tab)) tabs->setCurrentIndex(i);
        }
    } else if (window == QLatin1String("about")) {
        delegate.showAboutWindow();
    } else if (window == QLatin1String("picker")) {
        delegate.showSkinPicker();
    } else {
        std::fprintf(stderr, "window-preview: unknown window \"%s\"\n", qPrintable(window));
        return 2;
    }
    return QApplication::exec();
}
