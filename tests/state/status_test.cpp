#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "state/status.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

using Json = nlohmann::json;
constexpr double kNow = 1'750'000'000'000.0;

Status parsed(const Json& json) { return parseStatus(json.dump()); }

TEST(StatusReading, AnythingButAnObjectReadsAsTheDefault) {
    test::TempDir dir;
    EXPECT_EQ(readStatusFile(dir / "status.json"), Status{}) << "missing";
    for (const char* text : {"[1,2]", "{\"at\":", "42", "\"text\"", "null", "", "{\"error\":\"\xff\"}",
                             "{\"at\":5,\"x\":[1,2,}", "{\"connected\":true} trailing"}) {
        test::writeFile(dir / "status.json", text);
        EXPECT_EQ(readStatusFile(dir / "status.json"), Status{}) << text;
    }
    std::filesystem::remove(dir / "status.json");
    std::filesystem::create_directory(dir / "status.json");
    EXPECT_EQ(readStatusFile(dir / "status.json"), Status{}) << "a directory";
}

TEST(StatusReading, OversizedFileReadsAsTheDefault) {
    test::TempDir dir;
    test::writeFile(dir / "status.json", R"({"connected":true,"pad":")" + std::string(1024 * 1024, 'x') + "\"}");
    EXPECT_EQ(readStatusFile(dir / "status.json"), Status{});
    test::writeFile(dir / "status.json", R"({"connected":true,"pad":")" + std::string(100'000, 'x') + "\"}");
    EXPECT_TRUE(readStatusFile(dir / "status.json").connected);
}

TEST(StatusReading, EachKeyKeepsOnlyItsOwnType) {
    Status status = parsed({{"at", "1750000000000"}, {"busy", true}, {"connected", "true"}, {"computer", 1},
                            {"error", 404}, {"devices", "two"}, {"other", {1, 2}}});
    EXPECT_EQ(status, Status{});

    status = parsed({{"at", 1750000000000.5}, {"busy", "job"}, {"connected", true}, {"computer", false},
                     {"error", "offline"}, {"devices", {{{"model", "M"}, {"state", "device"}, {"screen", "on"}}}}});
    EXPECT_EQ(status.at, 1750000000000.5);
    EXPECT_EQ(status.busy, "job");
    EXPECT_TRUE(status.connected);
    EXPECT_FALSE(status.computer);
    EXPECT_EQ(status.error, "offline");
    EXPECT_EQ(status.devices, (std::vector<Device>{{"M", "device", "on"}}));

    EXPECT_EQ(parseStatus(R"({"at":1,"at":1750000000000})").at, 1750000000000.0) << "the last of a repeated key";
    EXPECT_EQ(parseStatus(R"({"at":-5e3})").at, -5000.0);
}

TEST(StatusDevices, OnlyAnArrayOfObjectsCounts) {
    EXPECT_TRUE(parsed({{"devices", Json::array({Json::object(), 3})}}).devices.empty());
    auto devices = parsed({{"devices", {Json::object(), {{"model", 7}, {"state", false}, {"screen", 1}}}}}).devices;
    EXPECT_EQ(devices, (std::vector<Device>{{"Android", "unknown", "connected"}, {"Android", "unknown", "connected"}}));
}

TEST(StatusFreshness, TwentyFiveSecondsIsTheEdge) {
    struct Case {
        Json at;
        bool fresh;
    } cases[] = {
        {kNow - 24'999, true}, {kNow - 25'000, false}, {kNow - 24'999.5, true}, {kNow + 60'000, true},
        {"1750000000000", false}, {nullptr, false}, {true, false},
    };
    for (const auto& c : cases) {
        Json status = Json::object();
        if (!c.at.is_null()) status["at"] = c.at;
        EXPECT_EQ(isFresh(parsed(status), kNow), c.fresh) << c.at.dump();
    }
}

TEST(ConnectionLabel, FirstMatchingRuleWins) {
    const Json freshConnectedBusy{{"at", kNow}, {"connected", true}, {"busy", "job"}};
    const Json freshConnected{{"at", kNow}, {"connected", true}};
    const Json stale{{"at", kNow - 30'000}, {"connected", true}};
    struct Case {
        bool paired;
        bool paused;
        Json status;
        const char* label;
    } cases[] = {
        {false, true, freshConnectedBusy, "Not paired"},
        {true, true, freshConnectedBusy, "Pausing · current task finishing"},
        {true, true, freshConnected, "Paused"},
        {true, true, stale, "Paused"},
        {true, false, stale, "Bridge not running"},
        {true, false, Json{{"at", "soon"}, {"connected", true}}, "Bridge not running"},
        {true, false, freshConnectedBusy, "Task in progress"},
        {true, false, Json{{"at", kNow}, {"connected", true}, {"busy", true}}, "Connected"},
        {true, false, Json{{"at", kNow - 25'000}, {"connected", true}, {"busy", "job"}}, "Bridge not running"},
        {true, false, freshConnected, "Connected"},
        {true, false, Json{{"at", kNow}}, "Server unreachable"},
        {true, false, Json{{"at", kNow}, {"connected", false}}, "Server unreachable"},
        {true, false, Json{{"at", kNow}, {"connected", "true"}}, "Server unreachable"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(connectionLabel(c.paired, c.paused, parsed(c.status), kNow), c.label) << c.status.dump();
    }
}

TEST(StatusDevices, PhoneLinesJoinModelAndState) {
    EXPECT_EQ(phoneLines(parsed({{"devices", {{{"model", "M"}, {"state", "device"}}, {{"state", "S"}}}}})),
              "M · device\nAndroid · S");
    EXPECT_EQ(phoneLines(Status{}), "");
}

}  // namespace
}  // namespace tavix
