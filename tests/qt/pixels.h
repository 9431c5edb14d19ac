#pragma once

#include <QColor>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <string>

namespace tavix::test {

// #aarrggbb, which failure messages show readably.
inline std::string hex(const QColor& colour) {
    return colour.name(QColor::HexArgb).toStdString();
}

inline QColor rgb(double r, double g, double b, double a = 1) {
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

// The largest difference of one colour component (0…1); alpha is ignored.
inline double distance(const QColor& a, const QColor& b) {
    return std::max(
        {std::abs(a.redF() - b.redF()), std::abs(a.greenF() - b.greenF()), std::abs(a.blueF() - b.blueF())});
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
