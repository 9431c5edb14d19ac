#include "platform/qt/menu_bar_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPixmap>

#include <algorithm>

namespace tavix {
namespace {

constexpr qreal kGrid = 18;
// The rim around the light drawing, in grid units on each side.
constexpr qreal kRim = 0.7;
const QColor kLight(0xf4, 0xf4, 0xf4);
const QColor kDark(0x14, 0x14, 0x14);

QPainterPath stroked(const QPainterPath& path, qreal width, Qt::PenCapStyle cap, Qt::PenJoinStyle join) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(join);
    return stroker.createStroke(path);
}

// The head's geometry is given with y upwards from the bottom edge.
qreal up(qreal y) {
    return kGrid - y;
}

// What lies under the light drawing: the whole head and a rim around the antenna, dark, so that the face reads as
// light strokes on dark and the head's edge stands out on a light panel.
QList<QPainterPath> backingOf(const QList<QPainterPath>& parts) {
    QPainterPath head;
    head.addRoundedRect(QRectF(0.75, up(2.3 + 12.7) - 0.75, 16.5, 14.2), 5.75, 5.75);
    QList<QPainterPath> backing{stroked(head, 2 * kRim, Qt::RoundCap, Qt::RoundJoin), head};
    for (const QPainterPath& part : {parts[1], parts[2]}) {
        backing.append(stroked(part, 2 * kRim, Qt::RoundCap, Qt::RoundJoin));
        backing.append(part);
    }
    return backing;
}

QRectF centredSquare(const QRectF& rect) {
    const qreal side = std::min(rect.width(), rect.height());
    return QRectF(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
}

class MenuBarIconEngine final : public QIconEngine {
  public:
    explicit MenuBarIconEngine(std::optional<QColor> color) : color_(color) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        paintMenuBarLogo(*painter, rect, color_);
    }
    // Qt asks for device pixels here (and sets the pixel ratio of the result itself).
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paintMenuBarLogo(painter, QRectF(QPointF(0, 0), QSizeF(size)), color_);
        return pixmap;
    }
    QIconEngine* clone() const override { return new MenuBarIconEngine(color_); }
    QString key() const override { return QStringLiteral("tavix-menubar"); }

  private:
    std::optional<QColor> color_;
};

QByteArray svgPath(const QPainterPath& path) {
    QByteArray d;
    const auto number = [](qreal v) { return QByteArray::number(v, 'f', 3); };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            d += "M" + number(e.x) + " " + number(e.y);
        } else if (e.isLineTo()) {
            d += "L" + number(e.x) + " " + number(e.y);
        } else if (e.isCurveTo()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            d += "C" + number(e.x) + " " + number(e.y) + " " + number(c2.x) + " " + number(c2.y) + " " + number(end.x) +
                 " " + number(end.y);
            i += 2;
        }
    }
    return d;
}

}  // namespace

QList<QPainterPath> menuBarLogoParts() {
    QPainterPath head;
    head.addRoundedRect(QRectF(1.5, up(2.3 + 12.7), 15.0, 12.7), 5, 5);

    QPainterPath antenna(QPointF(5.0, up(14.3)));
    antenna.lineTo(4.2, up(16.0));

    QPainterPath tip;
    tip.addEllipse(QRectF(3.3, up(15.6 + 1.7), 1.7, 1.7));
    tip.setFillRule(Qt::WindingFill);

    QPainterPath face(QPointF(4.2, up(9.1)));
    face.cubicTo(5.0, up(10.8), 6.5, up(10.8), 7.3, up(9.1));
    face.moveTo(10.7, up(9.1));
    face.cubicTo(11.5, up(10.8), 13.0, up(10.8), 13.8, up(9.1));
    face.moveTo(6.3, up(6.7));
    face.lineTo(7.6, up(5.3));
    face.lineTo(9.0, up(6.7));
    face.lineTo(10.4, up(5.3));
    face.lineTo(11.7, up(6.7));

    return {stroked(head, 1.5, Qt::SquareCap, Qt::MiterJoin), stroked(antenna, 1.4, Qt::FlatCap, Qt::MiterJoin), tip,
            stroked(face, 1.4, Qt::RoundCap, Qt::RoundJoin)};
}

void paintMenuBarLogo(QPainter& painter, const QRectF& rect, const std::optional<QColor>& color) {
    static const QList<QPainterPath> parts = menuBarLogoParts();
    static const QList<QPainterPath> backing = backingOf(parts);
    const QRectF square = centredSquare(rect);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(square.topLeft());
    painter.scale(square.width() / kGrid, square.height() / kGrid);
    if (!color) {
        for (const QPainterPath& part : backing) painter.fillPath(part, kDark);
    }
    for (const QPainterPath& part : parts) painter.fillPath(part, color.value_or(kLight));
    painter.restore();
}

QIcon menuBarLogo(const std::optional<QColor>& color) {
    return QIcon(new MenuBarIconEngine(color));
}

QImage menuBarLogoImage(int pixels, const std::optional<QColor>& color) {
    QImage image(pixels, pixels, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintMenuBarLogo(painter, QRectF(0, 0, pixels, pixels), color);
    return image;
}

QByteArray menuBarLogoSvg() {
    const QList<QPainterPath> parts = menuBarLogoParts();
    QByteArray backing;
    QByteArray shade;
    for (const QPainterPath& part : backingOf(parts)) {
        backing += "<path class=\"backing\" style=\"fill:currentColor\" d=\"" + svgPath(part) + "\"/>\n";
        shade += "<path class=\"shade\" style=\"fill:none\" d=\"" + svgPath(part) + "\"/>\n";
    }
    QByteArray shapes;
    for (const QPainterPath& part : parts) {
        shapes += "<path class=\"ColorScheme-Text\" style=\"fill:currentColor\" d=\"" + svgPath(part) + "\"/>\n";
    }
    const QByteArray light = kLight.name().toLatin1();
    const QByteArray dark = kDark.name().toLatin1();
    // Where nothing recolours the file, the light head sits on the dark backing; KDE and LXQt paint the backing in
    // their panel's background colour. GTK fills every path and rectangle with its text colour and draws the file
    // inside an SVG of its own, which the "svg svg" rules match alone: there the backing turns light and the shade
    // over it covers it as far as the text colour is light (the mask's rectangle takes that colour too). So the head
    // reads on its backing whatever the colour, also on a GTK panel that switches to dark without drawing its icons
    // again (XFCE's own dark mode).
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"18\" height=\"18\" viewBox=\"0 0 18 18\">\n"
           "<style id=\"current-color-scheme\" type=\"text/css\">\n"
           ".ColorScheme-Text { color:" +
           light +
           "; }\n"
           ".ColorScheme-Background { color:" +
           dark +
           "; }\n"
           "</style>\n"
           "<style type=\"text/css\">\n"
           "path.backing { fill:currentColor !important; }\n"
           "svg svg path.backing { fill:" +
           light +
           " !important; }\n"
           "svg svg path.shade { fill:" +
           dark +
           " !important; }\n"
           "</style>\n"
           "<mask id=\"text-colour\" maskUnits=\"userSpaceOnUse\" x=\"0\" y=\"0\" width=\"18\" height=\"18\">\n"
           "<rect width=\"18\" height=\"18\" style=\"fill:none\"/>\n"
           "</mask>\n"
           "<g class=\"ColorScheme-Background\">\n" +
           backing + "</g>\n<g mask=\"url(#text-colour)\">\n" + shade + "</g>\n" + shapes + "</svg>\n";
}

}  // namespace tavix
