// Brings the 1024-pixel application icon down to the sizes an icon theme wants.
//   tavix-icon-sizes ICON.png OUTPUT_DIR SIZE...   writes OUTPUT_DIR/SIZE.png for each size

#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ICON.png OUTPUT_DIR SIZE...\n", argv[0]);
        return 2;
    }
    const QImage icon(QString::fromLocal8Bit(argv[1]));
    if (icon.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) continue;
        // Halving step by step keeps thin parts smooth at small sizes, where one big step would alias.
        QImage image = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        while (image.width() / 2 >= size)
            image = image.scaled(image.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (image.width() != size) image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QSaveFile file(QStringLiteral("%1/%2.png").arg(QString::fromLocal8Bit(argv[2])).arg(size));
        if (!file.open(QIODevice::WriteOnly) || !image.convertToFormat(QImage::Format_ARGB32).save(&file, "PNG") ||
            !file.commit()) {
            std::fprintf(stderr, "cannot write the %d-pixel icon\n", size);
            return 1;
        }
    }
    return 0;
}
