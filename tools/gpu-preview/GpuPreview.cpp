// A terminal view in GPU mode on its own window, for looking at the GPU path next to the painter's.
#include "GLError.h"
#include "LocalProcessTerminalView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <string>

using namespace Tessaline;

namespace {

// Text in colours and styles, box drawing, block elements, wide and colour glyphs, and a small image.
std::string sampleScreen() {
    std::string out = "\x1b[1;32muser@host\x1b[0m:\x1b[1;34m~/src/quillaby\x1b[0m$ ls --color\r\n";
    out += "\x1b[1;34mbench\x1b[0m  \x1b[1;34mTessaline\x1b[0m  \x1b[1;32mrun.sh\x1b[0m  README.md  "
           "\x1b[31mcore.tar.gz\x1b[0m\r\n";
    out += "\x1b[1mbold\x1b[0m \x1b[3mitalic\x1b[0m \x1b[4munderline\x1b[0m \x1b[4:3mcurly\x1b[0m "
           "\x1b[4:4mdotted\x1b[0m \x1b[4:5mdashed\x1b[0m \x1b[21mdouble\x1b[0m \x1b[9mstruck\x1b[0m "
           "\x1b[7mreverse\x1b[0m\r\n";
    for (int c = 0; c < 16; ++c)
        out += "\x1b[48;5;" + std::to_string(c) + "m   ";
    out += "\x1b[0m\r\n";
    for (int c = 16; c < 232; c += 3)
        out += "\x1b[48;5;" + std::to_string(c) + "m ";
    out += "\x1b[0m\r\n";
    out +=
        "\xe2\x94\x8c\xe2\x94\x80\xe2\x94\x80\xe2\x94\x80\xe2\x94\xac\xe2\x94\x80\xe2\x94\x80\xe2\x94\x80"
        "\xe2\x94\x90  \xe2\x96\x88\xe2\x96\x93\xe2\x96\x92\xe2\x96\x91 \xe2\x96\x81\xe2\x96\x82\xe2\x96\x83"
        "\xe2\x96\x84\xe2\x96\x85\xe2\x96\x86\xe2\x96\x87\xe2\x96\x88\r\n";
    out += "\xe2\x94\x82 a \xe2\x94\x82 b \xe2\x94\x82  \xe6\xbc\xa2\xe5\xad\x97 \xe3\x81\x8b\xe3\x81\xaa  "
           "\xf0\x9f\x99\x82 \xf0\x9f\x8e\x89\r\n";
    out += "\xe2\x94\x94\xe2\x94\x80\xe2\x94\x80\xe2\x94\x80\xe2\x94\xb4\xe2\x94\x80\xe2\x94\x80\xe2\x94\x80"
           "\xe2\x94\x98\r\n";
    out += "\x1b]8;;https://example.org\x1b\\a link\x1b]8;;\x1b\\  \x1b[38;2;255;128;0mtruecolour\x1b[0m\r\n";
    // A 48x24 gradient, top row red, as a Kitty image.
    QImage picture(48, 24, QImage::Format_RGBA8888);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixelColor(x, y, QColor(255 - y * 10, x * 5, y * 10));
    const QByteArray bytes(reinterpret_cast<const char*>(picture.constBits()), int(picture.sizeInBytes()));
    out += "\x1b_Ga=T,f=32,s=48,v=24,q=2;" + bytes.toBase64().toStdString() + "\x1b\\\r\n\r\n";
    out += "\x1b[1;32muser@host\x1b[0m:\x1b[1;34m~/src/quillaby\x1b[0m$ ";
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const bool painter = args.removeAll(QStringLiteral("--painter")) > 0;
    const bool aggregated = args.removeAll(QStringLiteral("--aggregated")) > 0;

    LocalProcessTerminalView view(QRect(0, 0, 820, 420));
    view.setWindowTitle(painter ? QStringLiteral("painter") : QStringLiteral("GPU"));
    view.setFont(TerminalView::defaultFont());
    if (aggregated) view.setGpuBufferingMode(GLBufferingMode::perFrameAggregated);
    view.show();
    if (!painter) {
        try {
            view.setUseGpu(true);
        } catch (const GLError& error) {
            std::fprintf(stderr, "GPU mode: %s\n", qPrintable(error.description()));
        }
    }
    if (args.isEmpty()) {
        view.feed(sampleScreen());
    } else {
        std::vector<std::string> rest;
        for (qsizetype i = 1; i < args.size(); ++i)
            rest.push_back(args[i].toStdString());
        view.startProcess(args.first().toStdString(), rest);
    }
    return QApplication::exec();
}
