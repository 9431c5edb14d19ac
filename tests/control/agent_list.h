#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavix::test {

// Property lists for tests, built and inspected with libplist itself.
class AgentList {
  public:
    explicit AgentList(plist_t root) : root_(root, plist_free) {}

    // A LaunchAgent list as the bridge's installer writes one, with keys the login switch must not touch.
    static AgentList typical(std::string_view label, bool withKeepAlive) {
        plist_t dict = plist_new_dict();
        plist_dict_set_item(dict, "Label", plist_new_string(std::string(label).c_str()));
        plist_t program = plist_new_array();
        plist_array_append_item(program, plist_new_string("/opt/tavix/node"));
        plist_array_append_item(program, plist_new_string("/opt/tavix/bridge.js"));
        plist_dict_set_item(dict, "ProgramArguments", program);
        plist_t environment = plist_new_dict();
        plist_dict_set_item(environment, "TAVIX_HOME", plist_new_string("/Users/u/.tavix"));
        plist_dict_set_item(environment, "PATH", plist_new_string("/usr/bin:/bin"));
        plist_dict_set_item(dict, "EnvironmentVariables", environment);
        plist_dict_set_item(dict, "ThrottleInterval", plist_new_uint(10));
        plist_dict_set_item(dict, "Blob", plist_new_data("\x00\x01\xff", 3));
        plist_dict_set_item(dict, "RunAtLoad", plist_new_bool(1));
        if (withKeepAlive) {
            plist_t keepAlive = plist_new_dict();
            plist_dict_set_item(keepAlive, "SuccessfulExit", plist_new_bool(0));
            plist_dict_set_item(dict, "KeepAlive", keepAlive);
        }
        return AgentList(dict);
    }

    static std::optional<AgentList> parse(std::string_view bytes) {
        plist_t root = nullptr;
        plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
        if (root == nullptr) return std::nullopt;
        return AgentList(root);
    }

    std::string xml() const { return xmlOf(root_.get()); }
    std::string binary() const {
        char* data = nullptr;
        std::uint32_t length = 0;
        plist_to_bin(root_.get(), &data, &length);
        std::string result(data, length);
        plist_to_bin_free(data);
        return result;
    }
    std::string bytes(bool asBinary) const { return asBinary ? binary() : xml(); }

    bool isDictionary() const { return plist_get_node_type(root_.get()) == PLIST_DICT; }
    std::uint32_t size() const { return plist_dict_get_size(root_.get()); }
    bool has(const char* key) const { return plist_dict_get_item(root_.get(), key) != nullptr; }
    // The Boolean at `key`, or nothing when it is missing or of another type.
    std::optional<bool> boolean(const char* key) const {
        plist_t node = plist_dict_get_item(root_.get(), key);
        if (node == nullptr || plist_get_node_type(node) != PLIST_BOOLEAN) return std::nullopt;
        std::uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value != 0;
    }
    // The value at `key` written out on its own, to compare whole subtrees.
    std::string subtree(const char* key) const {
        plist_t node = plist_dict_get_item(root_.get(), key);
        return node == nullptr ? std::string() : xmlOf(node);
    }

  private:
    static std::string xmlOf(plist_t node) {
        char* data = nullptr;
        std::uint32_t length = 0;
        plist_to_xml(node, &data, &length);
        std::string result(data, length);
        plist_to_xml_free(data);
        return result;
    }

    std::shared_ptr<void> root_;
};

}  // namespace tavix::test
