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
    const std::tuple<Command, const char*, std::vector<const char*>> cases[] = {
        {Command::permissions, "Device permissions", {"the bridge's Node executable"}},
        {Command::usbHelp,
         "Connect Android with USB",
         {"Developer options \u2192 USB debugging", "\u2018Allow USB debugging\u2019"}},
        {Command::updateHelp, "Update Tavix Link", {"this menu bar app.\n\nQuitting this menu"}},
    };
    for (const auto& [command, title, parts] : cases) {
        TestApp app;
        app.menu->perform(command);
        ASSERT_EQ(app.dialogs.alerts.size(), 1u) << title;
        EXPECT_EQ(app.dialogs.alerts[0].title, title);
        for (const char* part : parts) EXPECT_NE(app.dialogs.alerts[0].text.find(part), std::string::npos) << part;
        EXPECT_TRUE(app.desktop.urls.empty()) << "no privacy settings page to open on this system";
        EXPECT_EQ(app.application.activations, 1);
    }
}

}  // namespace
}  // namespace tavix
