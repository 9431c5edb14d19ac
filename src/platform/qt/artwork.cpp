#include "platform/qt/artwork.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavix {
namespace {

// Drawing coordinates are given with the origin at the bottom-left and y upwards; Qt's run downwards.
QRectF flipped(qreal s, qreal x, qreal y, qreal w, qreal h) {
    return QRectF(x, s - y - h, w, h);
}

QColor srgb(double r, double g, double b, double a = 1.0) {
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

// Beside the program, in its installed data folder, then in the data folders of the user and the system.
QString logoResourcePath() {
    const QString folder = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {folder + "/Tavix.png", folder + "/../share/tavix-menu/Tavix.png"}) {
        if (QFile::exists(candidate)) return candidate;
    }
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("tavix-menu/Tavix.png"));
}

void paintVectorLogo(QPainter& painter, qreal s) {
    const QRectF tile = QRectF(0, 0, s, s).adjusted(0.025 * s, 0.025 * s, -0.025 * s, -0.025 * s);
    QPainterPath shape;
    shape.addRoundedRect(tile, 0.26 * s, 0.26 * s);

    // -38° (counter-clockwise, y up): mint at the upper left to blue at the lower right, spanning the tile's box.
    const double angle = -38.0 * std::numbers::pi / 180.0;
    const QPointF direction(std::cos(angle), -std::sin(angle));
    const qreal half = tile.width() / 2 * std::abs(direction.x()) + tile.height() / 2 * std::abs(direction.y());
    QLinearGradient gradient(tile.center() - direction * half, tile.center() + direction * half);
    gradient.setColorAt(0, srgb(0.58, 0.94, 0.73));
    gradient.setColorAt(1, srgb(0.4, 0.7, 0.98));
    painter.fillPath(shape, gradient);

    painter.save();
    painter.setClipPath(shape);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.14f));
    painter.drawEllipse(flipped(s, 0.52 * s, 0.52 * s, 0.55 * s, 0.55 * s));
    painter.restore();

    // Font sizes snap to whole pixels: shape the letter at a large size and scale the outline, so that every size
    // of the logo is the same picture (a 17-pixel logo asks for a 9.18-pixel letter).
    constexpr qreal kShapingSize = 1000;
    const QFont font = interfaceFont(kShapingSize, QFont::Black);
    const QFontMetricsF metrics(font);
    const QString letter = QStringLiteral("T");
    const qreal scale = 0.54 * s / kShapingSize;
    const qreal w = metrics.horizontalAdvance(letter) * scale;
    const qreal h = metrics.height() * scale;
    // The letter's line box sits centred and lifted by 1.8 % of the size.
    const qreal top = (s - h) / 2 - 0.018 * s;
    QPainterPath glyph;
    glyph.addText(QPointF(0, metrics.ascent()), font, letter);
    QTransform place;
    place.translate((s - w) / 2, top);
    place.scale(scale, scale);
    painter.fillPath(place.map(glyph), srgb(0.05, 0.13, 0.13));
}

// Painting the logo loads the font database and Inter: a tray that is never opened never pays for it.
class LogoIconEngine final : public QIconEngine {
  public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        const int side = std::min(rect.width(), rect.height());
        paintLogo(*painter, QRectF(rect.topLeft(), QSizeF(side, side)));
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return QSize(side, side);
    }
    // Device pixels, as for the tray shape. Drawn anew each time: a Tavix.png added or changed meanwhile shows.
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::max(1, std::min(size.width(), size.height()));
        return QPixmap::fromImage(logo(side));
    }
    QIconEngine* clone() const override { return new LogoIconEngine(*this); }
    QString key() const override { return QStringLiteral("tavix-logo"); }
};

}  // namespace

QFont interfaceFont(qreal pixelSize, int weight) {
    QFont font(QStringLiteral("Inter"));
    if (QFontInfo(font).family() != QLatin1String("Inter"))
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(std::max(1, qRound(pixelSize)));
    font.setWeight(QFont::Weight(weight));
    return font;
}

void paintLogo(QPainter& painter, const QRectF& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Looked up on every call: dropping in a new Tavix.png changes the logo without a restart.
    const QString resource = logoResourcePath();
    QImage bitmap;
    if (!resource.isEmpty() && bitmap.load(resource) && !bitmap.isNull()) {
        painter.drawImage(rect, bitmap);
    } else {
        painter.translate(rect.topLeft());
        paintVectorLogo(painter, rect.width());
    }
    painter.restore();
}

QImage logo(int size, qreal devicePixelRatio) {
    const int pixels = std::max(1, qRound(size * devicePixelRatio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        paintLogo(painter, QRectF(0, 0, pixels, pixels));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

bool logoReplaced() {
    return !logoResourcePath().isEmpty();
}

QIcon logoIcon() {
    return QIcon(new LogoIconEngine);
}

int renderIcon(const QString& path, QString* error) {
    QImage image(1024, 1024, QImage::Format_ARGB32);
    if (image.isNull()) return 1;
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        if (!painter.isActive()) return 1;
        paintLogo(painter, QRectF(0, 0, 1024, 1024));
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") || png.isEmpty()) return 1;

    // QSaveFile writes beside the target and renames it into place: readers never see half a PNG.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit()) {
        if (error != nullptr) *error = QStringLiteral("Could not write “%1”: %2").arg(path, file.errorString());
        return 1;
    }
    return 0;
}

}  // namespace tavix
