#include "cli/terminal.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <utility>

namespace tavix::cli {
namespace {

bool readable(int fd) {
    if (fd < 0) return false;
    pollfd probe{fd, POLLIN, 0};
    return ::poll(&probe, 1, 0) > 0 && (probe.revents & POLLIN) != 0;
}

// Echo off for as long as it lives; the terminal's settings come back whatever ends the reading.
class EchoOff {
  public:
    explicit EchoOff(int fd) : fd_(fd) {
        if (::tcgetattr(fd_, &saved_) != 0) return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        // Enter still echoes a new line, so the next output starts on a line of its own.
        quiet.c_lflag |= ECHONL;
        active_ = ::tcsetattr(fd_, TCSANOW, &quiet) == 0;
    }
    ~EchoOff() {
        if (active_) ::tcsetattr(fd_, TCSANOW, &saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

}  // namespace

Terminal::Terminal(int input, std::ostream& out, std::ostream& err, Kind kind, int interrupt)
    : input_(input), out_(out), err_(err), kind_(kind), interrupt_(interrupt) {}

Terminal Terminal::standard(int interrupt) {
    Kind kind;
    kind.input = ::isatty(STDIN_FILENO) == 1;
    kind.output = ::isatty(STDOUT_FILENO) == 1;
    kind.colour = wantsColour(kind.output, std::getenv("NO_COLOR"));
    return Terminal(STDIN_FILENO, std::cout, std::cerr, kind, interrupt);
}

bool Terminal::interrupted() const {
    return readable(interrupt_);
}

std::optional<std::string> Terminal::ask(const std::string& prompt, bool secret) {
    if (!kind_.input) return readLine();
    // Echo goes off before the prompt shows, so not even a quick typist's first keys are echoed.
    std::optional<EchoOff> quiet;
    if (secret) quiet.emplace(input_);
    err_ << prompt << std::flush;
    return readLine();
}

std::optional<std::string> Terminal::readLine() {
    char chunk[4096];
    while (true) {
        if (const auto end = buffer_.find('\n'); end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (ended_) {
            if (buffer_.empty()) return std::nullopt;
            return std::exchange(buffer_, {});
        }
        pollfd fds[2] = {{input_, POLLIN, 0}, {interrupt_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            ended_ = true;
            continue;
        }
        if ((fds[1].revents & POLLIN) != 0) return std::nullopt;
        if (fds[0].revents == 0) continue;
        const ssize_t got = ::read(input_, chunk, sizeof chunk);
        if (got > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            ended_ = true;
        }
    }
}

std::string Terminal::paint(std::string_view text, Style style) const {
    if (!kind_.colour || style == Style::plain) return std::string(text);
    const char* start = style == Style::bold ? "\x1b[1m" : style == Style::success ? "\x1b[1;32m" : "\x1b[1;31m";
    return start + std::string(text) + "\x1b[0m";
}

bool wantsColour(bool outputIsTerminal, const char* noColor) {
    return outputIsTerminal && (noColor == nullptr || *noColor == '\0');
}

}  // namespace tavix::cli
