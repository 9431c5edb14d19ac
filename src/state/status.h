#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/files.h"

namespace tavix {

struct Device {
    std::string model = "Android";
    std::string state = "unknown";
    std::string screen = "connected";

    bool operator==(const Device&) const = default;
};

// What the bridge last published in "status.json". Each member holds its key's value when the key had the
// expected JSON type, and its default otherwise, so readers never meet a wrong type.
struct Status {
    double at = 0;                     // "at": milliseconds since 1970; 0 makes the status stale
    std::optional<std::string> busy;   // "busy": the task in progress, when text
    bool connected = false;            // "connected" is the Boolean true
    bool computer = false;             // "computer" is the Boolean true
    std::optional<std::string> error;  // "error": the last error, when text
    std::vector<Device> devices;       // "devices", when an array of objects: its first kMaxPhoneRows
    std::size_t moreDevices = 0;       // and how many it holds beyond those

    bool operator==(const Status&) const = default;
};

inline constexpr double kFreshMilliseconds = 25000;

// Phones shown one by one; the rest are counted in one line, so every command stays on screen and memory stays
// bounded whatever the bridge lists.
inline constexpr std::size_t kMaxPhoneRows = 20;

// The status in JSON text: the default status for invalid JSON or anything but an object.
Status parseStatus(std::string_view text);
// The status file: the default status when it is missing, unreadable or larger than 16 MiB.
Status readStatusFile(const char* path);
inline Status readStatusFile(const std::filesystem::path& path) {
    return readStatusFile(path.c_str());
}

// status.json as last read. The bridge often leaves the file as it was between two refreshes: the file is read and
// parsed again only when it is no longer the same file (device, inode, size, modification and change times).
class StatusFile {
  public:
    const Status& read(const char* path);

  private:
    std::optional<FileIdentity> identity_;  // of the file status_ was read from, once it has settled
    Status status_;
};

// Written less than 25 s before `nowMs` (a time in the future counts as fresh).
bool isFresh(const Status& status, double nowMs);
// Fresh and "busy" is a non-empty text.
bool isWorking(const Status& status, double nowMs);
// One line per phone, "model · state", joined by line feeds, then the count of the others; what the bridge wrote
// shown safely (see displayable()).
std::string phoneLines(const Status& status);
// "…and N more phones" ("phone" for one).
std::string morePhones(std::size_t count);

// The connection state, one for each text connectionLabel() gives, in the order its rules are tried.
enum class Connection { notPaired, pausing, paused, notRunning, task, connected, unreachable };
Connection connection(bool paired, bool paused, const Status& status, double nowMs);
std::string connectionLabel(Connection state);
std::string connectionLabel(bool paired, bool paused, const Status& status, double nowMs);

}  // namespace tavix
