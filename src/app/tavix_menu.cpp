#include "app/tavix_menu.h"

#include <unistd.h>

#include <algorithm>

#include "android/wireless.h"
#include "control/process_runner.h"
#include "pairing/bootstrap_bridge.h"
#include "pairing/pair_account.h"
#include "platform/system/url.h"
#include "ui/help_actions.h"
#include "ui/live_labels.h"
#include "ui/status_menu.h"

namespace tavix {

TavixMenu::TavixMenu(Ports ports, Options options)
    : ports_(ports), options_(std::move(options)), state_(options_.home), service_(makeServiceManager(options_)) {}

TavixMenu::~TavixMenu() {
    watcher_.reset();
    if (instanceLock_ >= 0) ::close(instanceLock_);
}

void TavixMenu::readStatus() {
    status = statusFile_.read(state_.entryPath("status.json").c_str());
}

bool TavixMenu::fresh() const {
    return isFresh(status, ports_.clock.nowMilliseconds());
}

bool TavixMenu::working() const {
    return isWorking(status, ports_.clock.nowMilliseconds());
}

std::string TavixMenu::connectionLabel() const {
    return tavix::connectionLabel(paired(), paused(), status, ports_.clock.nowMilliseconds());
}

void TavixMenu::applicationDidFinishLaunching() {
    if (!claimInstance()) {
        ports_.application.terminate();
        return;
    }
    // Only one copy runs from here on: a set-up script still in the state directory was left by a crash.
    removeLeftoverScripts(root());
    ports_.item.create("Tavix Link", *this);
    refresh();
    const auto& args = options_.arguments;
    if (std::find(args.begin(), args.end(), "--settings") != args.end() || !paired()) perform(Command::showSettings);
    ports_.application.startRepeatingTimer(3.0, [this] { refresh(); });
    watchState();
    // Without a tray the application would be invisible: say so, once, beside the window that does everything the
    // menu does.
    ports_.application.runAfter(kNoTraySeconds, [this] {
        if (ports_.item.shown()) return;
        showSettings();
        alert(std::string(kNoTrayHelp.title), std::string(kNoTrayHelp.text));
    });
}

void TavixMenu::watchState() {
    std::weak_ptr<std::atomic<bool>> queued = refreshQueued_;
    MainQueue& mainQueue = ports_.mainQueue;
    auto changed = [this, queued, &mainQueue] {
        auto flag = queued.lock();
        if (!flag || flag->exchange(true)) return;
        // Whatever changes from here on is read by this refresh or queues the next one.
        mainQueue.post([this, queued] {
            if (auto still = queued.lock()) {
                still->store(false);
                refresh();
            }
        });
    };
    watcher_ = std::make_unique<StateWatcher>(root(), shownEntries(), std::move(changed));
}

bool TavixMenu::claimInstance() {
    if (instanceClaimed_) return *instanceClaimed_;
    switch (ports_.application.claimInstance(*this)) {
        case InstanceClaim::claimed:
            instanceClaimed_ = true;
            break;
        case InstanceClaim::another:
            instanceClaimed_ = false;
            break;
        case InstanceClaim::unavailable:
            instanceLock_ = acquireInstanceLock(options_.instanceLock);
            instanceClaimed_ = instanceLock_ != -1;
            break;
    }
    return *instanceClaimed_;
}

void TavixMenu::reopen() {
    perform(Command::showSettings);
}

bool TavixMenu::activateAction(const std::string& name) {
    const std::optional<Command> command = commandNamed(name);
    // Later, on its own: the caller gets its answer now, even when the command opens a form and waits for the user.
    if (command) ports_.mainQueue.post([this, c = *command] { perform(c); });
    return command.has_value();
}

void TavixMenu::refresh() {
    readStatus();
    const double now = ports_.clock.nowMilliseconds();
    const bool isPaired = paired();
    const bool isPaused = paused();
    ports_.item.setTooltip("Tavix Link · " + tavix::connectionLabel(isPaired, isPaused, status, now));
    if (settingsWindow) ports_.settings.setLabels(liveLabels(isPaired, isPaused, status, now));
    // Some tray hosts never say that the menu opens or closes: keep its rows current all the time.
    ports_.item.setMenu(menuRows(isPaired, isPaused));
}

void TavixMenu::showSettings() {
    if (settingsWindow) {
        ports_.settings.present(/*centre=*/false);
        ports_.application.activate();
        return;
    }
    ports_.settings.build(hostOrWhole(server()), *this);
    settingsWindow = true;
    refresh();
    ports_.settings.present(/*centre=*/true);
    ports_.application.activate();
}

void TavixMenu::alert(const std::string& title, const std::string& text) {
    ports_.application.activate();
    ports_.dialogs.alert(title, text);
}

std::optional<std::vector<std::string>> TavixMenu::form(const std::string& title, const std::string& text,
                                                        const std::vector<FormField>& fields,
                                                        const std::string& button) {
    ports_.application.activate();
    return ports_.dialogs.form(title, text, fields, button);
}

void TavixMenu::openDevices() {
    tavix::openDevices(*this);
}
void TavixMenu::logs() {
    openLogs(*this);
}
void TavixMenu::permissions() {
    explainPermissions(*this);
}
void TavixMenu::usbHelp() {
    alert(std::string(kUsbHelp.title), std::string(kUsbHelp.text));
}
void TavixMenu::updateHelp() {
    alert(std::string(kUpdateHelp.title), std::string(kUpdateHelp.text));
}

void TavixMenu::process(const std::string& executable, const std::vector<std::string>& arguments,
                        const std::optional<std::string>& input, const Environment& environment, double timeout,
                        ProcessCompletion completion) {
    runProcess(*this, executable, arguments, input, environment, timeout, std::move(completion));
}

void TavixMenu::wireless(bool pair) {
    runWireless(*this, pair);
}

void TavixMenu::pairAccount() {
    tavix::pairAccount(*this);
}
void TavixMenu::bootstrapBridge(const std::string& base, const std::string& code) {
    tavix::bootstrapBridge(*this, base, code);
}

void TavixMenu::quit() {
    ports_.application.terminate();
}

void TavixMenu::menuWillOpen() {
    refresh();
}

std::vector<MenuRow> TavixMenu::menuRows() const {
    return menuRows(paired(), paused());
}

std::vector<MenuRow> TavixMenu::menuRows(bool isPaired, bool isPaused) const {
    MenuInputs in = menuInputs(status, ports_.clock.nowMilliseconds(), isPaired, isPaused);
    in.loginDisabled = loginDisabled();
    in.server = server();
    in.operation = operation;
    return statusMenu(in);
}

void TavixMenu::perform(Command command) {
    switch (command) {
        case Command::showSettings:
            showSettings();
            break;
        case Command::openDevices:
            openDevices();
            break;
        case Command::logs:
            logs();
            break;
        case Command::pairAccount:
            pairAccount();
            break;
        case Command::permissions:
            permissions();
            break;
        case Command::usbHelp:
            usbHelp();
            break;
        case Command::updateHelp:
            updateHelp();
            break;
        case Command::togglePause:
            togglePause();
            break;
        case Command::restart:
            restart();
            break;
        case Command::toggleLogin:
            toggleLogin();
            break;
        case Command::disconnect:
            disconnect();
            break;
        case Command::pairPhone:
            pairPhone();
            break;
        case Command::connectPhone:
            connectPhone();
            break;
        case Command::quit:
            quit();
            break;
        default:
            break;
    }
}

}  // namespace tavix
