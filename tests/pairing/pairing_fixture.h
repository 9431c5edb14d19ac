#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pairing/account_pairing.h"
#include "support/https_test_server.h"
#include "support/test_app.h"

namespace tavix::test {

inline Message message(const Refusal& refusal) {
    return {std::string(refusal.title), std::string(refusal.text)};
}

// The application against a real local HTTPS server, with stand-ins for launchctl and the shell that record
// each run's arguments as a "[first][second]…" line before doing their work.
class PairingFixture : public ::testing::Test {
  protected:
    PairingFixture() {
        writeScript(tools / "launchctl", "printf '[%s]' \"$@\" >> \"$0.args\"\necho >> \"$0.args\"");
        writeScript(tools / "sh", "printf '[%s]' \"$@\" >> \"$0.args\"\necho >> \"$0.args\"\nexec /bin/sh \"$@\"");
        writeFile(tools / "machine-info", "PRETTY_HOSTNAME=\"Ada's laptop\"\n");
    }

    void start(const std::function<void(Options&)>& adjust = {}) {
        app.reset();  // its TAVIX_HOME is put back first
        app = std::make_unique<TestApp>(
            [&](Options& options) {
                options.launchctl = (tools / "launchctl").string();
                options.shell = (tools / "sh").string();
                options.machineInfo = (tools / "machine-info").string();
                if (adjust) adjust(options);
            },
            server.authority());
    }

    // Runs `command`, then the main queue until its one message has been shown and nothing runs any more.
    Message outcome(const std::function<void()>& command) {
        app->dialogs.alerts.clear();
        command();
        EXPECT_TRUE(app->mainQueue.runUntil([&] { return !alerts().empty() && !app->menu->operation(); },
                                            std::chrono::seconds(120)));
        EXPECT_EQ(alerts().size(), 1u);
        return alerts().empty() ? Message{} : alerts().back();
    }

    std::string argsOf(const std::string& tool) const { return readAll(tools / (tool + ".args")); }

    const std::vector<Message>& alerts() const { return app->dialogs.alerts; }

    TempDir tools;
    HttpsTestServer server;
    std::unique_ptr<TestApp> app;
};

}  // namespace tavix::test
