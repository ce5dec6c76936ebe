#include "Windows/SessionManager.h"

#include "Windows/ShellView.h"

namespace Quillaby {

SessionManager::SessionManager(const SkinManifest::TerminalPalette& palette)
    : _palette(palette) {}

SessionManager::~SessionManager() {
    for (const QPointer<ShellView>& session : std::as_const(_sessions))
        if (session) dispose(session, true);
}

QList<ShellView*> SessionManager::sessions() const {
    QList<ShellView*> list;
    list.reserve(_sessions.size());
    for (const QPointer<ShellView>& session : _sessions)
        list.append(session.data());
    return list;
}

ShellView* SessionManager::active() const {
    if (_activeIndex < 0 || _activeIndex >= _sessions.size()) return nullptr;
    return _sessions[_activeIndex];
}

void SessionManager::setScreenCornerRadius(double radius) {
    _screenCornerRadius = radius;
    for (ShellView* session : sessions())
        if (session) session->setScreenCornerRadius(radius);
}

ShellView* SessionManager::addSession() {
    auto* session = new ShellView(QRect());
    session->setScreenCornerRadius(_screenCornerRadius);
    session->startSession(std::nullopt, _palette);
    _sessions.append(session);
    _activeIndex = int(_sessions.size()) - 1;
    if (onChange) onChange();
    return session;
}

void SessionManager::switchTo(int index) {
    if (index < 0 || index >= _sessions.size() || index == _activeIndex) return;
    _activeIndex = index;
    if (onChange) onChange();
}

void SessionManager::cycle(bool forward) {
    const int n = int(_sessions.size());
    if (n == 0) return;
    switchTo(forward ? (_activeIndex + 1) % n : (_activeIndex - 1 + n) % n);
}

void SessionManager::closeSession(int index) {
    if (index < 0 || index >= _sessions.size() || _sessions.size() < 2) return;
    ShellView* session = _sessions.takeAt(index);
    // Later: the close may come from a callback of something inside the session.
    if (session) dispose(session, false);
    if (index < _activeIndex) --_activeIndex;
    if (_activeIndex >= _sessions.size()) _activeIndex = int(_sessions.size()) - 1;
    if (onChange) onChange();
}

void SessionManager::terminateAll() {
    const QList<QPointer<ShellView>> sessions = std::exchange(_sessions, {});
    _activeIndex = 0;
    for (const QPointer<ShellView>& session : sessions)
        if (session) dispose(session, true);
}

void SessionManager::dispose(ShellView* session, bool now) {
    // The shell hears SIGTERM and its end is not reported, so no exit line is written.
    if (session->terminal()) session->terminal()->process().terminate();
    session->hide();
    session->setParent(nullptr);
    if (now)
        delete session;
    else
        session->deleteLater();
}

} // namespace Quillaby
