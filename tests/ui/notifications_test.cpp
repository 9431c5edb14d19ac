#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "support/test_app.h"

namespace tavix {
namespace {

// Stories of the bridge from a start of the tray (whose state then is never news), a refresh at each step on the fake
// clock. A step reads "SECONDS BRIDGE [E…] [focused] [off] [=> SAID]": the bridge up, busy, unreachable, down
// (stale) or unpaired; an error in status.json; the settings window has the focus; the "no-notify" marker exists;
// what the desktop was then asked to show or close, if anything.
TEST(Notifications, TellWhatNeedsTheUserOnceAndNotTooOften) {
    const std::map<std::string, std::string> said{
        {"unreachable",
         "Tavix Link is offline · Server unreachable. Check this computer's network connection, or "
         "choose Restart Local Bridge from the menu."},
        {"not-running", "Tavix Link is offline · Bridge not running. Choose Restart Local Bridge from the menu."},
        {"back", "Tavix Link is connected again · Connected"},
        {"close", "close connection"}};
    const char* stories[] = {
        "0 busy; 10 unreachable; 39.9 unreachable; 40 unreachable => unreachable; 43 down; 46 up => back; 49 up",
        // A bridge not up yet after pairing is no loss; a short loss says nothing, nor its end.
        "0 unpaired; 5 down; 40 down; 41 up; 50 down; 60 up",
        // One of a kind in 5 minutes, and what waited is told then.
        "0 up; 1 down; 31 down => not-running; 32 up => back; 40 unreachable; 330.9 down; 331 down => not-running",
        "0 up E0; 1 up E1 => E1; 4 up E1; 7 up E2; 10 up; 302 up E2 => E2; 700 up E1; 705 down E3; 706 up E3 => E3",
        // Not while the settings window has the focus: what waits is told once it has not.
        "0 up; 1 unreachable; 31 unreachable focused; 34 unreachable => unreachable; 35 up E1 focused => close; "
        "38 up E1 => E1",
        // Turned off: nothing, what is shown goes, and what came meanwhile is no news later.
        "0 up; 1 unreachable; 31 unreachable => unreachable; 32 unreachable E1 off => close; 40 up E2 off; 41 up E2; "
        "50 up E3 => E3",
    };
    for (const char* story : stories) {
        test::TestApp app;
        const double start = app.clock.now;
        std::istringstream steps(story);
        for (std::string step; std::getline(steps, step, ';');) {
            SCOPED_TRACE(testing::Message() << story << "\nat: " << step);
            const auto has = [&](const char* part) { return step.find(part) != std::string::npos; };
            std::istringstream words(step);
            double at = 0;
            std::string bridge, error;
            words >> at >> bridge >> error;
            app.clock.now = start + at * 1000;
            app.settings.hasFocus = has(" focused");
            std::filesystem::remove(app.root() / "no-notify");
            if (has(" off")) test::writeFile(app.root() / "no-notify", "");
            if (bridge != "unpaired") test::writeFile(app.root() / "token", "t");
            nlohmann::json status = {{"connected", bridge != "unreachable"}};
            if (bridge == "busy") status["busy"] = "job";
            if (error[0] == 'E') status["error"] = error;
            app.writeStatus(status, bridge == "down" ? 60'000 : 0);
            app.notifier.calls.clear();
            app.menu->refresh();
            const std::string key = has("=> ") ? step.substr(step.find("=> ") + 3) : "";
            const std::string text = said.count(key) ? said.at(key) : "The bridge reports an error · " + key;
            EXPECT_EQ(app.notifier.calls, key.empty() ? std::vector<std::string>{} : std::vector{text});
        }
    }
}

}  // namespace
}  // namespace tavix
