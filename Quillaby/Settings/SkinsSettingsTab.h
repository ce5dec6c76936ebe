#pragma once

#include "Skins/SkinManifest.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

class QVBoxLayout;

namespace Quillaby {

class SettingsViewModel;

// The Settings window's Skins tab: every loaded skin with its origin, frame size and colour; "Use
// Now" puts a skin into a device window, "Make Default" makes it the skin new windows start with,
// "Reload" rescans the skins (announcing nothing) and "Open Skins Folder" shows the user's folder.
// The list is built anew whenever the model's skinsTick changes.
class SkinsSettingsTab : public QWidget {
    Q_OBJECT

public:
    struct Badge {
        QString text;
        // None: the secondary label colour.
        std::optional<QColor> color;

        bool operator==(const Badge&) const = default;
    };

    // "FALLBACK" without frame art, "ON DISK" for an absolute frame path (the user's skins), else
    // "BUILT-IN".
    static Badge originBadge(const SkinManifest& skin);
    // The frame's whole points, as "398 × 555".
    static QString frameSizeText(const QSizeF& frameSize);
    // The skins listed: the loader's, or the built-in two while it has none.
    static QList<SkinManifest> listedSkins();

    explicit SkinsSettingsTab(SettingsViewModel& model, QWidget* parent = nullptr);

    void reloadSkins();
    void openSkinsFolder();
    void makeDefault(const QString& skinName);
    void useNow(const SkinManifest& skin);

private:
    void rebuildList();
    QWidget* makeRow(const SkinManifest& skin, QWidget* parent);

    SettingsViewModel& _model;
    QWidget* _rows = nullptr;
    QVBoxLayout* _rowsLayout = nullptr;
};

} // namespace Quillaby
