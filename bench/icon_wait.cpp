// Waits until a process's tray icon is shown: a viewable window whose _NET_WM_PID is the process and that a
// tray host has taken in (its parent is not the root window). Prints the wall-clock time at which it was first
// seen, in microseconds since 1970, so a caller that noted the time of the start gets the start-up time.
//
//   bench_icon_wait PID TIMEOUT_SECONDS
//
// Exit status: 0 found, 1 timed out, 2 the process ended first, 3 no X display.

#include <signal.h>
#include <sys/types.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

struct Window {
    xcb_window_t id;
    xcb_window_t parent;
};

// Every window below the root, one level at a time with the requests of a level sent together.
std::vector<Window> allWindows(xcb_connection_t* connection, xcb_window_t root) {
    std::vector<Window> found;
    std::vector<xcb_window_t> level{root};
    while (!level.empty()) {
        std::vector<xcb_query_tree_cookie_t> cookies;
        cookies.reserve(level.size());
        for (xcb_window_t window : level) cookies.push_back(xcb_query_tree(connection, window));
        std::vector<xcb_window_t> next;
        for (std::size_t i = 0; i < cookies.size(); ++i) {
            xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, cookies[i], nullptr);
            if (tree == nullptr) continue;
            const xcb_window_t* children = xcb_query_tree_children(tree);
            for (int c = 0; c < xcb_query_tree_children_length(tree); ++c) {
                found.push_back({children[c], level[i]});
                next.push_back(children[c]);
            }
            std::free(tree);
        }
        level = std::move(next);
    }
    return found;
}

bool iconShown(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t pidAtom, std::uint32_t pid) {
    const std::vector<Window> windows = allWindows(connection, root);
    std::vector<xcb_get_property_cookie_t> pids;
    std::vector<xcb_get_window_attributes_cookie_t> attributes;
    pids.reserve(windows.size());
    attributes.reserve(windows.size());
    for (const Window& window : windows) {
        pids.push_back(xcb_get_property(connection, 0, window.id, pidAtom, XCB_ATOM_CARDINAL, 0, 1));
        attributes.push_back(xcb_get_window_attributes(connection, window.id));
    }
    bool shown = false;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        xcb_get_property_reply_t* property = xcb_get_property_reply(connection, pids[i], nullptr);
        xcb_get_window_attributes_reply_t* attribute =
            xcb_get_window_attributes_reply(connection, attributes[i], nullptr);
        const bool ours = property != nullptr && property->format == 32 &&
                          xcb_get_property_value_length(property) >= 4 &&
                          *static_cast<const std::uint32_t*>(xcb_get_property_value(property)) == pid;
        const bool viewable = attribute != nullptr && attribute->map_state == XCB_MAP_STATE_VIEWABLE;
        if (ours && viewable && windows[i].parent != root) shown = true;
        std::free(property);
        std::free(attribute);
    }
    return shown;
}

// A process that ended but was not yet reaped by its parent still answers kill(pid, 0).
bool ended(long pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0) return true;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return true;
    char line[1024] = {};
    const std::size_t length = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    line[length] = '\0';
    // The command name in parentheses may hold spaces: the state follows its closing parenthesis.
    const char* close = std::strrchr(line, ')');
    if (close == nullptr || close[1] == '\0' || close[2] == '\0') return false;
    return close[2] == 'Z' || close[2] == 'X';
}

long long nowMicroseconds() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PID TIMEOUT_SECONDS\n", argv[0]);
        return 64;
    }
    const long pid = std::atol(argv[1]);
    const double timeout = std::atof(argv[2]);
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "%s: cannot open the X display\n", argv[0]);
        return 3;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t pidAtom = internAtom(connection, "_NET_WM_PID");

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    int status = 1;
    while (std::chrono::steady_clock::now() < deadline) {
        if (iconShown(connection, root, pidAtom, static_cast<std::uint32_t>(pid))) {
            std::printf("%lld\n", nowMicroseconds());
            status = 0;
            break;
        }
        if (ended(pid)) {
            status = 2;
            break;
        }
        // Fine enough for start-ups of a tenth of a second and more, light enough not to slow them down.
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    xcb_disconnect(connection);
    return status;
}
