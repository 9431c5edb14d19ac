#include "platform/qt/tavix_button.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
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

    // Keyboard focus: a ring in the title's colour, which stands out against the button's own fill.
    if (focusRing_ && hasFocus()) {
        QColor ring = ink;
        ring.setAlphaF(0.85f);
        QPainterPath inner;
        inner.addRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 9.5, 9.5);
        painter.setPen(QPen(ring, 2));
        painter.drawPath(inner);
    }

    const QFontMetricsF metrics(font());
    const qreal w = metrics.horizontalAdvance(text());
    const qreal h = metrics.height();
    // Centred, one unit above the exact middle; a wide title overflows equally on both sides.
    const qreal top = (height() - h) / 2 - 1;
    painter.setFont(font());
    painter.setPen(ink);
    painter.drawText(QPointF((width() - w) / 2, top + metrics.ascent()), text());
}

void TavixButton::keyPressEvent(QKeyEvent* event) {
    if (!focusRing_) {
        focusRing_ = true;
        update();
    }
    // Return and Enter press the button, as Space does.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat()) click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void TavixButton::focusInEvent(QFocusEvent* event) {
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::ActiveWindowFocusReason) {
        focusRing_ =
            reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    }
    QAbstractButton::focusInEvent(event);
}

void TavixButton::focusOutEvent(QFocusEvent* event) {
    // Switching to another window and back keeps the ring where it was.
    if (event->reason() != Qt::ActiveWindowFocusReason) focusRing_ = false;
    QAbstractButton::focusOutEvent(event);
}

}  // namespace tavix
