#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tavix::test {

// Property lists for tests, built with libplist itself.

// `node` written out as an XML or binary list; takes the node.
inline std::string listBytes(plist_t node, bool binary = false) {
    char* data = nullptr;
    std::uint32_t length = 0;
    binary ? plist_to_bin(node, &data, &length) : plist_to_xml(node, &data, &length);
    std::string bytes(data, length);
    binary ? plist_to_bin_free(data) : plist_to_xml_free(data);
    plist_free(node);
    return bytes;
}

inline plist_t dictionary(std::initializer_list<std::pair<const char*, plist_t>> entries) {
    plist_t dict = plist_new_dict();
    for (auto [key, value] : entries) plist_dict_set_item(dict, key, value);
    return dict;
}

// A LaunchAgent list as the bridge's installer writes one, with keys that start at login must leave alone: as
// installed (RunAtLoad true, the bridge's KeepAlive a dictionary), or with start at login switched to `on`.
inline std::string agentList(std::string_view label, std::optional<bool> on = std::nullopt, bool binary = false) {
    plist_t program = plist_new_array();
    plist_array_append_item(program, plist_new_string("/opt/tavix/node"));
    plist_array_append_item(program, plist_new_string("/opt/tavix/bridge.js"));
    plist_t dict = dictionary({{"Label", plist_new_string(std::string(label).c_str())},
                               {"ProgramArguments", program},
                               {"EnvironmentVariables", dictionary({{"TAVIX_HOME", plist_new_string("/u/.tavix")}})},
                               {"ThrottleInterval", plist_new_uint(10)},
                               {"Blob", plist_new_data("\x00\x01\xff", 3)},
                               {"RunAtLoad", plist_new_bool(on.value_or(true))}});
    if (label == "app.tavix.link") {
        plist_dict_set_item(dict, "KeepAlive",
                            on ? plist_new_bool(*on) : dictionary({{"SuccessfulExit", plist_new_bool(0)}}));
    }
    return listBytes(dict, binary);
}

}  // namespace tavix::test
