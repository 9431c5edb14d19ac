#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ui/live_labels.h"

namespace tavix {
namespace {

constexpr double kNow = 1'750'000'000'000.0;

TEST(LiveLabels, FollowTheStatusItsAgeAndThePause) {
    using Json = nlohmann::json;
    const Json phones = {{{"model", "M\u2066"}, {"state", "device"}}, {{"state", "S\u202e\nx"}}};
    const Json full = {{"connected", true}, {"computer", true}, {"devices", phones}};
    const Json connected = {{"connected", true}}, busy = {{"connected", true}, {"busy", "job"}};
    const Json unsure = {{"connected", "yes"}, {"devices", Json::array()}};
    const std::string none = "No Android phone detected", signIn = "Sign in to Claude or Codex CLI";
    const std::string ready = "Ready when you are";
    struct Case {
        bool paused;
        Json status;
        double age;
        SettingsLabels labels;
    } cases[] = {
        {false,
         full,
         0,
         {"Connected", true, "M\\u2066 · device\nAndroid · S\\u202e\\nx", "Computer tasks available", ready}},
        {false, full, 25'000, {"Bridge not running", false, none, signIn, ready}},
        // A running task comes before the pause.
        {true, busy, 0, {"Pausing · current task finishing", false, none, signIn, "A task is running on this Mac"}},
        {true, connected, 0, {"Paused", false, none, signIn, "New tasks are paused"}},
        {false, unsure, 0, {"Server unreachable", false, none, signIn, ready}},
    };
    for (const auto& c : cases) {
        Json status = c.status;
        status["at"] = kNow - c.age;
        EXPECT_EQ(liveLabels(true, c.paused, parseStatus(status.dump()), kNow), c.labels) << status.dump();
    }
}

}  // namespace
}  // namespace tavix
