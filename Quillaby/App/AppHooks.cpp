#include "App/AppHooks.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace Quillaby {

namespace {

int showAlert(const AlertRequest& request) {
    QMessageBox box(request.parent);
    switch (request.style) {
    case AlertRequest::Style::Informational:
        box.setIcon(QMessageBox::Information);
        break;
    case AlertRequest::Style::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case AlertRequest::Style::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.setText(request.message);
    box.setInformativeText(request.informativeText);
    QStringList titles = request.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : request.buttons;
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < titles.size(); ++i) {
        // The first button proceeds; a last "Cancel" answers Escape.
        auto role = i == 0                                  ? QMessageBox::AcceptRole
                    : titles[i] == QStringLiteral("Cancel") ? QMessageBox::RejectRole
                                                            : QMessageBox::ActionRole;
        QPushButton* button = box.addButton(titles[i], role);
        if (i == 0) box.setDefaultButton(button);
        buttons.append(button);
    }
    box.exec();
    return int(buttons.indexOf(box.clickedButton()));
}

QString nameFilter(const QStringList& suffixes) {
    if (suffixes.isEmpty()) return QString();
    QStringList patterns;
    for (const QString& suffix : suffixes)
        patterns.append(QStringLiteral("*.") + suffix);
    return patterns.join(QLatin1Char(' '));
}

QString showFileDialog(const FileDialogRequest& request) {
    QString filter = nameFilter(request.suffixes);
    switch (request.kind) {
    case FileDialogRequest::Kind::OpenFile:
        return QFileDialog::getOpenFileName(request.parent, request.title, request.startFolder, filter);
    case FileDialogRequest::Kind::OpenFolder:
        return QFileDialog::getExistingDirectory(request.parent, request.title, request.startFolder);
    case FileDialogRequest::Kind::SaveFile: {
        QString start = request.startFolder.isEmpty()
                            ? request.suggestedName
                            : request.startFolder + QLatin1Char('/') + request.suggestedName;
        return QFileDialog::getSaveFileName(request.parent, request.title, start, filter);
    }
    }
    return QString();
}

std::optional<QColor> showColorDialog(const ColorDialogRequest& request) {
    QColor chosen = QColorDialog::getColor(request.initial, request.parent, request.title);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
}

// The freedesktop file manager interface selects the file; without one (no session bus, no such
// service, an error) the folder opens instead.
void revealInFileManager(const QString& path) {
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [folder](QDBusPendingCallWatcher* finished) {
                         if (finished->isError()) QDesktopServices::openUrl(folder);
                         finished->deleteLater();
                     });
}

ScreenFrames platformScreens() {
    ScreenFrames frames;
    for (QScreen* screen : QGuiApplication::screens())
        frames.all.append(screen->availableGeometry());
    QScreen* main = QGuiApplication::primaryScreen();
    if (QWindow* active = QGuiApplication::focusWindow(); active && active->screen()) main = active->screen();
    if (main) frames.main = main->availableGeometry();
    return frames;
}

} // namespace

AppHooks AppHooks::platform() {
    AppHooks hooks;
    hooks.now = [] { return QDateTime::currentDateTimeUtc(); };
    hooks.runAlert = showAlert;
    hooks.runFileDialog = showFileDialog;
    hooks.runColorDialog = showColorDialog;
    hooks.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    hooks.revealFile = revealInFileManager;
    hooks.screens = platformScreens;
    return hooks;
}

AppHooks& AppHooks::current() {
    static AppHooks hooks = platform();
    return hooks;
}

} // namespace Quillaby
