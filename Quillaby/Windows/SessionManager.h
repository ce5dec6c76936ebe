#pragma once

#include "Skins/SkinManifest.h"

#include <QList>
#include <QPointer>

#include <functional>

namespace Quillaby {

class ShellView;

// The shell sessions of one device window in tab order, with the index of the active one. It owns the
// session views (while they sit in the panel's host they are its children too; both ways end in one
// delete). Every change of the list or of the active index calls onChange, except terminateAll().
// Indices count from 0. Main thread only.
class SessionManager {
public:
    explicit SessionManager(const SkinManifest::TerminalPalette& palette);
    ~SessionManager();
    SessionManager(const SessionManager&) = delete;
    SessionManager& operator=(const SessionManager&) = delete;

    QList<ShellView*> sessions() const;
    int count() const { return int(_sessions.size()); }
    int activeIndex() const { return _activeIndex; }
    // The session at the active index, or null when there is none.
    ShellView* active() const;

    const SkinManifest::TerminalPalette& palette() const { return _palette; }
    void setPalette(const SkinManifest::TerminalPalette& palette) { _palette = palette; }
    // The screen's largest corner radius, given to every session now and later.
    void setScreenCornerRadius(double radius);

    std::function<void()> onChange;

    // A new session running the configured shell with the manager's palette, appended and made active.
    ShellView* addSession();
    // Ignored outside the list and for the active index.
    void switchTo(int index);
    // To the next session (wrapping), or the previous one; nothing with fewer than two.
    void cycle(bool forward);
    // Removes the session and ends its shell without an exit line. The active session stays active when
    // an earlier one goes; closing the active one activates the one after it (or the new last one).
    // Ignored outside the list and when it is the only session.
    void closeSession(int index);
    // Ends every shell and removes every session; the list stays empty. No onChange.
    void terminateAll();

private:
    static void dispose(ShellView* session, bool now);

    QList<QPointer<ShellView>> _sessions;
    double _screenCornerRadius = 0;
    int _activeIndex = 0;
    SkinManifest::TerminalPalette _palette;
};

} // namespace Quillaby
