#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <functional>

namespace tavix::test {

// The widget as it paints itself, one image pixel per unit (transparent where it draws nothing).
QImage grabImage(QWidget& widget);

// The smallest rectangle holding every pixel for which `match` holds (null when none does).
QRect boundingBox(const QImage& image, const std::function<bool(const QColor&)>& match);

// The largest difference of one sRGB component (0…1) between `colour` and (r, g, b); alpha is ignored.
double colourDistance(const QColor& colour, double r, double g, double b);

// The mean absolute difference of the premultiplied channels (0…255) of two images of the same size.
double meanDifference(const QImage& a, const QImage& b);

}  // namespace tavix::test
