#include "PickerTestSupport.h"

#include "App/AppDelegate.h"
#include "Windows/DeviceWindowController.h"
#include "App/NotificationCenter.h"
#include "Builder/SkinBuilderModel.h"
#include "Builder/SkinBuilderWindowController.h"
#include "Picker/SkinCard.h"
#include "Picker/SkinPickerView.h"
#include "Picker/SkinPickerWindowController.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>

#include <sys/stat.h>

using namespace Quillaby;
using namespace PickerTest;

namespace {

class SkinPickerWindowTest : public PickerTestBase {
protected:
    // A user skin with a real frame image and `keys` lit keys.
    void installUserSkin(const QString& folder, const QString& name, int keys = 0, QColor art = Qt::red) {
        writeFile(skins() + "/" + folder + "/skin.json", skinJson(name, "frame@2x.png", keys));
        QImage image(200, 100, QImage::Format_ARGB32);
        image.fill(art);
        ASSERT_TRUE(image.save(skins() + "/" + folder + "/frame@2x.png"));
    }

    SkinCard* card(const SkinPickerWindowController& controller, const QString& id) {
        return controller.window()->findChild<SkinCard*>("card:" + id);
    }

    static void hover(QWidget* widget, bool inside) {
        if (inside) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QApplication::sendEvent(widget, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(widget, &leave);
        }
    }

    static QImage render(QWidget* widget) {
        QImage image(widget->size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        widget->render(&image);
        return image;
    }
};

QMimeData* urlData(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(path.startsWith("http") ? QUrl(path) : QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

// Offers the data as a drag over the widget, then drops it; whether the drag was accepted.
bool dragAndDrop(QWidget* target, QMimeData* data, bool* targetedWhileOver = nullptr) {
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (targetedWhileOver) *targetedWhileOver = static_cast<SkinPickerView*>(target)->isTargeted();
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

} // namespace

TEST_F(SkinPickerWindowTest, TheWindowAndItsHint) {
    SkinPickerWindowController controller(std::nullopt);
    QWidget* window = controller.window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "Choose a Skin");
    EXPECT_EQ(window->size(), QSize(580, 600));
    EXPECT_EQ(window->minimumSize(), QSize(420, 360));
    EXPECT_TRUE(window->windowFlags() & Qt::Window);
    EXPECT_FALSE(controller.onSkinSelected);

    SkinPickerView* view = controller.view();
    EXPECT_EQ(view->findChild<QLabel*>("title")->text(), "CHOOSE A SKIN");
    EXPECT_EQ(view->footer()->text(), SkinPickerView::hint);
    EXPECT_EQ(view->findChild<QPushButton*>("importButton")->toolTip(),
              "Install a skin folder or .zip, or start a new skin from an image");
    // Nothing is marked when no id was given.
    ASSERT_EQ(view->cards().size(), 1);
    EXPECT_FALSE(view->cards()[0]->isCurrent());

    controller.showWindow();
    EXPECT_TRUE(window->isVisible());
    controller.close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(controller.window(), window); // hidden, not destroyed
}

TEST_F(SkinPickerWindowTest, CardsMarkTheCurrentSkinAndOfferEditingOnlyForUserSkins) {
    installUserSkin("retro", "Retro", 12);
    installUserSkin("plain", "Plain");
    AppResources::setBundleForTesting(QStringLiteral(QUILLABY_SOURCE_DIR "/Quillaby/Resources"));
    SkinLoader::shared().loadAll();
    SkinPickerWindowController controller(QString("retro"));
    QStringList ids;
    for (SkinCard* c : controller.view()->cards())
        ids.append(c->skin().id);
    ids.sort();
    EXPECT_EQ(ids, (QStringList{"desk-crt", "handheld", "plain", "pocket-glass", "retro"}));

    struct Case {
        QString id;
        bool current;
        bool editable;
        QString keyboardTip; // empty: no badge
    };
    const Case cases[] = {
        {"retro", true, true, "Keyboard-reactive: 12 keys mapped"},
        {"plain", false, true, ""},
        {"handheld", false, false, ""},
        {"desk-crt", false, false, " keys mapped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id.toStdString());
        SkinCard* skinCard = card(controller, c.id);
        ASSERT_TRUE(skinCard);
        EXPECT_EQ(skinCard->isCurrent(), c.current);
        auto* badge = skinCard->findChild<QWidget*>("keyboardBadge");
        if (c.keyboardTip.isEmpty()) {
            EXPECT_FALSE(badge);
        } else {
            ASSERT_TRUE(badge);
            EXPECT_TRUE(badge->toolTip().startsWith("Keyboard-reactive: "));
            EXPECT_TRUE(badge->toolTip().endsWith(c.keyboardTip));
        }
        auto* edit = skinCard->findChild<QAbstractButton*>("editButton");
        auto* remove = skinCard->findChild<QAbstractButton*>("deleteButton");
        EXPECT_EQ(edit != nullptr, c.editable);
        EXPECT_EQ(remove != nullptr, c.editable);
        if (c.editable) {
            EXPECT_TRUE(edit->isHidden());
            EXPECT_TRUE(remove->isHidden());
        }
        hover(skinCard, true);
        EXPECT_TRUE(skinCard->hovering());
        if (c.editable) {
            EXPECT_FALSE(edit->isHidden());
            EXPECT_EQ(edit->toolTip(), "Edit in Skin Builder");
            EXPECT_EQ(remove->toolTip(), "Delete skin");
            hover(skinCard, false);
            EXPECT_TRUE(edit->isHidden());
            EXPECT_TRUE(remove->isHidden());
        }
        hover(skinCard, false);
    }
}

TEST_F(SkinPickerWindowTest, ChoosingACardReportsItAndClosesTheWindow) {
    installUserSkin("retro", "Retro");
    SkinLoader::shared().loadAll();
    SkinPickerWindowController controller(std::nullopt);
    QStringList chosen;
    controller.onSkinSelected = [&](const SkinManifest& skin) {
        EXPECT_TRUE(controller.window()->isVisible()); // reported before the window closes
        chosen.append(skin.name);
    };
    controller.showWindow();
    card(controller, "retro")->click();
    EXPECT_EQ(chosen, QStringList{"Retro"});
    EXPECT_FALSE(controller.window()->isVisible());

    // Without a callback the window still closes.
    controller.onSkinSelected = nullptr;
    controller.showWindow();
    card(controller, "handheld")->click();
    EXPECT_FALSE(controller.window()->isVisible());
}

TEST_F(SkinPickerWindowTest, EditAndImageCloseThePickerThenAskTheDelegateForTheBuilder) {
    installUserSkin("retro", "Retro");
    writeFile(_dir.path() + "/device.png", "png");
    SkinLoader::shared().loadAll();
    int alerts = 0;
    _hooks->runAlert = [&](const AlertRequest&) {
        ++alerts;
        return 0;
    };
    for (bool withDelegate : {false, true}) {
        SCOPED_TRACE(withDelegate);
        std::optional<AppDelegate> delegate;
        if (withDelegate) delegate.emplace();
        SkinPickerWindowController controller(std::nullopt);
        controller.showWindow();
        SkinCard* retro = card(controller, "retro");
        hover(retro, true);
        retro->findChild<QAbstractButton*>("editButton")->click();
        EXPECT_FALSE(controller.window()->isVisible());
        if (withDelegate) {
            ASSERT_TRUE(delegate->skinBuilderController);
            EXPECT_TRUE(delegate->skinBuilderController->window()->isVisible());
            // The builder tried the folder (this test's skin.json is not one the builder can edit).
            EXPECT_EQ(delegate->skinBuilderController->model().statusMessage(), "skin.json is malformed.");
        }

        controller.showWindow();
        _hooks->runFileDialog = [&](const FileDialogRequest&) { return _dir.path() + "/device.png"; };
        controller.view()->findChild<QAction*>("importFile")->trigger();
        EXPECT_FALSE(controller.window()->isVisible());
        if (withDelegate) {
            // The builder held no image, so it did not ask.
            EXPECT_EQ(alerts, 0);
            EXPECT_EQ(delegate->skinBuilderController->model().statusMessage(), "Failed to load image");
        }
    }
}

TEST_F(SkinPickerWindowTest, TheImportPanelsOfferFoldersOrFiles) {
    const QString source = sourceSkin("Retro", "Retro");
    SkinPickerWindowController controller(std::nullopt);
    SkinPickerView* view = controller.view();
    QList<FileDialogRequest> requests;
    QString answer;
    _hooks->runFileDialog = [&](const FileDialogRequest& request) {
        requests.append(request);
        return answer;
    };
    view->findChild<QAction*>("importFolder")->trigger();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].kind, FileDialogRequest::Kind::OpenFolder);
    EXPECT_EQ(requests[0].title, "Import Skin");
    EXPECT_EQ(view->footer()->text(), SkinPickerView::hint); // cancelled: nothing happens

    answer = source;
    view->findChild<QAction*>("importFolder")->trigger();
    EXPECT_EQ(view->footer()->text(), "Installed Retro");
    EXPECT_TRUE(card(controller, "Retro"));

    answer.clear();
    view->findChild<QAction*>("importFile")->trigger();
    EXPECT_EQ(requests.last().kind, FileDialogRequest::Kind::OpenFile);
    EXPECT_EQ(requests.last().suffixes, (QStringList{"zip", "jpeg", "jpg", "png"}));
}

TEST_F(SkinPickerWindowTest, TheFooterShowsTheStatusUntilItClears) {
    SkinPickerWindowController controller(std::nullopt);
    SkinPickerView* view = controller.view();
    const QColor hintColour = view->footer()->palette().color(QPalette::WindowText);
    import(*view->model(), _dir.path() + "/gone");
    EXPECT_EQ(view->footer()->text(), "Couldn't read that item");
    EXPECT_NE(view->footer()->palette().color(QPalette::WindowText), hintColour);
    view->model()->statusTimer()->stop();
    QMetaObject::invokeMethod(view->model()->statusTimer(), "timeout");
    EXPECT_EQ(view->footer()->text(), SkinPickerView::hint);
    EXPECT_EQ(view->footer()->palette().color(QPalette::WindowText), hintColour);
}

TEST_F(SkinPickerWindowTest, ReloadRescansQuietlyAndOpenFolderMakesTheFolderFirst) {
    SkinPickerWindowController controller(std::nullopt);
    SkinPickerView* view = controller.view();
    int announcements = 0;
    QObject owner;
    NotificationCenter::defaultCenter().addObserver(QString(SkinLoader::skinsDidReload), &owner,
                                                    [&](const Notification&) { ++announcements; });
    installUserSkin("late", "Late");
    EXPECT_FALSE(card(controller, "late"));
    view->findChild<QPushButton*>("reloadButton")->click();
    EXPECT_TRUE(card(controller, "late"));
    EXPECT_EQ(announcements, 0);

    QList<QUrl> opened;
    _hooks->openUrl = [&](const QUrl& url) {
        EXPECT_TRUE(QFileInfo(url.toLocalFile()).isDir());
        opened.append(url);
        return true;
    };
    QDir(skins()).removeRecursively();
    view->findChild<QPushButton*>("openFolderButton")->click();
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(skins())});
}

TEST_F(SkinPickerWindowTest, DeletingFromACardRebuildsTheGrid) {
    installUserSkin("retro", "Retro");
    SkinLoader::shared().loadAll();
    SkinPickerWindowController controller(std::nullopt);
    controller.showWindow();
    SkinCard* retro = card(controller, "retro");
    hover(retro, true);
    _answers = {0};
    retro->findChild<QAbstractButton*>("deleteButton")->click();
    EXPECT_EQ(_alerts.size(), 1);
    EXPECT_EQ(controller.view()->footer()->text(), "Deleted Retro");
    ASSERT_EQ(controller.view()->cards().size(), 1);
    EXPECT_EQ(controller.view()->cards()[0]->skin().id, "handheld");
    EXPECT_TRUE(controller.window()->isVisible()); // deleting leaves the picker open
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(card(controller, "retro"));
}

TEST_F(SkinPickerWindowTest, ThumbnailsShowTheArtOrAPlaceholderOfTheSkinsShape) {
    installUserSkin("art", "Art", 0, QColor(200, 0, 0));
    writeFile(skins() + "/missing/skin.json", skinJson("Missing", "nowhere.png"));
    SkinLoader::shared().loadAll();
    SkinPickerWindowController controller(std::nullopt);
    controller.window()->resize(580, 600);
    controller.showWindow();
    QApplication::processEvents();

    SkinCard* art = card(controller, "art");
    const QRectF artRect = art->thumbnailRect();
    EXPECT_NEAR(artRect.width() / artRect.height(), 2.0, 0.02);
    EXPECT_EQ(render(art).pixelColor(artRect.center().toPoint() + QPoint(0, -10)), QColor(200, 0, 0));

    SkinCard* missing = card(controller, "missing");
    const QRectF placeholder = missing->thumbnailRect();
    EXPECT_NEAR(placeholder.height(), 120, 0.5);
    EXPECT_NEAR(placeholder.width() / placeholder.height(), 300.0 / 400.0, 0.02);
    const QImage image = render(missing);
    // The skin's background colour (#102030) fills the shape; outside it lies the card.
    EXPECT_EQ(image.pixelColor(placeholder.center().toPoint() + QPoint(0, 30)), QColor(0x10, 0x20, 0x30));
    EXPECT_NE(image.pixelColor(QPoint(int(placeholder.left()) - 4, int(placeholder.center().y()))),
              QColor(0x10, 0x20, 0x30));
}

TEST(SkinCard, LoadSkinImageReadsAbsolutePathsOrTheBundlesSkins) {
    QTemporaryDir dir;
    QImage image(4, 2, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(dir.path() + "/frame.png"));
    writeFile(dir.path() + "/broken.png", "not an image");
    // A pipe named by skin.json blocked the picker on its open.
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.path() + "/pipe.png").constData(), 0600), 0);
    QDir().mkpath(dir.path() + "/Skins/x");
    ASSERT_TRUE(image.save(dir.path() + "/Skins/x/frame.png"));
    AppResources::setBundleForTesting(dir.path());
    struct Case {
        const char* name;
        QString reference;
        bool found;
    };
    const Case cases[] = {
        {"absolute", dir.path() + "/frame.png", true}, {"bundle relative", "x/frame.png", true},
        {"missing", dir.path() + "/gone.png", false},  {"not an image", dir.path() + "/broken.png", false},
        {"relative missing", "x/gone.png", false},   {"a pipe", dir.path() + "/pipe.png", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QImage> loaded = SkinCard::loadSkinImage(c.reference);
        EXPECT_EQ(loaded.has_value(), c.found);
        if (loaded) {
            EXPECT_EQ(loaded->size(), QSize(4, 2));
        }
    }
    AppResources::setBundleForTesting(QString());
    EXPECT_FALSE(SkinCard::loadSkinImage("x/frame.png"));
    AppResources::setBundleForTesting(std::nullopt);
}

TEST_F(SkinPickerWindowTest, DropsImportEachFileInTurn) {
    writeFile(_dir.path() + "/a.txt", "x");
    writeFile(_dir.path() + "/b.png", "png");
    const QString source = sourceSkin("Dropped", "Dropped");
    SkinPickerWindowController controller(std::nullopt);
    SkinPickerView* view = controller.view();
    QStringList statuses;
    QObject::connect(view->model(), &SkinPickerModel::statusMessageChanged,
                     [&] { statuses.append(status(*view->model())); });

    bool targeted = false;
    controller.showWindow();
    QMimeData* data =
        urlData({_dir.path() + "/a.txt", source, "https://example.com/x.png", _dir.path() + "/b.png"});
    EXPECT_TRUE(dragAndDrop(view, data, &targeted));
    EXPECT_TRUE(targeted);
    EXPECT_FALSE(view->isTargeted());
    EXPECT_TRUE(statuses.isEmpty()); // the imports follow the drop, not inside it
    QSignalSpy finished(view->model(), &SkinPickerModel::importsFinished);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(statuses, (QStringList{"Drop a skin folder, .zip, or an image", "Installed Dropped"}));
    EXPECT_FALSE(controller.window()->isVisible()); // the image went to the builder
    delete data;

    // An image without a file behind it is taken but brings nothing; plain text is not taken at all.
    statuses.clear();
    auto* image = new QMimeData;
    image->setImageData(QImage(2, 2, QImage::Format_ARGB32));
    EXPECT_TRUE(dragAndDrop(view, image));
    QApplication::processEvents();
    EXPECT_TRUE(statuses.isEmpty());
    delete image;
    auto* text = new QMimeData;
    text->setText("/tmp");
    EXPECT_FALSE(dragAndDrop(view, text, &targeted));
    EXPECT_FALSE(targeted);
    delete text;
}

TEST_F(SkinPickerWindowTest, TheDragOutlineShowsOnlyWhileADragHovers) {
    SkinPickerWindowController controller(std::nullopt);
    SkinPickerView* view = controller.view();
    QWidget* outline = view->findChild<QWidget*>("dropHighlight");
    ASSERT_TRUE(outline);
    EXPECT_TRUE(outline->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(outline->isHidden());
    QMimeData* data = urlData({_dir.path()});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    EXPECT_TRUE(view->isTargeted());
    EXPECT_FALSE(outline->isHidden());
    EXPECT_EQ(outline->geometry(), view->rect());
    QDragLeaveEvent leave;
    QApplication::sendEvent(view, &leave);
    EXPECT_FALSE(view->isTargeted());
    EXPECT_TRUE(outline->isHidden());
    delete data;
}

TEST_F(SkinPickerWindowTest, TheApplicationOpensOnePickerAtATime) {
    AppDelegate delegate;
    delegate.showSkinPicker();
    ASSERT_TRUE(delegate.skinPickerController);
    QPointer<QWidget> first = delegate.skinPickerController->window();
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->windowTitle(), "Choose a Skin");
    EXPECT_FALSE(delegate.skinPickerController->view()->currentSkinId());

    delegate.showSkinPicker();
    EXPECT_FALSE(first); // the earlier picker went with its controller
    QWidget* second = delegate.skinPickerController->window();
    EXPECT_TRUE(second->isVisible());

    // A chosen skin opens a new device window.
    card(*delegate.skinPickerController, "handheld")->click();
    ASSERT_EQ(delegate.windowControllers.size(), 1);
    EXPECT_EQ(AppDelegate::skinNameOf(*delegate.windowControllers.first()), "Handheld v1");
    EXPECT_FALSE(second->isVisible());
}
