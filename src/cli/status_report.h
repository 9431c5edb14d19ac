#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tavix {
class TavixMenu;
}

namespace tavix::cli {

// What `tavix status` prints, from the last reading of the status: the status menu's information rows, in its
// order and words, then whether new tasks are paused, the bridge starts at login and this computer is paired.
std::vector<std::string> statusLines(const TavixMenu& menu);

// The same as one JSON object; phones, error and computer only from a fresh status, as the menu shows them.
nlohmann::ordered_json statusJson(const TavixMenu& menu);

}  // namespace tavix::cli
