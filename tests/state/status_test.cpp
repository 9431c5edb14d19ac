#include <gtest/gtest.h>

#include "state/status.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

constexpr double kNow = 1'750'000'000'000.0;

TEST(StatusReading, AnythingButAnObjectReadsEmpty) {
    test::TempDir dir;
    EXPECT_EQ(readStatusFile(dir / "status.json"), Status::object()) << "missing";
    for (const char* text : {"[1,2]", "{\"at\":", "42", "\"text\"", "null", "", "{\"a\":\"\xff\"}"}) {
        test::writeFile(dir / "status.json", text);
        EXPECT_EQ(readStatusFile(dir / "status.json"), Status::object()) << text;
    }
    test::writeFile(dir / "status.json", R"({"connected":true})");
    EXPECT_EQ(readStatusFile(dir / "status.json"), (Status{{"connected", true}}));
}

TEST(StatusReading, OversizedFileReadsEmpty) {
    test::TempDir dir;
    std::string big = R"({"connected":true,"pad":")" + std::string(1024 * 1024, 'x') + "\"}";
    test::writeFile(dir / "status.json", big);
    EXPECT_EQ(readStatusFile(dir / "status.json"), Status::object());
}

TEST(StatusFreshness, TwentyFiveSecondsIsTheEdge) {
    struct Case {
        Status at;
        bool fresh;
    } cases[] = {
        {kNow - 24'999, true},   {kNow - 25'000, false}, {kNow - 24'999.5, true}, {kNow + 60'000, true},
        {"1750000000000", false}, {nullptr, false},      {true, false},
    };
    for (const auto& c : cases) {
        Status status = Status::object();
        if (!c.at.is_null()) status["at"] = c.at;
        EXPECT_EQ(isFresh(status, kNow), c.fresh) << c.at.dump();
    }
    EXPECT_FALSE(isFresh(Status::object(), kNow));
}

TEST(StatusWorking, NeedsFreshAndNonEmptyBusyText) {
    struct Case {
        Status busy;
        double age;
        bool working;
    } cases[] = {
        {"job", 0, true}, {"job", 25'000, false}, {"", 0, false}, {true, 0, false}, {nullptr, 0, false},
    };
    for (const auto& c : cases) {
        Status status{{"at", kNow - c.age}};
        if (!c.busy.is_null()) status["busy"] = c.busy;
        EXPECT_EQ(isWorking(status, kNow), c.working) << c.busy.dump() << " " << c.age;
    }
}

TEST(ConnectionLabel, FirstMatchingRuleWins) {
    const Status freshConnectedBusy{{"at", kNow}, {"connected", true}, {"busy", "job"}};
    const Status freshConnected{{"at", kNow}, {"connected", true}};
    const Status stale{{"at", kNow - 30'000}, {"connected", true}};
    struct Case {
        bool paired;
        bool paused;
        Status status;
        const char* label;
    } cases[] = {
        {false, true, freshConnectedBusy, "Not paired"},
        {true, true, freshConnectedBusy, "Pausing · current task finishing"},
        {true, true, freshConnected, "Paused"},
        {true, true, stale, "Paused"},
        {true, false, stale, "Bridge not running"},
        {true, false, Status{{"at", "soon"}, {"connected", true}}, "Bridge not running"},
        {true, false, freshConnectedBusy, "Task in progress"},
        {true, false, freshConnected, "Connected"},
        {true, false, Status{{"at", kNow}}, "Server unreachable"},
        {true, false, Status{{"at", kNow}, {"connected", false}}, "Server unreachable"},
        {true, false, Status{{"at", kNow}, {"connected", "true"}}, "Server unreachable"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(connectionLabel(c.paired, c.paused, c.status, kNow), c.label) << c.status.dump();
    }
}

TEST(StatusDevices, OnlyAnArrayOfObjectsCounts) {
    EXPECT_TRUE(devicesOf(Status{{"devices", "none"}}).empty());
    EXPECT_TRUE(devicesOf(Status{{"devices", Status::array({Status::object(), 3})}}).empty());
    auto devices = devicesOf(Status{{"devices", {{{"model", "Pixel"}, {"state", "device"}, {"screen", "awake"}},
                                                  Status::object(),
                                                  {{"model", 7}, {"state", false}, {"screen", 1}}}}});
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].model, "Pixel");
    EXPECT_EQ(devices[0].screen, "awake");
    for (int i : {1, 2}) {
        EXPECT_EQ(devices[i].model, "Android");
        EXPECT_EQ(devices[i].state, "unknown");
        EXPECT_EQ(devices[i].screen, "connected");
    }
}

TEST(StatusDevices, PhoneLinesJoinModelAndState) {
    Status status{{"devices", {{{"model", "M"}, {"state", "device"}}, {{"state", "S"}}}}};
    EXPECT_EQ(phoneLines(status), "M · device\nAndroid · S");
    EXPECT_EQ(phoneLines(Status::object()), "");
}

}  // namespace
}  // namespace tavix
