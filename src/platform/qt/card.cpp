#include "platform/qt/card.h"

#include <QPainter>
#include <QPainterPath>

namespace tavix {

QColor toColor(const Rgba& c) {
    return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha));
}

Card::Card(const SettingsModel& model, QWidget* parent)
    : QWidget(parent), fill_(toColor(model.cardFill)), border_(toColor(model.cardBorder)), radius_(model.cardRadius) {}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // As a layer draws its border: the fill covers the whole card and the hairline lies inside its edge.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), radius_, radius_);
    painter.fillPath(shape, fill_);
    QPainterPath edge;
    edge.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius_ - 0.5, radius_ - 0.5);
    painter.strokePath(edge, QPen(border_, 1));
}

}  // namespace tavix
