#include "platform/qt/artwork.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include "pixels.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

using test::boundingBox;
using test::colourDistance;
using test::meanDifference;
using test::TempDir;

constexpr int kIcon = 1024;

QImage renderedIcon(const TempDir& dir) {
    const QString path = QString::fromStdString((dir / "icon.png").string());
    QString error;
    EXPECT_EQ(renderIcon(path, &error), 0);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return QImage(path);
}

bool isMonogram(const QColor& c) {
    return c.alpha() > 250 && colourDistance(c, 0.05, 0.13, 0.13) < 0.12;
}

TEST(RenderIcon, WritesA1024PixelRgbaPng) {
    TempDir dir;
    const QString path = QString::fromStdString((dir / "icon.png").string());
    QString error;
    ASSERT_EQ(renderIcon(path, &error), 0);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(33);
    ASSERT_TRUE(head.startsWith("\x89PNG\r\n\x1a\n"));
    // IHDR: width and height (big-endian), bit depth 8, colour type 6 (truecolour with alpha).
    EXPECT_EQ(head.mid(16, 8), QByteArray("\x00\x00\x04\x00\x00\x00\x04\x00", 8));
    EXPECT_EQ(head.at(24), 8);
    EXPECT_EQ(head.at(25), 6);
}

TEST(RenderIcon, TileOnTransparentGround) {
    TempDir dir;
    const QImage icon = renderedIcon(dir);
    ASSERT_EQ(icon.size(), QSize(kIcon, kIcon));
    ASSERT_TRUE(icon.hasAlphaChannel());

    // The corners of the square and the 0.025 margin around the tile stay clear.
    for (QPoint p : {QPoint(0, 0), QPoint(kIcon - 1, 0), QPoint(0, kIcon - 1), QPoint(kIcon - 1, kIcon - 1),
                     QPoint(60, 60), QPoint(12, kIcon / 2), QPoint(kIcon / 2, kIcon - 13)}) {
        EXPECT_EQ(icon.pixelColor(p).alpha(), 0) << p.x() << "," << p.y();
    }
    for (QPoint p : {QPoint(40, kIcon / 2), QPoint(kIcon / 2, 40), QPoint(kIcon - 40, kIcon / 2)}) {
        EXPECT_EQ(icon.pixelColor(p).alpha(), 255) << p.x() << "," << p.y();
    }
}

TEST(RenderIcon, GradientRunsFromMintAtUpperLeftToBlueAtLowerRight) {
    TempDir dir;
    const QImage icon = renderedIcon(dir);
    const QColor upperLeft = icon.pixelColor(int(0.13 * kIcon), int(0.13 * kIcon));
    const QColor lowerRight = icon.pixelColor(int(0.87 * kIcon), int(0.87 * kIcon));
    EXPECT_LT(colourDistance(upperLeft, 0.58, 0.94, 0.73), 0.05) << upperLeft.name().toStdString();
    EXPECT_LT(colourDistance(lowerRight, 0.4, 0.7, 0.98), 0.05) << lowerRight.name().toStdString();
    // The other diagonal lies half-way; its upper end is lightened by the highlight.
    const QColor lowerLeft = icon.pixelColor(int(0.13 * kIcon), int(0.87 * kIcon));
    EXPECT_LT(colourDistance(lowerLeft, 0.5, 0.83, 0.84), 0.05) << lowerLeft.name().toStdString();
    const QColor upperRight = icon.pixelColor(int(0.8 * kIcon), int(0.2 * kIcon));
    EXPECT_GT(upperRight.redF(), lowerLeft.redF() + 0.03) << upperRight.name().toStdString();
}

TEST(RenderIcon, MonogramCentredAndLifted) {
    TempDir dir;
    const QImage icon = renderedIcon(dir);
    const QRect letter = boundingBox(icon, isMonogram);
    ASSERT_FALSE(letter.isNull());

    // The stem and bar of a "T" are symmetric about the middle of its advance.
    EXPECT_NEAR(letter.center().x() + 0.5, kIcon / 2.0, 0.006 * kIcon);

    // The line box (ascent + descent) is centred, then raised by 1.8 % of the size; the letter stands on the
    // baseline and reaches the cap height.
    const QFontMetricsF metrics(interfaceFont(0.54 * kIcon, QFont::Black));
    const double lineTop = (kIcon - metrics.height()) / 2 - 0.018 * kIcon;
    const double baseline = lineTop + metrics.ascent();
    EXPECT_NEAR(letter.bottom() + 1, baseline, 3);
    EXPECT_NEAR(letter.top(), baseline - metrics.capHeight(), 3);
    // A letter set without the lift would sit 18 pixels lower.
    EXPECT_LT(letter.bottom() + 1, baseline + 0.018 * kIcon - 9);
}

TEST(RenderIcon, ReplacesAnExistingFile) {
    TempDir dir;
    const std::filesystem::path path = dir / "out.png";
    test::writeFile(path, "not a picture");
    QString error;
    ASSERT_EQ(renderIcon(QString::fromStdString(path.string()), &error), 0);
    const QImage icon(QString::fromStdString(path.string()));
    EXPECT_EQ(icon.size(), QSize(kIcon, kIcon));
    EXPECT_EQ(test::countEntries(dir.path(), ""), 1) << "no temporary file is left behind";
}

TEST(RenderIcon, UnwritablePathFailsWithAMessage) {
    TempDir dir;
    test::writeFile(dir / "file", "");
    for (const std::filesystem::path& path : {dir / "missing" / "icon.png", dir / "file" / "icon.png"}) {
        QString error;
        EXPECT_NE(renderIcon(QString::fromStdString(path.string()), &error), 0) << path;
        EXPECT_FALSE(error.isEmpty()) << path;
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
    }
}

TEST(Logo, SamePictureAtEverySize) {
    const QImage large = logo(kIcon);
    ASSERT_EQ(large.size(), QSize(kIcon, kIcon));
    for (int size : {17, 66}) {
        const QImage small = logo(size);
        ASSERT_EQ(small.size(), QSize(size, size));
        const QImage reference = large.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_LT(meanDifference(small, reference), size < 20 ? 10 : 6) << size;
        // The same measure tells a different picture apart.
        EXPECT_GT(meanDifference(small, reference.mirrored(true, true)), 15) << size;
        // The monogram sits where the large one does, scaled.
        const QRect letter =
            boundingBox(small, [](const QColor& c) { return c.alpha() > 250 && c.lightnessF() < 0.3; });
        const QRect largeLetter = boundingBox(large, isMonogram);
        EXPECT_NEAR(letter.center().y(), largeLetter.center().y() * size / double(kIcon), 1.5) << size;
    }
}

TEST(Logo, HonoursTheDevicePixelRatio) {
    const QImage image = logo(66, 2.0);
    EXPECT_EQ(image.size(), QSize(132, 132));
    EXPECT_EQ(image.devicePixelRatio(), 2.0);
}

TEST(LogoIcon, TheLogoAtTheSizeAskedForInEveryMode) {
    const QIcon icon = logoIcon();
    ASSERT_FALSE(icon.isNull());
    struct Case {
        QSize size;
        qreal ratio;
        int pixels;
    };
    // The status menu asks for its small icon size; a wide request still gets the square logo.
    for (Case c :
         {Case{{17, 17}, 1.0, 17}, Case{{17, 17}, 2.0, 34}, Case{{16, 16}, 1.0, 16}, Case{{24, 16}, 1.0, 16}}) {
        SCOPED_TRACE(std::to_string(c.size.width()) + "x" + std::to_string(c.size.height()) + "@" +
                     std::to_string(c.ratio));
        const QImage normal = icon.pixmap(c.size, c.ratio, QIcon::Normal).toImage();
        ASSERT_EQ(normal.size(), QSize(c.pixels, c.pixels));
        const QImage drawn = logo(c.pixels);
        EXPECT_LT(meanDifference(normal, drawn), 1.0);
        EXPECT_GT(meanDifference(normal, drawn.mirrored(true, true)), 10);
        // The header row is disabled; its logo is not greyed.
        const QImage disabled = icon.pixmap(c.size, c.ratio, QIcon::Disabled).toImage();
        EXPECT_LT(meanDifference(disabled, drawn), 1.0);
    }
}

TEST(MenuBarLogo, PaintsAtAnySizeAndRatio) {
    const QColor colour(30, 200, 90);
    const QIcon icon = menuBarLogo(colour);
    struct Case {
        int size;
        qreal ratio;
    };
    for (Case c : {Case{18, 1.0}, Case{22, 2.0}, Case{16, 1.5}, Case{64, 1.0}}) {
        const QPixmap pixmap = icon.pixmap(QSize(c.size, c.size), c.ratio);
        const int pixels = qRound(c.size * c.ratio);
        ASSERT_EQ(pixmap.size(), QSize(pixels, pixels)) << c.size << "@" << c.ratio;
        EXPECT_EQ(pixmap.devicePixelRatio(), c.ratio);
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);

        int opaque = 0;
        for (int y = 0; y < pixels; ++y) {
            for (int x = 0; x < pixels; ++x) {
                const QColor p = image.pixelColor(x, y);
                if (p.alpha() < 200) continue;
                ++opaque;
                EXPECT_LT(colourDistance(p, colour.redF(), colour.greenF(), colour.blueF()), 0.02);
            }
        }
        EXPECT_GT(opaque, pixels * pixels / 20) << c.size << "@" << c.ratio;
        // In an 18-unit grid: corners and the middle of the face are empty; the head's left side is drawn.
        const auto at = [&](double x, double yUp) {
            return image.pixelColor(int(x / 18 * pixels), int((18 - yUp) / 18 * pixels)).alpha();
        };
        EXPECT_EQ(at(0.2, 0.2), 0);
        EXPECT_EQ(at(17.5, 17.5), 0);
        EXPECT_EQ(at(9, 8.5), 0);
        EXPECT_GT(at(1.5, 8.65), 150);
        EXPECT_GT(at(9.0, 6.6), 100) << "the zigzag mouth";
    }
}

TEST(InterfaceFont, InterAtPixelSizesAndWeights) {
    struct Case {
        qreal size;
        int weight;
    };
    for (Case c : {Case{13, QFont::DemiBold}, Case{27, QFont::Bold}, Case{10, QFont::Bold}, Case{12, QFont::Normal},
                   Case{66 * 0.54, QFont::Black}}) {
        const QFontInfo info(interfaceFont(c.size, c.weight));
        EXPECT_EQ(info.family(), QStringLiteral("Inter")) << c.size;
        EXPECT_EQ(info.pixelSize(), qRound(c.size)) << c.size;
        EXPECT_EQ(info.weight(), c.weight) << c.size;
        EXPECT_FALSE(info.italic()) << c.size;
    }
}

}  // namespace
}  // namespace tavix
