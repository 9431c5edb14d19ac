#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>
#include "platform/system/utf8.h"

#include "ui/live_labels.h"
#include "ui/status_menu.h"

namespace tavix {
namespace {

constexpr double kNow = 1'750'000'000'000.0;

struct Menu {
    std::vector<MenuRow> rows;

    const MenuRow* find(const std::string& title) const {
        auto it = std::find_if(rows.begin(), rows.end(), [&](const MenuRow& r) { return r.title == title; });
        return it == rows.end() ? nullptr : &*it;
    }
    const MenuRow& at(const std::string& title) const {
        const MenuRow* found = find(title);
        if (found == nullptr) throw std::runtime_error("no row " + title);
        return *found;
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> all;
        for (const auto& r : rows) all.push_back(r.separator ? "---" : r.title);
        return all;
    }
};

Menu build(const Status& status, bool paired = true, bool paused = false, bool operation = false,
           bool loginDisabled = false, const std::string& server = "https://tavix.app") {
    MenuInputs in = menuInputs(status, kNow, paired, paused);
    in.loginDisabled = loginDisabled;
    in.now.operation = operation;
    in.server = server;
    return Menu{statusMenu(in)};
}

using Json = nlohmann::json;

Status fresh(Json extra = Json::object()) {
    extra["at"] = kNow;
    return parseStatus(extra.dump());
}

TEST(StatusMenu, FullLayoutOfAFreshConnectedStatus) {
    auto menu = build(fresh({{"connected", true},
                             {"computer", true},
                             {"error", "Last sync failed"},
                             {"devices",
                              {{{"model", "Pixel 8"}, {"state", "device"}, {"screen", "awake"}},
                               {{"model", "Galaxy"}, {"state", "unauthorized"}}}}}));
    std::string titles;
    for (const auto& title : menu.titles()) titles += title + "|";
    EXPECT_EQ(titles,
              "Tavix Link · Connected|tavix.app|Last sync failed|---|Phone: Pixel 8 · awake|"
              "Phone: Galaxy · unauthorized|Computer tasks available|---|Connection & Settings…|Open Devices…|"
              "Pair / Change Account…|Pair Android over Wi-Fi…|Connect Android over Wi-Fi…|USB Setup Help…|---|"
              "Pause New Tasks|Restart Local Bridge|Start at Login|---|macOS Permissions…|View Logs…|"
              "Update Instructions…|Disconnect This Mac…|---|Quit Menu Bar App|");
    EXPECT_TRUE(menu.rows[0].logo);
    EXPECT_EQ(std::count_if(menu.rows.begin(), menu.rows.end(), [](const MenuRow& r) { return r.logo; }), 1);
    for (const auto& r : menu.rows) {
        if (!r.separator) {
            EXPECT_EQ(r.enabled, r.command.has_value()) << r.title;
        }
    }
    EXPECT_EQ(menu.at("View Logs…").command, Command::logs);
    EXPECT_EQ(menu.at("Quit Menu Bar App").command, Command::quit);
}

TEST(StatusMenu, ManyPhonesShowTwentyRowsAndACountInTheMenuAndTheSettingsWindow) {
    struct Case {
        std::size_t phones;
        const char* more;  // the last phone row, or nothing
    } cases[] = {{0, nullptr},
                 {20, nullptr},
                 {21, "…and 1 more phone"},
                 {22, "…and 2 more phones"},
                 // Read by the other means for its size, in bounded memory.
                 {340'000, "…and 339980 more phones"}};
    for (const auto& c : cases) {
        std::string devices;
        for (std::size_t i = 0; i < c.phones; ++i)
            devices += (i ? ",{\"model\":\"P" : "{\"model\":\"P") + std::to_string(i) + "\"}";
        const Status status = parseStatus(R"({"at":1750000000000,"devices":[)" + devices + "]}");
        EXPECT_EQ(status.devices.size(), std::min<std::size_t>(c.phones, 20)) << c.phones;
        const auto titles = build(status).titles();
        const auto first = std::find(titles.begin(), titles.end(), "---") + 1;
        const auto last = std::find(first, titles.end(), "Sign in to Claude or Codex CLI");
        std::vector<std::string> rows(first, last);
        if (c.phones == 0) {
            EXPECT_EQ(rows, std::vector<std::string>{"No Android phone connected"});
            continue;
        }
        EXPECT_EQ(rows.size(), std::min<std::size_t>(c.phones, 20) + (c.more ? 1 : 0)) << c.phones;
        EXPECT_EQ(rows.front(), "Phone: P0 · unknown");
        EXPECT_EQ(rows.back(), c.more ? c.more : "Phone: P" + std::to_string(c.phones - 1) + " · unknown");
        const std::string phoneLine = liveLabels(true, false, status, kNow).phone;
        EXPECT_EQ(std::count(phoneLine.begin(), phoneLine.end(), '\n'), static_cast<long>(rows.size()) - 1);
        EXPECT_TRUE(phoneLine.ends_with(c.more ? c.more : "P" + std::to_string(c.phones - 1) + " · unknown"));
    }
}

TEST(StatusMenu, ErrorRowShowsNinetyUserPerceivedCharacters) {
    // Each of these is one character to a reader: a flag (two code points) and e + combining accent.
    std::string longError;
    for (int i = 0; i < 100; ++i) longError += i % 2 == 0 ? "\U0001F1EB\U0001F1F7" : "e\u0301";
    auto menu = build(fresh({{"error", longError}}));
    const std::string& row = menu.rows[2].title;
    EXPECT_EQ(graphemeCount(row), 90u);
    EXPECT_EQ(longError.rfind(row, 0), 0u);

    // One character under half a million combining marks: the row looks at a few of them and stays short.
    std::string marks = "x";
    for (int i = 0; i < 500'000; ++i) marks += "\u0301";
    const std::string stacked = build(fresh({{"error", marks}})).rows[2].title;
    EXPECT_EQ(stacked.size(), 1u + 30 * 2);
    EXPECT_EQ(marks.rfind(stacked, 0), 0u);
    EXPECT_EQ(build(fresh({{"error", ""}})).rows[2].separator, true);

    // What the bridge wrote never reorders or breaks a row: its controls are shown, not obeyed.
    const auto hostile = build(fresh({{"error", "a\u202eb\x1b[2Jc\n"}, {"devices", {{{"model", "\u2067M\tx"}}}}}));
    EXPECT_EQ(hostile.rows[2].title, "a\\u202eb\\x1b[2Jc\\n");
    EXPECT_NE(hostile.find("Phone: \\u2067M\\tx · unknown"), nullptr);
}

// The rows' enabled flags are the commands' availability; "Working…" shows while an operation runs.
TEST(StatusMenu, RowsAreEnabledWhenTheirCommandIsAvailable) {
    for (const bool paired : {true, false}) {
        for (const bool operation : {true, false}) {
            for (const bool busy : {true, false}) {
                auto menu = build(fresh({{"connected", true}, {"busy", busy ? "job" : ""}}), paired, false, operation);
                const Snapshot now{.paired = paired, .working = busy, .operation = operation};
                for (const auto& row : menu.rows) {
                    EXPECT_EQ(row.enabled, row.command && availability(*row.command, now).available()) << row.title;
                }
                EXPECT_EQ(menu.rows[2].title == "Working…", operation);
            }
        }
    }
}

TEST(StatusMenu, PauseTitleAndLoginCheckmark) {
    auto paused = build(fresh(), true, /*paused=*/true, false, /*loginDisabled=*/true);
    EXPECT_NE(paused.find("Resume New Tasks"), nullptr);
    EXPECT_EQ(paused.find("Pause New Tasks"), nullptr);
    EXPECT_EQ(paused.at("Start at Login").checked, false);
    EXPECT_EQ(build(fresh()).at("Start at Login").checked, true);
    EXPECT_FALSE(build(fresh()).at("Quit Menu Bar App").checked.has_value());
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
    for (const auto& c : cases) EXPECT_EQ(build(fresh(), true, false, false, false, c.server).rows[1].title, c.row);
}

}  // namespace
}  // namespace tavix
