#pragma once

#include "Skins/SkinManifest.h"
#include "Windows/FlippedContainerView.h"
#include "Windows/Panel.h"
#include "Windows/SessionManager.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Quillaby {

class SessionTabsView;

// The content of a device window's screen: a host for the window's shell sessions with the tab strip
// over its bottom-left corner, and the session manager behind both. Exactly one session shows at a
// time; the others keep running hidden, sized like the shown one. Every change of the sessions goes
// through the manager, whose change makes the panel show the active session, update the strip and
// focus the active terminal. Main thread only.
class TerminalPanel : public QObject, public Panel {
    Q_OBJECT
public:
    // The strip's place in the container: 4 points from the left and bottom edges, 16 high.
    static constexpr int tabStripMargin = 4;
    static QRect tabStripFrame(QSize containerSize, int sessionCount);

    explicit TerminalPanel(const SkinManifest::TerminalPalette& palette);
    ~TerminalPanel() override;

    FlippedContainerView* container() const { return _container; }
    QString panelName() const { return QStringLiteral("Terminal"); }
    QWidget* shellHost() const { return _shellHost; }
    SessionTabsView* tabsView() const { return _tabsView; }
    SessionManager& manager() { return *_manager; }
    const SessionManager& manager() const { return *_manager; }
    const SkinManifest::TerminalPalette& palette() const { return _palette; }

    // Called with the active index at the end of every synchronisation.
    std::function<void(int)> onActiveSessionChanged;

    // Once, by the window: the palette (when given) becomes the panel's, a first session starts when
    // there is none, and the panel synchronises.
    void startSession(const std::optional<SkinManifest::TerminalPalette>& palette);
    // A new session, made active; returns its index.
    int addSession();
    // New colours for every running session and for later ones; the strip takes them at the next
    // synchronisation. A palette without 16 ANSI colours keeps the ANSI colours sessions have.
    void applyPalette(const SkinManifest::TerminalPalette& palette);

    // Panel
    QWidget* panelView() const override { return _container; }
    QWidget* focusView() const override;

private:
    void syncVisibleSession();
    void layoutSubviews();

    QPointer<FlippedContainerView> _container;
    QWidget* _shellHost = nullptr;
    SessionTabsView* _tabsView = nullptr;
    SkinManifest::TerminalPalette _palette;
    // Goes first when the panel goes, taking the sessions with it.
    std::unique_ptr<SessionManager> _manager;
};

} // namespace Quillaby
