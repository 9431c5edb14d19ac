#include "platform/system/child_call.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>

#include "platform/system/files.h"

namespace tavix {
namespace {

using Clock = std::chrono::steady_clock;

// The answer is a copy of the input with a little markup; this is far past any answer worth having.
constexpr std::size_t kMaxAnswerBytes = 64 * 1024 * 1024;

// The data segment in use now (heap and private mappings), which is what the copy's memory limit is added to.
rlim_t dataBytesInUse() {
    std::ifstream statm("/proc/self/statm");
    unsigned long size = 0, resident = 0, shared = 0, text = 0, lib = 0, data = 0;
    if (!(statm >> size >> resident >> shared >> text >> lib >> data)) return 0;
    return static_cast<rlim_t>(data) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
}

// In the copy: only the calling thread exists, and nothing may return into the caller's code.
[[noreturn]] void runCopy(const std::function<std::string()>& work, int out, pid_t parent, rlim_t dataLimit,
                          std::chrono::milliseconds limit) {
    // Ends with the process that is waiting for it, even if that one is killed first.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(125);
    if (dataLimit > 0) {
        const rlimit data{dataLimit, dataLimit};
        ::setrlimit(RLIMIT_DATA, &data);
    }
    // A crash of the copy is expected and of no use to anybody: no core dump of the whole application.
    ::prctl(PR_SET_DUMPABLE, 0);
    const auto seconds = static_cast<rlim_t>(std::chrono::ceil<std::chrono::seconds>(limit).count() + 1);
    const rlimit cpu{seconds, seconds};
    ::setrlimit(RLIMIT_CPU, &cpu);
    int status = 0;
    try {
        status = writeFully(out, work()) == 0 ? 0 : 124;
    } catch (...) {
        status = 123;
    }
    ::_exit(status);
}

void reap(pid_t pid, int& status) {
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

std::variant<std::string, ChildCallFailure> callInChild(const std::function<std::string()>& work,
                                                        std::chrono::milliseconds limit, std::size_t memoryBytes) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return ChildCallFailure::couldNotStart;
    const rlim_t inUse = dataBytesInUse();
    const rlim_t dataLimit = inUse > 0 ? inUse + static_cast<rlim_t>(memoryBytes) : 0;
    const pid_t parent = ::getpid();
    const auto deadline = Clock::now() + limit;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        return ChildCallFailure::couldNotStart;
    }
    if (pid == 0) {
        ::close(ends[0]);
        runCopy(work, ends[1], parent, dataLimit, limit);
    }
    ::close(ends[1]);

    enum class Reading { going, ended, late, tooLarge } reading = Reading::going;
    std::string answer;
    char buffer[64 * 1024];
    while (reading == Reading::going) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd ready{ends[0], POLLIN, 0};
        const int polled = left > 0 ? ::poll(&ready, 1, static_cast<int>(left)) : 0;
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) {
            reading = Reading::late;
            break;
        }
        const ssize_t got = ::read(ends[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            reading = Reading::ended;
        } else if (answer.size() + static_cast<std::size_t>(got) > kMaxAnswerBytes) {
            reading = Reading::tooLarge;
        } else {
            answer.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(ends[0]);
    // Not reaped yet, so the number is still the copy's own.
    if (reading != Reading::ended) ::kill(pid, SIGKILL);
    int status = 0;
    reap(pid, status);
    if (reading == Reading::late) return ChildCallFailure::timedOut;
    if (reading != Reading::ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return ChildCallFailure::failed;
    return answer;
}

}  // namespace tavix
