#include <simdjson.h>

#include <memory>
#include <optional>

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

namespace od = simdjson::ondemand;

// Visits a value at `depth` (the top object's members are at 2) whole, numbers and strings included, so that a
// large text is held to JSON as strictly as the document reader holds a small one (the on-demand reader only looks
// at what it is asked for). No deeper than the parser can follow.
simdjson::error_code visit(od::value value, std::size_t depth) {
    od::json_type type;
    if (auto error = value.type().get(type)) return error;
    const bool container = type == od::json_type::object || type == od::json_type::array;
    if (container && depth + 1 >= kMaxStatusDepth) return simdjson::DEPTH_ERROR;
    switch (type) {
        case od::json_type::object: {
            od::object object;
            if (auto error = value.get_object().get(object)) return error;
            for (auto field : object) {
                std::string_view key;
                if (auto error = field.unescaped_key().get(key)) return error;
                od::value inner;
                if (auto error = field.value().get(inner)) return error;
                if (auto error = visit(inner, depth + 1)) return error;
            }
            return simdjson::SUCCESS;
        }
        case od::json_type::array: {
            od::array array;
            if (auto error = value.get_array().get(array)) return error;
            for (auto item : array) {
                od::value inner;
                if (auto error = item.get(inner)) return error;
                if (auto error = visit(inner, depth + 1)) return error;
            }
            return simdjson::SUCCESS;
        }
        case od::json_type::number:
            return value.get_double().error();
        case od::json_type::string:
            return value.get_string().error();
        case od::json_type::boolean:
            return value.get_bool().error();
        case od::json_type::null:
            return value.is_null().value_unsafe() ? simdjson::SUCCESS : simdjson::INCORRECT_TYPE;
    }
    return simdjson::INCORRECT_TYPE;
}

// One value of a large text as the small reader reads it: text, a Boolean or a number, else nothing; either way
// visited whole.
struct Scalar {
    std::optional<std::string> text;
    std::optional<bool> flag;
    std::optional<double> number;
};

simdjson::error_code scalarOf(od::value value, std::size_t depth, Scalar& scalar) {
    od::json_type type;
    if (auto error = value.type().get(type)) return error;
    if (type == od::json_type::string) {
        std::string_view text;
        if (auto error = value.get_string().get(text)) return error;
        scalar.text = std::string(text);
    } else if (type == od::json_type::boolean) {
        bool flag = false;
        if (auto error = value.get_bool().get(flag)) return error;
        scalar.flag = flag;
    } else if (type == od::json_type::number) {
        double number = 0;
        if (auto error = value.get_double().get(number)) return error;
        scalar.number = number;
    } else {
        return visit(value, depth);
    }
    return simdjson::SUCCESS;
}

simdjson::error_code readLargeDevices(od::value value, Status& status) {
    // A repeated key ends with its last value, whatever the earlier ones held.
    status.devices.clear();
    status.moreDevices = 0;
    od::json_type type;
    if (auto error = value.type().get(type)) return error;
    if (type != od::json_type::array) return visit(value, 2);
    od::array array;
    if (auto error = value.get_array().get(array)) return error;
    std::vector<Device> devices;
    std::size_t more = 0;
    bool valid = true;
    for (auto item : array) {
        od::value element;
        if (auto error = item.get(element)) return error;
        od::json_type elementType;
        if (auto error = element.type().get(elementType)) return error;
        // Only the devices kept are read; those counted past them, or past a non-object, are only checked.
        const bool kept = valid && elementType == od::json_type::object && devices.size() < kMaxPhoneRows;
        if (elementType != od::json_type::object) valid = false;
        if (!kept) {
            if (valid) ++more;
            if (auto error = visit(element, 3)) return error;
            continue;
        }
        Device& device = devices.emplace_back();
        od::object object;
        if (auto error = element.get_object().get(object)) return error;
        for (auto field : object) {
            std::string_view key;
            if (auto error = field.unescaped_key().get(key)) return error;
            od::value member;
            if (auto error = field.value().get(member)) return error;
            Scalar scalar;
            if (auto error = scalarOf(member, 4, scalar)) return error;
            if (key == "model") device.model = scalar.text.value_or("Android");
            if (key == "state") device.state = scalar.text.value_or("unknown");
            if (key == "screen") device.screen = scalar.text.value_or("connected");
        }
    }
    status.devices = valid ? std::move(devices) : std::vector<Device>{};
    status.moreDevices = valid ? more : 0;
    return simdjson::SUCCESS;
}

// The parser of large texts, kept while they keep coming: making its buffers anew (up to four bytes per byte of
// text) costs far more than the reading. A small text gives them back.
std::unique_ptr<od::parser>& largeParser() {
    thread_local std::unique_ptr<od::parser> parser;
    return parser;
}

// A large text, read with simdjson's on-demand parser, which builds no document. Nothing when the text is not a
// JSON object, or holds a number simdjson does not take.
std::optional<Status> readLarge(simdjson::padded_string_view padded, bool& numberError) {
    auto& parser = largeParser();
    if (!parser) parser = std::make_unique<od::parser>();
    od::document document;
    auto fail = [&](simdjson::error_code error) {
        numberError = error == simdjson::NUMBER_ERROR;
        return std::nullopt;
    };
    if (auto error = parser->iterate(padded).get(document)) return fail(error);
    od::object object;
    if (auto error = document.get_object().get(object)) return fail(error);
    Status status;
    for (auto field : object) {
        std::string_view key;
        if (auto error = field.unescaped_key().get(key)) return fail(error);
        od::value value;
        if (auto error = field.value().get(value)) return fail(error);
        if (key == "devices") {
            if (auto error = readLargeDevices(value, status)) return fail(error);
            continue;
        }
        Scalar scalar;
        if (auto error = scalarOf(value, 2, scalar)) return fail(error);
        if (key == "at") status.at = scalar.number.value_or(0);
        if (key == "busy") status.busy = scalar.text;
        if (key == "connected") status.connected = scalar.flag.value_or(false);
        if (key == "computer") status.computer = scalar.flag.value_or(false);
        if (key == "error") status.error = scalar.text;
    }
    // Nothing may follow the object.
    if (document.current_location().error() != simdjson::OUT_OF_BOUNDS) return fail(simdjson::TRAILING_CONTENT);
    return status;
}

}  // namespace

Status parseSmallStatus(std::string_view text) {
    // Parsed afresh at every refresh for the life of the process: simdjson keeps that a fraction of the cost of
    // reading the file. One parser per thread reuses its buffers.
    largeParser().reset();
    thread_local simdjson::dom::parser parser(kMaxDocumentBytes);
    simdjson::dom::object object;
    const auto error = parser.parse(text.data(), text.size()).get(object);
    if (error == simdjson::NUMBER_ERROR) return streamStatus(text);
    return error == simdjson::SUCCESS ? statusOf(object) : Status{};
}

}  // namespace tavix

namespace tavix {

Status parseLargeStatus(std::string_view text, std::size_t capacity) {
    // A NUL byte is never part of JSON text.
    if (text.find('\0') != std::string_view::npos) return {};
    std::optional<simdjson::padded_string> copy;
    if (capacity < text.size() + simdjson::SIMDJSON_PADDING) copy.emplace(text);
    bool numberError = false;
    auto status = copy ? readLarge(*copy, numberError)
                       : readLarge(simdjson::padded_string_view(text.data(), text.size(), capacity), numberError);
    if (status) return std::move(*status);
    return numberError ? streamStatus(text) : Status{};
}

}  // namespace tavix
