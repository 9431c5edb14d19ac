#include "platform/qt/settings_window.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>

#include <memory>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/tavix_menu.h"
#include "pixels.h"
#include "platform/curl_http.h"
#include "platform/qt/tavix_button.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

using test::colourDistance;
using test::grabImage;

class RecordingTarget final : public CommandTarget {
  public:
    void perform(Command command) override { performed.push_back(command); }
    std::vector<Command> performed;
};

QLabel* labelWithText(QWidget* window, const QString& text) {
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->text() == text) return label;
    }
    return nullptr;
}

std::vector<TavixButton*> buttonsOf(QWidget* window) {
    const auto list = window->findChildren<TavixButton*>();
    return {list.begin(), list.end()};
}

QColor textColour(const QLabel* label) {
    return label->palette().color(QPalette::Active, QPalette::WindowText);
}

void expectColour(const QColor& colour, double r, double g, double b, double a, const char* what) {
    EXPECT_LT(colourDistance(colour, r, g, b), 0.005) << what << " " << colour.name().toStdString();
    EXPECT_NEAR(colour.alphaF(), a, 0.005) << what;
}

struct BuiltWindow {
    BuiltWindow(const std::string& server = "tavix.example") { settings.build(server, target); }
    QWidget* window() const { return settings.window(); }
    QLabel* live(LiveLabel which) const { return settings.liveLabel(which); }

    RecordingTarget target;
    SettingsWindow settings;
};

TEST(SettingsWindow, FixedSizeAndTitle) {
    BuiltWindow built;
    QWidget* window = built.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->size(), QSize(560, 600));
    EXPECT_EQ(window->minimumSize(), QSize(560, 600));
    EXPECT_EQ(window->maximumSize(), QSize(560, 600));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tavix Link"));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window->testAttribute(Qt::WA_DeleteOnClose));
}

struct LabelCase {
    const char* text;  // as first shown
    LiveLabel live;
    QRect frame;  // top-left origin
    int pixelSize;
    int weight;
    double r, g, b, a;
};

TEST(SettingsWindow, LabelsWhereTheLayoutPutsThem) {
    const LabelCase cases[] = {
        {"Tavix Link", LiveLabel::none, {110, 34, 300, 32}, 27, 700, 1, 1, 1, 1},
        {"Your computer, ready to help.", LiveLabel::none, {111, 71, 340, 20}, 13, 400, 1, 1, 1, 0.55},
        {"CONNECTION", LiveLabel::none, {45, 134, 200, 16}, 10, 700, 1, 1, 1, 0.45},
        {"Checking…", LiveLabel::status, {45, 155, 390, 35}, 28, 600, 0.61, 0.94, 0.73, 1},
        {"tavix.example", LiveLabel::none, {45, 196, 330, 22}, 13, 400, 1, 1, 1, 0.55},
        {"", LiveLabel::activity, {45, 223, 430, 18}, 12, 400, 1, 1, 1, 0.45},
        {"ANDROID DEVICE", LiveLabel::none, {45, 281, 180, 16}, 10, 700, 1, 1, 1, 0.45},
        {"Checking…", LiveLabel::phone, {45, 301, 285, 25}, 16, 600, 1, 1, 1, 1},
        {"", LiveLabel::computer, {316, 303, 200, 20}, 11, 400, 1, 1, 1, 0.48},
        {"QUICK ACTIONS", LiveLabel::none, {28, 354, 250, 16}, 10, 700, 1, 1, 1, 0.45},
        {"Runs quietly in the background when this window is closed.",
         LiveLabel::none,
         {28, 565, 500, 18},
         11,
         400,
         1,
         1,
         1,
         0.38},
    };
    BuiltWindow built;
    for (const LabelCase& c : cases) {
        SCOPED_TRACE(c.text);
        QLabel* label = c.live != LiveLabel::none ? built.live(c.live) : labelWithText(built.window(), c.text);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(label->geometry(), c.frame);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        const QFontInfo font(label->font());
        EXPECT_EQ(font.family(), QStringLiteral("Inter"));
        EXPECT_EQ(font.pixelSize(), c.pixelSize);
        EXPECT_EQ(font.weight(), c.weight);
        expectColour(textColour(label), c.r, c.g, c.b, c.a, "text");
    }
}

TEST(SettingsWindow, QuickActionButtons) {
    struct ButtonCase {
        const char* title;
        Command command;
        QRect frame;
        bool primary;
    };
    const ButtonCase cases[] = {
        {"Open Devices & History", Command::openDevices, {24, 382, 249, 44}, true},
        {"Pair / Change Account", Command::pairAccount, {287, 382, 249, 44}, false},
        {"Pair Android over Wi-Fi", Command::pairPhone, {24, 437, 249, 44}, false},
        {"Connect Android over Wi-Fi", Command::connectPhone, {287, 437, 249, 44}, false},
        {"Pause / Resume Tasks", Command::togglePause, {24, 492, 249, 44}, false},
        {"View Bridge Logs", Command::logs, {287, 492, 249, 44}, false},
    };
    BuiltWindow built;
    const auto buttons = buttonsOf(built.window());
    ASSERT_EQ(buttons.size(), std::size(cases));
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const ButtonCase& c = cases[i];
        SCOPED_TRACE(c.title);
        TavixButton* button = buttons[i];
        EXPECT_EQ(button->text(), QString::fromUtf8(c.title));
        EXPECT_EQ(button->geometry(), c.frame);
        EXPECT_TRUE(button->isEnabled());
        if (c.primary) {
            EXPECT_EQ(button->fill, QColor::fromRgbF(0.65f, 0.94f, 0.76f));
            EXPECT_EQ(button->ink, QColor::fromRgbF(0.045f, 0.11f, 0.09f));
        } else {
            EXPECT_EQ(button->fill, TavixButton(QString()).fill);
            EXPECT_EQ(button->ink, QColor(Qt::white));
        }
        built.target.performed.clear();
        button->click();
        EXPECT_EQ(built.target.performed, std::vector<Command>{c.command});
    }
}

TEST(SettingsWindow, PaintsBackgroundCardsAndPrimaryButton) {
    BuiltWindow built;
    const QImage image = grabImage(*built.window());
    ASSERT_EQ(image.size(), QSize(560, 600));
    struct PixelCase {
        QPoint at;
        double r, g, b;
        const char* what;
    };
    const PixelCase cases[] = {
        {{5, 5}, 0.055, 0.075, 0.078, "background, top left"},
        {{550, 590}, 0.055, 0.075, 0.078, "background, bottom right"},
        {{12, 300}, 0.055, 0.075, 0.078, "background left of the cards"},
        {{500, 125}, 0.094, 0.122, 0.125, "first card"},
        {{500, 330}, 0.094, 0.122, 0.125, "second card"},
        {{34, 404}, 0.65, 0.94, 0.76, "primary button"},
        {{297, 404}, 0.14, 0.18, 0.18, "second button"},
    };
    for (const PixelCase& c : cases) {
        const QColor pixel = image.pixelColor(c.at);
        EXPECT_EQ(pixel.alpha(), 255) << c.what;
        EXPECT_LT(colourDistance(pixel, c.r, c.g, c.b), 0.01) << c.what << " " << pixel.name().toStdString();
    }
    // The card's hairline border is a little lighter than both the card and the window behind it.
    const QColor border = image.pixelColor(300, 112);
    EXPECT_GT(border.redF(), 0.094 + 0.01) << border.name().toStdString();
    // The logo's gradient tile sits at the top left.
    EXPECT_LT(colourDistance(image.pixelColor(38, 38), 0.58, 0.94, 0.73), 0.08);
}

TEST(SettingsWindow, StatusColourFollowsTheConnection) {
    BuiltWindow built;
    SettingsLabels labels{"Connected", true, "Pixel 8 · device", "Computer tasks available", "Ready when you are"};
    built.settings.setLabels(labels);
    expectColour(textColour(built.live(LiveLabel::status)), 0.61, 0.94, 0.73, 1, "connected");
    EXPECT_EQ(built.live(LiveLabel::status)->text(), QStringLiteral("Connected"));
    EXPECT_EQ(built.live(LiveLabel::phone)->text(), QStringLiteral("Pixel 8 · device"));
    EXPECT_EQ(built.live(LiveLabel::computer)->text(), QStringLiteral("Computer tasks available"));
    EXPECT_EQ(built.live(LiveLabel::activity)->text(), QStringLiteral("Ready when you are"));

    labels.status = "Server unreachable";
    labels.connected = false;
    built.settings.setLabels(labels);
    expectColour(textColour(built.live(LiveLabel::status)), 1, 1, 1, 0.55, "not connected");

    // On screen too: no mint text is left in the status line.
    const QImage image = grabImage(*built.window());
    const QRect line = built.live(LiveLabel::status)->geometry();
    int mint = 0;
    for (int y = line.top(); y <= line.bottom(); ++y) {
        for (int x = line.left(); x <= line.right(); ++x)
            mint += colourDistance(image.pixelColor(x, y), 0.61, 0.94, 0.73) < 0.1;
    }
    EXPECT_EQ(mint, 0);
}

TEST(SettingsWindow, TextStartsAtTheTopOfItsFrame) {
    BuiltWindow built;
    built.settings.setLabels({"Connected", true, "Pixel 8 · device", "Computer tasks available", "Ready when you are"});
    const QImage image = grabImage(*built.window());
    for (LiveLabel which : {LiveLabel::computer, LiveLabel::activity, LiveLabel::phone}) {
        const QRect frame = built.live(which)->geometry();
        QRect ink;
        for (int y = frame.top(); y <= frame.bottom(); ++y) {
            for (int x = frame.left(); x <= frame.right(); ++x) {
                if (image.pixelColor(x, y).lightnessF() > 0.3) ink |= QRect(x, y, 1, 1);
            }
        }
        ASSERT_FALSE(ink.isNull());
        // Capitals begin one ascent-less-cap-height below the top, inset two units from the left edge.
        const QFontMetricsF metrics(built.live(which)->font());
        EXPECT_NEAR(ink.top() - frame.top(), metrics.ascent() - metrics.capHeight(), 1.5) << int(which);
        EXPECT_NEAR(ink.left() - frame.left(), 2, 1.5) << int(which);
    }
}

TEST(SettingsWindow, LongServerLineIsCutWithAnEllipsis) {
    const std::string host =
        "a-very-long-host-name-for-the-tavix-server.department.example-company-with-a-long-name.example";
    BuiltWindow built(host);
    QLabel* server = nullptr;
    for (QLabel* label : built.window()->findChildren<QLabel*>()) {
        if (label->geometry() == QRect(45, 196, 330, 22)) server = label;
    }
    ASSERT_NE(server, nullptr);
    const QString shown = server->text();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("…"))) << shown.toStdString();
    EXPECT_TRUE(QString::fromStdString(host).startsWith(shown.chopped(1)));
    EXPECT_GT(shown.size(), 20);
    EXPECT_LE(server->fontMetrics().horizontalAdvance(shown), 330);
    // A line that fits is shown whole.
    BuiltWindow fits("tavix.example");
    EXPECT_NE(labelWithText(fits.window(), QStringLiteral("tavix.example")), nullptr);
}

TEST(SettingsWindow, BuildingTwiceKeepsTheFirstWindow) {
    BuiltWindow built;
    QWidget* first = built.window();
    RecordingTarget other;
    built.settings.build("other.example", other);
    EXPECT_EQ(built.window(), first);
    EXPECT_EQ(labelWithText(first, QStringLiteral("other.example")), nullptr);
    EXPECT_EQ(buttonsOf(first).size(), 6u);
}

// The application on fakes except for the real settings window.
struct App {
    App() : tavixHome("TAVIX_HOME", (dir.path() / "state").string()) {
        std::filesystem::create_directories(dir.path() / "home");
        options.home = dir.path() / "home";
        options.instanceLock = dir.path() / "instance.lock";
        options.arguments = {"tavix-menu"};
        menu = std::make_unique<TavixMenu>(Ports{mainQueue, dialogs, item, settings, desktop, http, application, clock},
                                           options);
    }
    std::filesystem::path root() const { return dir.path() / "state"; }
    void writeStatus(nlohmann::json status, double ageMs = 0) {
        status["at"] = clock.now - ageMs;
        test::writeFile(root() / "status.json", status.dump());
    }
    QLabel* live(LiveLabel which) const { return settings.liveLabel(which); }

    test::TempDir dir;
    test::ScopedEnv tavixHome;
    test::FakeMainQueue mainQueue;
    test::FakeDialogs dialogs;
    test::FakeStatusItem item;
    SettingsWindow settings;
    test::FakeDesktop desktop;
    CurlHttp http;
    test::FakeApplication application;
    test::FakeClock clock;
    Options options;
    std::unique_ptr<TavixMenu> menu;
};

TEST(SettingsWindowInApp, UnpairedLaunchShowsTheRefreshedWindow) {
    App app;
    app.menu->applicationDidFinishLaunching();
    QWidget* window = app.settings.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(app.live(LiveLabel::status)->text(), QStringLiteral("Not paired"));
    expectColour(textColour(app.live(LiveLabel::status)), 1, 1, 1, 0.55, "not paired");
    EXPECT_EQ(app.live(LiveLabel::phone)->text(), QStringLiteral("No Android phone detected"));
    EXPECT_EQ(app.live(LiveLabel::computer)->text(), QStringLiteral("Sign in to Claude or Codex CLI"));
    EXPECT_EQ(app.live(LiveLabel::activity)->text(), QStringLiteral("Ready when you are"));
    EXPECT_NE(labelWithText(window, QStringLiteral("tavix.app")), nullptr)
        << "the default server's host on the connection card";
}

TEST(SettingsWindowInApp, ConnectedStatusInMint) {
    App app;
    test::writeFile(app.root() / "token", "secret");
    test::writeFile(app.root() / "config", "SERVER=https://link.example.org:8443/path\n");
    app.writeStatus({{"connected", true},
                     {"computer", true},
                     {"devices", {{{"model", "Pixel 8"}, {"state", "device"}}, {{"state", "offline"}}}}});
    app.menu->showSettings();
    ASSERT_NE(app.settings.window(), nullptr);
    EXPECT_EQ(app.live(LiveLabel::status)->text(), QStringLiteral("Connected"));
    expectColour(textColour(app.live(LiveLabel::status)), 0.61, 0.94, 0.73, 1, "connected");
    // Two phones: the one-line label shows the first and marks that more follows.
    EXPECT_EQ(app.live(LiveLabel::phone)->text(), QStringLiteral("Pixel 8 · device…"));
    EXPECT_EQ(app.live(LiveLabel::computer)->text(), QStringLiteral("Computer tasks available"));
    EXPECT_NE(labelWithText(app.settings.window(), QStringLiteral("link.example.org")), nullptr);

    // Paused: secondary colour again.
    test::writeFile(app.root() / "paused", "");
    app.menu->refresh();
    EXPECT_EQ(app.live(LiveLabel::status)->text(), QStringLiteral("Paused"));
    expectColour(textColour(app.live(LiveLabel::status)), 1, 1, 1, 0.55, "paused");
    EXPECT_EQ(app.live(LiveLabel::activity)->text(), QStringLiteral("New tasks are paused"));
}

TEST(SettingsWindowInApp, ShownAgainIsTheSameWindowInPlace) {
    App app;
    test::writeFile(app.root() / "token", "secret");
    app.menu->showSettings();
    QWidget* window = app.settings.window();
    ASSERT_NE(window, nullptr);
    QPointer<QWidget> guard(window);
    window->move(40, 30);
    const QPoint placed = window->pos();

    // Closing only hides; the hidden labels keep being refreshed.
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    ASSERT_FALSE(guard.isNull());
    app.writeStatus({{"connected", true}, {"busy", "task-1"}});
    app.menu->refresh();
    EXPECT_EQ(app.live(LiveLabel::status)->text(), QStringLiteral("Task in progress"));
    EXPECT_EQ(app.live(LiveLabel::activity)->text(), QStringLiteral("A task is running on this Mac"));

    // The server line stays as built.
    test::writeFile(app.root() / "config", "SERVER=https://elsewhere.example\n");
    app.menu->refresh();
    EXPECT_EQ(labelWithText(window, QStringLiteral("elsewhere.example")), nullptr);

    const int activations = app.application.activations;
    app.menu->showSettings();
    EXPECT_EQ(app.settings.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), placed) << "not re-centred";
    EXPECT_EQ(buttonsOf(window).size(), 6u) << "not rebuilt";
    EXPECT_EQ(app.application.activations, activations + 1);
}

}  // namespace
}  // namespace tavix
