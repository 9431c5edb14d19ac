// Build-time helper: writes the tray icon's symbolic SVG for the icon theme.
//
//   tavix-symbolic-icon OUTPUT.svg

#include <QSaveFile>
#include <QString>

#include <cstdio>

#include "platform/qt/menu_bar_icon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.svg\n", argv[0]);
        return 64;
    }
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    const QByteArray svg = tavix::menuBarLogoSvg();
    if (!file.open(QIODevice::WriteOnly) || file.write(svg) != svg.size() || !file.commit()) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[1], qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
