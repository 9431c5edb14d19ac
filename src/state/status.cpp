#include "state/status.h"

#include "platform/files.h"

namespace tavix {
namespace {

const nlohmann::json* member(const nlohmann::json& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::string textOr(const nlohmann::json& object, std::string_view key, std::string_view fallback) {
    const auto* value = member(object, key);
    return value != nullptr && value->is_string() ? value->get<std::string>() : std::string(fallback);
}

}  // namespace

Status parseStatus(std::string_view text) {
    auto parsed = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object()) return nlohmann::json::object();
    return parsed;
}

Status readStatusFile(const std::filesystem::path& path) {
    auto content = readFile(path);
    return content ? parseStatus(*content) : nlohmann::json::object();
}

bool isFresh(const Status& status, double nowMs) {
    const auto* at = member(status, "at");
    double written = at != nullptr && at->is_number() ? at->get<double>() : 0.0;
    return nowMs - written < kFreshMilliseconds;
}

bool isWorking(const Status& status, double nowMs) {
    return isFresh(status, nowMs) && !text(status, "busy").empty();
}

bool flag(const Status& status, std::string_view key) {
    const auto* value = member(status, key);
    return value != nullptr && value->is_boolean() && value->get<bool>();
}

std::string text(const Status& status, std::string_view key) { return textOr(status, key, ""); }

std::vector<Device> devicesOf(const Status& status) {
    std::vector<Device> devices;
    const auto* list = member(status, "devices");
    if (list == nullptr || !list->is_array()) return devices;
    for (const auto& device : *list) {
        if (!device.is_object()) return {};
        devices.push_back(Device{textOr(device, "model", "Android"), textOr(device, "state", "unknown"),
                                 textOr(device, "screen", "connected")});
    }
    return devices;
}

std::string phoneLines(const Status& status) {
    std::string lines;
    for (const auto& device : devicesOf(status)) {
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
    if (flag(status, "connected")) return working ? "Task in progress" : "Connected";
    return "Server unreachable";
}

}  // namespace tavix
