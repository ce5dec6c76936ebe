#pragma once

#include "App/AppHooks.h"
#include "Skins/SkinManifest.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class QGridLayout;
class QLabel;
class QPushButton;

namespace Quillaby {

class SkinCard;
class SkinPickerModel;

// The skin picker's content: a header with Import…, Reload and Open Folder, a scrolling grid of skin
// cards in three columns, and a footer with the model's status or a hint. Folders, archives and images
// dropped anywhere on it are imported one after the other; a dashed outline shows while a drag hovers.
class SkinPickerView : public QWidget {
    Q_OBJECT

public:
    struct Callbacks {
        std::function<void(const SkinManifest&)> onSelect;
        std::function<void(const QString& folder)> onEdit;
        std::function<void(const QString& imageFile)> onImportImage;
    };

    static constexpr int columns = 3;
    static constexpr const char* hint =
        "Drop a skin folder, .zip, or an image here · hover a skin to edit or delete";

    SkinPickerView(std::optional<QString> currentSkinId, Callbacks callbacks, QWidget* parent = nullptr);

    SkinPickerModel* model() const { return _model; }
    const std::optional<QString>& currentSkinId() const { return _currentSkinId; }
    bool isTargeted() const { return _isTargeted; }
    QList<SkinCard*> cards() const { return _cards; }
    QLabel* footer() const { return _footer; }

    // The import panel: a folder or a file, one item, then the model imports it.
    void importViaPanel(FileDialogRequest::Kind kind);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* makeHeader();
    void rebuildGrid();
    void updateFooter();
    void openSkinsFolder();
    void setTargeted(bool targeted);

    std::optional<QString> _currentSkinId;
    Callbacks _callbacks;
    SkinPickerModel* _model = nullptr;
    QWidget* _grid = nullptr;
    QGridLayout* _gridLayout = nullptr;
    QList<SkinCard*> _cards;
    QLabel* _footer = nullptr;
    QWidget* _dropHighlight = nullptr;
    bool _isTargeted = false;
};

} // namespace Quillaby
