#include "control/autostart_entry.h"

#include <algorithm>
#include <cstdlib>

#include "platform/system/files.h"

namespace tavix {

std::filesystem::path autostartEntryPath(const std::filesystem::path& home) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // Only an absolute value counts: a relative one is invalid and to be ignored.
    const std::filesystem::path base =
        config != nullptr && config[0] == '/' ? std::filesystem::path(config) : home / ".config";
    return base / "autostart" / "app.tavix.menu.desktop";
}

bool systemAutostartEntryExists() {
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    const std::string dirs = value != nullptr && *value != '\0' ? value : "/etc/xdg";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        // Only absolute entries count; relative ones are invalid and ignored.
        if (dir.starts_with('/') && entryExists(std::filesystem::path(dir) / "autostart" / "app.tavix.menu.desktop")) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string desktopExec(const std::string& program) {
    bool plain = !program.empty();
    for (char c : program) {
        const bool reserved = c == ' ' || c == '\t' || c == '\n' || c == '"' || c == '\'' || c == '\\' || c == '>' ||
                              c == '<' || c == '~' || c == '|' || c == '&' || c == ';' || c == '$' || c == '*' ||
                              c == '?' || c == '#' || c == '(' || c == ')' || c == '`' || c == '%';
        if (reserved) plain = false;
    }
    if (plain) return program;
    // Quoted argument rules first ("\\", "\"", "\`", "\$"), then the string escapes of the file format ("\\" and
    // "\n"), and "%%" for a literal percent sign.
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$') {
            quoted += "\\\\";
            quoted += c;
        } else if (c == '\\') {
            quoted += "\\\\\\\\";
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '%') {
            quoted += "%%";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string autostartEntry(const std::filesystem::path& program, bool on) {
    std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Tavix Link\n"
        "Comment=Shows and controls the Tavix bridge from the tray\n"
        "Exec=" +
        desktopExec(program.string()) +
        "\n"
        "Icon=app.tavix.menu\n"
        "Terminal=false\n"
        "NoDisplay=true\n"
        // Tray applications must start after the panel, or their icon has nowhere to go.
        "X-GNOME-Autostart-Delay=5\n"
        "X-KDE-autostart-after=panel\n"
        "X-LXQt-Need-Tray=true\n";
    entry += on ? "Hidden=false\nX-GNOME-Autostart-enabled=true\n" : "Hidden=true\nX-GNOME-Autostart-enabled=false\n";
    return entry;
}

}  // namespace tavix
