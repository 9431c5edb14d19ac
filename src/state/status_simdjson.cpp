#include <simdjson.h>

#include "state/status_reader.h"

namespace tavix {
namespace {

using simdjson::dom::element;

static_assert(kMaxStatusDepth == simdjson::DEFAULT_MAX_DEPTH, "both readers stop at the same depth");

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
void readDevices(element value, Status& status) {
    status.devices.clear();
    status.moreDevices = 0;
    simdjson::dom::array list;
    if (value.get(list) != simdjson::SUCCESS) return;
    for (element item : list) {
        simdjson::dom::object object;
        if (item.get(object) != simdjson::SUCCESS) {
            status.devices.clear();
            status.moreDevices = 0;
            return;
        }
        if (status.devices.size() == kMaxPhoneRows) {
            ++status.moreDevices;
            continue;
        }
        Device& device = status.devices.emplace_back();
        for (auto [key, field] : object) {
            if (key == "model") device.model = textOf(field).value_or("Android");
            if (key == "state") device.state = textOf(field).value_or("unknown");
            if (key == "screen") device.screen = textOf(field).value_or("connected");
        }
    }
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
            readDevices(value, status);
        }
    }
    return status;
}

}  // namespace

Status parseSmallStatus(std::string_view text) {
    // Parsed afresh at every refresh for the life of the process: simdjson keeps that a fraction of the cost of
    // reading the file. One parser per thread reuses its buffers.
    thread_local simdjson::dom::parser parser(kMaxDocumentBytes);
    simdjson::dom::object object;
    const auto error = parser.parse(text.data(), text.size()).get(object);
    if (error == simdjson::NUMBER_ERROR) return streamStatus(text);
    return error == simdjson::SUCCESS ? statusOf(object) : Status{};
}

}  // namespace tavix
