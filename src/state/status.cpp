#include "state/status.h"

#include <simdjson.h>
#include <nlohmann/json.hpp>

#include "platform/files.h"

namespace tavix {
namespace {

using simdjson::dom::element;

std::optional<std::string> textOf(element value) {
    std::string_view text;
    if (value.get(text) != simdjson::SUCCESS) return std::nullopt;
    return std::string(text);
}

bool isTrue(element value) {
    bool flag = false;
    return value.get(flag) == simdjson::SUCCESS && flag;
}

// Devices count only as an array whose every element is an object.
std::vector<Device> devicesOf(element value) {
    simdjson::dom::array list;
    if (value.get(list) != simdjson::SUCCESS) return {};
    std::vector<Device> devices;
    for (element item : list) {
        simdjson::dom::object object;
        if (item.get(object) != simdjson::SUCCESS) return {};
        Device device;
        for (auto [key, field] : object) {
            if (key == "model") device.model = textOf(field).value_or("Android");
            if (key == "state") device.state = textOf(field).value_or("unknown");
            if (key == "screen") device.screen = textOf(field).value_or("connected");
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

Status statusOf(simdjson::dom::object object) {
    Status status;
    // Every occurrence is applied in order, so a repeated key ends with its last value.
    for (auto [key, value] : object) {
        if (key == "at") {
            double at = 0;
            status.at = value.is_number() && value.get(at) == simdjson::SUCCESS ? at : 0;
        } else if (key == "busy") {
            status.busy = textOf(value);
        } else if (key == "connected") {
            status.connected = isTrue(value);
        } else if (key == "computer") {
            status.computer = isTrue(value);
        } else if (key == "error") {
            status.error = textOf(value);
        } else if (key == "devices") {
            status.devices = devicesOf(value);
        }
    }
    return status;
}

// simdjson stops at the nesting depth it was built for; a text that deep is not read either way.
constexpr std::size_t kMaxDepth = simdjson::DEFAULT_MAX_DEPTH;

// JSON puts no bound on integers, but simdjson refuses those beyond 64 bits. Such a text is read by nlohmann/json,
// which keeps them as doubles, and its plain rewriting is read as usual. A number beyond a double stays an error.
std::optional<std::string> withPlainNumbers(std::string_view text) {
    // nlohmann/json takes a NUL byte for the end of the text, and would read what precedes it.
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    bool tooDeep = false;
    auto depthCheck = [&](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
        tooDeep = tooDeep || static_cast<std::size_t>(depth) > kMaxDepth;
        return true;
    };
    const auto json = nlohmann::json::parse(text, depthCheck, /*allow_exceptions=*/false);
    if (tooDeep || !json.is_object()) return std::nullopt;
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

Status parseStatus(std::string_view text) {
    // A byte-order mark may lead UTF-8 JSON text; simdjson does not take one.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    // Parsed afresh at every refresh for the life of the process: simdjson keeps that a fraction of the cost of
    // reading the file. One parser per thread reuses its buffers.
    thread_local simdjson::dom::parser parser;
    simdjson::dom::object object;
    const auto error = parser.parse(text.data(), text.size()).get(object);
    if (error == simdjson::NUMBER_ERROR) {
        const auto plain = withPlainNumbers(text);
        if (!plain || parser.parse(plain->data(), plain->size()).get(object) != simdjson::SUCCESS) return {};
        return statusOf(object);
    }
    return error == simdjson::SUCCESS ? statusOf(object) : Status{};
}

Status readStatusFile(const char* path) {
    auto content = readFile(path);
    return content ? parseStatus(*content) : Status{};
}

bool isFresh(const Status& status, double nowMs) {
    return nowMs - status.at < kFreshMilliseconds;
}

bool isWorking(const Status& status, double nowMs) {
    return isFresh(status, nowMs) && status.busy && !status.busy->empty();
}

std::string phoneLines(const Status& status) {
    std::string lines;
    for (const auto& device : status.devices) {
        if (!lines.empty()) lines += '\n';
        lines += device.model + " · " + device.state;
    }
    return lines;
}

std::string connectionLabel(bool paired, bool paused, const Status& status, double nowMs) {
    if (!paired) return "Not paired";
    bool working = isWorking(status, nowMs);
    if (paused) return working ? "Pausing · current task finishing" : "Paused";
    if (!isFresh(status, nowMs)) return "Bridge not running";
    if (status.connected) return working ? "Task in progress" : "Connected";
    return "Server unreachable";
}

}  // namespace tavix
