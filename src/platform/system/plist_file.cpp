#include "platform/system/plist_file.h"

#include <plist/plist.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>

#include "platform/system/child_call.h"
#include "platform/system/utf8.h"
#include "platform/system/whole_file.h"

namespace tavix {
namespace {

// LaunchAgent lists are a few hundred bytes; anything this large is not one.
constexpr std::size_t kMaxListBytes = 4 * 1024 * 1024;

// Editing a list takes well under a millisecond; these bound what a hostile one can cost.
constexpr std::chrono::milliseconds kEditTimeLimit{5000};
constexpr std::size_t kEditMemoryBytes = 256 * 1024 * 1024;

enum ListProblem { kNotAList = 1, kNotADictionary = 2, kNotWritable = 3, kTooComplex = 4, kNoProcess = 5 };

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistNode = std::unique_ptr<void, PlistFree>;

Error listError(int code, std::string_view name) {
    std::string_view problem;
    switch (code) {
        case kNotAList:
            problem = "is not a property list.";
            break;
        case kNotADictionary:
            problem = "does not hold a dictionary at its top level.";
            break;
        case kNotWritable:
            problem = "holds text that a property list file cannot carry.";
            break;
        case kTooComplex:
            problem = "is too large or too deeply nested to read.";
            break;
        default:
            problem = "could not be read: no process could be started to read it.";
            break;
    }
    return Error{std::string(kPropertyListDomain), code, "“" + std::string(name) + "” " + std::string(problem)};
}

// Characters XML cannot carry at all (invalid UTF-8, controls other than tab and line ends, U+FFFE and U+FFFF).
// libplist copies strings and keys into the XML as they are, which would leave a file no reader accepts.
bool xmlCanCarry(std::string_view xml) {
    if (!isValidUtf8(xml)) return false;
    const bool control = std::any_of(xml.begin(), xml.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
    });
    return !control && xml.find("\xEF\xBF\xBE") == std::string_view::npos &&
           xml.find("\xEF\xBF\xBF") == std::string_view::npos;
}

std::size_t copiesOf(plist_t dict, const std::string& key) {
    std::size_t copies = 0;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dict, &iter);
    for (;;) {
        char* name = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(dict, iter, &name, &item);
        if (name == nullptr) break;
        if (key == name) ++copies;
        std::free(name);
    }
    std::free(iter);
    return copies;
}

// The edit itself: the XML text, or the number of the problem.
std::variant<std::string, int> edit(std::string_view bytes, const PlistBooleans& values) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) return kNotAList;
    plist_t parsed = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &parsed);
    PlistNode root(parsed);
    if (!root) return kNotAList;
    if (plist_get_node_type(root.get()) != PLIST_DICT) return kNotADictionary;
    for (const auto& [key, value] : values) {
        // A damaged binary list may hold a key twice, and a reader may take either copy: none may be left behind.
        if (copiesOf(root.get(), key) > 1) {
            while (plist_dict_get_item(root.get(), key.c_str()) != nullptr)
                plist_dict_remove_item(root.get(), key.c_str());
        }
        // The dictionary takes the new node and frees the value it replaces.
        plist_dict_set_item(root.get(), key.c_str(), plist_new_bool(value ? 1 : 0));
    }
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    std::string result = xml != nullptr ? std::string(xml, length) : std::string();
    if (xml != nullptr) plist_to_xml_free(xml);
    if (result.empty() || !xmlCanCarry(result)) return kNotWritable;
    return result;
}

}  // namespace

std::variant<std::string, Error> setPlistBooleansHere(std::string_view bytes, const PlistBooleans& values,
                                                      std::string_view name) {
    auto edited = edit(bytes, values);
    if (auto* code = std::get_if<int>(&edited)) return listError(*code, name);
    return std::move(std::get<std::string>(edited));
}

std::variant<std::string, Error> setPlistBooleans(std::string_view bytes, const PlistBooleans& values,
                                                  std::string_view name) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) return listError(kNotAList, name);
    // libplist reads nesting by recursion and copies a binary list's shared objects once per use: a small file can
    // make it overflow the stack or run without end. So it reads in a copy of this process, which alone is lost.
    auto answer = callInChild(
        [&] {
            auto edited = edit(bytes, values);
            if (auto* code = std::get_if<int>(&edited)) return std::string(1, static_cast<char>('0' + *code));
            return "<" + std::get<std::string>(edited);
        },
        kEditTimeLimit, kEditMemoryBytes);
    if (auto* failure = std::get_if<ChildCallFailure>(&answer)) {
        if (*failure == ChildCallFailure::couldNotStart) return listError(kNoProcess, name);
        return listError(kTooComplex, name);
    }
    const std::string& text = std::get<std::string>(answer);
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '3') return listError(text[0] - '0', name);
    if (text.size() < 2 || text[0] != '<') return listError(kTooComplex, name);
    return text.substr(1);
}

std::optional<Error> updatePropertyListFile(const std::filesystem::path& path, const PlistBooleans& values) {
    auto bytes = readWholeFile(path, kMaxListBytes);
    if (auto* error = std::get_if<Error>(&bytes)) return *error;
    auto edited = setPlistBooleans(std::get<std::string>(bytes), values, path.filename().string());
    if (auto* error = std::get_if<Error>(&edited)) return *error;
    return replaceWholeFile(path, std::get<std::string>(edited));
}

}  // namespace tavix
