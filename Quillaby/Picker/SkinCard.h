#pragma once

#include "Services/SymbolImage.h"
#include "Skins/SkinManifest.h"

#include <QAbstractButton>
#include <QImage>
#include <QPixmap>

#include <functional>
#include <optional>

namespace Quillaby {

class CircleIconButton;

// One card of the skin picker's grid: the skin's frame art (or a placeholder in its colours and
// proportions) above its name; the current skin in the accent colour with a check mark; a badge for
// skins whose keys light up; and, while the pointer is over a user skin, buttons to edit or delete it.
// Clicking anywhere else chooses the skin.
class SkinCard : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int margin = 8;
    static constexpr int spacing = 8;
    static constexpr int thumbnailHeight = 120;
    static constexpr int cornerRadius = 8;

    SkinCard(SkinManifest skin, std::optional<QString> userFolder, bool isCurrent, QWidget* parent = nullptr);

    const SkinManifest& skin() const { return _skin; }
    const std::optional<QString>& userFolder() const { return _userFolder; }
    bool isCurrent() const { return _isCurrent; }
    bool hovering() const { return _hovering; }

    std::function<void()> onSelect;
    std::function<void(const QString& folder)> onEdit;
    std::function<void()> onDelete;

    // A frame image by its skin's reference: an absolute path is read as it is, anything else from the
    // resource bundle's "Skins" folder. None when it is missing or no image; nothing is cached.
    static std::optional<QImage> loadSkinImage(const QString& frameImageName);

    // Where the picture is drawn: the art (or the placeholder with the frame's proportions) fitted
    // into the card's inner width and thumbnailHeight, centred.
    QRectF thumbnailRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setHovering(bool hovering);
    void layoutOverlays();
    QFont nameFont() const;
    void paintThumbnail(QPainter& painter, const QRectF& box);

    SkinManifest _skin;
    std::optional<QString> _userFolder;
    bool _isCurrent = false;
    bool _hovering = false;
    std::optional<QImage> _image;
    QPixmap _scaled;
    QWidget* _keyboardBadge = nullptr;
    CircleIconButton* _editButton = nullptr;
    CircleIconButton* _deleteButton = nullptr;
};

// A small round button: a white symbol on a circle of the tint. Used for the card's actions.
class CircleIconButton : public QAbstractButton {
    Q_OBJECT

public:
    CircleIconButton(SymbolImage::Symbol symbol, const QColor& tint, const QString& help,
                     QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SymbolImage::Symbol _symbol;
    QColor _tint;
};

} // namespace Quillaby
