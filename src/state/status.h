#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace tavix {

// The bridge's last published status: always a JSON object (empty when nothing could be read).
using Status = nlohmann::json;

inline constexpr double kFreshMilliseconds = 25000;

// The parsed "status.json": its object, or an empty object for anything unreadable, invalid or not an object.
Status parseStatus(std::string_view text);
Status readStatusFile(const std::filesystem::path& path);

// Written less than 25 s before `nowMs` (a time in the future counts as fresh).
bool isFresh(const Status& status, double nowMs);
// Fresh and "busy" is a non-empty text.
bool isWorking(const Status& status, double nowMs);
// "connected" (or "computer") is the Boolean true; any other type counts as false.
bool flag(const Status& status, std::string_view key);
// The text value of `key`, or the empty text when it is missing or not text.
std::string text(const Status& status, std::string_view key);

struct Device {
    std::string model;   // "Android" when missing
    std::string state;   // "unknown" when missing
    std::string screen;  // "connected" when missing
};
// The phones of "devices"; none unless it is an array of objects only.
std::vector<Device> devicesOf(const Status& status);
// One line per phone, "model · state", joined by line feeds.
std::string phoneLines(const Status& status);

std::string connectionLabel(bool paired, bool paused, const Status& status, double nowMs);

}  // namespace tavix
