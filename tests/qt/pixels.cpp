#include "pixels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tavix::test {

QImage grabImage(QWidget& widget) {
    QImage image = widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1.0);
    return image;
}

QRect boundingBox(const QImage& image, const std::function<bool(const QColor&)>& match) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (match(image.pixelColor(x, y))) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

double colourDistance(const QColor& colour, double r, double g, double b) {
    return std::max({std::abs(colour.redF() - r), std::abs(colour.greenF() - g), std::abs(colour.blueF() - b)});
}

double meanDifference(const QImage& a, const QImage& b) {
    const QImage left = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) +
                   std::abs(qAlpha(p) - qAlpha(q));
        }
    }
    return sum / (4.0 * left.width() * left.height());
}

}  // namespace tavix::test
