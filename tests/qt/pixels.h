#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <ostream>

// Failure messages show colours as #aarrggbb.
inline void PrintTo(const QColor& colour, std::ostream* out) {
    *out << colour.name(QColor::HexArgb).toStdString();
}

namespace tavix::test {

inline QColor rgb(double r, double g, double b, double a = 1) {
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

// The largest difference of one colour component (0…1); alpha is ignored.
inline double distance(const QColor& a, const QColor& b) {
    return std::max(
        {std::abs(a.redF() - b.redF()), std::abs(a.greenF() - b.greenF()), std::abs(a.blueF() - b.blueF())});
}

// The widget as it paints itself.
inline QImage grabImage(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// The smallest rectangle holding every pixel for which `match` holds (null when none does).
template <typename Match>
QRect boundingBox(const QImage& image, const Match& match) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (match(image.pixelColor(x, y))) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

}  // namespace tavix::test
