#include "pairing/bootstrap_bridge.h"

#include <cstdint>
#include <filesystem>
#include <utility>

#include "app/tavix_menu.h"
#include "pairing/setup_download.h"
#include "platform/system/files.h"
#include "platform/system/uuid.h"

namespace tavix {
namespace {

void show(TavixMenu& menu, const Refusal& message) {
    menu.alert(std::string(message.title), std::string(message.text));
}

// On the main thread, once the download has ended.
void runSetup(TavixMenu& menu, const std::string& base, const std::string& code, const std::filesystem::path& appPath,
              const HttpResponse& response) {
    if (!acceptSetupDownload(response, base)) {
        menu.operation = false;
        menu.alert(std::string(kDownloadFailed),
                   response.transportError ? *response.transportError : std::string(kRetryPairing));
        return;
    }
    const std::string name = ".setup-" + makeUuid() + ".sh";
    if (auto error = menu.writePrivate(*response.body, name)) {
        menu.operation = false;
        menu.alert(std::string(kCouldNotStartSetup), error->description);
        return;
    }
    const std::filesystem::path root = menu.root();
    const std::filesystem::path script = root / name;
    // The code travels in the environment, never in the argument vector that every user can list.
    const Environment environment{{"TAVIX_SERVER", base},
                                  {"TAVIX_HOME", root.string()},
                                  {"TAVIX_CODE", code},
                                  {"TAVIX_MENU_APP_PATH", appPath.string()}};
    menu.operation = true;
    menu.process(menu.options().shell, {script.string()}, std::nullopt, environment, menu.options().setupTimeout,
                 [&menu, script](std::int32_t status, std::string output) {
                     (void)removeEntry(script);
                     if (status == 0 && menu.paired()) return show(menu, kTavixReady);
                     menu.alert(std::string(kSetupNeedsAttention),
                                output.empty() ? std::string(kRetryPairing) : output);
                 });
}

}  // namespace

void removeLeftoverScripts(const std::filesystem::path& root) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".setup-") && name.ends_with(".sh")) (void)removeEntry(entry.path());
    }
}

void bootstrapBridge(TavixMenu& menu, const std::string& base, const std::string& code) {
    const std::filesystem::path appPath = menu.options().appPath;
    if (runsFromMountedVolume(appPath)) return show(menu, kMoveFirst);
    menu.operation = true;
    HttpRequest request;
    request.url = base + "/link";
    request.idleSeconds = menu.options().downloadIdle;
    request.ceilingSeconds = menu.options().downloadCeiling;
    request.maxBodyBytes = kSetupScriptLimit;
    MainQueue& mainQueue = menu.ports().mainQueue;
    menu.ports().http.send(std::move(request), [&menu, &mainQueue, base, code, appPath](HttpResponse response) {
        mainQueue.post([&menu, base, code, appPath, response = std::move(response)] {
            runSetup(menu, base, code, appPath, response);
        });
    });
}

}  // namespace tavix
