#include "pairing/account_pairing.h"

#include <utility>

#include "pairing/setup_download.h"
#include "platform/system/files.h"
#include "platform/system/uuid.h"

namespace tavix {
namespace {

bool bridgeInstalled(const Config& config) {
    return config.count("NODE") != 0 && config.count("ADB") != 0;
}

}  // namespace

void AccountPairing::pairAccount() {
    const StateDirectory& state = host_.state();
    const auto answers = host_.form("Pair this Mac",
                                    "Create a fresh 6-digit code in Devices → Link a computer. First pairing installs "
                                    "the background bridge from your chosen HTTPS server.",
                                    {{"Server", state.server(), false}, {"Pairing code", "", false}}, "Pair");
    if (!answers) return;
    const std::string server = !answers->empty() ? (*answers)[0] : std::string();
    const std::string code = answers->size() > 1 ? (*answers)[1] : std::string();
    if (auto refusal = checkPairingForm(server, code)) return show(*refusal, Outcome::refused);
    const std::string base = baseOf(server);
    if (bridgeInstalled(state.config())) {
        claim(base, code);
    } else if (state.paired()) {
        show(kHalfInstalled, Outcome::refused);
    } else {
        bootstrapBridge(base, code);
    }
}

void AccountPairing::claim(const std::string& base, const std::string& code) {
    const Options& options = host_.options();
    HttpRequest request;
    request.method = "POST";
    request.url = base + "/api/link/claim";
    request.headers = {{"Content-Type", "application/json"}};
    request.body = claimBody(code, claimLabel(host_.computerName()));
    request.idleSeconds = options.claimIdle;
    request.ceilingSeconds = options.claimCeiling;
    // The code is the secret: it goes to the server the user named, and nowhere a redirect points.
    request.sameHostOnly = true;
    request.maxBodyBytes = kMaxClaimReplyBytes;
    // Another operation may have begun while the form was open.
    if (!host_.beginOperation()) return show(kTaskInProgress, Outcome::refused);
    host_.http().send(std::move(request), [this, &mainQueue = host_.mainQueue(), base](HttpResponse response) {
        // Only the parsing happens here, on the request's own thread.
        mainQueue.post([this, base, reply = readClaimReply(std::move(response))] { finishClaim(base, reply); });
    });
}

// On the main thread, once the server has answered (or the request has failed).
void AccountPairing::finishClaim(const std::string& base, const ClaimReply& reply) {
    host_.endOperation();
    const auto token = claimedToken(reply);
    if (!token) {
        host_.alert(std::string(kPairingFailed),
                    reply.transportError ? *reply.transportError : std::string(kCodeExpired), Outcome::failed);
        return;
    }
    const StateDirectory& state = host_.state();
    // Read again: the bridge's set-up may have changed the file while the request ran.
    auto config = state.config();
    config["SERVER"] = base;
    if (!bridgeInstalled(config)) return show(kInstallerFirst, Outcome::failed);
    for (const auto& [data, name] : {std::pair{formatConfig(config["SERVER"], config["NODE"], config["ADB"]), "config"},
                                     std::pair{*token, "token"}}) {
        if (auto error = state.writePrivate(data, name)) {
            return host_.alert(std::string(kCouldNotSavePairing), error->description, Outcome::failed);
        }
    }
    // Usually there is nothing to remove.
    (void)removeEntry(state.entry("paused"));
    host_.restart();
    show(kMacPaired, Outcome::done);
}

void AccountPairing::bootstrapBridge(const std::string& base, const std::string& code) {
    if (runsFromMountedVolume(host_.options().appPath)) return show(kMoveFirst, Outcome::refused);
    if (!host_.beginOperation()) return show(kTaskInProgress, Outcome::refused);
    HttpRequest request;
    request.url = base + "/link";
    request.idleSeconds = host_.options().downloadIdle;
    request.ceilingSeconds = host_.options().downloadCeiling;
    request.maxBodyBytes = kSetupScriptLimit;
    host_.http().send(std::move(request), [this, &mainQueue = host_.mainQueue(), base, code](HttpResponse response) {
        mainQueue.post([this, base, code, response = std::move(response)] { runSetup(base, code, response); });
    });
}

// On the main thread, once the download has ended.
void AccountPairing::runSetup(const std::string& base, const std::string& code, const HttpResponse& response) {
    // The download's operation ends here; the script's run, if any, begins in the same step.
    host_.endOperation();
    if (!acceptSetupDownload(response, base)) {
        host_.alert(std::string(kDownloadFailed),
                    response.transportError ? *response.transportError : std::string(kRetryPairing), Outcome::failed);
        return;
    }
    const StateDirectory& state = host_.state();
    const std::string name = ".setup-" + makeUuid() + ".sh";
    if (auto error = state.writePrivate(*response.body, name)) {
        return host_.alert(std::string(kCouldNotStartSetup), error->description, Outcome::failed);
    }
    const std::filesystem::path root = state.root();
    const std::filesystem::path script = root / name;
    // The code travels in the environment, never in the argument vector that every user can list.
    const Environment environment{{"TAVIX_SERVER", base},
                                  {"TAVIX_HOME", root.string()},
                                  {"TAVIX_CODE", code},
                                  {"TAVIX_MENU_APP_PATH", host_.options().appPath.string()}};
    const bool started =
        host_.process(host_.options().shell, {script.string()}, std::nullopt, environment, host_.options().setupTimeout,
                      [this, script](std::int32_t status, std::string output) {
                          (void)removeEntry(script);
                          if (status == 0 && host_.state().paired()) return show(kTavixReady, Outcome::done);
                          host_.alert(std::string(kSetupNeedsAttention),
                                      output.empty() ? std::string(kRetryPairing) : output, Outcome::failed);
                      });
    if (!started) (void)removeEntry(script);
}

void removeLeftoverScripts(const std::filesystem::path& root) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".setup-") && name.ends_with(".sh")) (void)removeEntry(entry.path());
    }
}

}  // namespace tavix
