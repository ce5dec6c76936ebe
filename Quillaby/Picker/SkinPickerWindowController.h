#pragma once

#include "Skins/SkinManifest.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace Quillaby {

class SkinPickerView;

// The "Choose a Skin" window. Built anew each time the picker is shown, by whoever shows it, which
// sets onSkinSelected and keeps the controller: closing the window only hides it, and the window goes
// with the controller. Choosing a skin reports it and closes the window; editing a skin or starting
// one from an image closes the window first and then asks the application delegate for the builder.
class SkinPickerWindowController : public QObject {
    Q_OBJECT

public:
    static constexpr QSize contentSize{580, 600};
    static constexpr QSize minimumContentSize{420, 360};

    // The skin of this id, if any, is marked as the current one.
    explicit SkinPickerWindowController(std::optional<QString> currentSkinId, QObject* parent = nullptr);
    ~SkinPickerWindowController() override;
    SkinPickerWindowController(const SkinPickerWindowController&) = delete;
    SkinPickerWindowController& operator=(const SkinPickerWindowController&) = delete;

    // Unset until the opener sets it.
    std::function<void(const SkinManifest&)> onSkinSelected;

    QWidget* window() const { return _window; }
    SkinPickerView* view() const { return _view; }

    // Shows the window, makes it the active window and brings it to the front.
    void showWindow();
    void close();

private:
    QPointer<QWidget> _window;
    SkinPickerView* _view = nullptr;
};

} // namespace Quillaby
