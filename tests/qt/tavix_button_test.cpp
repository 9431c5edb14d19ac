#include "platform/qt/tavix_button.h"

#include <gtest/gtest.h>

#include "pixels.h"

namespace tavix {
namespace {

using test::distance;
using test::rgb;

TEST(TavixButton, FillBorderAndCentredTitle) {
    const QColor plain = rgb(0.14, 0.18, 0.18), primary = rgb(0.65, 0.94, 0.76), white(Qt::white);
    const char* title = "Pair Android over Wi-Fi";
    const double border = 0.08 + 0.5 * 0.92;  // the faint white border over the half-covering fill
    const struct {
        const char* what;
        const char* title;
        int width;
        QColor fill, ink;
        bool down;
        double fillAlpha;
        double edgeAlpha;  // the middle of the top edge: half covered by the fill, wholly by the border
        int minTitleWidth;
    } cases[] = {
        {"plain", title, 249, plain, white, false, 1, border, 100},
        {"primary", title, 249, primary, rgb(0.045, 0.11, 0.09), false, 1, border, 100},
        {"pressed", title, 249, primary, rgb(0.045, 0.11, 0.09), true, 0.75, 0.08 + 0.375 * 0.92, 100},
        {"white shows no border", title, 249, white, Qt::black, false, 1, 0.5, 100},
        {"a wide title overflows on both sides, not elided or wrapped",
         "A title far wider than the little button it is drawn on", 120, plain, white, false, 1, border, 113},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TavixButton button(QString::fromUtf8(c.title));
        button.resize(c.width, 44);
        button.fill = c.fill;
        button.ink = c.ink;
        button.setDown(c.down);
        // Grabbing paints the window background first; keep it clear so only the button's drawing is seen.
        QPalette palette = button.palette();
        palette.setColor(QPalette::Window, Qt::transparent);
        button.setPalette(palette);
        const QImage image = button.grab().toImage();
        ASSERT_EQ(image.size(), QSize(c.width, 44));

        const QColor fill = image.pixelColor(20, 6);
        EXPECT_NEAR(fill.alphaF(), c.fillAlpha, 0.01);
        EXPECT_LT(distance(fill, c.fill), 0.01);
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "rounded corners";
        EXPECT_EQ(image.pixelColor(c.width - 1, 43).alpha(), 0) << "rounded corners";
        EXPECT_NEAR(image.pixelColor(c.width / 2, 0).alphaF(), c.edgeAlpha, 0.02);

        const QRect ink =
            test::boundingBox(image, [&](const QColor& p) { return p.alpha() == 255 && distance(p, c.ink) < 0.1; });
        ASSERT_FALSE(ink.isNull());
        EXPECT_NEAR(ink.left(), c.width - 1 - ink.right(), 3) << "centred across";
        EXPECT_GE(ink.width(), c.minTitleWidth);
        EXPECT_NEAR(ink.center().y(), 21.5, 3) << "about the middle";
        EXPECT_LT(ink.height(), 20) << "one line";
    }
}

}  // namespace
}  // namespace tavix
