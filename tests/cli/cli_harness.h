#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "support/temp_dir.h"

namespace tavix::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// `tavix` run in this process on a temporary home and state directory, with systemctl replaced by a script that
// records its arguments (one call a line in "systemctl.calls") and exits with the status in "systemctl.status".
struct CliHarness {
    CliHarness();

    std::filesystem::path root() const { return dir.path() / "state"; }
    std::filesystem::path home() const { return dir.path() / "home"; }
    // Writes status.json with "at" `ageMs` before now.
    void writeStatus(std::string members = "", double ageMs = 0) const;
    void useAdb(const std::string& body) const { useFakeAdb(dir.path(), root(), body); }
    std::string calls(const std::string& program) const;

    // Runs the command line with `input` as standard input (not a terminal), interrupted when `interrupt` turns
    // readable (a signalfd's record).
    CliResult run(const std::vector<std::string>& arguments, const std::string& input = "", int interrupt = -1);

    TempDir dir;
    ScopedEnv tavixHome;
    ScopedEnv configHome{"XDG_CONFIG_HOME", std::nullopt};
    cli::Settings settings;
};

// The real `tavix` program as a child, on a terminal of its own (whose lines end in "\r\n"), of `columns` by `rows`
// when they are given; its standard output goes to /dev/null instead with `quietOutput`.
class Program {
  public:
    explicit Program(const std::vector<std::string>& arguments, unsigned short columns = 0, unsigned short rows = 0,
                     bool quietOutput = false);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    void write(const std::string& text) const;
    // Reads what the program writes until it holds `text`; false at the time limit.
    bool readUntil(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(10),
                   bool toEnd = false);
    // Reads until the output ends (the program has ended) or the time limit.
    void readToEnd(std::chrono::milliseconds limit = std::chrono::seconds(10)) { readUntil({}, limit, true); }
    void signal(int number) const;
    // The exit status (minus the signal that killed it), or nothing if the program is still running at the time
    // limit.
    std::optional<int> wait(std::chrono::milliseconds limit = std::chrono::seconds(10));

    std::string out;

  private:
    pid_t pid_ = -1;
    int terminal_ = -1;
};

// Whether a process of this number is running (a zombie does not count).
bool running(pid_t pid);

}  // namespace tavix::test
