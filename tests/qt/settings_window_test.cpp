#include "platform/qt/settings_window.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>

#include <gtest/gtest.h>

#include "pixels.h"
#include "platform/qt/artwork.h"
#include "platform/qt/card.h"
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

std::tuple<std::string, int, int> fontOf(const QWidget* widget) {
    const QFontInfo font(widget->font());
    return {font.family().toStdString(), font.pixelSize(), font.weight()};
}

TEST(SettingsWindow, FixedSizeAndAWidgetForEachElementOfTheModel) {
    Built built;
    QWidget& window = built.window();
    EXPECT_EQ(window.size(), QSize(560, 600));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tavix Link"));
    const auto buttons = Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    EXPECT_EQ(window.windowFlags() & buttons, Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);

    const SettingsModel model = settingsModel("tavix.example");
    const auto widgets = window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(widgets.size(), qsizetype(model.elements.size()));
    QStringList texts;
    for (std::size_t i = 0; i < model.elements.size(); ++i) {
        const SettingsElement& e = model.elements[i];
        QWidget* widget = widgets[qsizetype(i)];
        SCOPED_TRACE(e.text);
        // Flipped: the model's y runs up from the bottom.
        const Frame f = e.frame.topLeft(600);
        EXPECT_EQ(widget->geometry(), QRect(int(f.x), int(f.y), int(f.width), int(f.height)));
        if (e.kind == SettingsElement::Kind::label) {
            auto* label = qobject_cast<QLabel*>(widget);
            ASSERT_NE(label, nullptr);
            texts.append(label->text());
            EXPECT_EQ(label->text(), QString::fromStdString(e.text));
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            EXPECT_EQ(fontOf(label), std::tuple("Inter", int(e.fontSize), e.weight));
            EXPECT_EQ(test::hex(label->palette().color(QPalette::WindowText)), test::hex(toColor(e.colour)));
            EXPECT_TRUE(e.live == LiveLabel::none || built.settings.liveLabel(e.live) == label);
        } else if (e.kind == SettingsElement::Kind::button) {
            auto* button = qobject_cast<TavixButton*>(widget);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), QString::fromStdString(e.text));
            EXPECT_EQ(fontOf(button), std::tuple("Inter", 13, 600));
            EXPECT_EQ(test::hex(button->ink), test::hex(e.primary ? toColor(model.primaryInk) : QColor(Qt::white)));
            built.performed.clear();
            button->click();
            EXPECT_EQ(built.performed, std::vector<Command>{e.command});
        }
    }
    // Each live line shows what it is given.
    built.settings.setLabels({"status", true, "phone", "computer", "activity"});
    for (auto [which, text] : {std::pair{LiveLabel::status, "status"},
                               {LiveLabel::phone, "phone"},
                               {LiveLabel::computer, "computer"},
                               {LiveLabel::activity, "activity"}}) {
        EXPECT_EQ(built.settings.liveLabel(which)->text(), QLatin1String(text));
    }
    // The model's own texts, spot-checked: the button titles are in the Tab order test.
    EXPECT_EQ(texts.mid(0, 5),
              (QStringList{"Tavix Link", "Your computer, ready to help.", "CONNECTION", "Checking…", "tavix.example"}));
    EXPECT_EQ(texts.last(), QStringLiteral("Runs quietly in the background when this window is closed."));
    // And two places, the largest line and the last button, as drawn up.
    QLabel* status = built.settings.liveLabel(LiveLabel::status);
    EXPECT_EQ(status->geometry(), QRect(45, 155, 390, 35));
    EXPECT_EQ(fontOf(status), std::tuple("Inter", 28, 600));
    EXPECT_EQ(window.findChildren<TavixButton*>().last()->geometry(), QRect(287, 492, 249, 44));
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
    // The status line's colour and the phone line (what the lines say is the ui's).
    std::vector<std::string> shown() const {
        const QColor colour = window.liveLabel(LiveLabel::status)->palette().color(QPalette::WindowText);
        return {test::hex(colour), window.liveLabel(LiveLabel::phone)->text().toStdString()};
    }

    SettingsWindow window;
    TavixMenu tavix{Ports{mainQueue, dialogs, item, window, desktop, http, application, clock, notifier}, options};
};

TEST(SettingsWindowInApp, RefreshedWhileShownOrHiddenAndShownAgainInPlace) {
    App app;
    const std::string mint = test::hex(rgb(0.61, 0.94, 0.73)), secondary = test::hex(rgb(1, 1, 1, 0.55));
    test::writeFile(app.root() / "token", "secret");
    test::writeFile(app.root() / "config", "SERVER=https://link.example.org:8443/path\n");
    app.writeStatus(
        {{"connected", true}, {"devices", {{{"model", "Pixel 8"}, {"state", "device"}}, {{"state", "offline"}}}}});
    app.tavix.showSettings();
    QWidget* window = app.window.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    // Two phones: the one-line label shows the first and marks that more follows.
    EXPECT_EQ(app.shown(), (std::vector<std::string>{mint, "Pixel 8 · device…"}));
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
    EXPECT_EQ(app.shown(), (std::vector<std::string>{secondary, "Pixel 8 · device…"}));

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
