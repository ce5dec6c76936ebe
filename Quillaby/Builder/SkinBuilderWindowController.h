#pragma once

#include <QObject>
#include <QWidget>

#include <memory>

class QStackedWidget;
class QUrl;

namespace Quillaby {

class CanvasView;
class PreviewWindowController;
class PropertiesPanel;
class SkinBuilderModel;

// The work area's face while the builder has no image: an invitation to drop or choose a device image.
// A drop loads its first file without asking (there is nothing to lose while it shows).
class DropZoneView : public QWidget {
    Q_OBJECT

public:
    explicit DropZoneView(SkinBuilderModel& model, QWidget* parent = nullptr);

    // What a drop does with its items: the first one, when it is a file, is loaded on the next pass of
    // the event loop. False when there is nothing to take.
    bool dropUrls(const QList<QUrl>& urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    SkinBuilderModel& _model;
};

// The window's content: the canvas (or the drop zone while there is no image) beside the properties
// column, at least 940 x 540.
class SkinBuilderView : public QWidget {
    Q_OBJECT

public:
    static constexpr int minimumWidth = 940;
    static constexpr int minimumHeight = 540;

    explicit SkinBuilderView(SkinBuilderModel& model, QWidget* parent = nullptr);

    CanvasView* canvas() const { return _canvas; }
    DropZoneView* dropZone() const { return _dropZone; }
    PropertiesPanel* properties() const { return _properties; }
    // The canvas while an image is loaded, else the drop zone.
    QWidget* workArea() const;

private:
    void follow();

    SkinBuilderModel& _model;
    QStackedWidget* _work;
    DropZoneView* _dropZone;
    CanvasView* _canvas;
    PropertiesPanel* _properties;
};

// The skin builder's one window and its document, made together on first use and kept until the
// application ends. Closing the window only hides it: the work, undo history included, stays.
class SkinBuilderWindowController : public QObject {
    Q_OBJECT

public:
    SkinBuilderWindowController();
    ~SkinBuilderWindowController() override;

    SkinBuilderModel& model() const { return *_model; }
    QWidget* window() const { return _window.get(); }
    SkinBuilderView* view() const { return _view; }
    PreviewWindowController& preview() const { return *_preview; }
    // Shows the window, key and in front.
    void showWindow();

private:
    std::unique_ptr<SkinBuilderModel> _model;
    std::unique_ptr<QWidget> _window;
    SkinBuilderView* _view;
    std::unique_ptr<PreviewWindowController> _preview;
};

} // namespace Quillaby
