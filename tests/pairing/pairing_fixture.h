#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/https_test_server.h"
#include "support/test_app.h"

namespace tavix::test {

// The application against a real local HTTPS server, with recording stand-ins for launchctl and the shell.
class PairingFixture : public ::testing::Test {
  protected:
    PairingFixture() {
        // Each records its arguments, one per line, and ends with a "---" line.
        writeScript(tools / "launchctl", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                                             (tools / "launchctl.args").string() + "'\necho --- >> '" +
                                             (tools / "launchctl.args").string() + "'\nexit 0");
        writeScript(tools / "sh", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                                      (tools / "sh.args").string() + "'\necho --- >> '" + (tools / "sh.args").string() +
                                      "'\nexec /bin/sh \"$@\"");
    }

    void start(const std::function<void(Options&)>& adjust = {}) {
        app = std::make_unique<TestApp>(
            [&](Options& options) {
                options.serviceManager = ServiceManagerKind::launchd;
                options.launchctl = (tools / "launchctl").string();
                options.shell = (tools / "sh").string();
                if (adjust) adjust(options);
            },
            TestAuthority::shared().authorityFile().string());
    }

    // Runs the main queue until an alert has been shown and no operation is under way any more.
    void settle() {
        ASSERT_TRUE(app->mainQueue.runUntil([&] { return !app->dialogs.alerts.empty() && !app->menu->operation; },
                                            std::chrono::seconds(120)));
    }

    // The argument lists each recorded run received.
    std::vector<std::vector<std::string>> runsOf(const std::string& program) const {
        std::vector<std::vector<std::string>> runs(1);
        std::istringstream lines(readAll(tools / (program + ".args")));
        for (std::string line; std::getline(lines, line);) {
            if (line == "---") {
                runs.emplace_back();
            } else {
                runs.back().push_back(line);
            }
        }
        runs.pop_back();
        return runs;
    }

    std::vector<Message> alerts() const { return app->dialogs.alerts; }

    TempDir tools;
    HttpsTestServer server;
    std::unique_ptr<TestApp> app;
};

}  // namespace tavix::test
