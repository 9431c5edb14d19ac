#include "pairing/pair_account.h"

#include <string>
#include <utility>

#include "app/tavix_menu.h"
#include "pairing/claim.h"
#include "platform/system/files.h"

namespace tavix {
namespace {

void show(TavixMenu& menu, const Refusal& message) {
    menu.alert(std::string(message.title), std::string(message.text));
}

bool bridgeInstalled(const Config& config) {
    return config.count("NODE") != 0 && config.count("ADB") != 0;
}

// On the main thread, once the server has answered (or the request has failed).
void finishClaim(TavixMenu& menu, const std::string& base, const ClaimReply& reply) {
    menu.operation = false;
    const auto token = claimedToken(reply);
    if (!token) {
        menu.alert(std::string(kPairingFailed),
                   reply.transportError ? *reply.transportError : std::string(kCodeExpired));
        return;
    }
    // Read again: the bridge's set-up may have changed the file while the request ran.
    auto config = menu.config();
    config["SERVER"] = base;
    if (!bridgeInstalled(config)) return show(menu, kInstallerFirst);
    if (auto error = menu.writePrivate(formatConfig(config["SERVER"], config["NODE"], config["ADB"]), "config")) {
        menu.alert(std::string(kCouldNotSavePairing), error->description);
        return;
    }
    if (auto error = menu.writePrivate(*token, "token")) {
        menu.alert(std::string(kCouldNotSavePairing), error->description);
        return;
    }
    // Usually there is nothing to remove.
    (void)removeEntry(menu.root() / "paused");
    menu.restart();
    show(menu, kMacPaired);
}

void claim(TavixMenu& menu, const std::string& base, const std::string& code) {
    HttpRequest request;
    request.method = "POST";
    request.url = base + "/api/link/claim";
    request.headers = {{"Content-Type", "application/json"}};
    request.body = claimBody(code, claimLabel());
    request.idleSeconds = menu.options().claimIdle;
    request.ceilingSeconds = menu.options().claimCeiling;
    // The code is the secret: it goes to the server the user named, and nowhere a redirect points.
    request.sameHostOnly = true;
    request.maxBodyBytes = kMaxClaimReplyBytes;
    menu.operation = true;
    MainQueue& mainQueue = menu.ports().mainQueue;
    menu.ports().http.send(std::move(request), [&menu, &mainQueue, base](HttpResponse response) {
        // Only the parsing happens here, on the request's own thread.
        mainQueue.post([&menu, base, reply = readClaimReply(std::move(response))] { finishClaim(menu, base, reply); });
    });
}

}  // namespace

void pairAccount(TavixMenu& menu) {
    if (menu.operation || menu.working()) return show(menu, kTaskInProgress);
    const auto answers = menu.form("Pair this Mac",
                                   "Create a fresh 6-digit code in Devices → Link a computer. First pairing installs "
                                   "the background bridge from your chosen HTTPS server.",
                                   {{"Server", menu.server(), false}, {"Pairing code", "", false}}, "Pair");
    if (!answers) return;
    const std::string server = !answers->empty() ? (*answers)[0] : std::string();
    const std::string code = answers->size() > 1 ? (*answers)[1] : std::string();
    if (auto refusal = checkPairingForm(server, code)) return show(menu, *refusal);
    const std::string base = baseOf(server);
    if (bridgeInstalled(menu.config())) {
        claim(menu, base, code);
    } else if (menu.paired()) {
        show(menu, kHalfInstalled);
    } else {
        menu.bootstrapBridge(base, code);
    }
}

}  // namespace tavix
