// Build-time tool: writes the program's own icon as a 48 by 48 PNG, so the
// package's desktop entry and the program folder carry the same picture as
// the console window and the tray. No binary image is kept in the sources.
#include "console/ConsoleWindow.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: iconpng OUTPUT.png\n");
        return 2;
    }
    // Runs in the build, where there may be no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QImage image = torv::programIcon().pixmap(48, 48).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.width() != 48 || image.height() != 48) {
        std::fprintf(stderr, "iconpng: the icon is %dx%d, not 48x48\n", image.width(), image.height());
        return 1;
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "iconpng: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
