#include "platform/system/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <filesystem>

#include "platform/system/posix_error.h"
#include "platform/system/running_children.h"
#include "platform/system/unique_fd.h"

namespace tavix {
namespace {

using Clock = std::chrono::steady_clock;

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

// Moves `fd` above the standard descriptors, so that placing the child's 0, 1 and 2 cannot overwrite another
// pipe end (our own 0, 1 or 2 may be closed when we were started).
int aboveStandard(int fd) {
    if (fd > 2) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int err = errno;
    ::close(fd);
    errno = err;
    return moved;
}

// Close-on-exec from the start: a child that another thread spawns meanwhile must not inherit an end.
int makePipe(Pipe& pipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
    const int read = aboveStandard(fds[0]);
    const int readError = errno;
    const int write = aboveStandard(fds[1]);
    const int writeError = errno;
    pipe.read.reset(read);
    pipe.write.reset(write);
    if (read < 0) return readError;
    return write < 0 ? writeError : 0;
}

// A write to a pipe whose reader is gone raises SIGPIPE in the writing thread, which would end the whole
// application. Keep it blocked on this thread while the child runs and swallow the one a failed write raised.
class SigpipeGuard {
  public:
    SigpipeGuard() {
        sigset_t pipeOnly;
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous_);
    }
    ~SigpipeGuard() {
        if (raised_) {
            sigset_t pipeOnly;
            sigemptyset(&pipeOnly);
            sigaddset(&pipeOnly, SIGPIPE);
            const timespec now{};
            while (::sigtimedwait(&pipeOnly, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;
    void raised() { raised_ = true; }

  private:
    sigset_t previous_{};
    bool raised_ = false;
};

class SpawnSetup {
  public:
    SpawnSetup(int input, int output) {
        ::posix_spawn_file_actions_init(&actions_);
        ::posix_spawn_file_actions_adddup2(&actions_, input, STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions_, output, STDOUT_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions_, output, STDERR_FILENO);
        // Whatever else we hold (the single-instance lock, the display connection, another run's pipes)
        // stays ours, close-on-exec or not.
        ::posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
        ::posix_spawnattr_init(&attributes_);
        sigset_t none;
        sigemptyset(&none);
        ::posix_spawnattr_setsigmask(&attributes_, &none);
        sigset_t all;
        sigfillset(&all);
        ::posix_spawnattr_setsigdefault(&attributes_, &all);
        // A group of its own, so the time limit reaches everything the child starts.
        ::posix_spawnattr_setpgroup(&attributes_, 0);
        ::posix_spawnattr_setflags(&attributes_,
                                   POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

  private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
};

std::vector<char*> pointers(const std::vector<std::string>& texts, const std::string* first = nullptr) {
    std::vector<char*> result;
    result.reserve(texts.size() + 2);
    if (first != nullptr) result.push_back(const_cast<char*>(first->c_str()));
    for (const auto& text : texts) result.push_back(const_cast<char*>(text.c_str()));
    result.push_back(nullptr);
    return result;
}

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

Clock::time_point deadlineAfter(double seconds) {
    // Ten years stands in for "never" and keeps the arithmetic finite.
    const double bounded = std::clamp(seconds >= 0 ? seconds : 0.0, 0.0, 3.2e8);
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(bounded));
}

// A straight system call: the C library's own wrapper is not declared for C++ everywhere we build.
int openPidfd(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

int statusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return WTERMSIG(waitStatus);
    return -1;
}

// One child from spawn to reaping. The same thread polls, signals and reaps, and the child is reaped last: until
// then its number, which is also its group's, cannot be reused, so no signal reaches another process.
class ChildRun {
  public:
    ChildRun(pid_t pid, UniqueFd pidfd, UniqueFd wake, UniqueFd input, UniqueFd output, std::string pendingInput,
             Clock::time_point deadline, Clock::duration grace, SigpipeGuard& sigpipe,
             const std::function<void(std::string_view)>& sink)
        : pid_(pid),
          pidfd_(std::move(pidfd)),
          wake_(std::move(wake)),
          input_(std::move(input)),
          output_(std::move(output)),
          pendingInput_(std::move(pendingInput)),
          deadline_(deadline),
          grace_(grace),
          sigpipe_(sigpipe),
          sink_(sink) {}

    ChildResult finish() {
        sendInput();
        while (output_.valid() || !exited_) {
            if (!waitForEvents()) break;
        }
        drainBlocking();
        leaveChild(pid_);
        int waitStatus = 0;
        while (::waitpid(pid_, &waitStatus, 0) < 0 && errno == EINTR) {
        }
        return ChildResult{true, statusOf(waitStatus), {}, limitReached_ && !endedEarly_, endedEarly_};
    }

  private:
    // One write, as the line is meant to arrive whole; a line longer than the pipe holds is finished from the
    // poll loop, so a child that does not read it cannot stall the time limit or our reading of its output.
    void sendInput() {
        if (!pendingInput_.empty()) {
            ::fcntl(input_.get(), F_SETFL, ::fcntl(input_.get(), F_GETFL) | O_NONBLOCK);
            writeInput();
        }
        if (pendingInput_.empty()) input_.reset();
    }

    void writeInput() {
        const ssize_t wrote = ::write(input_.get(), pendingInput_.data(), pendingInput_.size());
        if (wrote >= 0) {
            pendingInput_.erase(0, static_cast<std::size_t>(wrote));
        } else if (errno != EAGAIN && errno != EINTR) {
            // The child closed its standard input or ended: it gets no more, and the run goes on.
            if (errno == EPIPE) sigpipe_.raised();
            pendingInput_.clear();
        }
        if (pendingInput_.empty()) input_.reset();
    }

    bool waitForEvents() {
        enum { kOutput, kExit, kInput, kWake };
        pollfd fds[4] = {{output_.get(), POLLIN, 0},
                         {exited_ ? -1 : pidfd_.get(), POLLIN, 0},
                         {input_.get(), POLLOUT, 0},
                         {limitReached_ ? -1 : wake_.get(), POLLIN, 0}};  // negative descriptors are skipped
        if (::poll(fds, 4, millisecondsUntil(limitReached_ ? graceEnd_ : deadline_)) < 0) return errno == EINTR;
        if (fds[kOutput].revents != 0) readOutput();
        if (fds[kExit].revents != 0) exited_ = true;
        if (fds[kInput].revents != 0) writeInput();
        if (fds[kWake].revents != 0) {
            // Asked to end early: as at the time limit, with the grace asked for.
            endedEarly_ = true;
            grace_ = std::min<Clock::duration>(grace_, endingGrace());
            enforceLimit();
        }
        const auto now = Clock::now();
        if (!limitReached_ && now >= deadline_) enforceLimit();
        if (limitReached_ && now >= graceEnd_ && (output_.valid() || !exited_)) endGroup();
        return true;
    }

    // One termination request to the child and everything in its group (what it waits on, what it left running
    // and holding the output open), whether or not the child itself still runs.
    void enforceLimit() {
        limitReached_ = true;
        graceEnd_ = Clock::now() + grace_;
        ::kill(-pid_, SIGTERM);
    }

    // The grace period is over: what is left of the group is killed, and output that a descendant outside the group
    // may still hold open is no longer waited for.
    void endGroup() {
        ::kill(-pid_, SIGKILL);
        output_.reset();
        input_.reset();
        exited_ = true;
    }

    void readOutput() {
        const ssize_t got = ::read(output_.get(), buffer_, sizeof buffer_);
        if (got > 0) {
            if (sink_) sink_(std::string_view(buffer_, static_cast<std::size_t>(got)));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            output_.reset();
        }
    }

    // Only after poll() itself failed: read on without the time limit, as a plain blocking reader would.
    void drainBlocking() {
        input_.reset();
        while (output_.valid()) readOutput();
    }

    pid_t pid_;
    UniqueFd pidfd_;
    UniqueFd wake_;
    UniqueFd input_;
    UniqueFd output_;
    std::string pendingInput_;
    Clock::time_point deadline_;
    Clock::duration grace_;
    Clock::time_point graceEnd_{};
    SigpipeGuard& sigpipe_;
    bool exited_ = false;
    bool limitReached_ = false;
    bool endedEarly_ = false;
    const std::function<void(std::string_view)>& sink_;
    char buffer_[64 * 1024];
};

}  // namespace

ChildResult startFailure(const std::string& executable, int err) {
    const std::string name = std::filesystem::path(executable).filename().string();
    return ChildResult{false, -1, posixError(err, "Could not start “" + name + "”").description};
}

ChildResult runChild(const ChildRequest& request) {
    SigpipeGuard sigpipe;
    Pipe input;
    Pipe output;
    if (int err = makePipe(input); err != 0) return startFailure(request.executable, err);
    if (int err = makePipe(output); err != 0) return startFailure(request.executable, err);

    pid_t pid = -1;
    {
        const SpawnSetup setup(input.read.get(), output.write.get());
        const auto argv = pointers(request.arguments, &request.executable);
        const auto envp = pointers(request.environment);
        const int err = ::posix_spawn(&pid, request.executable.c_str(), setup.actions(), setup.attributes(),
                                      argv.data(), envp.data());
        if (err != 0) return startFailure(request.executable, err);
    }
    const auto deadline = deadlineAfter(request.timeout);
    input.read.reset();
    output.write.reset();

    UniqueFd pidfd(openPidfd(pid));
    if (!pidfd.valid()) {
        // Only when out of descriptors or memory. Without the handle the time limit cannot be kept, so the child
        // is stopped at once (it is not reaped yet, so its number is still its own) and reported as not started.
        const int err = errno;
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return startFailure(request.executable, err);
    }
    // Five seconds for the group to end at the limit, or the limit itself when it is shorter.
    Clock::duration grace = std::clamp<Clock::duration>(deadline - Clock::now(), {}, std::chrono::seconds(5));
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    // The program is ending (or cannot be told to end this child early): it must not outlive the program, and gets
    // the grace the ending allows.
    const bool entered = wake.valid() && enterChild(pid, wake.get());
    if (!entered) grace = std::min<Clock::duration>(grace, endingGrace());
    ChildRun run(pid, std::move(pidfd), std::move(wake), std::move(input.write), std::move(output.read), request.input,
                 entered ? deadline : Clock::now(), grace, sigpipe, request.output);
    return run.finish();
}

}  // namespace tavix
