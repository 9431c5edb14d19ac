#include "platform/qt/settings_window.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>

#include <gtest/gtest.h>

#include "pixels.h"
#include "platform/qt/artwork.h"
#include "platform/qt/tavix_button.h"
#include "support/test_app.h"

namespace tavix {
namespace {

using test::rgb;

// The window alone, its buttons' commands recorded.
struct Built final : CommandTarget {
    explicit Built(const std::string& server = "tavix.example") { settings.build(server, *this); }
    void perform(Command command) override { performed.push_back(command); }
    QWidget& window() const { return *settings.window(); }

    std::vector<Command> performed;
    SettingsWindow settings;
};

QString serverLine(QWidget* window) {
    auto* label = qobject_cast<QLabel*>(window->childAt(50, 200));
    return label ? label->text() : QStringLiteral("(no label there)");
}

TEST(SettingsWindow, FixedSizeLayoutFontsColoursAndCommands) {
    Built built;
    QWidget& window = built.window();
    EXPECT_EQ(window.size(), QSize(560, 600));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tavix Link"));
    const auto buttons = Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    EXPECT_EQ(window.windowFlags() & buttons, Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);

    using enum LiveLabel;
    const QColor white = rgb(1, 1, 1), faint = rgb(1, 1, 1, 0.38), ink = rgb(0.045, 0.11, 0.09);
    const struct {
        const char* text;  // as first shown; live labels are found by their role
        LiveLabel live;
        QRect frame;
        int pixelSize, weight;
        QColor colour;                        // a button's ink
        std::optional<Command> command = {};  // buttons
    } elements[] = {
        {"Tavix Link", none, {110, 34, 300, 32}, 27, 700, white},
        {"Your computer, ready to help.", none, {111, 71, 340, 20}, 13, 400, rgb(1, 1, 1, 0.55)},
        {"CONNECTION", none, {45, 134, 200, 16}, 10, 700, rgb(1, 1, 1, 0.45)},
        {"Checking…", status, {45, 155, 390, 35}, 28, 600, rgb(0.61, 0.94, 0.73)},
        {"tavix.example", none, {45, 196, 330, 22}, 13, 400, rgb(1, 1, 1, 0.55)},
        {"", activity, {45, 223, 430, 18}, 12, 400, rgb(1, 1, 1, 0.45)},
        {"ANDROID DEVICE", none, {45, 281, 180, 16}, 10, 700, rgb(1, 1, 1, 0.45)},
        {"Checking…", phone, {45, 301, 285, 25}, 16, 600, white},
        {"", computer, {316, 303, 200, 20}, 11, 400, rgb(1, 1, 1, 0.48)},
        {"QUICK ACTIONS", none, {28, 354, 250, 16}, 10, 700, rgb(1, 1, 1, 0.45)},
        {"Runs quietly in the background when this window is closed.", none, {28, 565, 500, 18}, 11, 400, faint},
        {"Open Devices & History", none, {24, 382, 249, 44}, 13, 600, ink, Command::openDevices},
        {"Pair / Change Account", none, {287, 382, 249, 44}, 13, 600, white, Command::pairAccount},
        {"Pair Android over Wi-Fi", none, {24, 437, 249, 44}, 13, 600, white, Command::pairPhone},
        {"Connect Android over Wi-Fi", none, {287, 437, 249, 44}, 13, 600, white, Command::connectPhone},
        {"Pause / Resume Tasks", none, {24, 492, 249, 44}, 13, 600, white, Command::togglePause},
        {"View Bridge Logs", none, {287, 492, 249, 44}, 13, 600, white, Command::logs},
    };
    for (const auto& e : elements) {
        SCOPED_TRACE(e.text);
        QWidget* widget = e.live != none ? built.settings.liveLabel(e.live) : nullptr;
        for (QWidget* child : window.findChildren<QWidget*>()) {
            if (!widget && child->property("text").toString() == QString::fromUtf8(e.text)) widget = child;
        }
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), e.frame);
        const QFontInfo font(widget->font());
        EXPECT_EQ(std::tuple(font.family().toStdString(), font.pixelSize(), font.weight()),
                  std::tuple("Inter", e.pixelSize, e.weight));
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), QString::fromUtf8(e.text));
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            EXPECT_EQ(test::hex(label->palette().color(QPalette::WindowText)), test::hex(e.colour));
            continue;
        }
        auto* button = qobject_cast<TavixButton*>(widget);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(test::hex(button->ink), test::hex(e.colour));
        built.performed.clear();
        button->click();
        EXPECT_EQ(built.performed, std::vector<Command>{*e.command});
    }
}

TEST(SettingsWindow, PaintsTheColoursAndTextFromTheTopOfItsFrameAndCutsLongLines) {
    const QString host =
        "a-very-long-host-name-for-the-tavix-server.department.example-company-with-a-long-name.example";
    Built built(host.toStdString());
    const QString server = serverLine(&built.window());
    EXPECT_TRUE(server.endsWith(QStringLiteral("…"))) << server.toStdString();
    EXPECT_TRUE(host.startsWith(server.chopped(1)));
    EXPECT_GT(server.size(), 20);
    EXPECT_LE(QFontMetrics(interfaceFont(13, 400)).horizontalAdvance(server), 330);

    built.settings.setLabels({"Connected", true, "Pixel 8 · device", "Computer tasks available", "Ready when you are"});
    const QImage image = built.window().grab().toImage();
    ASSERT_EQ(image.size(), QSize(560, 600));
    const QColor background = rgb(0.055, 0.075, 0.078), card = rgb(0.094, 0.122, 0.125);
    const struct {
        QPoint at;
        QColor colour;
        double tolerance;
        const char* what;
    } pixels[] = {
        {{5, 5}, background, 0.01, "top left"},
        {{12, 300}, background, 0.01, "left of the cards"},
        {{500, 125}, card, 0.01, "first card"},
        {{500, 330}, card, 0.01, "second card"},
        {{300, 112}, rgb(0.1755, 0.201, 0.2038), 0.01, "border: white at 0.09 over the card, inside its edge"},
        {{24, 200}, rgb(0.1755, 0.201, 0.2038), 0.01, "left border of the first card"},
        {{23, 200}, background, 0.01, "nothing outside the card"},
        {{34, 404}, rgb(0.65, 0.94, 0.76), 0.01, "primary button"},
        {{297, 404}, rgb(0.14, 0.18, 0.18), 0.01, "second button"},
        {{38, 38}, rgb(0.58, 0.94, 0.73), 0.08, "the logo's gradient tile"},
    };
    for (const auto& p : pixels) {
        EXPECT_EQ(image.pixelColor(p.at).alpha(), 255) << p.what;
        EXPECT_LT(test::distance(image.pixelColor(p.at), p.colour), p.tolerance) << p.what;
    }
    // Capitals begin one ascent-less-cap-height below the top of the frame, two units in from its left edge.
    for (LiveLabel which : {LiveLabel::computer, LiveLabel::activity, LiveLabel::phone}) {
        const QRect frame = built.settings.liveLabel(which)->geometry();
        const QRect ink = test::boundingBox(image.copy(frame), [](const QColor& c) { return c.lightnessF() > 0.3; });
        ASSERT_FALSE(ink.isNull());
        const QFontMetricsF metrics(built.settings.liveLabel(which)->font());
        EXPECT_NEAR(ink.top(), metrics.ascent() - metrics.capHeight(), 1.5) << int(which);
        EXPECT_NEAR(ink.left(), 2, 1.5) << int(which);
    }
}

// Keyboard use: Tab walks the buttons as they read and wraps, the focused one shows a ring, Space and Return press it.
TEST(SettingsWindow, KeyboardFocusRingTabOrderSpaceAndReturn) {
    Built built;
    QWidget& window = built.window();
    window.show();
    window.activateWindow();
    QCoreApplication::processEvents();
    const auto key = [](QWidget* to, QEvent::Type type, int code) {
        QKeyEvent event(type, code, Qt::NoModifier, code == Qt::Key_Space ? QStringLiteral(" ") : QString());
        QCoreApplication::sendEvent(to, &event);
    };
    const auto buttons = window.findChildren<TavixButton*>();
    ASSERT_EQ(buttons.size(), 6);
    // The ring: the middle of the top edge, two units in, turns from the fill towards the title's colour.
    const auto ringAt = [](TavixButton* button) { return button->grab().toImage().pixelColor(124, 2); };
    const QColor unfocused = ringAt(buttons[1]);

    buttons[0]->setFocus(Qt::TabFocusReason);
    std::vector<std::string> order;
    for (int i = 0; i < 7; ++i) {
        auto* focused = qobject_cast<TavixButton*>(window.focusWidget());
        ASSERT_NE(focused, nullptr) << i;
        order.push_back(focused->text().toStdString());
        key(focused, QEvent::KeyPress, Qt::Key_Tab);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Open Devices & History", "Pair / Change Account",
                                               "Pair Android over Wi-Fi", "Connect Android over Wi-Fi",
                                               "Pause / Resume Tasks", "View Bridge Logs", "Open Devices & History"}));

    auto* focused = qobject_cast<TavixButton*>(window.focusWidget());
    ASSERT_EQ(focused, buttons[1]);
    EXPECT_GT(test::distance(ringAt(buttons[1]), unfocused), 0.3) << "no visible focus ring";
    built.performed.clear();
    key(focused, QEvent::KeyPress, Qt::Key_Space);
    key(focused, QEvent::KeyRelease, Qt::Key_Space);
    key(focused, QEvent::KeyPress, Qt::Key_Return);
    key(focused, QEvent::KeyPress, Qt::Key_Enter);
    EXPECT_EQ(built.performed, std::vector<Command>(3, Command::pairAccount));
    window.hide();
}

// The application on fakes, but with the real settings window.
struct App : test::TestApp {
    // The live lines and the status line's colour.
    std::vector<std::string> shown() const {
        const auto text = [this](LiveLabel which) { return window.liveLabel(which)->text().toStdString(); };
        const QColor colour = window.liveLabel(LiveLabel::status)->palette().color(QPalette::WindowText);
        return {text(LiveLabel::status), test::hex(colour), text(LiveLabel::phone), text(LiveLabel::computer),
                text(LiveLabel::activity)};
    }

    SettingsWindow window;
    TavixMenu tavix{Ports{mainQueue, dialogs, item, window, desktop, http, application, clock, notifier}, options};
};

TEST(SettingsWindowInApp, RefreshedWhileShownOrHiddenAndShownAgainInPlace) {
    App app;
    const std::string mint = test::hex(rgb(0.61, 0.94, 0.73)), secondary = test::hex(rgb(1, 1, 1, 0.55));
    test::writeFile(app.root() / "token", "secret");
    test::writeFile(app.root() / "config", "SERVER=https://link.example.org:8443/path\n");
    app.writeStatus({{"connected", true},
                     {"computer", true},
                     {"devices", {{{"model", "Pixel 8"}, {"state", "device"}}, {{"state", "offline"}}}}});
    app.tavix.showSettings();
    QWidget* window = app.window.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    // Two phones: the one-line label shows the first and marks that more follows.
    EXPECT_EQ(app.shown(), (std::vector<std::string>{"Connected", mint, "Pixel 8 · device…", "Computer tasks available",
                                                     "Ready when you are"}));
    EXPECT_EQ(serverLine(window), QStringLiteral("link.example.org"));
    QPointer<QWidget> guard(window);
    window->move(40, 30);
    const QPoint placed = window->pos();

    // Closing only hides; the hidden labels keep being refreshed, the server line stays as built.
    EXPECT_TRUE(window->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(guard.isNull());
    EXPECT_FALSE(window->isVisible());
    test::writeFile(app.root() / "paused", "");
    test::writeFile(app.root() / "config", "SERVER=https://elsewhere.example\n");
    app.tavix.refresh();
    EXPECT_EQ(app.shown(), (std::vector<std::string>{"Paused", secondary, "Pixel 8 · device…",
                                                     "Computer tasks available", "New tasks are paused"}));

    const int activations = app.application.activations;
    app.tavix.showSettings();
    app.window.build("other.example", app.tavix);
    EXPECT_EQ(app.window.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), placed) << "not re-centred";
    EXPECT_EQ(window->findChildren<TavixButton*>().size(), 6) << "not rebuilt";
    EXPECT_EQ(serverLine(window), QStringLiteral("link.example.org"));
    EXPECT_EQ(app.application.activations, activations + 1);
}

}  // namespace
}  // namespace tavix
