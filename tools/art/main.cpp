// Draws the bundled art: the frames of the bundled skins (and the skin.json of the skins that live in a
// folder), the brand marks and the application icons. Deterministic: the same bytes on every run.
//
//   quillaby_art RESOURCES_DIR [--preview DIR]
//
// --preview also writes each frame composited over a dark terminal screen, for looking at.
#include "SkinArt.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QSaveFile>

#include <cstdio>
#include <cstdlib>

using namespace QuillabyArt;

namespace {

constexpr qreal frameScale = 2;

bool writeJson(const QJsonObject& object, const QString& path, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    file.write(QJsonDocument(object).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

// The frame over a terminal-coloured screen with a few lines of text: how a window will look.
QImage preview(const SkinArt& skin) {
    QImage out = newCanvas(skin.frame, frameScale);
    QImage screen = newCanvas(skin.frame, frameScale);
    {
        QPainter p;
        beginPoints(p, screen, frameScale);
        QPainterPath path = skin.screenPath();
        p.fillPath(path, skin.palette.background);
        QRectF box = path.boundingRect();
        const char* lines[] = {"~ $ ls -l skins",
                               "drwxr-xr-x  handheld",
                               "drwxr-xr-x  walkie",
                               "~ $ make -j4 && ./quillaby",
                               "[100%] Built target Quillaby",
                               "~ $ _"};
        p.setClipPath(path);
        qreal y = box.top() + 16;
        for (const char* line : lines) {
            p.fillPath(placed(textPath(Face::Mono, 11, line), QPointF(box.left() + 10, y), Qt::AlignLeft, 0),
                       skin.palette.foreground);
            y += 15;
        }
    }
    QPainter p(&out);
    if (skin.screenInFront) {
        p.drawImage(0, 0, skin.image);
        p.drawImage(0, 0, screen);
    } else {
        p.drawImage(0, 0, screen);
        p.drawImage(0, 0, skin.image);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString previewDir;
    if (int at = args.indexOf("--preview"); at >= 0 && at + 1 < args.size()) {
        previewDir = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: quillaby_art RESOURCES_DIR [--preview DIR]\n");
        return 2;
    }
    const QString root = args.first();
    QString error;
    if (!loadFaces(&error)) {
        std::fprintf(stderr, "quillaby_art: %s\n", qPrintable(error));
        return 1;
    }

    auto fail = [&] {
        std::fprintf(stderr, "quillaby_art: %s\n", qPrintable(error));
        return 1;
    };
    for (SkinArt (*draw)(qreal) : {drawHandheld, drawWalkie, drawDeskCrt, drawPocketGlass}) {
        SkinArt skin = draw(frameScale);
        const QString folder = root + "/Skins/" + skin.folder + "/";
        if (!writePng(skin.image, frameScale, folder + skin.imageName, &error)) return fail();
        if (skin.hasManifest && !writeJson(manifestJson(skin), folder + "skin.json", &error)) return fail();
        if (!previewDir.isEmpty() &&
            !writePng(preview(skin), frameScale, previewDir + "/" + skin.folder + ".png", &error))
            return fail();
    }
    for (bool onDark : {false, true}) {
        const QString name = onDark ? "quillaby-mark-dark.png" : "quillaby-mark.png";
        if (!writePng(drawMark(512, onDark), 1, root + "/" + name, &error)) return fail();
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        if (!writePng(drawIcon(size), 1, root + QStringLiteral("/Icons/quillaby-%1.png").arg(size), &error))
            return fail();
    }
    return 0;
}
