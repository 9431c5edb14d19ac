#include "platform/qt/menu_bar_icon.h"

#include <QMap>
#include <QPainter>
#include <QPixmap>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "pixels.h"

namespace tavix {
namespace {

using test::boundingBox;
using test::distance;

double luminance(const QColor& c) {
    const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The icon over a panel of colour `panel`: the best contrast of a drawn pixel against it.
double bestContrast(const QImage& icon, const QColor& panel) {
    QImage over(icon.size(), QImage::Format_ARGB32);
    over.fill(panel);
    QPainter(&over).drawImage(0, 0, icon);
    double best = 1;
    for (int y = 0; y < over.height(); ++y)
        for (int x = 0; x < over.width(); ++x) best = std::max(best, contrast(over.pixelColor(x, y), panel));
    return best;
}

TEST(MenuBarLogo, TheHeadInTheColourAskedForCentredAndSquareInAnySlot) {
    const QColor colour(30, 200, 90);
    for (auto [size, ratio] : {std::pair{QSize(18, 18), 1.0},
                               {QSize(22, 22), 2.0},
                               {QSize(44, 22), 1.0},
                               {QSize(16, 24), 1.5},
                               {QSize(64, 64), 1.0}}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << "@" << ratio);
        const QPixmap pixmap = menuBarLogo(colour).pixmap(size, ratio);
        ASSERT_EQ(pixmap.size(), size * ratio);
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_TRUE(boundingBox(image, [&](const QColor& p) { return p.alpha() >= 200 && distance(p, colour) > 0.02; })
                        .isNull())
            << "drawn in that colour only";
        // In the centred square, an 18-unit grid with y up: corners and the middle of the face empty; the head's
        // side and the mouth drawn.
        const int side = std::min(image.width(), image.height());
        const QPointF origin((image.width() - side) / 2.0, (image.height() - side) / 2.0);
        const auto alphaAt = [&](double x, double y) {
            const QPointF at = origin + QPointF(x, 18 - y) * side / 18;
            return image.pixelColor(int(at.x()), int(at.y())).alpha();
        };
        EXPECT_EQ(alphaAt(0.2, 0.2), 0);
        EXPECT_EQ(alphaAt(17.5, 17.5), 0);
        EXPECT_EQ(alphaAt(9, 8.5), 0);
        EXPECT_GT(alphaAt(1.5, 8.65), 150);
        EXPECT_GT(alphaAt(9.0, 6.6), 100) << "the zigzag mouth";
        const QRect drawn = boundingBox(image, [](const QColor& p) { return p.alpha() > 0; });
        EXPECT_NEAR(drawn.width(), drawn.height(), 0.1 * side) << "never stretched";
        EXPECT_NEAR(drawn.center().x(), image.width() / 2.0, 1.5);
    }
}

TEST(MenuBarLogo, WithoutAKnownColourItReadsOnAnyPanel) {
    const QImage icon = menuBarLogoImage(22, std::nullopt);
    for (const QColor& panel :
         {QColor(Qt::white), QColor(Qt::black), QColor(0x80, 0x80, 0x80), QColor(0xf6, 0xf5, 0xf4),
          QColor(0x35, 0x35, 0x35), QColor(0x33, 0x66, 0xcc), QColor(0x94, 0xf0, 0xba)}) {
        EXPECT_GE(bestContrast(icon, panel), 4.5) << panel.name().toStdString();
    }
}

TEST(MenuBarLogo, TheSymbolicSvgIsPlainFillsThatEveryToolkitRecolours) {
    QXmlStreamReader svg(menuBarLogoSvg());
    QMap<QString, int> paths;  // by class
    QString styles;
    QStringList masked;
    while (!svg.atEnd()) {
        if (svg.readNext() != QXmlStreamReader::StartElement) continue;
        const auto attributes = svg.attributes();
        // Filters render at their own resolution, soft at scale 2, and Qt's renderers skip them.
        EXPECT_NE(svg.name(), QLatin1String("filter"));
        EXPECT_FALSE(attributes.hasAttribute(QLatin1String("filter")));
        if (svg.name() == QLatin1String("style")) styles += svg.readElementText();
        if (attributes.hasAttribute(QLatin1String("mask"))) masked.append(attributes.value("mask").toString());
        if (svg.name() != QLatin1String("path")) continue;
        const QString cls = attributes.value("class").toString();
        ++paths[cls];
        // Where nothing recolours it, the head and its backing are drawn, GTK's layer is not.
        const char* wanted = cls == QLatin1String("shade") ? "fill:none" : "fill:currentColor";
        EXPECT_EQ(attributes.value("style").toString().toStdString(), wanted) << cls.toStdString();
    }
    ASSERT_FALSE(svg.hasError()) << svg.errorString().toStdString();
    EXPECT_EQ(paths.value(QStringLiteral("ColorScheme-Text")), menuBarLogoParts().size());
    EXPECT_GT(paths.value(QStringLiteral("backing")), 0);
    EXPECT_EQ(paths.value(QStringLiteral("shade")), paths.value(QStringLiteral("backing")));
    EXPECT_EQ(paths.size(), 3);
    EXPECT_EQ(masked, QStringList{QStringLiteral("url(#text-colour)")});
    // As drawn where nothing recolours it: the light head on the dark backing of the pixmaps. Under GTK, which draws
    // the file inside an SVG of its own, the backing turns light and the shade over it dark.
    for (const char* rule :
         {".ColorScheme-Text { color:#f4f4f4; }", ".ColorScheme-Background { color:#141414; }",
          "path.backing { fill:currentColor !important; }", "svg svg path.backing { fill:#f4f4f4 !important; }",
          "svg svg path.shade { fill:#141414 !important; }"}) {
        EXPECT_TRUE(styles.contains(QLatin1String(rule))) << rule;
    }
}

}  // namespace
}  // namespace tavix
