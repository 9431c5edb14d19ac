#include "platform/qt/artwork.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include <tuple>

#include "pixels.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

using test::boundingBox;
using test::distance;
using test::rgb;

bool isMonogram(const QColor& c) {
    return c.alpha() > 250 && c.lightnessF() < 0.3;
}

QString pathOf(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

TEST(RenderIcon, ReplacesTheFileWithTheLogoAt1024PixelsOrFailsWithAMessage) {
    test::TempDir dir;
    test::writeFile(dir / "icon.png", "not a picture");
    test::writeFile(dir / "file", "");
    QString error;
    ASSERT_EQ(renderIcon(pathOf(dir / "icon.png"), &error), 0) << error.toStdString();
    for (const std::filesystem::path& path : {dir / "missing" / "icon.png", dir / "file" / "icon.png"}) {
        EXPECT_NE(renderIcon(pathOf(path), &error), 0) << path;
        EXPECT_FALSE(error.isEmpty()) << path;
        error.clear();
    }
    EXPECT_EQ(test::countEntries(dir.path(), ""), 2) << "no temporary file is left behind";
    const QImage icon(pathOf(dir / "icon.png"));
    ASSERT_EQ(icon.size(), QSize(1024, 1024));
    ASSERT_TRUE(icon.hasAlphaChannel());

    // The corners and the margin of 2.5 % around the tile stay clear; the tile starts after it.
    for (QPoint p : {QPoint(0, 0), QPoint(1023, 0), QPoint(0, 1023), QPoint(1023, 1023), QPoint(60, 60),
                     QPoint(12, 512), QPoint(512, 1010)}) {
        EXPECT_EQ(icon.pixelColor(p).alpha(), 0) << p.x() << "," << p.y();
    }
    for (QPoint p : {QPoint(40, 512), QPoint(512, 40), QPoint(984, 512)}) {
        EXPECT_EQ(icon.pixelColor(p).alpha(), 255) << p.x() << "," << p.y();
    }
    // Mint at the upper left to blue at the lower right; the other diagonal lies half-way, its upper end lightened
    // by the highlight.
    const std::pair<QPoint, QColor> gradient[] = {{{133, 133}, rgb(0.58, 0.94, 0.73)},
                                                  {{890, 890}, rgb(0.4, 0.7, 0.98)},
                                                  {{133, 890}, rgb(0.5, 0.83, 0.84)},
                                                  {{819, 204}, rgb(0.555, 0.837, 0.883)}};
    for (const auto& [at, colour] : gradient) {
        EXPECT_EQ(icon.pixelColor(at).alpha(), 255);
        EXPECT_LT(distance(icon.pixelColor(at), colour), 0.04) << at.x() << "," << at.y();
    }

    // The letter's line box (ascent + descent) is centred across and lifted by 1.8 % of the size above the middle;
    // the "T" stands on the baseline, reaches the cap height, and is symmetric about the middle of its advance.
    const QRect letter = boundingBox(icon, isMonogram);
    const QFontMetricsF metrics(interfaceFont(0.54 * 1024, QFont::Black));
    const double baseline = (1024 - metrics.height()) / 2 - 0.018 * 1024 + metrics.ascent();
    EXPECT_NEAR(letter.center().x() + 0.5, 512, 6);
    EXPECT_NEAR(letter.bottom() + 1, baseline, 3);
    EXPECT_NEAR(letter.top(), baseline - metrics.capHeight(), 3);
}

// The mean absolute difference of the premultiplied channels (0…255) of two images of the same size.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage left = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double sum = 0;
    for (qsizetype i = 0; i < left.sizeInBytes(); ++i) sum += std::abs(left.constBits()[i] - right.constBits()[i]);
    return sum / double(left.sizeInBytes());
}

// The logo and its icon: one picture at every size and pixel ratio, square in a wide request, never greyed (the
// menu's header row is disabled).
TEST(Logo, SamePictureAtEverySizeAndPixelRatioAlsoAsAnIcon) {
    const QImage large = logo(1024);
    const QRect largeLetter = boundingBox(large, isMonogram);
    const QIcon icon = logoIcon();
    for (auto [request, ratio] :
         {std::pair{QSize(17, 17), 1.0}, {QSize(66, 66), 1.0}, {QSize(17, 17), 2.0}, {QSize(24, 16), 1.0}}) {
        SCOPED_TRACE(testing::Message() << request.width() << "x" << request.height() << "@" << ratio);
        const int size = std::min(request.width(), request.height()), pixels = qRound(size * ratio);
        const QImage small = logo(size, ratio);
        ASSERT_EQ(small.size(), QSize(pixels, pixels));
        EXPECT_EQ(small.devicePixelRatio(), ratio);
        const QImage reference = large.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_LT(meanDifference(small, reference), pixels < 20 ? 10 : 6);
        EXPECT_NEAR(boundingBox(small, isMonogram).center().y(), largeLetter.center().y() * pixels / 1024.0, 1.5);
        for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
            const QImage drawn = icon.pixmap(request, ratio, mode).toImage();
            ASSERT_EQ(drawn.size(), QSize(pixels, pixels)) << mode;
            EXPECT_LT(meanDifference(drawn, small), 1.0) << mode;
        }
    }
}

// A Tavix.png dropped in (or taken away) while the program runs shows at the next drawing, in icons made before.
TEST(Logo, TheBitmapIsLookedUpAtEveryUse) {
    test::TempDir dir;
    test::ScopedEnv data("XDG_DATA_HOME", (dir / "data").string()), system("XDG_DATA_DIRS", (dir / "none").string());
    const QIcon icon = logoIcon();
    const auto red = [](const QImage& image) {
        return boundingBox(image, [](const QColor& c) { return c == QColor(Qt::red); }) == image.rect();
    };
    const auto png = dir / "data" / "tavix-menu" / "Tavix.png";
    for (bool present : {false, true, false}) {
        SCOPED_TRACE(present);
        if (present) {
            std::filesystem::create_directories(png.parent_path());
            QImage bitmap(8, 4, QImage::Format_ARGB32);  // not square: stretched to the square
            bitmap.fill(Qt::red);
            ASSERT_TRUE(bitmap.save(pathOf(png)));
        } else {
            std::filesystem::remove(png);
        }
        for (auto [size, ratio] : {std::pair{17, 1.0}, {17, 2.0}, {66, 1.0}}) {
            EXPECT_EQ(red(logo(size, ratio)), present) << size << "@" << ratio;
            EXPECT_EQ(red(icon.pixmap(QSize(size, size), ratio).toImage().convertToFormat(QImage::Format_ARGB32)),
                      present)
                << size << "@" << ratio;
        }
    }
}

}  // namespace
}  // namespace tavix
