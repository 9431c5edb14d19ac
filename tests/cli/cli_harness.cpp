#include "cli_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace tavix::test {

CliHarness::CliHarness() : tavixHome("TAVIX_HOME", (dir.path() / "state").string()) {
    std::filesystem::create_directories(home());
    std::filesystem::create_directories(root());
    const auto systemctl = dir.path() / "systemctl";
    writeScript(systemctl, "echo \"$*\" >> '" + (dir.path() / "systemctl.calls").string() + "'\nexit $(cat '" +
                               (dir.path() / "systemctl.status").string() + "' 2>/dev/null || echo 0)");
    settings.adjust = [this, systemctl](Options& options) {
        options.home = home();
        options.systemctl = systemctl.string();
        options.serviceManager = ServiceManagerKind::systemd;
        options.appPath = "/usr/bin/tavix-menu";
    };
}

void CliHarness::writeStatus(std::string members, double ageMs) const {
    const double now =
        std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
    if (!members.empty()) members = "," + members;
    std::ostringstream text;
    text.precision(17);
    text << "{\"at\":" << now - ageMs << members << "}";
    writeFile(root() / "status.json", text.str());
}

std::string CliHarness::calls(const std::string& program) const {
    return readAll(dir.path() / (program + ".calls"));
}

CliResult CliHarness::run(const std::vector<std::string>& arguments, const std::string& input, int interrupt) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    (void)!::write(fds[1], input.data(), input.size());
    ::close(fds[1]);
    std::ostringstream out;
    std::ostringstream err;
    cli::Terminal terminal(fds[0], out, err, {}, interrupt);
    CliResult result;
    result.status = cli::runCommandLine(arguments, terminal, settings);
    ::close(fds[0]);
    result.out = out.str();
    result.err = err.str();
    return result;
}

Program::Program(const std::vector<std::string>& arguments, unsigned short columns, unsigned short rows,
                 bool quietOutput) {
    int child = -1;
    winsize window{rows, columns, 0, 0};
    if (::openpty(&terminal_, &child, nullptr, nullptr, &window) != 0) return;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2}) ::posix_spawn_file_actions_adddup2(&actions, child, fd);
    if (quietOutput) ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    // A session of its own, so the terminal is its controlling one.
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::vector<std::string> argv{TAVIX_CLI_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> argp;
    for (auto& argument : argv) argp.push_back(argument.data());
    argp.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0].c_str(), &actions, &attributes, argp.data(), environ) != 0) pid_ = -1;
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(child);
}

Program::~Program() {
    if (pid_ > 0 && !wait(std::chrono::milliseconds(0))) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    if (terminal_ >= 0) ::close(terminal_);
}

void Program::write(const std::string& text) const {
    (void)!::write(terminal_, text.data(), text.size());
}

bool Program::readUntil(const std::string& text, std::chrono::milliseconds limit, bool toEnd) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (toEnd || out.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd fd{terminal_, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t got = ::read(terminal_, buffer, sizeof buffer);
        if (got <= 0) return out.find(text) != std::string::npos;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

void Program::signal(int number) const {
    ::kill(pid_, number);
}

std::optional<int> Program::wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        }
        if (done < 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

}  // namespace tavix::test
