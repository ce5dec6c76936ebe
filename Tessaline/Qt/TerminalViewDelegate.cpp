#include "TerminalViewDelegate.h"

#include <QApplication>
#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace Tessaline {

TerminalViewDelegate::~TerminalViewDelegate() = default;

std::optional<QUrl> TerminalViewDelegate::openableUrl(const std::string& link) {
    const QString text = QString::fromStdString(link);
    if (text.startsWith(QLatin1Char('/'))) return QUrl::fromLocalFile(text);
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) return std::nullopt;
    // A program's link must not start whatever handler a scheme happens to have.
    static const QStringList schemes = {
        QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp"),   QStringLiteral("ftps"),
        QStringLiteral("sftp"), QStringLiteral("file"),  QStringLiteral("mailto")};
    if (!schemes.contains(url.scheme().toLower())) return std::nullopt;
    return url;
}

std::function<void(const QUrl&)>& TerminalViewDelegate::openUrl() {
    static std::function<void(const QUrl&)> opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return opener;
}

void TerminalViewDelegate::requestOpenLink(TerminalView&, const std::string& link,
                                           const std::map<std::string, std::string>&) {
    if (auto url = openableUrl(link)) openUrl()(*url);
}

void TerminalViewDelegate::bell(TerminalView&) {
    QApplication::beep();
}

void TerminalViewDelegate::iTermContent(TerminalView&, std::span<const uint8_t>) {}

} // namespace Tessaline
