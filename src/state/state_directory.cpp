#include "state/state_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/system/files.h"
#include "state/write_private.h"

namespace tavix {

std::filesystem::path StateDirectory::root() const {
    if (const char* value = std::getenv("TAVIX_HOME")) {
        std::error_code error;
        if (*value == '\0') {
            auto current = std::filesystem::current_path(error);
            return error ? std::filesystem::path(".") : current;
        }
        auto absolute = std::filesystem::absolute(value, error);
        return error ? std::filesystem::path(value) : absolute;
    }
    return home_ / ".tavix";
}

std::string StateDirectory::entryPath(std::string_view name) const {
    const char* value = std::getenv("TAVIX_HOME");
    std::string path = value != nullptr && value[0] == '/' ? std::string(value) : root().native();
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

Config StateDirectory::config() const {
    auto text = readFile(entryPath("config").c_str());
    return parseConfig(text ? *text : std::string_view{});
}

std::string StateDirectory::server() const {
    auto values = config();
    auto found = values.find("SERVER");
    return found != values.end() ? found->second : std::string(kDefaultServer);
}

bool StateDirectory::exists(std::string_view name) const {
    return entryExists(entryPath(name).c_str());
}
bool StateDirectory::paused() const {
    return exists("paused");
}
bool StateDirectory::paired() const {
    return exists("token");
}
bool StateDirectory::loginDisabled() const {
    return exists("no-login");
}
bool StateDirectory::notificationsDisabled() const {
    return exists("no-notify");
}

std::optional<Error> StateDirectory::writePrivate(std::string_view data, std::string_view name) const {
    return tavix::writePrivate(root(), data, name);
}

std::optional<Error> StateDirectory::setMarker(std::string_view name, bool present) const {
    if (present) return writePrivate("", name);
    return exists(name) ? removeEntry(entry(name)) : std::nullopt;
}

std::filesystem::path userHome() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

}  // namespace tavix
