// zelvar-screenshots DIR: saves PNG pictures of the loader's dialogs into DIR
// (loader layout, terminal layout, About box), rendered offscreen.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "gui/qt/screenshots.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    // No display is needed: unless told otherwise, draw into memory.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    QDir().mkpath(QString::fromLocal8Bit(argv[1]));
    QStringList written = zelvar::SaveScreenshots(QString::fromLocal8Bit(argv[1]));
    for (const QString& file : written) std::printf("%s\n", qPrintable(file));
    return written.size() == 3 ? 0 : 1;
}
