#include "Windows/TerminalPanel.h"

#include "Windows/SessionTabsView.h"
#include "Windows/ShellView.h"

#include "LocalProcessTerminalView.h"

#include <QResizeEvent>

namespace Quillaby {

namespace {

// The parent of the session views: every session, shown or hidden, fills it.
class SessionHost : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        for (QObject* child : children())
            if (auto* widget = qobject_cast<QWidget*>(child); widget && !widget->isWindow())
                ShellView::fitHidden(*widget, rect());
    }
};

} // namespace

QRect TerminalPanel::tabStripFrame(QSize containerSize, int sessionCount) {
    const int height = SessionTabsView::pillSize;
    return QRect(tabStripMargin, containerSize.height() - tabStripMargin - height,
                 SessionTabsView::stripWidth(sessionCount), height);
}

TerminalPanel::TerminalPanel(const SkinManifest::TerminalPalette& palette)
    : _container(new FlippedContainerView())
    , _palette(palette) {
    _shellHost = new SessionHost(_container);
    _tabsView = new SessionTabsView(palette, _container);
    _tabsView->raise();
    _manager = std::make_unique<SessionManager>(palette);

    QPointer<TerminalPanel> panel(this);
    _container->onLayout = [panel] {
        if (panel) panel->layoutSubviews();
    };
    _tabsView->onPick = [panel](int index) {
        if (panel) panel->_manager->switchTo(index);
    };
    _tabsView->onAdd = [panel] {
        if (panel) panel->addSession();
    };
    _tabsView->onClose = [panel](int index) {
        if (panel) panel->_manager->closeSession(index);
    };
    _manager->onChange = [panel] {
        if (panel) panel->syncVisibleSession();
    };
    layoutSubviews();
}

TerminalPanel::~TerminalPanel() {
    _manager.reset();
    // A container nobody adopted goes with the panel; one placed into a window goes with that window.
    if (_container && !_container->parent()) delete _container;
}

void TerminalPanel::startSession(const std::optional<SkinManifest::TerminalPalette>& palette) {
    if (palette) {
        _palette = *palette;
        _manager->setPalette(*palette);
    }
    if (_manager->count() == 0) {
        // Synchronised once below.
        auto onChange = std::exchange(_manager->onChange, nullptr);
        _manager->addSession();
        _manager->onChange = std::move(onChange);
    }
    syncVisibleSession();
}

int TerminalPanel::addSession() {
    _manager->addSession();
    return _manager->activeIndex();
}

void TerminalPanel::applyPalette(const SkinManifest::TerminalPalette& palette) {
    _palette = palette;
    _manager->setPalette(palette);
    for (ShellView* session : _manager->sessions()) {
        if (!session || !session->terminal()) continue;
        ShellView::applyColors(*session->terminal(), palette);
        session->update();
        session->terminal()->update();
    }
}

QWidget* TerminalPanel::focusView() const {
    const ShellView* active = _manager->active();
    return active ? active->terminal() : nullptr;
}

void TerminalPanel::syncVisibleSession() {
    if (!_container) return;
    const QList<ShellView*> sessions = _manager->sessions();
    ShellView* active = _manager->active();
    for (ShellView* session : sessions) {
        if (!session) continue;
        if (session == active) {
            if (session->parentWidget() != _shellHost) {
                session->setParent(_shellHost);
                session->setGeometry(_shellHost->rect());
            }
            session->show();
        } else {
            session->hide();
        }
    }
    _tabsView->update(_manager->count(), _manager->activeIndex(), _palette);
    layoutSubviews();

    if (QWidget* focus = focusView())
        focus->setFocus(Qt::OtherFocusReason);
    else
        _container->setFocus(Qt::OtherFocusReason);
    if (onActiveSessionChanged) onActiveSessionChanged(_manager->activeIndex());
}

void TerminalPanel::layoutSubviews() {
    if (!_container) return;
    _tabsView->setGeometry(tabStripFrame(_container->size(), int(_tabsView->pillViews().size())));
    _shellHost->setGeometry(_container->rect());
}

} // namespace Quillaby
