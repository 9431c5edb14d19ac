#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/system/files.h"
#include "state/status.h"
#include "state/status_reader.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

using Json = nlohmann::json;
constexpr double kNow = 1'750'000'000'000.0;

Status parsed(const Json& json) {
    return parseStatus(json.dump());
}

TEST(StatusReading, AnythingButAnObjectReadsAsTheDefault) {
    test::TempDir dir;
    EXPECT_EQ(readStatusFile(dir / "status.json"), Status{}) << "missing";
    // Not an object, not JSON, or keys of the wrong types.
    for (const char* text : {"[1,2]", "{\"at\":", "42", "\"text\"", "null", "", "{\"error\":\"\xff\"}",
                             "{\"at\":5,\"x\":[1,2,}", "{\"connected\":true} trailing",
                             R"({"at":"1750000000000","busy":true,"connected":"true","computer":1,"error":404,)"
                             R"("devices":"two","other":[1,2]})"}) {
        test::writeFile(dir / "status.json", text);
        EXPECT_EQ(readStatusFile(dir / "status.json"), Status{}) << text;
    }
    std::filesystem::remove(dir / "status.json");
    std::filesystem::create_directory(dir / "status.json");
    EXPECT_EQ(readStatusFile(dir / "status.json"), Status{}) << "a directory";
}

TEST(StatusReading, AnyHonestSizeReadsWholeAndTheSameWhateverItsSize) {
    test::TempDir dir;
    const std::string path = (dir / "status.json").string();
    const std::string busy = R"({"at":1750000000000,"busy":"job","pad":")";
    test::writeFile(path, busy + std::string(1'100'000, 'x') + "\"}");
    EXPECT_EQ(readStatusFile(path).busy, "job");
    test::writeFile(path, busy + std::string(kMaxStateFileBytes, 'x') + "\"}");
    EXPECT_EQ(readStatusFile(path), Status{}) << "past the limit";
    for (const char* endless : {"/dev/zero", "/dev/urandom"}) {
        std::filesystem::remove(path);
        std::filesystem::create_symlink(endless, path);
        EXPECT_EQ(readStatusFile(path), Status{}) << endless;
    }
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(readStatusFile(path), Status{}) << "a FIFO without a writer";

    // Small texts and large ones are read by different means; padding must not change what they say.
    const std::string texts[] = {
        R"({"at":1750000000000,"connected":true,"busy":"job","computer":true,"error":"e\u0301",)"
        R"("devices":[{"model":"M","state":"device","screen":"on","x":[{"model":"no"}]},{},{"state":3}]})",
        R"({"at":"soon","at":-5e3,"busy":1,"connected":"true","devices":[{"model":"M"}],"devices":{"model":"M"}})",
        R"({"devices":[{"model":"M"},[]],"error":null,"n":20000000000000000000,"nested":{"at":1,"busy":"no"}})",
        R"({"at":1e400})",
        R"({"busy":"\x"})",
        R"([{"at":1}])",
        R"({"connected":true} {})",
        std::string(R"({"n":36893488147419103232,"connected":true})") + '\0',
        R"({"x":)" + std::string(2000, '[') + std::string(2000, ']') + "}",
        // Broken where nothing is read: still not JSON.
        R"({"x":01,"connected":true})",
        R"({"x":[tru],"connected":true})",
        R"({"x":{"y":"\q"},"connected":true})",
        R"({"x":[1},"connected":true})",
        R"({"devices":[{"model":"M"},{"n":-}]})",
        // Twenty phones are listed and the rest counted, by either reader.
        R"({"devices":[)" + [] {
            std::string many;
            for (int i = 0; i < 21; ++i) many += R"({"model":"M"},)";
            return many;
        }() + R"({"model":"last"}]})",
        // Past the phones that are listed, one that is no object still voids the list.
        R"({"devices":[)" +
            [] {
                std::string many;
                for (int i = 0; i < 21; ++i) many += R"({"model":"M"},)";
                return many;
            }() +
            "5]}",
    };
    for (const std::string& text : texts) {
        const auto padded = text.substr(0, 1) + std::string(70'000, ' ') + text.substr(1);
        EXPECT_EQ(parseStatus(padded), parseStatus(text)) << text;
        EXPECT_EQ(streamStatus(text), parseStatus(text)) << text;
    }
}

TEST(StatusReading, AKeptReadingFollowsEveryChangeOfTheFile) {
    test::TempDir dir;
    const std::string path = (dir / "status.json").string();
    const std::string pad(70'000, ' ');
    StatusFile file;
    // Same length and another text, gone and back, large texts and a small one after them; rewritten in place
    // at once, and a while after the last reading.
    int step = 0;
    for (const std::optional<std::string>& text : std::initializer_list<std::optional<std::string>>{
             R"({"busy":"a"})", R"({"busy":"b"})", std::nullopt, R"({"busy":"b"})", R"({"busy":"e"})",
             "{" + pad + R"("busy":"c"})", "{" + pad + R"("busy":"d"})", R"({"busy":"d"})", R"({"busy":"f"})"}) {
        if (text) {
            std::ofstream(path, std::ios::trunc) << *text;
        } else {
            std::filesystem::remove(path);
        }
        // Settled before it is read, so that the reading is kept and the next change in place must show anyway.
        if (++step == 4 || step == 8) std::this_thread::sleep_for(std::chrono::milliseconds(150));
        const Status expected = text ? parseStatus(*text) : Status{};
        EXPECT_EQ(file.read(path.c_str()), expected) << text.value_or("missing").substr(0, 20);
        EXPECT_EQ(file.read(path.c_str()), expected) << "read again";
    }
    // Where timestamps are coarse, two writes in one tick leave the same identity: a reading taken within a tenth of
    // a second of a change is not kept.
    std::ofstream(path, std::ios::trunc) << R"({"busy":"g"})";
    EXPECT_FALSE(settled(identityOf(path.c_str()).value()));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(settled(identityOf(path.c_str()).value()));
}

TEST(StatusReading, EachKeyOfItsOwnType) {
    EXPECT_EQ(parsed({{"at", 1750000000000.5},
                      {"busy", "job"},
                      {"connected", true},
                      {"computer", false},
                      {"error", "offline"},
                      {"devices", {{{"model", "M"}, {"state", "device"}, {"screen", "on"}}}}}),
              (Status{1750000000000.5, "job", true, false, "offline", {{"M", "device", "on"}}, 0}));
    EXPECT_EQ(parseStatus(R"({"at":1,"at":1750000000000})").at, 1750000000000.0) << "the last of a repeated key";
    EXPECT_EQ(parseStatus(R"({"at":-5e3})").at, -5000.0);
}

TEST(StatusReading, NumbersBeyondSixtyFourBitsAndALeadingByteOrderMarkAreStillJson) {
    const std::string rest = R"("connected":true,"busy":"job","devices":[{"model":"M"}])";
    struct Case {
        std::string text;
        double at;
    } cases[] = {
        // An integer past 64 bits anywhere in the file, even under a key nobody reads.
        {R"({"at":1750000000000,"bytes":36893488147419103232,)" + rest + "}", 1750000000000.0},
        {R"({"at":1750000000000,"id":-9223372036854775809,)" + rest + "}", 1750000000000.0},
        {R"({"at":1750000000000,"nested":{"n":[123456789012345678901234567890]},)" + rest + "}", 1750000000000.0},
        {R"({"at":18446744073709551616,)" + rest + "}", 18446744073709551616.0},
        {"\xEF\xBB\xBF"
         R"({"at":1750000000000,)" +
             rest + "}",
         1750000000000.0},
    };
    for (const auto& c : cases) {
        const Status status = parseStatus(c.text);
        EXPECT_EQ(status.at, c.at) << c.text;
        EXPECT_TRUE(status.connected) << c.text;
        EXPECT_EQ(status.busy, "job") << c.text;
        EXPECT_EQ(status.devices, (std::vector<Device>{{"M", "unknown", "connected"}})) << c.text;
    }
    // A number beyond any double, nesting past what is read, or broken JSON, however its numbers look.
    const std::string deep = std::string(100'000, '[') + std::string(100'000, ']');
    for (const std::string& text :
         {std::string(R"({"at":1e400,"connected":true})"), std::string(R"({"at":1e400,"connected":true)"),
          R"({"at":1e400,"x":)" + deep + R"(,"connected":true})",
          R"({"connected":true,"x":)" + deep + R"(,"at":1e400})",
          std::string("\xEF\xBB\xBF\xEF\xBB\xBF{\"connected\":true}"),
          std::string(R"({"n":36893488147419103232,"connected":true})") + '\0',
          std::string(R"({"n":36893488147419103232,"connected":true)") + '\0' + "}"}) {
        EXPECT_EQ(parseStatus(text), Status{}) << text.substr(0, 60);
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
        // Fresh for 25 seconds, also when "at" lies ahead; a missing or non-numeric "at" is stale.
        {true, false, Json{{"at", kNow - 24'999.5}, {"connected", true}}, "Connected"},
        {true, false, Json{{"at", kNow + 60'000}, {"connected", true}}, "Connected"},
        {true, false, Json{{"at", "soon"}, {"connected", true}}, "Bridge not running"},
        {true, false, Json{{"at", true}, {"connected", true}}, "Bridge not running"},
        {true, false, Json{{"connected", true}}, "Bridge not running"},
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

}  // namespace
}  // namespace tavix
