#include "cli/terminal.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tavix::cli {
namespace {

// Writes straight onto a descriptor and keeps the error of the write that failed, which the C library's streams
// forget.
class DescriptorBuffer final : public std::streambuf {
  public:
    explicit DescriptorBuffer(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
    int error() const { return error_; }

  private:
    int overflow(int c) override {
        if (sync() != 0) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) sputc(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        if (size < epptr() - pptr()) {
            std::memcpy(pptr(), data, static_cast<std::size_t>(size));
            pbump(static_cast<int>(size));
            return size;
        }
        return sync() == 0 && writeAll(data, static_cast<std::size_t>(size)) ? size : 0;
    }
    int sync() override {
        const bool wrote = writeAll(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(buffer_, buffer_ + sizeof buffer_);
        return wrote ? 0 : -1;
    }
    bool writeAll(const char* data, std::size_t size) {
        while (size > 0 && error_ == 0) {
            const ssize_t wrote = ::write(fd_, data, size);
            if (wrote < 0 && errno != EINTR) error_ = errno;
            if (wrote == 0) error_ = EIO;
            if (wrote <= 0) continue;
            data += wrote;
            size -= static_cast<std::size_t>(wrote);
        }
        return error_ == 0;
    }

    int fd_;
    int error_ = 0;
    char buffer_[64 * 1024];
};

class DescriptorStream final : public std::ostream {
  public:
    explicit DescriptorStream(int fd) : std::ostream(nullptr), buffer_(fd) { rdbuf(&buffer_); }
    int error() const { return buffer_.error(); }

  private:
    DescriptorBuffer buffer_;
};

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
    kind.error = ::isatty(STDERR_FILENO) == 1;
    const char* term = std::getenv("TERM");
    kind.dumb = term != nullptr && std::string_view(term) == "dumb";
    kind.colourOut = wantsColour(kind.output, term, std::getenv("NO_COLOR"));
    kind.colourErr = wantsColour(kind.error, term, std::getenv("NO_COLOR"));
    static DescriptorStream out(STDOUT_FILENO);
    static DescriptorStream err(STDERR_FILENO);
    return Terminal(STDIN_FILENO, out, err, kind, interrupt);
}

bool Terminal::interrupted() const {
    return signal_ != 0 || readable(interrupt_);
}

int Terminal::interruptSignal() {
    if (signal_ == 0 && readable(interrupt_)) {
        signalfd_siginfo info{};
        const bool read = ::read(interrupt_, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
        signal_ = read && info.ssi_signo != 0 ? static_cast<int>(info.ssi_signo) : SIGINT;
    }
    return signal_;
}

std::optional<Terminal::Size> Terminal::size() const {
    winsize window{};
    if (!kind_.output || ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &window) != 0) return std::nullopt;
    // A pseudo-terminal nobody has sized says 0 by 0.
    if (window.ws_col == 0 || window.ws_row == 0) return std::nullopt;
    return Size{window.ws_col, window.ws_row};
}

std::optional<std::string> Terminal::ask(const std::string& prompt, bool secret) {
    if (!kind_.input) {
        // Said all the same: someone may be typing into the pipe (ssh without -t), and it tells a log what was read.
        err_ << prompt << "(a line from standard input)\n" << std::flush;
        return readLine();
    }
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

std::string Terminal::paint(std::string_view text, Style style, const std::ostream& on) const {
    const bool colour = &on == &err_ ? kind_.colourErr : kind_.colourOut;
    if (!colour || style == Style::plain) return std::string(text);
    const char* start = style == Style::bold ? "\x1b[1m" : style == Style::success ? "\x1b[1;32m" : "\x1b[1;31m";
    return start + std::string(text) + "\x1b[0m";
}

std::string Terminal::writeFailure(const std::ostream& stream) {
    const auto* descriptor = dynamic_cast<const DescriptorStream*>(&stream);
    return descriptor != nullptr && descriptor->error() != 0 ? std::strerror(descriptor->error()) : std::string();
}

bool wantsColour(bool isTerminal, const char* term, const char* noColor) {
    const bool dumb = term != nullptr && std::string_view(term) == "dumb";
    return isTerminal && !dumb && (noColor == nullptr || *noColor == '\0');
}

}  // namespace tavix::cli
