#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ui/live_labels.h"

namespace tavix {
namespace {

constexpr double kNow = 1'750'000'000'000.0;

Status status(const nlohmann::json& json) {
    return parseStatus(json.dump());
}

TEST(LiveLabels, ActivityPutsARunningTaskBeforeThePause) {
    const Status busy = status({{"at", kNow}, {"connected", true}, {"busy", "job"}});
    EXPECT_EQ(liveLabels(true, true, busy, kNow).activity, "A task is running on this Mac");
    EXPECT_EQ(liveLabels(true, true, status({{"at", kNow}}), kNow).activity, "New tasks are paused");
    EXPECT_EQ(liveLabels(true, false, Status{}, kNow).activity, "Ready when you are");
}

TEST(LiveLabels, ConnectedColourNeedsFreshConnectedAndNotPaused) {
    const Status connected = status({{"at", kNow}, {"connected", true}});
    EXPECT_TRUE(liveLabels(true, false, connected, kNow).connected);
    EXPECT_FALSE(liveLabels(true, true, connected, kNow).connected);
    EXPECT_FALSE(liveLabels(true, false, connected, kNow + 25'000).connected);
    EXPECT_FALSE(liveLabels(true, false, status({{"at", kNow}, {"connected", "yes"}}), kNow).connected);
}

TEST(LiveLabels, PhoneAndComputerLinesFallBackWhenStale) {
    const Status phone =
        status({{"at", kNow}, {"computer", true}, {"devices", {{{"model", "M"}, {"state", "device"}}}}});
    auto labels = liveLabels(true, false, phone, kNow);
    EXPECT_EQ(labels.phone, "M · device");
    EXPECT_EQ(labels.computer, "Computer tasks available");
    labels = liveLabels(true, false, phone, kNow + 25'000);
    EXPECT_EQ(labels.phone, "No Android phone detected");
    EXPECT_EQ(labels.computer, "Sign in to Claude or Codex CLI");
    EXPECT_EQ(liveLabels(true, false, status({{"at", kNow}, {"devices", nlohmann::json::array()}}), kNow).phone,
              "No Android phone detected");
}

}  // namespace
}  // namespace tavix
