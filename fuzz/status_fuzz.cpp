// The bridge's "status.json" and everything shown from it: the derived flags, the connection label, the phone
// lines, the settings window's live labels and the status menu.
#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_text.h"
#include "platform/system/url.h"
#include "platform/system/utf8.h"
#include "state/status.h"
#include "state/status_reader.h"
#include "ui/live_labels.h"
#include "ui/status_menu.h"

namespace tavix {
namespace {

using Json = nlohmann::json;
using fuzz::characters;

// The status as the format describes it, read with another JSON library than the one the application uses.
// Nothing when the text is nested near the depth where the two libraries draw their lines differently.
std::optional<Status> modelStatus(std::string_view text) {
    int depth = 0;
    auto deepest = [&](int at, Json::parse_event_t, Json&) {
        depth = std::max(depth, at);
        return true;
    };
    // A NUL byte is never JSON, though nlohmann/json stops reading at one.
    if (text.find('\0') != std::string_view::npos) return Status{};
    const Json parsed = Json::parse(text, deepest, /*allow_exceptions=*/false);
    if (depth > 1000) return std::nullopt;
    Status status;
    if (!parsed.is_object()) return status;
    auto text_of = [](const Json& value) -> std::optional<std::string> {
        if (value.is_string()) return value.get<std::string>();
        return std::nullopt;
    };
    for (const auto& [key, value] : parsed.items()) {
        if (key == "at") status.at = value.is_number() ? value.get<double>() : 0;
        if (key == "busy") status.busy = text_of(value);
        if (key == "connected") status.connected = value.is_boolean() && value.get<bool>();
        if (key == "computer") status.computer = value.is_boolean() && value.get<bool>();
        if (key == "error") status.error = text_of(value);
        if (key == "devices") {
            status.devices.clear();
            status.moreDevices = 0;
            if (!value.is_array()) continue;
            for (const auto& item : value) {
                if (!item.is_object()) {
                    status.devices.clear();
                    status.moreDevices = 0;
                    break;
                }
                if (status.devices.size() == kMaxPhoneRows) {
                    ++status.moreDevices;
                    continue;
                }
                Device device;
                if (auto it = item.find("model"); it != item.end() && it->is_string()) device.model = *it;
                if (auto it = item.find("state"); it != item.end() && it->is_string()) device.state = *it;
                if (auto it = item.find("screen"); it != item.end() && it->is_string()) device.screen = *it;
                status.devices.push_back(device);
            }
        }
    }
    return status;
}

bool allTextsValid(const Status& status) {
    bool ok = (!status.busy || isValidUtf8(*status.busy)) && (!status.error || isValidUtf8(*status.error));
    for (const auto& device : status.devices) {
        ok = ok && isValidUtf8(device.model) && isValidUtf8(device.state) && isValidUtf8(device.screen);
    }
    return ok;
}

constexpr std::array<std::string_view, 7> kLabels = {"Not paired",
                                                     "Pausing · current task finishing",
                                                     "Paused",
                                                     "Bridge not running",
                                                     "Task in progress",
                                                     "Connected",
                                                     "Server unreachable"};

struct Expected {
    std::string title;
    std::optional<Command> command;
    bool enabled = false;
    bool separator = false;
};

// The menu, row by row, from the table of rows.
std::vector<Expected> modelMenu(const MenuInputs& in, const Status& status) {
    std::vector<Expected> rows;
    auto info = [&](std::string title) { rows.push_back({std::move(title), std::nullopt, false, false}); };
    auto action = [&](std::string title, Command command, bool enabled) {
        rows.push_back({std::move(title), command, enabled, false});
    };
    auto line = [&] { rows.push_back({"", std::nullopt, false, true}); };
    info("Tavix Link · " + in.connectionLabel);
    const auto url = parseUrl(in.server);
    info(displayable(url && url->host ? *url->host : in.server, true));
    if (in.now.operation) info("Working…");
    if (in.fresh && status.error && !status.error->empty()) {
        info(displayable(displayPrefix(*status.error, kErrorRowCharacters), true));
    }
    line();
    if (!in.fresh) {
        info("Phone status unavailable");
    } else {
        if (status.devices.empty()) info("No Android phone connected");
        for (const auto& device : status.devices) {
            info("Phone: " + displayable(device.model, true) + " · " +
                 displayable(device.state == "device" ? device.screen : device.state, true));
        }
        if (status.moreDevices == 1) info("…and 1 more phone");
        if (status.moreDevices > 1) info("…and " + std::to_string(status.moreDevices) + " more phones");
        info(status.computer ? "Computer tasks available" : "Sign in to Claude or Codex CLI");
    }
    line();
    const bool idle = !in.now.operation;
    action("Connection & Settings…", Command::showSettings, true);
    action("Open Devices…", Command::openDevices, true);
    action("Pair / Change Account…", Command::pairAccount, idle && !in.now.working);
    action("Pair Android over Wi-Fi…", Command::pairPhone, idle);
    action("Connect Android over Wi-Fi…", Command::connectPhone, idle);
    action("USB Setup Help…", Command::usbHelp, true);
    line();
    action(in.paused ? "Resume New Tasks" : "Pause New Tasks", Command::togglePause, in.now.paired);
    action("Restart Local Bridge", Command::restart, idle && !in.now.working && in.now.paired);
    action("Start at Login", Command::toggleLogin, true);
    line();
    action("macOS Permissions…", Command::permissions, true);
    action("View Logs…", Command::logs, true);
    action("Update Instructions…", Command::updateHelp, true);
    action("Disconnect This Mac…", Command::disconnect, in.now.paired && !in.now.working && idle);
    line();
    action("Quit Menu Bar App", Command::quit, true);
    return rows;
}

// The rows that may be greyed out although they carry a command.
bool mayBeDisabled(Command command) {
    switch (command) {
        case Command::pairAccount:
        case Command::pairPhone:
        case Command::connectPhone:
        case Command::togglePause:
        case Command::restart:
        case Command::disconnect:
            return true;
        default:
            return false;
    }
}

void checkMenu(const MenuInputs& in, const Status& status) {
    const auto menu = statusMenu(in);
    const auto expected = modelMenu(in, status);
    FUZZ_CHECK(menu.size() == expected.size());
    for (std::size_t i = 0; i < menu.size(); ++i) {
        const MenuRow& row = menu[i];
        FUZZ_CHECK(row.separator == expected[i].separator);
        if (row.separator) continue;
        FUZZ_CHECK(row.title == expected[i].title);
        FUZZ_CHECK(row.command == expected[i].command);
        FUZZ_CHECK(row.enabled == expected[i].enabled);
        FUZZ_CHECK(row.logo == (i == 0));
        FUZZ_CHECK(row.checked.has_value() == (row.command == Command::toggleLogin));
        if (row.checked) FUZZ_CHECK(*row.checked == !in.loginDisabled);
        // Enabled exactly when it has a command, apart from the rows that the busy and pairing state grey out.
        if (!row.command) FUZZ_CHECK(!row.enabled);
        if (row.command && !mayBeDisabled(*row.command)) FUZZ_CHECK(row.enabled);
    }

    // The fixed frame, whatever the status says.
    FUZZ_CHECK(menu.front().title.rfind("Tavix Link · ", 0) == 0);
    FUZZ_CHECK(std::count_if(menu.begin(), menu.end(), [](const MenuRow& r) { return r.separator; }) == 5);
    static const std::vector<std::string_view> kCommandRows = {"Connection & Settings…",
                                                               "Open Devices…",
                                                               "Pair / Change Account…",
                                                               "Pair Android over Wi-Fi…",
                                                               "Connect Android over Wi-Fi…",
                                                               "USB Setup Help…",
                                                               "",
                                                               "",
                                                               "Start at Login",
                                                               "macOS Permissions…",
                                                               "View Logs…",
                                                               "Update Instructions…",
                                                               "Disconnect This Mac…",
                                                               "Quit Menu Bar App"};
    std::vector<const MenuRow*> commandRows;
    for (const auto& row : menu) {
        if (row.command) commandRows.push_back(&row);
    }
    FUZZ_CHECK(commandRows.size() == kCommandRows.size());
    for (std::size_t i = 0; i < kCommandRows.size(); ++i) {
        if (!kCommandRows[i].empty()) FUZZ_CHECK(commandRows[i]->title == kCommandRows[i]);
    }
    FUZZ_CHECK(menu.back().title == "Quit Menu Bar App");

    // The error row: a prefix of the error, at most 90 characters, the whole error when it is that short.
    if (in.fresh && status.error && !status.error->empty()) {
        const std::size_t at = in.now.operation ? 3 : 2;
        const std::string& title = menu[at].title;
        FUZZ_CHECK(!title.empty());
        // An error with nothing to show otherwise is cut and no more.
        if (displayable(*status.error, true) == *status.error) {
            FUZZ_CHECK(status.error->rfind(title, 0) == 0);
            FUZZ_CHECK(characters(title) <= kErrorRowCharacters);
            FUZZ_CHECK(title.size() <= kErrorRowCharacters * kMaxCharacterCodePoints * 4);
            if (characters(*status.error) <= kErrorRowCharacters && status.error->size() <= 31) {
                FUZZ_CHECK(title == *status.error);
            }
        }
    }
    // Whatever the bridge and the config say, no row holds what would reorder or break it.
    for (const auto& row : menu) FUZZ_CHECK(fuzz::inert(row.title, true));
}

void checkLabels(bool paired, bool paused, const Status& status, double now) {
    const bool fresh = now - status.at < kFreshMilliseconds;
    const bool working = fresh && status.busy && !status.busy->empty();
    FUZZ_CHECK(isFresh(status, now) == fresh);
    FUZZ_CHECK(isWorking(status, now) == working);

    const std::string label = connectionLabel(paired, paused, status, now);
    FUZZ_CHECK(std::find(kLabels.begin(), kLabels.end(), label) != kLabels.end());
    std::string_view expected;
    if (!paired) {
        expected = kLabels[0];
    } else if (paused) {
        expected = working ? kLabels[1] : kLabels[2];
    } else if (!fresh) {
        expected = kLabels[3];
    } else if (status.connected) {
        expected = working ? kLabels[4] : kLabels[5];
    } else {
        expected = kLabels[6];
    }
    FUZZ_CHECK(label == expected);

    std::string lines;
    for (const auto& device : status.devices) {
        if (!lines.empty()) lines += "\n";
        lines += displayable(device.model, true) + " · " + displayable(device.state, true);
    }
    FUZZ_CHECK(status.devices.size() <= kMaxPhoneRows && (status.moreDevices == 0 || status.devices.size() == 20));
    if (status.moreDevices > 0) lines += "\n…and " + std::to_string(status.moreDevices) + " more phone";
    if (status.moreDevices > 1) lines += "s";
    FUZZ_CHECK(phoneLines(status) == lines);

    const SettingsLabels live = liveLabels(paired, paused, status, now);
    FUZZ_CHECK(live.status == label);
    FUZZ_CHECK(live.connected == (fresh && !paused && status.connected));
    FUZZ_CHECK(live.phone == (fresh && !lines.empty() ? lines : "No Android phone detected"));
    FUZZ_CHECK(live.computer ==
               (fresh && status.computer ? "Computer tasks available" : "Sign in to Claude or Codex CLI"));
    FUZZ_CHECK(live.activity == (working  ? "A task is running on this Mac"
                                 : paused ? "New tasks are paused"
                                          : "Ready when you are"));
}

}  // namespace
}  // namespace tavix

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavix;
    FuzzedDataProvider provider(data, size);
    const auto flags = provider.ConsumeIntegral<std::uint8_t>();
    const bool paired = (flags & 1) != 0, paused = (flags & 2) != 0, operation = (flags & 4) != 0;
    const bool loginDisabled = (flags & 8) != 0;
    // Mostly a clock near the status's own time, so that both sides of the 25-second line are reached.
    const auto offset = provider.ConsumeIntegralInRange<std::int32_t>(-40'000, 40'000);
    const std::string server = provider.ConsumeRandomLengthString(128);
    const std::string json = provider.ConsumeRemainingBytesAsString();

    const Status status = parseStatus(json);
    FUZZ_CHECK(allTextsValid(status));
    const auto model = modelStatus(json);
    if (model) FUZZ_CHECK(status == *model);
    // The command line's reader, the streaming one whatever the size, reads the same.
    const std::string_view bomless = std::string_view(json).substr(json.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
    if (model) FUZZ_CHECK(streamStatus(bomless) == status);
    FUZZ_CHECK(status.at == status.at);  // never NaN

    for (double now : {status.at + offset, 1.75e12}) {
        checkLabels(paired, paused, status, now);
        MenuInputs in = menuInputs(status, now, paired, paused);
        in.loginDisabled = loginDisabled;
        in.now.operation = operation;
        in.server = server;
        checkMenu(in, status);
    }
    return 0;
}
