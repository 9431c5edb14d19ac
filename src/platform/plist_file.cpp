#include "platform/plist_file.h"

#include <plist/plist.h>

#include <cstdint>
#include <limits>
#include <memory>

#include "platform/whole_file.h"

namespace tavix {
namespace {

// LaunchAgent lists are a few hundred bytes; anything this large is not one.
constexpr std::size_t kMaxListBytes = 4 * 1024 * 1024;

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistNode = std::unique_ptr<void, PlistFree>;

Error listError(int code, std::string_view name, std::string_view problem) {
    return Error{std::string(kPropertyListDomain), code, "“" + std::string(name) + "” " + std::string(problem)};
}

}  // namespace

std::variant<std::string, Error> setPlistBooleans(std::string_view bytes, const PlistBooleans& values,
                                                  std::string_view name) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        return listError(1, name, "is not a property list.");
    }
    plist_t parsed = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &parsed);
    PlistNode root(parsed);
    if (!root) return listError(1, name, "is not a property list.");
    if (plist_get_node_type(root.get()) != PLIST_DICT) {
        return listError(2, name, "does not hold a dictionary at its top level.");
    }
    for (const auto& [key, value] : values) {
        // The dictionary takes the new node and frees the value it replaces.
        plist_dict_set_item(root.get(), key.c_str(), plist_new_bool(value ? 1 : 0));
    }
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (xml == nullptr || length == 0) {
        if (xml != nullptr) plist_to_xml_free(xml);
        return listError(3, name, "could not be written as a property list.");
    }
    std::string result(xml, length);
    plist_to_xml_free(xml);
    return result;
}

std::optional<Error> updatePropertyListFile(const std::filesystem::path& path, const PlistBooleans& values) {
    auto bytes = readWholeFile(path, kMaxListBytes);
    if (auto* error = std::get_if<Error>(&bytes)) return *error;
    auto edited = setPlistBooleans(std::get<std::string>(bytes), values, path.filename().string());
    if (auto* error = std::get_if<Error>(&edited)) return *error;
    return replaceWholeFile(path, std::get<std::string>(edited));
}

}  // namespace tavix
