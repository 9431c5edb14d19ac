#include <gtest/gtest.h>

#include "support/test_app.h"

namespace tavix {
namespace {

using test::TestApp;

TEST(OpenDevices, OpensTheServersPhonePageAsWritten) {
    struct Case {
        std::optional<std::string> config;
        std::vector<std::string> opened;
    } cases[] = {
        {std::nullopt, {"https://tavix.app/phone"}},
        {"SERVER=https://own.example:8443\n", {"https://own.example:8443/phone"}},
        {"SERVER=https://own.example/\n", {"https://own.example//phone"}},
        {"SERVER=not a server\n", {}},
        {"SERVER=\n", {}},
    };
    for (const auto& c : cases) {
        TestApp app;
        if (c.config) test::writeFile(app.root() / "config", *c.config);
        app.menu->perform(Command::openDevices);
        EXPECT_EQ(app.desktop.urls, c.opened) << c.config.value_or("(none)");
        EXPECT_TRUE(app.dialogs.alerts.empty());
    }
}

TEST(Logs, OpensTheLogOfTheCurrentStateDirectoryEvenWhenMissing) {
    TestApp app;
    app.menu->perform(Command::logs);
    EXPECT_EQ(app.desktop.files, std::vector<std::filesystem::path>{app.root() / "log"});
    EXPECT_TRUE(app.dialogs.alerts.empty());
}

TEST(HelpAlerts, ShowTheirTextsAndBringTheAppForward) {
    TestApp app;
    app.menu->perform(Command::permissions);
    app.menu->perform(Command::usbHelp);
    app.menu->perform(Command::updateHelp);
    ASSERT_EQ(app.dialogs.alerts.size(), 3u);
    EXPECT_TRUE(app.desktop.urls.empty()) << "no privacy settings page to open on this system";
    EXPECT_EQ(app.application.activations, 3);

    EXPECT_EQ(app.dialogs.alerts[0].title, "Device permissions");
    EXPECT_NE(app.dialogs.alerts[0].text.find("the bridge's Node executable"), std::string::npos);
    EXPECT_EQ(app.dialogs.alerts[1].title, "Connect Android with USB");
    EXPECT_NE(app.dialogs.alerts[1].text.find("Developer options \u2192 USB debugging"), std::string::npos);
    EXPECT_NE(app.dialogs.alerts[1].text.find("\u2018Allow USB debugging\u2019"), std::string::npos);
    EXPECT_EQ(app.dialogs.alerts[2].title, "Update Tavix Link");
    EXPECT_NE(app.dialogs.alerts[2].text.find("this menu bar app.\n\nQuitting this menu"), std::string::npos);
}

}  // namespace
}  // namespace tavix
