#include "support/test_app.h"

#include <stdexcept>

namespace tavix::test {

TestApp::TestApp(std::string authorityFile) : TestApp(nullptr, std::move(authorityFile)) {}

TestApp::TestApp(const std::function<void(Options&)>& adjust, std::string authorityFile)
    : tavixHome("TAVIX_HOME", (dir.path() / "state").string()), http(std::move(authorityFile)) {
    std::filesystem::create_directories(home());
    options.home = home();
    options.instanceLock = dir.path() / "instance.lock";
    options.arguments = {"tavix-menu"};
    options.appPath = "/usr/bin/tavix-menu";
    // Tests of the systemd path ask for it; the rest exercise the launchctl command lines.
    options.serviceManager = ServiceManagerKind::launchd;
    if (adjust) adjust(options);
    menu = std::make_unique<TavixMenu>(
        Ports{mainQueue, dialogs, item, settings, desktop, http, application, clock, notifier}, options);
}

void TestApp::writeStatus(const nlohmann::json& extra, double ageMs) {
    nlohmann::json status = extra;
    status["at"] = clock.now - ageMs;
    writeFile(root() / "status.json", status.dump());
}

void TestApp::holdOperation() {
    const auto waiter = writeScript(dir / "hold.sh", "while [ ! -e \"$0.released\" ]; do sleep 0.02; done");
    std::filesystem::remove(dir / "hold.sh.released");
    if (!menu->process(waiter.string(), {}, std::nullopt, {}, 60, [](std::int32_t, std::string) {})) {
        throw std::runtime_error("another operation was under way");
    }
}

bool TestApp::releaseOperation() {
    writeFile(dir / "hold.sh.released", "");
    return mainQueue.runUntil([this] { return !menu->operation(); });
}

}  // namespace tavix::test
