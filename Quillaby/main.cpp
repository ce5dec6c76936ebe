#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::fprintf(stderr, "[Quillaby] the terminal window is not built yet\n");
    return 0;
}
