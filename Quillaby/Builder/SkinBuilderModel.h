#pragma once

#include "App/RgbColor.h"
#include "Builder/BezierNode.h"
#include "Builder/BuilderEnums.h"
#include "Builder/ButtonDef.h"
#include "Builder/CoordinateConverter.h"
#include "Builder/ImageHistory.h"
#include "Builder/SkinImage.h"
#include "Skins/SkinManifestExport.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>
#include <utility>

namespace Quillaby {

// The skin builder's document: the frame image, the viewport with its corner offsets and radii, the
// buttons, the drawer, palette, effects, name, author, launch size and screen layer, the current tool,
// the outcome line of the last operation and the image undo history. Every builder view reads it when
// it draws and writes each edit straight into it; every builder operation is a method of it.
//
// Geometry is in image points: the frame image's point size, origin at its top-left corner, y down.
// Corner lists run top-left, top-right, bottom-right, bottom-left. skin.json holds frame points (half
// the image's pixels); CoordinateConverter converts.
//
// Main thread only. No widgets: views listen to the signals. Every operation that reports an outcome
// sets statusMessage and then statusIsError, together.
//
// The operations are split by family: document state (SkinBuilderModel.cpp), image tools, drawing and
// undo (SkinBuilderTools.cpp), skin output (SkinBuilderOutput.cpp) and opening a skin folder again
// (SkinBuilderLoad.cpp).
class SkinBuilderModel : public QObject {
    Q_OBJECT

public:
    static constexpr double defaultCornerRadius = 6;
    static const RgbColor defaultForeground;
    static const RgbColor defaultBackground;

    explicit SkinBuilderModel(QObject* parent = nullptr);
    ~SkinBuilderModel() override;

    // MARK: Image (changed only by operations)

    const std::optional<SkinImage>& skinImage() const { return _skinImage; }
    // The file the image was loaded from; empty when none.
    const QString& imageURL() const { return _imageURL; }
    QSizeF imagePixelSize() const { return _imagePixelSize; }
    // Raised by every operation that puts a new image in; back to 0 on reset(). The canvas refits when
    // it differs from the value it saw last.
    qint64 imageGeneration() const { return _imageGeneration; }
    const ImageHistory& history() const { return _history; }

    // MARK: Viewport and buttons

    const std::optional<QRectF>& viewport() const { return _viewport; }
    void setViewport(const std::optional<QRectF>& viewport);
    // Per corner, added to the viewport rectangle's corner; all zero is a plain rectangle.
    const QList<QPointF>& viewportCornerOffsets() const { return _viewportCornerOffsets; }
    void setViewportCornerOffsets(const QList<QPointF>& offsets);
    const QList<double>& viewportCornerRadii() const { return _viewportCornerRadii; }
    void setViewportCornerRadii(const QList<double>& radii);
    const QList<ButtonDef>& buttons() const { return _buttons; }
    void setButtons(const QList<ButtonDef>& buttons);

    // MARK: Drawer

    bool drawerEnabled() const { return _drawerEnabled; }
    void setDrawerEnabled(bool enabled);
    DrawerEdge drawerEdge() const { return _drawerEdge; }
    void setDrawerEdge(DrawerEdge edge);
    const std::optional<QRectF>& drawerViewport() const { return _drawerViewport; }
    void setDrawerViewport(const std::optional<QRectF>& rect);
    // The drawer's closed outline.
    const QList<BezierNode>& drawerMask() const { return _drawerMask; }
    void setDrawerMask(const QList<BezierNode>& nodes);
    // The open path of whichever pen tool is drawing.
    const QList<BezierNode>& drawerMaskInProgress() const { return _drawerMaskInProgress; }
    void setDrawerMaskInProgress(const QList<BezierNode>& nodes);
    // While the newest pen node's handles are being dragged out.
    bool drawerMaskDragging() const { return _drawerMaskDragging; }
    void setDrawerMaskDragging(bool dragging);
    const QString& drawerDefaultWidget() const { return _drawerDefaultWidget; }
    void setDrawerDefaultWidget(const QString& widget);

    // MARK: Tools

    DrawTool currentTool() const { return _currentTool; }
    void setCurrentTool(DrawTool tool);
    double magicWandTolerance() const { return _magicWandTolerance; }
    void setMagicWandTolerance(double tolerance);
    ButtonShape buttonShape() const { return _buttonShape; }
    void setButtonShape(ButtonShape shape);

    // MARK: Skin settings

    // A device window's size as a factor of the frame size.
    double launchScale() const { return _launchScale; }
    void setLaunchScale(double scale);
    bool screenInFront() const { return _screenInFront; }
    void setScreenInFront(bool inFront);
    const QString& skinName() const { return _skinName; }
    void setSkinName(const QString& name);
    const QString& author() const { return _author; }
    void setAuthor(const QString& author);

    RgbColor fgColor() const { return _fgColor; }
    void setFgColor(const RgbColor& color);
    RgbColor bgColor() const { return _bgColor; }
    void setBgColor(const RgbColor& color);
    const std::optional<RgbColor>& cursorColor() const { return _cursorColor; }
    void setCursorColor(const std::optional<RgbColor>& color);
    const std::optional<QList<RgbColor>>& ansiColors() const { return _ansiColors; }
    void setAnsiColors(const std::optional<QList<RgbColor>>& colors);
    // The curated palette applied last.
    const std::optional<QString>& lastShuffledId() const { return _lastShuffledId; }
    void setLastShuffledId(const std::optional<QString>& id);

    bool scanlines() const { return _scanlines; }
    void setScanlines(bool on);
    double scanlineIntensity() const { return _scanlineIntensity; }
    void setScanlineIntensity(double intensity);
    const QString& scanlineStyle() const { return _scanlineStyle; }
    void setScanlineStyle(const QString& style);
    bool glow() const { return _glow; }
    void setGlow(bool on);
    double glowIntensity() const { return _glowIntensity; }
    void setGlowIntensity(double intensity);
    bool curvature() const { return _curvature; }
    void setCurvature(bool on);
    double curvatureAmount() const { return _curvatureAmount; }
    void setCurvatureAmount(double amount);

    // MARK: Outcome line

    const std::optional<QString>& statusMessage() const { return _statusMessage; }
    bool statusIsError() const { return _statusIsError; }
    // Sets the message, then the flag.
    void setStatus(const QString& message, bool isError);

    // MARK: Document

    // The builder's "New": closes the preview, empties the history and puts the document back to its
    // initial values; the ANSI colours, the palette memory, the wand tolerance and the dragging flag stay.
    void reset();
    // Starts a new skin from an image file: clears the viewport, offsets, radii and buttons, names the
    // skin after the file. An unreadable file reports "Failed to load image" and changes nothing else.
    void loadImage(const QString& path);
    // Empty when the skin can be previewed, exported and installed; otherwise the texts in fixed order.
    QStringList validationIssues() const;
    CoordinateConverter makeConverter() const;

    // MARK: Image tools and drawing (SkinBuilderTools.cpp)

    // Clears the 4-connected area of the clicked colour (each channel within the tolerance, fraction
    // dropped). Needs an image with alpha; a click outside the image does nothing.
    void magicWandErase(QPointF point, double tolerance);
    // Clears every pixel joined to the border whose colour is within the tolerance of one of seven
    // samples (corners and their neighbours) or that is almost transparent.
    void removeBackground(double tolerance);
    // Crops to the opaque content plus 4 pixels and moves the geometry with it.
    void trimToContent();
    // The pen tools' open path: a corner node; the newest node's handles dragged out.
    void addMaskVertex(QPointF point);
    void updateMaskDragHandle(QPointF point);
    // Crop pen keeps the inside of the path, erase pen clears it. The path is emptied either way.
    void commitImagePen();
    void commitDrawerMask();
    // A rectangle dragged on the canvas: the viewport, a new button or the drawer viewport by tool.
    void finishDraw(const QRectF& rect);
    // Puts back the image, viewport and buttons of the newest step.
    void undo();

    // MARK: Output (SkinBuilderOutput.cpp)

    // The skin.json record of the document; nothing without an image or a viewport.
    std::optional<SkinManifestExport> buildManifest() const;
    // Asks for a zip file and writes the skin into it.
    void exportSkin();
    // Writes the skin into the user's skins folder, reloads the skin list and announces it.
    void installSkin();
    // A zip archive of the files at its root, in order, entry names without folders and without extra
    // fields. An existing file at the destination is replaced only once the archive is complete.
    static bool zipFiles(const QStringList& files, const QString& destination, QString* error = nullptr);
    // The skins folder entry a skin name installs into: lower case, spaces as "-". "/" also becomes "-"
    // and a name of "." or ".." becomes dashes, so the folder always lies directly in the skins folder.
    static QString skinFolderName(const QString& skinName);

    // MARK: Opening (SkinBuilderLoad.cpp)

    // Reads a skin folder's skin.json and frame@2x.png back into the document. Failures leave the
    // document as it was.
    void loadSkin(const QString& folder);
    // Ask for a skin folder or an image file, then load it; cancelling does nothing.
    void openSkin();
    void openImage();
    // Asks the preview to show the document (previewShowRequested) when it has an image and a viewport.
    void previewSkin();

signals:
    // After any of the properties above changed (an operation that changes several emits once).
    void changed();
    // After skinImage, imagePixelSize or imageGeneration changed.
    void imageChanged();
    // The preview panel shows the document, or closes.
    void previewShowRequested();
    void previewCloseRequested();

private:
    // Groups the notices of the changes made while one exists into one changed() (and one
    // imageChanged()), sent when the outermost ends.
    class ChangeBatch {
    public:
        explicit ChangeBatch(SkinBuilderModel& model)
            : _model(model) {
            ++_model._batchDepth;
        }
        ~ChangeBatch() {
            if (--_model._batchDepth > 0) return;
            const bool change = std::exchange(_model._pendingChange, false);
            const bool image = std::exchange(_model._pendingImageChange, false);
            if (image) emit _model.imageChanged();
            if (change) emit _model.changed();
        }
        ChangeBatch(const ChangeBatch&) = delete;
        ChangeBatch& operator=(const ChangeBatch&) = delete;

    private:
        SkinBuilderModel& _model;
    };

    // Where the document came from when it was opened from a skin folder, so that writing it keeps what
    // the editor did not touch: members it does not know ("category", "colorGrade", a drawer's "chevron",
    // anything else) and members whose source values are unchanged, written exactly as the file had
    // them. Buttons made from the file's "keys" are written back there, not as buttons.
    struct SkinSource {
        struct Entry {
            bool fromKeys = false;
            // Index in the file's "buttons" or "keys".
            int index = 0;
            // The entry as the document wrote it right after opening.
            QJsonObject baseline;
        };
        QJsonObject original;
        // Every member but "buttons" and "keys", as written right after opening.
        QJsonObject baseline;
        QHash<QUuid, Entry> entries;
    };

    // The document as skin.json would hold it without a source: the top-level members but "buttons" and
    // "keys", then the entries of the buttons written as buttons and of those written as keys.
    struct DocumentJson {
        QJsonObject top;
        QList<std::pair<QUuid, QJsonObject>> buttons;
        QList<std::pair<QUuid, QJsonObject>> keys;
    };

    template<typename T>
    void assign(T& field, const T& value);
    void notify(bool image = false);
    void clearHistory();

    // Puts a decoded image in as the document's image (loadImage's steps after decoding).
    void adoptImage(const SkinImage& image, const QString& path);
    // Makes a new image object the document's image: its pixel size, a new generation. What every image
    // tool and undo does once its new image is made.
    void replaceImage(const SkinImage& image);

    void pushUndo();
    // The image with the polygon's outside (keepInside) or inside cleared, anti-aliased; the same point
    // size. Nothing when it cannot be made.
    static std::optional<SkinImage> applyPolygonMask(const SkinImage& image, const QList<BezierNode>& nodes,
                                                     bool keepInside);

    std::optional<SkinManifestExport> buildManifest(const QList<ButtonDef>& buttons) const;
    std::optional<QList<SkinManifestExport::Point>> exportCornerOffsets(double scale) const;
    std::optional<QList<double>> exportCornerRadii(double scale) const;
    std::optional<DocumentJson> documentJson(QString* error) const;
    // The whole skin.json object to write: the plain export, or the export carried onto the source.
    std::optional<QJsonObject> skinFileJson(QString* error) const;
    // Both files under temporary names, then renamed into place. reported: the failure is already in
    // the status line.
    enum class WriteResult {
        written,
        reported,
        failed
    };
    WriteResult writeSkin(const QString& folder, QString* error);
    bool readyToWrite() const;

    std::optional<SkinImage> _skinImage;
    QString _imageURL;
    QSizeF _imagePixelSize{0, 0};
    qint64 _imageGeneration = 0;
    std::optional<QRectF> _viewport;
    QList<QPointF> _viewportCornerOffsets;
    QList<double> _viewportCornerRadii;
    QList<ButtonDef> _buttons;
    bool _drawerEnabled = false;
    DrawerEdge _drawerEdge = DrawerEdge::top;
    std::optional<QRectF> _drawerViewport;
    QList<BezierNode> _drawerMask;
    QList<BezierNode> _drawerMaskInProgress;
    bool _drawerMaskDragging = false;
    QString _drawerDefaultWidget;
    DrawTool _currentTool = DrawTool::viewport;
    double _magicWandTolerance = 32;
    ButtonShape _buttonShape = ButtonShape::rect;
    double _launchScale = 1.0;
    bool _screenInFront = false;
    QString _skinName;
    QString _author;
    RgbColor _fgColor;
    RgbColor _bgColor;
    std::optional<RgbColor> _cursorColor;
    std::optional<QList<RgbColor>> _ansiColors;
    std::optional<QString> _lastShuffledId;
    bool _scanlines = false;
    double _scanlineIntensity = 0.3;
    QString _scanlineStyle;
    bool _glow = false;
    double _glowIntensity = 0.4;
    bool _curvature = false;
    double _curvatureAmount = 0.2;
    std::optional<QString> _statusMessage;
    bool _statusIsError = false;

    ImageHistory _history;
    std::optional<SkinSource> _source;

    int _batchDepth = 0;
    bool _pendingChange = false;
    bool _pendingImageChange = false;
};

template<typename T>
void SkinBuilderModel::assign(T& field, const T& value) {
    if (field == value) return;
    field = value;
    notify();
}

} // namespace Quillaby
