#pragma once

#include "Services/FeedbackService.h"
#include "Services/VersionService.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>

class QNetworkReply;

namespace Quillaby {

// The model of the About tab: the latest version and its release notes (from the web service, else
// from the bundled change log), and the feedback form. It decides no layout; its only texts are the
// two failures of a send. Main thread only.
//
// Every assignment to a field, even of an equal value, is announced with changed(field), in the order
// the fields are assigned.
class AboutViewModel : public QObject {
    Q_OBJECT

public:
    enum class NotesSource {
        Remote,
        Bundled
    };
    enum class LoadState {
        Loading,
        Loaded,
        Offline
    };
    struct FeedbackState {
        enum class Kind {
            Failed,
            Idle,
            Sending,
            Sent
        };
        Kind kind = Kind::Idle;
        // What to show; only a failed state has one.
        QString text;

        static FeedbackState failed(QString text) { return {Kind::Failed, std::move(text)}; }
        static FeedbackState idle() { return {Kind::Idle, {}}; }
        static FeedbackState sending() { return {Kind::Sending, {}}; }
        static FeedbackState sent() { return {Kind::Sent, {}}; }
        bool operator==(const FeedbackState&) const = default;
    };
    enum class Field {
        RemoteVersion,
        Notes,
        NotesSource,
        LoadState,
        Email,
        Subject,
        Message,
        FeedbackState
    };
    Q_ENUM(Field)

    static constexpr const char* emptyMessageText = "Message can't be empty.";
    static constexpr const char* sendFailedText = "Couldn't send — check your connection and try again.";

    explicit AboutViewModel(QObject* parent = nullptr);
    ~AboutViewModel() override;

    const std::optional<RemoteVersion>& remoteVersion() const { return _remoteVersion; }
    const QStringList& notes() const { return _notes; }
    NotesSource notesSource() const { return _notesSource; }
    LoadState loadState() const { return _loadState; }
    const QString& email() const { return _email; }
    const QString& subject() const { return _subject; }
    const QString& message() const { return _message; }
    const FeedbackState& feedbackState() const { return _feedbackState; }

    // The form's fields, written by the tab as the user types.
    void setEmail(const QString& email);
    void setSubject(const QString& subject);
    void setMessage(const QString& message);

    // Starts loading the latest version and the notes; returns at once. Loads may overlap: each
    // assigns its results when it ends, and the last to end wins.
    void load();
    // Ends the loads under way as failures (offline), as when the tab is hidden mid-request.
    void cancelLoads();
    // Checks the form and starts sending it; returns at once. A message that is blank after trimming
    // fails at once, without a request.
    void sendFeedback();

    // True when the first version is newer than the second, compared component by component, missing
    // components counting as 0.
    static bool isNewer(const QString& version, const QString& than);
    // The numbers of a version: the text before the first "-", split at ".", each piece's numerals
    // read as a decimal number (0 when there are none, when they are not ASCII digits or overflow).
    static QList<qint64> components(const QString& version);

    // The time-outs of the two requests; tests shorten them.
    void setTimeoutsForTesting(std::chrono::milliseconds version, std::chrono::milliseconds feedback);

signals:
    void changed(AboutViewModel::Field field);

private:
    void finishLoad(const VersionResult& result);
    void finishSend(std::optional<FeedbackError> error);
    void assignRemoteVersion(std::optional<RemoteVersion> version);
    void assignNotes(QStringList notes, NotesSource source);
    void assignLoadState(LoadState state);
    void assignFeedbackState(FeedbackState state);

    std::optional<RemoteVersion> _remoteVersion;
    QStringList _notes;
    NotesSource _notesSource = NotesSource::Bundled;
    LoadState _loadState = LoadState::Loading;
    QString _email;
    QString _subject;
    QString _message;
    FeedbackState _feedbackState;

    QList<QPointer<QNetworkReply>> _loads;
    std::chrono::milliseconds _versionTimeout = VersionService::timeout;
    std::chrono::milliseconds _feedbackTimeout;
};

} // namespace Quillaby
