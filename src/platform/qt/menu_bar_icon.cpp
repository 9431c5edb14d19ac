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
// GTK's backing reaches a little further, so that the fixed one never shows at its edge.
constexpr qreal kGtkRim = 0.9;
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
QList<QPainterPath> backingOf(const QList<QPainterPath>& parts, qreal rim = kRim) {
    QPainterPath head;
    head.addRoundedRect(QRectF(0.75, up(2.3 + 12.7) - 0.75, 16.5, 14.2), 5.75, 5.75);
    QList<QPainterPath> backing{stroked(head, 2 * rim, Qt::RoundCap, Qt::RoundJoin), head};
    for (const QPainterPath& part : {parts[1], parts[2]}) {
        backing.append(stroked(part, 2 * rim, Qt::RoundCap, Qt::RoundJoin));
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
    for (const QPainterPath& part : backingOf(parts)) {
        backing += "<path class=\"backing\" style=\"fill:currentColor\" d=\"" + svgPath(part) + "\"/>\n";
    }
    QByteArray gtkBacking;
    for (const QPainterPath& part : backingOf(parts, kGtkRim)) {
        gtkBacking += "<path style=\"fill:none\" d=\"" + svgPath(part) + "\"/>\n";
    }
    QByteArray shapes;
    for (const QPainterPath& part : parts) {
        shapes += "<path class=\"ColorScheme-Text\" style=\"fill:currentColor\" d=\"" + svgPath(part) + "\"/>\n";
    }
    const auto grey = [](const QColor& colour) { return QByteArray::number(colour.redF(), 'f', 3); };
    const QByteArray table = "tableValues=\"" + grey(kLight) + " " + grey(kDark) + "\"";
    // Where nothing recolours the file, the light head sits on the dark backing. KDE and LXQt paint the backing in
    // their panel's background colour. GTK sets the fill of every path and rectangle to its text colour with
    // !important: the more specific rule keeps the backing dark, and over it GTK fills the paths left unfilled here,
    // which the filter turns into the far end from that colour. A GTK panel that switches to dark without drawing its
    // icons again (XFCE's own dark mode) shows its old dark head on a light backing, not dark on dark.
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"18\" height=\"18\" viewBox=\"0 0 18 18\">\n"
           "<style id=\"current-color-scheme\" type=\"text/css\">\n"
           ".ColorScheme-Text { color:" +
           kLight.name().toLatin1() +
           "; }\n"
           ".ColorScheme-Background { color:" +
           kDark.name().toLatin1() +
           "; }\n"
           "</style>\n"
           "<style type=\"text/css\">\n"
           "path.backing { fill:currentColor !important; }\n"
           "</style>\n"
           "<defs>\n"
           "<filter id=\"far\" filterUnits=\"userSpaceOnUse\" x=\"0\" y=\"0\" width=\"18\" height=\"18\" "
           "color-interpolation-filters=\"sRGB\">\n"
           "<feColorMatrix type=\"matrix\" values=\"0.2126 0.7152 0.0722 0 0 0.2126 0.7152 0.0722 0 0 "
           "0.2126 0.7152 0.0722 0 0 0 0 0 1 0\"/>\n"
           "<feComponentTransfer><feFuncR type=\"discrete\" " +
           table + "/><feFuncG type=\"discrete\" " + table + "/><feFuncB type=\"discrete\" " + table +
           "/></feComponentTransfer>\n"
           "</filter>\n"
           "</defs>\n"
           "<g class=\"ColorScheme-Background\">\n" +
           backing + "</g>\n<g filter=\"url(#far)\">\n" + gtkBacking + "</g>\n" + shapes + "</svg>\n";
}

}  // namespace tavix
