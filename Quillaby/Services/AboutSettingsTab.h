#pragma once

#include "Services/AboutViewModel.h"
#include "Skins/SkinManifest.h"

#include <QColor>
#include <QList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace Quillaby {

class ActivitySpinner;

// The About tab of the Settings window, self-contained: the mark, name and version; the release notes;
// whether a newer version exists, with a download button and links to the web site; and a feedback
// form. It owns its model, starts a load each time it is shown and cancels it when hidden.
//
// Its accent is the text colour of the palette of the skin named like the current device window's
// skin (the default skin's name when there is no device window), or orange when no skin has that
// name.
class AboutSettingsTab : public QWidget {
    Q_OBJECT

public:
    // Where the tab learns which skins exist and which one the device windows show.
    struct SkinSources {
        // The skin name of the key device window, else of the first one opened; none when no device
        // window is open.
        std::function<std::optional<QString>()> deviceWindowSkinName;
        // The loader's skins; empty before the first load (the built-in skins stand in).
        std::function<QList<SkinManifest>()> loadedSkins;
    };
    // Until the application sets them: no device window, no loaded skins.
    static SkinSources& skinSources();

    static constexpr const char* fallbackAccent = "#DE5200";

    explicit AboutSettingsTab(const QColor& phosphor, QWidget* parent = nullptr);

    AboutViewModel& model() { return _vm; }

    // The palette of the first skin of `skins` (the built-in skins when it is empty) named `name`.
    static std::optional<SkinManifest::TerminalPalette> paletteNamed(const QString& name,
                                                                     const QList<SkinManifest>& skins);
    // The accent as the tab works it out now.
    QColor accent() const;
    // True while sending, else while the message is blank.
    static bool isSendDisabled(const AboutViewModel::FeedbackState& state, const QString& message);
    // True when the service's version is newer than the running one.
    bool isUpdateAvailable() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildWhatsNew();
    QWidget* buildUpdates();
    QWidget* buildFeedback();

    void modelChanged(AboutViewModel::Field field);
    void refresh();
    void applyAccent(const QColor& accent);
    void rebuildNotes();
    void refreshSendButton();

    AboutViewModel _vm;
    QColor _phosphor;
    QColor _appliedAccent;

    QWidget* _brandIcon = nullptr;
    QLabel* _brandSymbol = nullptr;
    QLabel* _version = nullptr;

    QWidget* _checking = nullptr;
    QLabel* _noNotes = nullptr;
    QWidget* _notesBox = nullptr;
    QVBoxLayout* _notesColumn = nullptr;
    QList<QLabel*> _bullets;
    QLabel* _offlineNote = nullptr;

    QLabel* _statusSymbol = nullptr;
    QLabel* _statusText = nullptr;
    QPushButton* _download = nullptr;

    QLineEdit* _subject = nullptr;
    QLineEdit* _email = nullptr;
    QPlainTextEdit* _message = nullptr;
    QPushButton* _send = nullptr;
    QLabel* _feedbackSymbol = nullptr;
    QLabel* _feedbackText = nullptr;
    QTimer _sendingTimer;
    int _sendingFrame = 0;
};

} // namespace Quillaby
