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
#include "platform/system/loaded_library.h"
#include "platform/system/utf8.h"
#include "platform/system/whole_file.h"

namespace tavix {
namespace {

// LaunchAgent lists are a few hundred bytes; anything this large is not one.
constexpr std::size_t kMaxListBytes = 4 * 1024 * 1024;

// Editing a list takes well under a millisecond; these bound what a hostile one can cost.
constexpr std::chrono::milliseconds kEditTimeLimit{1000};
constexpr std::size_t kEditMemoryBytes = 64 * 1024 * 1024;

enum ListProblem {
    kNotAList = 1,
    kNotADictionary = 2,
    kNotWritable = 3,
    kTooComplex = 4,
    kNoProcess = 5,
    kNoLibrary = 6
};

struct Plist {
    decltype(&plist_from_memory) fromMemory = nullptr;
    decltype(&plist_get_node_type) nodeType = nullptr;
    decltype(&plist_dict_new_iter) newIter = nullptr;
    decltype(&plist_dict_next_item) nextItem = nullptr;
    decltype(&plist_dict_get_item) getItem = nullptr;
    decltype(&plist_dict_remove_item) removeItem = nullptr;
    decltype(&plist_dict_set_item) setItem = nullptr;
    decltype(&plist_new_bool) newBool = nullptr;
    decltype(&plist_to_xml) toXml = nullptr;
    decltype(&plist_to_xml_free) xmlFree = nullptr;
    decltype(&plist_free) free = nullptr;
};

// libplist, loaded the first time a list is edited (only where launchd runs the bridge); nothing when it is missing.
const Plist* plist() {
    static const Plist* const loaded = []() -> const Plist* {
        static Plist p;
        void* library = loadLibrary("libplist-2.0.so.3");
        const bool complete =
            library != nullptr && resolve(library, "plist_from_memory", p.fromMemory) &&
            resolve(library, "plist_get_node_type", p.nodeType) && resolve(library, "plist_dict_new_iter", p.newIter) &&
            resolve(library, "plist_dict_next_item", p.nextItem) &&
            resolve(library, "plist_dict_get_item", p.getItem) &&
            resolve(library, "plist_dict_remove_item", p.removeItem) &&
            resolve(library, "plist_dict_set_item", p.setItem) && resolve(library, "plist_new_bool", p.newBool) &&
            resolve(library, "plist_to_xml", p.toXml) && resolve(library, "plist_to_xml_free", p.xmlFree) &&
            resolve(library, "plist_free", p.free);
        return complete ? &p : nullptr;
    }();
    return loaded;
}

struct PlistFree {
    void operator()(void* node) const { plist()->free(static_cast<plist_t>(node)); }
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
        case kNoLibrary:
            problem = "could not be read: libplist (libplist-2.0.so.3) is missing.";
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

std::size_t copiesOf(const Plist& lib, plist_t dict, const std::string& key) {
    std::size_t copies = 0;
    plist_dict_iter iter = nullptr;
    lib.newIter(dict, &iter);
    for (;;) {
        char* name = nullptr;
        plist_t item = nullptr;
        lib.nextItem(dict, iter, &name, &item);
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
    const Plist* lib = plist();
    if (lib == nullptr) return kNoLibrary;
    plist_t parsed = nullptr;
    lib->fromMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &parsed);
    PlistNode root(parsed);
    if (!root) return kNotAList;
    if (lib->nodeType(root.get()) != PLIST_DICT) return kNotADictionary;
    for (const auto& [key, value] : values) {
        // A damaged binary list may hold a key twice, and a reader may take either copy: none may be left behind.
        if (copiesOf(*lib, root.get(), key) > 1) {
            while (lib->getItem(root.get(), key.c_str()) != nullptr) lib->removeItem(root.get(), key.c_str());
        }
        // The dictionary takes the new node and frees the value it replaces.
        lib->setItem(root.get(), key.c_str(), lib->newBool(value ? 1 : 0));
    }
    char* xml = nullptr;
    std::uint32_t length = 0;
    lib->toXml(root.get(), &xml, &length);
    std::string result = xml != nullptr ? std::string(xml, length) : std::string();
    if (xml != nullptr) lib->xmlFree(xml);
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
    // Loaded here, before the copy of this process is made, which must not load anything.
    if (plist() == nullptr) return listError(kNoLibrary, name);
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
