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
// value kept, written out as an XML list. Fails when the bytes are not a property list, when its top level is not a
// dictionary, or when it cannot be written out again; `name` only names the list in the error's description.
std::variant<std::string, Error> setPlistBooleans(std::string_view bytes, const PlistBooleans& values,
                                                  std::string_view name);

// Reads the list at `path`, sets `values` in it and replaces the file with the XML result in one step.
[[nodiscard]] std::optional<Error> updatePropertyListFile(const std::filesystem::path& path,
                                                          const PlistBooleans& values);

}  // namespace tavix
