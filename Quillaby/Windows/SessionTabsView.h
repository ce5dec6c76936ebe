#pragma once

#include "Skins/SkinManifest.h"

#include <QList>
#include <QWidget>

#include <functional>

namespace Quillaby {

class PillButton;

// The row of numbered pills over a window's terminal, one per session and a "+" pill after them. It only
// reports clicks; the terminal panel acts on them, tells it the count and the active index, and places
// it. Pills are 16 x 16 points, 19 points apart, in the strip's top-left-origin coordinates.
class SessionTabsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int pillSize = 16;
    static constexpr int pillGap = 3;
    // The width that holds the pills of `count` sessions and the "+" pill.
    static constexpr int stripWidth(int count) { return pillSize * (count + 1) + pillGap * count; }
    // The x of the pill at a position (the "+" pill's position is the count).
    static constexpr int pillX(int position) { return (pillSize + pillGap) * position; }

    explicit SessionTabsView(const SkinManifest::TerminalPalette& palette, QWidget* parent = nullptr);

    std::function<void(int)> onPick;
    std::function<void()> onAdd;
    std::function<void(int)> onClose;

    const SkinManifest::TerminalPalette& palette() const { return _palette; }
    int count() const { return _count; }
    int activeIndex() const { return _activeIndex; }
    const QList<PillButton*>& pillViews() const { return _pillViews; }
    PillButton* addButton() const { return _addButton; }

    // Pills are added and removed at the end only, so a pill's index is always its position.
    void update(int count, int active, const SkinManifest::TerminalPalette& palette);
    using QWidget::update;
    void layoutPills();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    SkinManifest::TerminalPalette _palette;
    int _count = 0;
    int _activeIndex = 0;
    QList<PillButton*> _pillViews;
    PillButton* _addButton = nullptr;
};

} // namespace Quillaby
