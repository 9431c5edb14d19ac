#pragma once

#include <unistd.h>

#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_app.h"

namespace tavix::test {

// A launchctl stand-in: appends its arguments as one line to "calls", prints "<first argument> output <n>" and
// exits with the n-th line of "statuses" (0 when there is none).
struct FakeLaunchctl {
    FakeLaunchctl()
        : path(writeScript(dir / "launchctl", "d='" + dir.path().string() +
                                                  "'\n"
                                                  "echo \"$*\" >> \"$d/calls\"\n"
                                                  "n=$(wc -l < \"$d/calls\")\n"
                                                  "s=$(sed -n \"${n}p\" \"$d/statuses\" 2>/dev/null)\n"
                                                  "echo \"$1 output $n\"\n"
                                                  "exit \"${s:-0}\"")) {}

    void statuses(std::initializer_list<int> list) const {
        std::string text;
        for (int s : list) text += std::to_string(s) + "\n";
        writeFile(dir / "statuses", text);
    }
    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream in(dir / "calls");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // Options pointing the application at this script.
    auto adjust() const {
        return [this](Options& options) { options.launchctl = path.string(); };
    }

    TempDir dir;
    std::filesystem::path path;
};

inline std::string service() {
    return "gui/" + std::to_string(::getuid()) + "/app.tavix.link";
}

// Runs the main queue until no launchctl run is under way.
inline bool settle(TestApp& app) {
    return app.mainQueue.runUntil([&app] { return !app.menu->operation; });
}

}  // namespace tavix::test
