#include "state/status.h"

#include <nlohmann/json.hpp>

#include "platform/system/files.h"
#include "platform/system/utf8.h"
#include "state/status_reader.h"

namespace tavix {
namespace {

// The reading from nlohmann/json's event stream: one pass, no document, memory for the values kept only. It takes
// integers beyond 64 bits (JSON sets no bound, and Node writes them up to 1e21 in full), which it keeps as doubles,
// and texts of any size.
class StatusEvents final : public nlohmann::json_sax<nlohmann::json> {
  public:
    Status status;
    // The text held one object at its top, not nested too deep to read.
    bool readObject() const { return rootIsObject_ && !tooDeep_; }

    bool null() override { return scalar(Kind::other); }
    bool boolean(bool value) override {
        flag_ = value;
        return scalar(Kind::boolean);
    }
    bool number_integer(number_integer_t value) override { return number(static_cast<double>(value)); }
    bool number_unsigned(number_unsigned_t value) override { return number(static_cast<double>(value)); }
    bool number_float(number_float_t value, const string_t&) override { return number(value); }
    bool string(string_t& value) override {
        text_ = &value;
        return scalar(Kind::text);
    }
    bool binary(binary_t&) override { return scalar(Kind::other); }
    bool key(string_t& name) override {
        if (depth_ == 1) topKey_ = name;
        if (depth_ == 3 && inDevices()) deviceKey_ = name;
        return true;
    }
    bool start_object(std::size_t) override { return open(true); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

  private:
    enum class Kind { boolean, number, text, container, other };

    bool inDevices() const { return topKey_ == "devices" && devicesAreArray_; }

    bool number(double value) {
        number_ = value;
        return scalar(Kind::number);
    }

    // A value at the depth that matters: a member of the top object, an element of "devices" or a member of one.
    bool scalar(Kind kind) {
        if (depth_ == 1) topValue(kind);
        if (depth_ == 2 && inDevices()) devicesValid_ = false;
        if (depth_ == 3 && inDevices()) deviceValue(kind);
        return true;
    }

    bool open(bool object) {
        if (depth_ == 0) {
            rootIsObject_ = object;
        } else if (depth_ == 1) {
            topValue(Kind::container);
            if (topKey_ == "devices" && !object) {
                devicesAreArray_ = true;
                devicesValid_ = true;
                devices_.clear();
                moreDevices_ = 0;
            }
        } else if (depth_ == 2 && inDevices()) {
            if (!object) {
                devicesValid_ = false;
            } else if (devices_.size() < kMaxPhoneRows) {
                devices_.emplace_back();
            } else {
                ++moreDevices_;
            }
        } else if (depth_ == 3 && inDevices()) {
            deviceValue(Kind::container);
        }
        ++depth_;
        tooDeep_ = tooDeep_ || depth_ > kMaxStatusDepth;
        return !tooDeep_;
    }

    bool close() {
        --depth_;
        if (depth_ == 1 && inDevices()) {
            devicesAreArray_ = false;
            if (devicesValid_) {
                status.devices = std::move(devices_);
                status.moreDevices = moreDevices_;
            }
            devices_.clear();
        }
        return true;
    }

    void topValue(Kind kind) {
        if (topKey_ == "at") status.at = kind == Kind::number ? number_ : 0;
        if (topKey_ == "busy") status.busy = textOr(kind, std::nullopt);
        if (topKey_ == "connected") status.connected = kind == Kind::boolean && flag_;
        if (topKey_ == "computer") status.computer = kind == Kind::boolean && flag_;
        if (topKey_ == "error") status.error = textOr(kind, std::nullopt);
        if (topKey_ == "devices") {
            status.devices.clear();
            status.moreDevices = 0;
        }
    }

    void deviceValue(Kind kind) {
        // Only the devices kept are read; those counted past them are only checked to be objects.
        if (!devicesValid_ || devices_.empty() || moreDevices_ > 0) return;
        Device& device = devices_.back();
        if (deviceKey_ == "model") device.model = textOr(kind, "Android").value();
        if (deviceKey_ == "state") device.state = textOr(kind, "unknown").value();
        if (deviceKey_ == "screen") device.screen = textOr(kind, "connected").value();
    }

    std::optional<std::string> textOr(Kind kind, std::optional<std::string> fallback) {
        if (kind == Kind::text) return std::move(*text_);
        return fallback;
    }

    std::size_t depth_ = 0;  // containers open
    bool rootIsObject_ = false;
    bool tooDeep_ = false;
    std::string topKey_;
    std::string deviceKey_;
    bool devicesAreArray_ = false;
    bool devicesValid_ = false;
    std::vector<Device> devices_;
    std::size_t moreDevices_ = 0;
    bool flag_ = false;
    double number_ = 0;
    string_t* text_ = nullptr;
};

}  // namespace

Status streamStatus(std::string_view text) {
    // A NUL byte is never part of JSON text, but nlohmann/json takes it for the end and would read what precedes.
    if (text.find('\0') != std::string_view::npos) return {};
    StatusEvents events;
    const bool complete = nlohmann::json::sax_parse(text, &events);
    return complete && events.readObject() ? std::move(events.status) : Status{};
}

namespace {

// `capacity`: how many bytes may be read from text.data() on, padding included.
Status parse(std::string_view text, std::size_t capacity) {
    // A byte-order mark may lead UTF-8 JSON text; simdjson does not take one.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
        capacity -= 3;
    }
    return text.size() > kMaxDocumentBytes ? parseLargeStatus(text, capacity) : parseSmallStatus(text);
}

}  // namespace

Status parseStatus(std::string_view text) {
    return parse(text, text.size());
}

Status readStatusFile(const char* path) {
    auto content = readFile(path);
    return content ? parse(*content, content->capacity()) : Status{};
}

const Status& StatusFile::read(const char* path) {
    // Taken before the reading: a file replaced meanwhile has another identity, and is read again next time.
    const std::optional<FileIdentity> identity = identityOf(path);
    if (identity && identity_ && *identity == *identity_) return status_;
    const std::optional<std::string> text = readFile(path);
    status_ = text ? parse(*text, text->capacity()) : Status{};
    identity_ = identity && settled(*identity) ? identity : std::nullopt;
    return status_;
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
        lines += displayable(device.model, true) + " · " + displayable(device.state, true);
    }
    if (status.moreDevices > 0) lines += '\n' + morePhones(status.moreDevices);
    return lines;
}

std::string morePhones(std::size_t count) {
    return "…and " + std::to_string(count) + (count == 1 ? " more phone" : " more phones");
}

Connection connection(bool paired, bool paused, const Status& status, double nowMs) {
    if (!paired) return Connection::notPaired;
    bool working = isWorking(status, nowMs);
    if (paused) return working ? Connection::pausing : Connection::paused;
    if (!isFresh(status, nowMs)) return Connection::notRunning;
    if (status.connected) return working ? Connection::task : Connection::connected;
    return Connection::unreachable;
}

std::string connectionLabel(Connection state) {
    switch (state) {
        case Connection::notPaired:
            return "Not paired";
        case Connection::pausing:
            return "Pausing · current task finishing";
        case Connection::paused:
            return "Paused";
        case Connection::notRunning:
            return "Bridge not running";
        case Connection::task:
            return "Task in progress";
        case Connection::connected:
            return "Connected";
        case Connection::unreachable:
            return "Server unreachable";
    }
    return {};
}

std::string connectionLabel(bool paired, bool paused, const Status& status, double nowMs) {
    return connectionLabel(connection(paired, paused, status, nowMs));
}

}  // namespace tavix
