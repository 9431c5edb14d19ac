#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/error.h"

namespace tavix {

inline constexpr std::string_view kPropertyListDomain = "PropertyList";

// Keys to set, in order, each to a Boolean value.
using PlistBooleans = std::vector<std::pair<std::string, bool>>;

// The property list in `bytes` (XML or binary) with each key of `values` set at the top level, every other key and
// value kept, written out as an XML list. Fails (error codes 1 to 6) when the bytes are not a property list, when its
// top level is not a dictionary, when it holds text an XML file cannot carry, when it is too large or too deeply
// nested to read safely, when no process could be started to read it, or when libplist is missing; `name` only names
// the list in the error's description. The list is read in a copy of this process, so a hostile list costs at most
// about a second.
std::variant<std::string, Error> setPlistBooleans(std::string_view bytes, const PlistBooleans& values,
                                                  std::string_view name);

// The same edit done in this process. libplist may crash or not return on a hostile list (it recurses once per
// level of nesting and copies a binary list's shared objects once per use), so this is only for bytes already
// known to be harmless, or for a process that may be lost.
std::variant<std::string, Error> setPlistBooleansHere(std::string_view bytes, const PlistBooleans& values,
                                                      std::string_view name);

// Reads the list at `path`, sets `values` in it and replaces the file with the XML result in one step.
[[nodiscard]] std::optional<Error> updatePropertyListFile(const std::filesystem::path& path,
                                                          const PlistBooleans& values);

}  // namespace tavix
