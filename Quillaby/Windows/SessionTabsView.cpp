#include "Windows/SessionTabsView.h"

#include "Windows/PillButton.h"

#include <QPointer>

namespace Quillaby {

SessionTabsView::SessionTabsView(const SkinManifest::TerminalPalette& palette, QWidget* parent)
    : QWidget(parent)
    , _palette(palette)
    , _addButton(new PillButton(QStringLiteral("+"), this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    _addButton->setPaletteForeground(palette.foreground.toQColor());
    _addButton->onClick = [this] {
        if (onAdd) onAdd();
    };
    layoutPills();
}

void SessionTabsView::update(int count, int active, const SkinManifest::TerminalPalette& palette) {
    _count = std::max(0, count);
    _activeIndex = active;
    _palette = palette;
    const QColor foreground = palette.foreground.toQColor();
    _addButton->setPaletteForeground(foreground);

    while (_pillViews.size() < _count) {
        const int index = int(_pillViews.size());
        auto* pill = new PillButton(QString::number(index + 1), this);
        pill->setPaletteForeground(foreground);
        QPointer<SessionTabsView> strip(this);
        pill->onClick = [strip, index] {
            if (strip && strip->onPick) strip->onPick(index);
        };
        pill->onRightClick = [strip, index] {
            if (strip && strip->onClose) strip->onClose(index);
        };
        pill->show();
        _pillViews.append(pill);
    }
    while (_pillViews.size() > _count) {
        PillButton* pill = _pillViews.takeLast();
        // Later: the update may come from this pill's own click.
        pill->hide();
        pill->deleteLater();
    }
    for (int i = 0; i < _pillViews.size(); ++i) {
        PillButton* pill = _pillViews[i];
        pill->setLabel(QString::number(i + 1));
        pill->setPaletteForeground(foreground);
        pill->setActive(i == _activeIndex);
        pill->QWidget::update();
    }
    layoutPills();
    QWidget::update();
}

void SessionTabsView::layoutPills() {
    for (int i = 0; i < _pillViews.size(); ++i)
        _pillViews[i]->setGeometry(pillX(i), 0, pillSize, pillSize);
    _addButton->setGeometry(pillX(int(_pillViews.size())), 0, pillSize, pillSize);
}

void SessionTabsView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPills();
}

} // namespace Quillaby
