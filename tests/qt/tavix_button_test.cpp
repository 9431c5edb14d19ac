#include "platform/qt/tavix_button.h"

#include <QFontInfo>
#include <QImage>

#include <gtest/gtest.h>

#include "pixels.h"

namespace tavix {
namespace {

using test::boundingBox;
using test::colourDistance;
using test::grabImage;

// The button drawn alone: grabbing paints the widget's own window background first, which in the settings window is
// the parent's; keep it transparent so that only the button's drawing is seen.
QImage drawn(TavixButton& button) {
    QPalette palette = button.palette();
    palette.setColor(QPalette::Window, Qt::transparent);
    button.setPalette(palette);
    return grabImage(button);
}

// A point of the fill well away from the title and the rounded corners.
constexpr QPoint kFillPoint(20, 22);

TEST(TavixButton, FillAndInk) {
    struct Case {
        QColor fill;
        QColor ink;
    };
    const Case cases[] = {
        {QColor::fromRgbF(0.14f, 0.18f, 0.18f), QColor(Qt::white)},                       // the defaults
        {QColor::fromRgbF(0.65f, 0.94f, 0.76f), QColor::fromRgbF(0.045f, 0.11f, 0.09f)},  // the primary button
    };
    for (const Case& c : cases) {
        TavixButton button(QStringLiteral("Pair Android over Wi-Fi"));
        button.resize(249, 44);
        button.fill = c.fill;
        button.ink = c.ink;
        const QImage image = drawn(button);
        ASSERT_EQ(image.size(), QSize(249, 44));

        const QColor fill = image.pixelColor(kFillPoint);
        EXPECT_EQ(fill.alpha(), 255);
        EXPECT_LT(colourDistance(fill, c.fill.redF(), c.fill.greenF(), c.fill.blueF()), 0.01);
        // Rounded corners leave the very corner clear.
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
        EXPECT_EQ(image.pixelColor(248, 43).alpha(), 0);

        // The title is drawn in the ink, centred across the button and about its middle.
        const QRect title = boundingBox(image, [&](const QColor& p) {
            return p.alpha() == 255 && colourDistance(p, c.ink.redF(), c.ink.greenF(), c.ink.blueF()) < 0.1;
        });
        ASSERT_FALSE(title.isNull());
        EXPECT_NEAR(title.left(), 248 - title.right(), 2);
        EXPECT_GT(title.width(), 100);
        EXPECT_NEAR(title.center().y(), 21.5, 3);
    }
}

TEST(TavixButton, DefaultColours) {
    TavixButton button(QStringLiteral("x"));
    EXPECT_EQ(button.fill, QColor::fromRgbF(0.14f, 0.18f, 0.18f, 1.0f));
    EXPECT_EQ(button.ink, QColor(Qt::white));
}

TEST(TavixButton, PressedAtThreeQuartersOpacity) {
    TavixButton button(QStringLiteral("Open Devices & History"));
    button.resize(249, 44);
    button.fill = QColor::fromRgbF(0.65f, 0.94f, 0.76f);

    button.setDown(true);
    const QColor pressed = drawn(button).pixelColor(kFillPoint);
    EXPECT_NEAR(pressed.alphaF(), 0.75, 0.01);
    EXPECT_LT(colourDistance(pressed, 0.65, 0.94, 0.76), 0.01);

    button.setDown(false);
    EXPECT_EQ(drawn(button).pixelColor(kFillPoint).alpha(), 255);
}

TEST(TavixButton, FaintBorderExceptOnWhite) {
    // The top edge pixel in the middle: half covered by the fill, fully by the one-unit border.
    struct Case {
        QColor fill;
        bool border;
    };
    for (const Case& c : {Case{QColor(Qt::white), false}, Case{QColor::fromRgbF(1, 1, 1, 1), false},
                          Case{QColor::fromRgbF(0.14f, 0.18f, 0.18f), true}, Case{QColor(Qt::transparent), true}}) {
        TavixButton button{QString()};
        button.resize(249, 44);
        button.fill = c.fill;
        const QImage image = drawn(button);
        const QColor edge = image.pixelColor(124, 0);
        // Source-over of white at 0.08 on the half-covered fill.
        const double fillAlpha = c.fill.alphaF() * 0.5;
        const double expectedAlpha = c.border ? 0.08 + fillAlpha * 0.92 : fillAlpha;
        EXPECT_NEAR(edge.alphaF(), expectedAlpha, 0.02) << c.fill.name(QColor::HexArgb).toStdString();
        if (c.border && c.fill.alpha() == 255) {
            EXPECT_GT(edge.redF(), c.fill.redF() + 0.05);
        }
    }
}

TEST(TavixButton, WideTitleOverflowsEquallyOnBothSides) {
    TavixButton button(QStringLiteral("A title far wider than the little button it is drawn on"));
    button.resize(120, 44);
    const QImage image = drawn(button);
    const QRect title = boundingBox(image, [](const QColor& p) { return p.alpha() == 255 && p.lightnessF() > 0.9; });
    ASSERT_FALSE(title.isNull());
    // Cut by the widget on both sides, not elided or wrapped onto a second line.
    EXPECT_LE(title.left(), 3);
    EXPECT_GE(title.right(), 116);
    EXPECT_LT(title.height(), 20);
}

TEST(TavixButton, TitleFontIsInterSemiboldThirteen) {
    TavixButton button(QStringLiteral("x"));
    const QFontInfo info(button.font());
    EXPECT_EQ(info.family(), QStringLiteral("Inter"));
    EXPECT_EQ(info.pixelSize(), 13);
    EXPECT_EQ(info.weight(), QFont::DemiBold);
}

}  // namespace
}  // namespace tavix
