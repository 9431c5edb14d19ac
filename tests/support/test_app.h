#pragma once

#include <functional>
#include <memory>

#include <nlohmann/json.hpp>

#include "app/tavix_menu.h"
#include "platform/system/curl_http.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"

namespace tavix::test {

// The application on fakes: a temporary home with the state directory in it (through TAVIX_HOME), a
// test-drained main queue, recorded dialogs, tray, settings window and desktop, and a clock the test sets.
struct TestApp {
    explicit TestApp(std::string authorityFile = {});
    // Lets a test change the options (program paths, time limits) before the application is built.
    explicit TestApp(const std::function<void(Options&)>& adjust, std::string authorityFile = {});

    // The state directory ($TAVIX_HOME) and the home directory.
    std::filesystem::path root() const { return dir.path() / "state"; }
    std::filesystem::path home() const { return dir.path() / "home"; }
    // Writes a status.json whose "at" is `ageMs` before the clock, with `extra` members merged in.
    void writeStatus(const nlohmann::json& extra = nlohmann::json::object(), double ageMs = 0);
    // Keeps the application busy with a long operation (a program that waits) until releaseOperation(), which
    // works the main queue until it has ended.
    void holdOperation();
    bool releaseOperation();

    TempDir dir;
    ScopedEnv tavixHome;
    FakeMainQueue mainQueue;
    FakeDialogs dialogs;
    FakeStatusItem item;
    FakeSettingsView settings;
    FakeDesktop desktop;
    CurlHttp http;
    FakeApplication application;
    FakeClock clock;
    FakeNotifier notifier;
    Options options;
    std::unique_ptr<TavixMenu> menu;
};

}  // namespace tavix::test
