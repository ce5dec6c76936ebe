#include "Services/AboutViewModel.h"

#include "Services/ChangelogParser.h"
#include "Services/FeedbackService.h"

#include <QNetworkReply>

#include <charconv>
#include <string>

namespace Quillaby {

AboutViewModel::AboutViewModel(QObject* parent)
    : QObject(parent)
    , _feedbackTimeout(FeedbackService::timeout) {}

AboutViewModel::~AboutViewModel() = default;

void AboutViewModel::setEmail(const QString& email) {
    _email = email;
    emit changed(Field::Email);
}

void AboutViewModel::setSubject(const QString& subject) {
    _subject = subject;
    emit changed(Field::Subject);
}

void AboutViewModel::setMessage(const QString& message) {
    _message = message;
    emit changed(Field::Message);
}

void AboutViewModel::assignRemoteVersion(std::optional<RemoteVersion> version) {
    _remoteVersion = std::move(version);
    emit changed(Field::RemoteVersion);
}

void AboutViewModel::assignNotes(QStringList notes, NotesSource source) {
    _notes = std::move(notes);
    emit changed(Field::Notes);
    _notesSource = source;
    emit changed(Field::NotesSource);
}

void AboutViewModel::assignLoadState(LoadState state) {
    _loadState = state;
    emit changed(Field::LoadState);
}

void AboutViewModel::assignFeedbackState(FeedbackState state) {
    _feedbackState = std::move(state);
    emit changed(Field::FeedbackState);
}

void AboutViewModel::load() {
    assignLoadState(LoadState::Loading);
    _loads.removeAll(nullptr);
    _loads.append(VersionService::fetch(
        this, [this](const VersionResult& result) { finishLoad(result); }, _versionTimeout));
}

void AboutViewModel::cancelLoads() {
    // Aborting finishes each reply at once, which ends its load as offline. A reply that already failed
    // (its end is on its way from the network thread) is left to finish: aborting it would report a
    // second error, which Qt refuses with a warning.
    const QList<QPointer<QNetworkReply>> loads = std::exchange(_loads, {});
    for (const QPointer<QNetworkReply>& reply : loads) {
        if (reply && reply->isRunning() && reply->error() == QNetworkReply::NoError) reply->abort();
    }
}

void AboutViewModel::finishLoad(const VersionResult& result) {
    if (const RemoteVersion* version = std::get_if<RemoteVersion>(&result)) {
        RemoteVersion remote = *version;
        assignRemoteVersion(remote);
        if (!remote.notes.isEmpty())
            assignNotes(remote.notes, NotesSource::Remote);
        else
            assignNotes(ChangelogParser::bundledNotes(), NotesSource::Bundled);
        assignLoadState(LoadState::Loaded);
        return;
    }
    assignRemoteVersion(std::nullopt);
    assignNotes(ChangelogParser::bundledNotes(), NotesSource::Bundled);
    assignLoadState(LoadState::Offline);
}

void AboutViewModel::sendFeedback() {
    const QString message = _message.trimmed();
    if (message.isEmpty()) {
        assignFeedbackState(FeedbackState::failed(QString::fromUtf8(emptyMessageText)));
        return;
    }
    const QString subject = _subject.trimmed();
    const QString text = subject.isEmpty() ? message : subject + QStringLiteral("\n\n") + message;
    const QString email = _email.trimmed();
    assignFeedbackState(FeedbackState::sending());
    FeedbackService::send(
        email.isEmpty() ? std::nullopt : std::optional<QString>(email), text, this,
        [this](std::optional<FeedbackError> error) { finishSend(error); }, _feedbackTimeout);
}

void AboutViewModel::finishSend(std::optional<FeedbackError> error) {
    if (error) {
        assignFeedbackState(FeedbackState::failed(QString::fromUtf8(sendFailedText)));
        return;
    }
    assignFeedbackState(FeedbackState::sent());
    setSubject(QString());
    setMessage(QString());
}

QList<qint64> AboutViewModel::components(const QString& version) {
    const QStringList dashPieces = version.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    const QString kept = dashPieces.isEmpty() ? version : dashPieces.first();
    QList<qint64> numbers;
    for (const QString& piece : kept.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        std::string digits;
        bool asciiOnly = true;
        for (char32_t c : piece.toUcs4()) {
            if (!QChar::isNumber(c)) continue;
            if (c >= U'0' && c <= U'9')
                digits.push_back(char(c));
            else
                asciiOnly = false;
        }
        qint64 value = 0;
        if (asciiOnly && !digits.empty()) {
            auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
            if (error != std::errc() || end != digits.data() + digits.size()) value = 0;
        }
        numbers.append(value);
    }
    return numbers;
}

bool AboutViewModel::isNewer(const QString& version, const QString& than) {
    const QList<qint64> a = components(version);
    const QList<qint64> b = components(than);
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        qint64 left = i < a.size() ? a[i] : 0;
        qint64 right = i < b.size() ? b[i] : 0;
        if (left != right) return left > right;
    }
    return false;
}

void AboutViewModel::setTimeoutsForTesting(std::chrono::milliseconds version,
                                           std::chrono::milliseconds feedback) {
    _versionTimeout = version;
    _feedbackTimeout = feedback;
}

} // namespace Quillaby
