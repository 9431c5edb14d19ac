#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>
#include "platform/system/utf8.h"

#include "ui/live_labels.h"
#include "ui/status_menu.h"

namespace tavix {
namespace {

constexpr double kNow = 1'750'000'000'000.0;

// The rows in one text: "---" for a separator, "[x]" or "[ ]" after a row with a checkmark.
std::string shown(const std::vector<MenuRow>& rows) {
    std::string text;
    for (const auto& r : rows)
        text += (r.separator ? "---" : r.title) + (r.checked ? (*r.checked ? "[x]" : "[ ]") : "") + "|";
    return text;
}

std::vector<MenuRow> build(const Status& status, bool paired = true, bool paused = false, bool operation = false,
                           bool loginDisabled = false, const std::string& server = "https://tavix.app") {
    MenuInputs in = menuInputs(status, kNow, paired, paused);
    in.loginDisabled = loginDisabled;
    in.now.operation = operation;
    in.server = server;
    return statusMenu(in);
}

using Json = nlohmann::json;

Status fresh(Json extra = Json::object()) {
    extra["at"] = kNow;
    return parseStatus(extra.dump());
}

TEST(StatusMenu, FullLayoutTheTitleThatFollowsThePauseAndTheLoginCheckmark) {
    auto menu = build(fresh({{"connected", true},
                             {"computer", true},
                             {"error", "Last sync failed"},
                             {"devices",
                              {{{"model", "Pixel 8"}, {"state", "device"}, {"screen", "awake"}},
                               {{"model", "Galaxy"}, {"state", "unauthorized"}}}}}));
    EXPECT_EQ(shown(menu),
              "Tavix Link · Connected|tavix.app|Last sync failed|---|Phone: Pixel 8 · awake|"
              "Phone: Galaxy · unauthorized|Computer tasks available|---|Connection & Settings…|Open Devices…|"
              "Pair / Change Account…|Pair Android over Wi-Fi…|Connect Android over Wi-Fi…|USB Setup Help…|---|"
              "Pause New Tasks|Restart Local Bridge|Start at Login[x]|---|macOS Permissions…|View Logs…|"
              "Update Instructions…|Disconnect This Mac…|---|Quit Menu Bar App|");
    EXPECT_TRUE(menu[0].logo);
    EXPECT_EQ(std::count_if(menu.begin(), menu.end(), [](const MenuRow& r) { return r.logo; }), 1);
    EXPECT_EQ(menu[20].command, Command::logs);
    EXPECT_EQ(menu.back().command, Command::quit);
    EXPECT_NE(shown(build(fresh(), true, /*paused=*/true, false, /*loginDisabled=*/true))
                  .find("|Resume New Tasks|Restart Local Bridge|Start at Login[ ]|"),
              std::string::npos);
}

TEST(StatusMenu, ManyPhonesShowTwentyRowsAndACountInTheMenuAndTheSettingsWindow) {
    struct Case {
        std::size_t phones;
        const char* more;  // the last phone row, or nothing
    } cases[] = {{0, nullptr},
                 {20, nullptr},
                 {21, "…and 1 more phone"},
                 {22, "…and 2 more phones"},
                 // Past 64 KB: read by the other means for its size.
                 {10'000, "…and 9980 more phones"}};
    for (const auto& c : cases) {
        std::string devices;
        for (std::size_t i = 0; i < c.phones; ++i)
            devices += (i ? ",{\"model\":\"P" : "{\"model\":\"P") + std::to_string(i) + "\"}";
        const Status status = parseStatus(R"({"at":1750000000000,"devices":[)" + devices + "]}");
        EXPECT_EQ(status.devices.size(), std::min<std::size_t>(c.phones, 20)) << c.phones;
        const std::string menu = shown(build(status)), start = "---|";
        const auto first = menu.find(start) + start.size();
        const std::string rows = menu.substr(first, menu.find("Sign in to Claude") - first);
        if (c.phones == 0) {
            EXPECT_EQ(rows, "No Android phone connected|");
            continue;
        }
        const long count = std::count(rows.begin(), rows.end(), '|');
        EXPECT_EQ(count, static_cast<long>(std::min<std::size_t>(c.phones, 20) + (c.more ? 1 : 0))) << c.phones;
        EXPECT_TRUE(rows.starts_with("Phone: P0 · unknown|"));
        EXPECT_TRUE(rows.ends_with((c.more ? c.more : "Phone: P" + std::to_string(c.phones - 1) + " · unknown") + "|"));
        const std::string phoneLine = liveLabels(true, false, status, kNow).phone;
        EXPECT_EQ(std::count(phoneLine.begin(), phoneLine.end(), '\n'), count - 1);
        EXPECT_TRUE(phoneLine.ends_with(c.more ? c.more : "P" + std::to_string(c.phones - 1) + " · unknown"));
    }
}

TEST(StatusMenu, ErrorRowShowsNinetyUserPerceivedCharacters) {
    // Each of these is one character to a reader: a flag (two code points) and e + combining accent.
    std::string longError;
    for (int i = 0; i < 100; ++i) longError += i % 2 == 0 ? "\U0001F1EB\U0001F1F7" : "e\u0301";
    auto menu = build(fresh({{"error", longError}}));
    const std::string& row = menu[2].title;
    EXPECT_EQ(graphemeCount(row), 90u);
    EXPECT_EQ(longError.rfind(row, 0), 0u);

    // One character under half a million combining marks: the row looks at a few of them and stays short.
    std::string marks = "x";
    for (int i = 0; i < 500'000; ++i) marks += "\u0301";
    const std::string stacked = build(fresh({{"error", marks}}))[2].title;
    EXPECT_EQ(stacked.size(), 1u + 30 * 2);
    EXPECT_EQ(marks.rfind(stacked, 0), 0u);
    EXPECT_EQ(build(fresh({{"error", ""}}))[2].separator, true);

    // What the bridge wrote never reorders or breaks a row: its controls are shown, not obeyed.
    const auto hostile = build(fresh({{"error", "a\u202eb\x1b[2Jc\n"}, {"devices", {{{"model", "\u2067M\tx"}}}}}));
    EXPECT_EQ(hostile[2].title, "a\\u202eb\\x1b[2Jc\\n");
    EXPECT_NE(shown(hostile).find("|Phone: \\u2067M\\tx · unknown|"), std::string::npos);
}

// The rows' enabled flags are the commands' availability; "Working…" shows while an operation runs.
TEST(StatusMenu, RowsAreEnabledWhenTheirCommandIsAvailable) {
    for (const bool paired : {true, false}) {
        for (const bool operation : {true, false}) {
            for (const bool busy : {true, false}) {
                auto menu = build(fresh({{"connected", true}, {"busy", busy ? "job" : ""}}), paired, false, operation);
                const Snapshot now{.paired = paired, .working = busy, .operation = operation};
                for (const auto& row : menu) {
                    EXPECT_EQ(row.enabled, row.command && availability(*row.command, now).available()) << row.title;
                }
                EXPECT_EQ(menu[2].title == "Working…", operation);
            }
        }
    }
}

TEST(StatusMenu, ServerRowShowsTheHostOrTheWholeText) {
    struct Case {
        const char* server;
        const char* row;
    } cases[] = {
        {"https://tavix.example:8443/path?q", "tavix.example"},
        {"https://tavix.example/", "tavix.example"},
        {"not a url", "not a url"},
        {"not\u2028a\u200furl", "not\\u2028a\\u200furl"},
        {"tavix.example", "tavix.example"},
        {"mailto:someone", "mailto:someone"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(build(fresh(), true, false, false, false, c.server)[1].title, c.row);
}

}  // namespace
}  // namespace tavix
