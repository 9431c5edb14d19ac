#include "platform/qt/tavix_button.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "platform/qt/artwork.h"

namespace tavix {

TavixButton::TavixButton(const QString& title, QWidget* parent) : QAbstractButton(parent) {
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setFont(interfaceFont(13, QFont::DemiBold));
}

QSize TavixButton::sizeHint() const {
    return {249, 44};
}

void TavixButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(bounds, 11, 11);

    QColor background = fill;
    if (isDown()) background.setAlphaF(0.75f);
    painter.fillPath(shape, background);

    // A white button shows no border; every other fill gets a faint one.
    const float borderAlpha = fill == QColor(Qt::white) ? 0.0f : 0.08f;
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, borderAlpha), 1));
    painter.drawPath(shape);

    const QFontMetricsF metrics(font());
    const qreal w = metrics.horizontalAdvance(text());
    const qreal h = metrics.height();
    // Centred, one unit above the exact middle; a wide title overflows equally on both sides.
    const qreal top = (height() - h) / 2 - 1;
    painter.setFont(font());
    painter.setPen(ink);
    painter.drawText(QPointF((width() - w) / 2, top + metrics.ascent()), text());
}

}  // namespace tavix
