#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "state/config.h"

namespace tavix {

// The entries whose changes alter what is shown of the state.
inline const std::vector<std::string>& shownEntries() {
    static const std::vector<std::string> names{"status.json", "paused", "token", "no-login", "no-notify", "config"};
    return names;
}

// The directory shared with the bridge. Nothing is cached: every call reads the environment and the disk anew.
class StateDirectory {
  public:
    explicit StateDirectory(std::filesystem::path home) : home_(std::move(home)) {}

    const std::filesystem::path& home() const { return home_; }
    // $TAVIX_HOME (empty meaning the current directory), else ~/.tavix; always absolute.
    std::filesystem::path root() const;
    std::filesystem::path entry(std::string_view name) const { return root() / name; }
    // The same as entry(name), as plain text: cheaper for the reads every refresh makes.
    std::string entryPath(std::string_view name) const;

    Config config() const;
    std::string server() const;
    bool paused() const;
    bool paired() const;
    bool loginDisabled() const;
    // The user turned the desktop notifications off.
    bool notificationsDisabled() const;
    bool exists(std::string_view name) const;

    // Replaces entry `name` with `data` all at once, private to the user (directory 0700, file 0600).
    [[nodiscard]] std::optional<Error> writePrivate(std::string_view data, std::string_view name) const;
    // Creates the empty marker `name` (privately, as above), or removes it.
    [[nodiscard]] std::optional<Error> setMarker(std::string_view name, bool present) const;

  private:
    std::filesystem::path home_;
};

// The current user's home directory: $HOME, else the password database.
std::filesystem::path userHome();

}  // namespace tavix
