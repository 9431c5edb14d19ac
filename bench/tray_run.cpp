// Runs a tray program and measures it for bench/footprint.sh: the time from the start to its icon shown in the
// tray, the CPU time it has used by then, and, once it has ended, the CPU time of its whole life (every thread,
// ended ones too, as the kernel reports it to the parent).
//
//   bench_tray_run REPORT TIMEOUT_SECONDS PROGRAM [ARGUMENTS...]
//
// The icon counts as shown when a window of the program (_NET_WM_PID) is viewable and a tray host has taken it in
// (its parent is not the root window). REPORT gets, as they become known, the lines
//   pid PID
//   shown MILLISECONDS_SINCE_START CPU_MILLISECONDS
//   ended CPU_MILLISECONDS
// TERM, INT and HUP are passed on to the program. The exit status is the program's; 124 when the icon did not show
// in time (the program is then stopped), 125 when the display cannot be opened, 127 when the program cannot start.

#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

volatile sig_atomic_t child = 0;

void passOn(int signal) {
    if (child > 0) ::kill(child, signal);
}

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

// The running time of the live threads of `pid`, from the scheduler, in milliseconds.
double liveCpuMilliseconds(pid_t pid) {
    double nanoseconds = 0;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream in(task.path() / "schedstat");
        double running = 0;
        if (in >> running) nanoseconds += running;
    }
    return nanoseconds / 1e6;
}

double milliseconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

void report(const std::string& path, const std::string& line) {
    std::ofstream(path, std::ios::app) << line << '\n' << std::flush;
}

// Waits for the program to end; returns its exit status in the shell's terms.
int waitForEnd(pid_t pid, const std::string& reportPath) {
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) return 127;
    }
    char line[64];
    std::snprintf(line, sizeof line, "ended %.3f", milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime));
    report(reportPath, line);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s REPORT TIMEOUT_SECONDS PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 64;
    }
    const std::string reportPath = argv[1];
    const double timeout = std::atof(argv[2]);
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "%s: cannot open the X display\n", argv[0]);
        return 125;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t pidAtom = internAtom(connection, "_NET_WM_PID");
    for (int number : {SIGTERM, SIGINT, SIGHUP}) std::signal(number, passOn);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return 127;
    if (pid == 0) {
        ::execvp(argv[3], argv + 3);
        std::fprintf(stderr, "%s: cannot start %s: %s\n", argv[0], argv[3], std::strerror(errno));
        ::_exit(127);
    }
    child = pid;
    report(reportPath, "pid " + std::to_string(pid));

    const auto deadline = start + std::chrono::duration<double>(timeout);
    while (std::chrono::steady_clock::now() < deadline) {
        if (iconShown(connection, root, pidAtom, static_cast<std::uint32_t>(pid))) {
            const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
            char line[96];
            std::snprintf(line, sizeof line, "shown %.3f %.3f", elapsed.count(), liveCpuMilliseconds(pid));
            report(reportPath, line);
            xcb_disconnect(connection);
            return waitForEnd(pid, reportPath);
        }
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            // Ended before its icon showed: nothing more to measure.
            xcb_disconnect(connection);
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        // Fine enough for start-ups of a few tens of milliseconds, light enough not to slow them down.
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    xcb_disconnect(connection);
    ::kill(pid, SIGTERM);
    waitForEnd(pid, reportPath);
    return 124;
}
