#include "TerminalViewDelegate.h"

#include <QApplication>
#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace Tessaline {

TerminalViewDelegate::~TerminalViewDelegate() = default;

void TerminalViewDelegate::requestOpenLink(TerminalView&, const std::string& link,
                                           const std::map<std::string, std::string>&) {
    const QUrl url(QString::fromStdString(link), QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty()) QDesktopServices::openUrl(url);
}

void TerminalViewDelegate::bell(TerminalView&) {
    QApplication::beep();
}

void TerminalViewDelegate::iTermContent(TerminalView&, std::span<const uint8_t>) {}

} // namespace Tessaline
