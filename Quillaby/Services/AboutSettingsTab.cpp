#include "Services/AboutSettingsTab.h"

#include "App/AppInfo.h"
#include "Services/AboutStyle.h"
#include "Services/ActivitySpinner.h"
#include "Services/BrandMark.h"
#include "Services/SymbolImage.h"
#include "Services/WebService.h"
#include "Settings/HexColor.h"
#include "Settings/SettingsStore.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

namespace Quillaby {

namespace {

using Symbol = SymbolImage::Symbol;
using Text = AboutStyle::Text;

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QHBoxLayout* row(int spacing) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QVBoxLayout* column(QWidget* owner, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// The message editor asks for a few lines, not the tall default of a text editor.
class MessageEditor : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;
    QSize sizeHint() const override { return QSize(QPlainTextEdit::sizeHint().width(), 120); }
};

// The size of a symbol set beside text of the given style.
qreal symbolSize(Text style) {
    return AboutStyle::font(style).pixelSize() + 4;
}

void showSymbol(QLabel* label, Symbol symbol, Text style, const QColor& color) {
    label->setPixmap(SymbolImage::pixmap(symbol, symbolSize(style), color, label->devicePixelRatioF()));
}

} // namespace

AboutSettingsTab::SkinSources& AboutSettingsTab::skinSources() {
    static SkinSources sources{
        [] { return std::optional<QString>(); },
        [] { return QList<SkinManifest>(); },
    };
    return sources;
}

std::optional<SkinManifest::TerminalPalette>
AboutSettingsTab::paletteNamed(const QString& name, const QList<SkinManifest>& skins) {
    const QList<SkinManifest>& searched = skins.isEmpty() ? SkinManifest::fallbackSkins() : skins;
    for (const SkinManifest& skin : searched) {
        if (skin.name == name) return skin.palette;
    }
    return std::nullopt;
}

QColor AboutSettingsTab::accent() const {
    const SkinSources& sources = skinSources();
    std::optional<QString> name =
        sources.deviceWindowSkinName ? sources.deviceWindowSkinName() : std::nullopt;
    const QString sought = name ? *name : SettingsStore::shared().defaultSkin();
    const QList<SkinManifest> skins = sources.loadedSkins ? sources.loadedSkins() : QList<SkinManifest>();
    if (std::optional<SkinManifest::TerminalPalette> palette = paletteNamed(sought, skins))
        return palette->foreground.toQColor();
    return hexColor(QString::fromLatin1(fallbackAccent)).value_or(RgbColor()).toQColor();
}

bool AboutSettingsTab::isSendDisabled(const AboutViewModel::FeedbackState& state, const QString& message) {
    if (state.kind == AboutViewModel::FeedbackState::Kind::Sending) return true;
    return message.trimmed().isEmpty();
}

bool AboutSettingsTab::isUpdateAvailable() const {
    const std::optional<RemoteVersion>& remote = _vm.remoteVersion();
    return remote && AboutViewModel::isNewer(remote->version, AppInfo::shortVersion());
}

AboutSettingsTab::AboutSettingsTab(const QColor& phosphor, QWidget* parent)
    : QWidget(parent)
    , _phosphor(phosphor) {
    auto* outer = column(this, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("aboutScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    outer->addWidget(scroll);

    auto* content = new QWidget(scroll);
    auto* items = column(content, 18);
    items->setContentsMargins(0, 0, 2, 0);
    items->addWidget(buildHeader());
    items->addWidget(divider(content));
    items->addWidget(buildWhatsNew());
    items->addWidget(divider(content));
    items->addWidget(buildUpdates());
    items->addWidget(divider(content));
    items->addWidget(buildFeedback());
    items->addStretch(1);
    scroll->setWidget(content);

    _sendingTimer.setInterval(80);
    connect(&_sendingTimer, &QTimer::timeout, this, [this] {
        _sendingFrame = (_sendingFrame + 1) % ActivitySpinner::frameCount;
        refreshSendButton();
    });
    connect(&_vm, &AboutViewModel::changed, this, &AboutSettingsTab::modelChanged);
    rebuildNotes();
    refresh();
}

QWidget* AboutSettingsTab::buildHeader() {
    auto* header = new QWidget(this);
    auto* layout = row(14);
    header->setLayout(layout);
    layout->setAlignment(Qt::AlignVCenter);

    if (BrandMark::cached()) {
        _brandIcon = BrandMark::view(56, false, header);
    } else {
        _brandSymbol = new QLabel(header);
        _brandSymbol->setObjectName(QStringLiteral("brandSymbol"));
        _brandIcon = _brandSymbol;
    }
    layout->addWidget(_brandIcon, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    auto* name = new QLabel(QStringLiteral("Quillaby"), header);
    name->setFont(AboutStyle::displayFont(22, QFont::DemiBold));
    texts->addWidget(name);
    _version =
        AboutStyle::label(QStringLiteral("Version %1 (%2)").arg(AppInfo::shortVersion(), AppInfo::build()),
                          Text::Caption, header);
    _version->setObjectName(QStringLiteral("version"));
    _version->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    texts->addWidget(_version, 0, Qt::AlignLeft);
    auto* tagline =
        AboutStyle::label(QStringLiteral("A native skinnable terminal for Linux."), Text::Caption, header);
    AboutStyle::setTextColor(tagline, AboutStyle::secondary(palette()));
    texts->addWidget(tagline);
    layout->addLayout(texts);
    layout->addStretch(1);
    return header;
}

QWidget* AboutSettingsTab::buildWhatsNew() {
    auto* area = new QWidget(this);
    auto* layout = column(area, 8);
    layout->addWidget(AboutStyle::label(QStringLiteral("What's New"), Text::Headline, area));

    _checking = new QWidget(area);
    _checking->setObjectName(QStringLiteral("checking"));
    auto* checkingRow = row(6);
    _checking->setLayout(checkingRow);
    auto* spinner = new ActivitySpinner(14, _checking);
    AboutStyle::setTextColor(spinner, AboutStyle::secondary(palette()));
    checkingRow->addWidget(spinner, 0, Qt::AlignVCenter);
    auto* checkingText = AboutStyle::label(QStringLiteral("Checking…"), Text::Caption, _checking);
    AboutStyle::setTextColor(checkingText, AboutStyle::secondary(palette()));
    checkingRow->addWidget(checkingText, 0, Qt::AlignVCenter);
    checkingRow->addStretch(1);
    layout->addWidget(_checking);

    _noNotes = AboutStyle::label(QStringLiteral("No release notes available."), Text::Callout, area);
    _noNotes->setObjectName(QStringLiteral("noNotes"));
    AboutStyle::setTextColor(_noNotes, AboutStyle::secondary(palette()));
    layout->addWidget(_noNotes);

    _notesBox = new QWidget(area);
    _notesBox->setObjectName(QStringLiteral("notes"));
    auto* box = column(_notesBox, 8);
    auto* list = new QWidget(_notesBox);
    _notesColumn = column(list, 6);
    box->addWidget(list);
    _offlineNote =
        AboutStyle::label(QStringLiteral("offline — showing bundled notes"), Text::Caption, _notesBox);
    _offlineNote->setObjectName(QStringLiteral("offlineNote"));
    AboutStyle::setTextColor(_offlineNote, AboutStyle::secondary(palette()));
    box->addWidget(_offlineNote);
    layout->addWidget(_notesBox);
    return area;
}

QWidget* AboutSettingsTab::buildUpdates() {
    auto* area = new QWidget(this);
    auto* layout = column(area, 10);
    layout->addWidget(AboutStyle::label(QStringLiteral("Check for Updates"), Text::Headline, area));

    auto* status = row(8);
    _statusSymbol = new QLabel(area);
    _statusSymbol->setObjectName(QStringLiteral("statusSymbol"));
    status->addWidget(_statusSymbol, 0, Qt::AlignVCenter);
    _statusText = AboutStyle::label(QString(), Text::Callout, area);
    _statusText->setObjectName(QStringLiteral("updateStatus"));
    status->addWidget(_statusText, 0, Qt::AlignVCenter);
    status->addStretch(1);
    layout->addLayout(status);

    auto* buttons = row(12);
    _download = new QPushButton(QStringLiteral("Download"), area);
    _download->setObjectName(QStringLiteral("download"));
    connect(_download, &QPushButton::clicked, this, [this] {
        const std::optional<RemoteVersion>& remote = _vm.remoteVersion();
        WebService::openInBrowser(remote ? remote->downloadURL : WebService::downloadPage().toString());
    });
    buttons->addWidget(_download, 0, Qt::AlignVCenter);

    auto* visit = new QPushButton(QStringLiteral("Visit ") + WebService::host(), area);
    visit->setObjectName(QStringLiteral("visit"));
    connect(visit, &QPushButton::clicked, this,
            [] { WebService::openInBrowser(WebService::homePage().toString()); });
    buttons->addWidget(visit, 0, Qt::AlignVCenter);

    auto* links = row(10);
    auto* privacy = AboutStyle::linkButton(QStringLiteral("Privacy Policy"), Text::Caption, area);
    privacy->setObjectName(QStringLiteral("privacy"));
    connect(privacy, &QPushButton::clicked, this,
            [] { WebService::openInBrowser(WebService::privacyPage().toString()); });
    links->addWidget(privacy, 0, Qt::AlignVCenter);
    auto* dot = AboutStyle::label(QStringLiteral("·"), Text::Caption, area);
    AboutStyle::setTextColor(dot, AboutStyle::secondary(palette()));
    links->addWidget(dot, 0, Qt::AlignVCenter);
    auto* terms = AboutStyle::linkButton(QStringLiteral("Terms of Service"), Text::Caption, area);
    terms->setObjectName(QStringLiteral("terms"));
    connect(terms, &QPushButton::clicked, this,
            [] { WebService::openInBrowser(WebService::termsPage().toString()); });
    links->addWidget(terms, 0, Qt::AlignVCenter);
    buttons->addLayout(links);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    return area;
}

QWidget* AboutSettingsTab::buildFeedback() {
    auto* area = new QWidget(this);
    auto* layout = column(area, 10);
    layout->addWidget(AboutStyle::label(QStringLiteral("Leave Feedback"), Text::Headline, area));

    _subject = new QLineEdit(area);
    _subject->setObjectName(QStringLiteral("subject"));
    _subject->setPlaceholderText(QStringLiteral("Subject (optional)"));
    connect(_subject, &QLineEdit::textEdited, &_vm, &AboutViewModel::setSubject);
    layout->addWidget(_subject);

    _email = new QLineEdit(area);
    _email->setObjectName(QStringLiteral("email"));
    _email->setPlaceholderText(QStringLiteral("Email (optional — so we can reply)"));
    connect(_email, &QLineEdit::textEdited, &_vm, &AboutViewModel::setEmail);
    layout->addWidget(_email);

    auto* messageLabel = AboutStyle::label(QStringLiteral("Message"), Text::Caption, area);
    AboutStyle::setTextColor(messageLabel, AboutStyle::secondary(palette()));
    layout->addWidget(messageLabel);

    _message = new MessageEditor(area);
    _message->setObjectName(QStringLiteral("message"));
    _message->setFont(AboutStyle::font(Text::Body));
    _message->setMinimumHeight(90);
    QColor outline = AboutStyle::secondary(palette());
    outline.setAlphaF(0.3);
    _message->setStyleSheet(
        QStringLiteral("QPlainTextEdit { border: 1px solid %1; border-radius: 6px; padding: 2px; }")
            .arg(AboutStyle::css(outline)));
    connect(_message, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = _message->toPlainText();
        if (text != _vm.message()) _vm.setMessage(text);
    });
    layout->addWidget(_message);

    auto* actions = row(10);
    _send = new QPushButton(QStringLiteral("Send"), area);
    _send->setObjectName(QStringLiteral("send"));
    connect(_send, &QPushButton::clicked, this, [this] {
        if (!isSendDisabled(_vm.feedbackState(), _vm.message())) _vm.sendFeedback();
    });
    actions->addWidget(_send, 0, Qt::AlignVCenter);
    // The status: a symbol and its text, set close together like one label.
    auto* status = row(4);
    _feedbackSymbol = new QLabel(area);
    _feedbackSymbol->setObjectName(QStringLiteral("feedbackSymbol"));
    status->addWidget(_feedbackSymbol, 0, Qt::AlignVCenter);
    _feedbackText = AboutStyle::label(QString(), Text::Caption, area);
    _feedbackText->setObjectName(QStringLiteral("feedbackStatus"));
    status->addWidget(_feedbackText, 0, Qt::AlignVCenter);
    actions->addLayout(status);
    actions->addStretch(1);
    layout->addLayout(actions);
    return area;
}

void AboutSettingsTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    refresh();
    _vm.load();
}

void AboutSettingsTab::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) _vm.cancelLoads();
}

void AboutSettingsTab::modelChanged(AboutViewModel::Field field) {
    if (field == AboutViewModel::Field::Notes) rebuildNotes();
    refresh();
}

void AboutSettingsTab::rebuildNotes() {
    while (QLayoutItem* item = _notesColumn->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    _bullets.clear();
    const QStringList& notes = _vm.notes();
    for (qsizetype i = 0; i < notes.size(); ++i) {
        auto* line = new QWidget;
        auto* layout = row(8);
        line->setLayout(layout);
        auto* bullet = AboutStyle::label(QStringLiteral("•"), Text::Callout, line);
        AboutStyle::setTextColor(bullet, _appliedAccent);
        layout->addWidget(bullet, 0, Qt::AlignTop);
        auto* note = AboutStyle::label(notes[i], Text::Callout, line);
        note->setObjectName(QStringLiteral("note%1").arg(i));
        note->setWordWrap(true);
        note->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(note, 1, Qt::AlignTop);
        _notesColumn->addWidget(line);
        _bullets.append(bullet);
    }
}

void AboutSettingsTab::applyAccent(const QColor& accent) {
    if (accent == _appliedAccent) return;
    _appliedAccent = accent;
    if (_brandSymbol) {
        _brandSymbol->setPixmap(SymbolImage::pixmap(Symbol::TerminalFill, 40, accent, devicePixelRatioF()));
    }
    QColor capsule = accent;
    capsule.setAlphaF(0.15);
    _version->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: %3px;"
                                           " padding: 2px 8px; }")
                                .arg(AboutStyle::css(accent), AboutStyle::css(capsule))
                                .arg(_version->sizeHint().height() / 2));
    for (QLabel* bullet : _bullets)
        AboutStyle::setTextColor(bullet, accent);
    AboutStyle::makeProminent(_download, accent);
    _download->setIcon(SymbolImage::icon(Symbol::ArrowDownToLine, symbolSize(Text::Body),
                                         AboutStyle::contrastingText(accent), devicePixelRatioF()));
    AboutStyle::makeProminent(_send, accent);
}

void AboutSettingsTab::refresh() {
    applyAccent(accent());
    const QColor secondary = AboutStyle::secondary(palette());
    using LoadState = AboutViewModel::LoadState;
    const LoadState load = _vm.loadState();

    // What's New: exactly one of checking, no notes, the notes (with the offline remark).
    _checking->setVisible(load == LoadState::Loading);
    _noNotes->setVisible(load != LoadState::Loading && _vm.notes().isEmpty());
    _notesBox->setVisible(load != LoadState::Loading && !_vm.notes().isEmpty());
    _offlineNote->setVisible(load == LoadState::Offline);

    // The status row: an update, else offline, else up to date (also while the first load runs).
    const bool update = isUpdateAvailable();
    if (update) {
        showSymbol(_statusSymbol, Symbol::ArrowDownCircleFill, Text::Callout, _appliedAccent);
        _statusText->setText(QStringLiteral("Update available — ") + _vm.remoteVersion()->version);
        AboutStyle::setTextColor(_statusText, palette().color(QPalette::WindowText));
    } else if (load == LoadState::Offline) {
        showSymbol(_statusSymbol, Symbol::WifiSlash, Text::Callout, secondary);
        _statusText->setText(QStringLiteral("Couldn't reach ") + WebService::host() + QLatin1Char('.'));
        AboutStyle::setTextColor(_statusText, secondary);
    } else {
        showSymbol(_statusSymbol, Symbol::CheckmarkCircleFill, Text::Callout, _phosphor);
        _statusText->setText(QStringLiteral("You're up to date."));
        AboutStyle::setTextColor(_statusText, palette().color(QPalette::WindowText));
    }
    _download->setVisible(update);

    // The form follows the model (a successful send empties subject and message).
    if (_subject->text() != _vm.subject()) _subject->setText(_vm.subject());
    if (_email->text() != _vm.email()) _email->setText(_vm.email());
    if (_message->toPlainText() != _vm.message()) _message->setPlainText(_vm.message());

    using Kind = AboutViewModel::FeedbackState::Kind;
    const AboutViewModel::FeedbackState& state = _vm.feedbackState();
    switch (state.kind) {
    case Kind::Idle:
    case Kind::Sending:
        _feedbackSymbol->hide();
        _feedbackText->hide();
        break;
    case Kind::Sent:
        showSymbol(_feedbackSymbol, Symbol::Checkmark, Text::Caption, _phosphor);
        _feedbackSymbol->show();
        _feedbackText->setText(QStringLiteral("Sent ✓"));
        AboutStyle::setTextColor(_feedbackText, _phosphor);
        _feedbackText->show();
        break;
    case Kind::Failed:
        _feedbackSymbol->hide();
        _feedbackText->setText(state.text);
        AboutStyle::setTextColor(_feedbackText, QColor(Qt::red));
        _feedbackText->show();
        break;
    }
    if (state.kind == Kind::Sending && !_sendingTimer.isActive()) _sendingTimer.start();
    if (state.kind != Kind::Sending) _sendingTimer.stop();
    refreshSendButton();
}

void AboutSettingsTab::refreshSendButton() {
    const bool sending = _vm.feedbackState().kind == AboutViewModel::FeedbackState::Kind::Sending;
    _send->setEnabled(!isSendDisabled(_vm.feedbackState(), _vm.message()));
    if (sending) {
        const int size = int(symbolSize(Text::Caption));
        _send->setIconSize(QSize(size, size));
        // The button is disabled while sending: the frame must not be greyed out.
        QPixmap frame = ActivitySpinner::frame(
            _sendingFrame, size, AboutStyle::contrastingText(_appliedAccent), devicePixelRatioF());
        QIcon icon;
        icon.addPixmap(frame, QIcon::Normal);
        icon.addPixmap(frame, QIcon::Disabled);
        _send->setIcon(icon);
        _send->setText(QStringLiteral("Sending…"));
    } else {
        _send->setIcon(QIcon());
        _send->setText(QStringLiteral("Send"));
    }
}

} // namespace Quillaby
