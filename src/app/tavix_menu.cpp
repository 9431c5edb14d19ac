#include "app/tavix_menu.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "android/wireless.h"
#include "platform/system/host_name.h"
#include "platform/system/running_children.h"
#include "platform/system/single_instance.h"
#include "platform/system/url.h"
#include "platform/system/utf8.h"
#include "ui/help_actions.h"
#include "ui/live_labels.h"
#include "ui/status_menu.h"

namespace tavix {
namespace {

void show(TavixMenu& menu, const HelpText& help) {
    menu.alert(std::string(help.title), std::string(help.text), Outcome::done);
}

// What the user gives up on ends at once: a program gets this long after SIGTERM before it is killed.
constexpr std::chrono::milliseconds kCancelGrace{400};

}  // namespace

TavixMenu::TavixMenu(Ports ports, Options options)
    : ports_(ports),
      options_(std::move(options)),
      state_(options_.home),
      runner_(ports_.mainQueue),
      control_(*this, options_),
      pairing_(*this),
      qr_(*this),
      notifications_(ports_.notifier, *this) {}

TavixMenu::~TavixMenu() {
    watcher_.reset();
    if (instanceLock_ >= 0) ::close(instanceLock_);
}

void TavixMenu::readStatus() {
    status_ = statusFile_.read(state_.entryPath("status.json").c_str());
}

bool TavixMenu::fresh() const {
    return isFresh(status_, ports_.clock.nowMilliseconds());
}

bool TavixMenu::working() const {
    return isWorking(status_, ports_.clock.nowMilliseconds());
}

std::string TavixMenu::connectionLabel() const {
    return tavix::connectionLabel(connection());
}

Connection TavixMenu::connection() const {
    return tavix::connection(paired(), paused(), status_, ports_.clock.nowMilliseconds());
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
    if (asked("--settings") || !paired()) showSettings();
    if (asked("--pair-phone-qr")) perform(Command::pairPhoneQr);
    ports_.application.startRepeatingTimer(3.0, [this] { refresh(); });
    watchState();
    // Without a tray the application would be invisible: say so, once, beside the window that does everything the
    // menu does.
    ports_.application.runAfter(kNoTraySeconds, [this] {
        if (ports_.item.shown()) return;
        showSettings();
        show(*this, kNoTrayHelp);
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

bool TavixMenu::asked(std::string_view option) const {
    const auto& args = options_.arguments;
    return std::find(args.begin(), args.end(), option) != args.end();
}

bool TavixMenu::claimInstance() {
    if (instanceClaimed_) return *instanceClaimed_;
    // A later start that asks for the phone's QR code has the running copy show it.
    std::optional<std::string> action;
    if (asked("--pair-phone-qr")) action = std::string(commandName(Command::pairPhoneQr));
    switch (ports_.application.claimInstance(*this, action)) {
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

std::optional<ActionRefusal> TavixMenu::activateAction(const std::string& name) {
    const std::optional<Command> command = commandNamed(name);
    if (!command) return ActionRefusal{true, "Tavix Link has no action named “" + name + "”."};
    const Snapshot now = snapshot();
    if (!(dialogOpen_ && opensDialog(*command))) {
        if (auto refusal = availability(*command, now).refusal) {
            return ActionRefusal{false, std::string(refusal->title) + ": " + std::string(refusal->text)};
        }
    }
    // Later, on its own: the caller gets its answer now, even when the command opens a form and waits for the user.
    ports_.mainQueue.post([this, c = *command] { (void)run(c, Caller::remote); });
    return std::nullopt;
}

void TavixMenu::refresh() {
    readStatus();
    const double now = ports_.clock.nowMilliseconds();
    const bool isPaired = paired();
    const bool isPaused = paused();
    const std::string label = tavix::connectionLabel(isPaired, isPaused, status_, now);
    ports_.item.setTooltip("Tavix Link · " + label);
    if (settingsBuilt_) ports_.settings.setLabels(liveLabels(isPaired, isPaused, status_, now));
    NotificationInputs seen{label, std::nullopt, now, !notificationsDisabled(), ports_.settings.focused()};
    if (const auto error = errorRow(status_, isFresh(status_, now))) seen.error = displayable(*error, true);
    notifications_.observe(seen);
    // Some tray hosts never say that the menu opens or closes: keep its rows current all the time.
    ports_.item.setMenu(menuRows(isPaired, isPaused));
}

void TavixMenu::publishRowsSoon() {
    if (rowsQueued_) return;
    rowsQueued_ = true;
    ports_.mainQueue.post([this] {
        rowsQueued_ = false;
        ports_.item.setMenu(menuRows(paired(), paused()));
    });
}

Snapshot TavixMenu::snapshotNow() const {
    Snapshot now;
    now.paired = paired();
    now.working = working();
    now.operation = operation_;
    now.dialogOpen = dialogOpen_;
    return now;
}

Snapshot TavixMenu::snapshot() {
    readStatus();
    return snapshotNow();
}

void TavixMenu::perform(Command command) {
    (void)run(command, Caller::window);
}

std::optional<Refusal> TavixMenu::request(Command command) {
    return run(command, Caller::remote);
}

std::optional<Refusal> TavixMenu::run(Command command, Caller caller) {
    const Snapshot now = snapshot();
    // One form or question at a time: asking again brings the open one forward.
    if (now.dialogOpen && opensDialog(command)) {
        ports_.application.activate();
        ports_.dialogs.raiseOpen();
        return std::nullopt;
    }
    const Availability verdict = availability(command, now);
    if (verdict.refusal) {
        if (caller == Caller::window && verdict.shownInWindows) {
            alert(std::string(verdict.refusal->title), std::string(verdict.refusal->text), Outcome::refused);
        }
        return verdict.refusal;
    }
    dispatch(command);
    return std::nullopt;
}

void TavixMenu::dispatch(Command command) {
    switch (command) {
        case Command::showSettings:
            return showSettings();
        case Command::openDevices:
            if (auto address = devicesPage(server())) ports_.desktop.openUrl(*address);
            return;
        case Command::logs:
            return ports_.desktop.openFile(root() / "log");
        case Command::pairAccount:
            return pairing_.pairAccount();
        case Command::permissions:
            // Linux has no privacy settings page to open: the explanation alone.
            return show(*this, kPermissionsHelp);
        case Command::usbHelp:
            return show(*this, kUsbHelp);
        case Command::updateHelp:
            return show(*this, kUpdateHelp);
        case Command::togglePause:
            return control_.togglePause();
        case Command::restart:
            return control_.restart();
        case Command::toggleLogin:
            return control_.toggleLogin();
        case Command::disconnect:
            return control_.disconnect();
        case Command::pairPhone:
            return tavix::wireless(*this, true);
        case Command::connectPhone:
            return tavix::wireless(*this, false);
        case Command::pairPhoneQr:
            return qr_.start();
        case Command::quit:
            return ports_.application.terminate();
    }
}

void TavixMenu::showSettings() {
    if (settingsBuilt_) {
        ports_.settings.present(/*centre=*/false);
        ports_.application.activate();
        return;
    }
    ports_.settings.build(displayable(hostOrWhole(server()), true), *this);
    settingsBuilt_ = true;
    refresh();
    ports_.settings.present(/*centre=*/true);
    ports_.application.activate();
}

void TavixMenu::alert(const std::string& title, const std::string& text, Outcome outcome) {
    ports_.application.activate();
    ports_.dialogs.alert(title, text, outcome);
}

template <typename Ask>
auto TavixMenu::asking(Ask ask) {
    ports_.application.activate();
    const bool outer = !dialogOpen_;
    dialogOpen_ = true;
    auto answer = ask();
    if (outer) dialogOpen_ = false;
    return answer;
}

std::optional<std::vector<std::string>> TavixMenu::form(const std::string& title, const std::string& text,
                                                        const std::vector<FormField>& fields,
                                                        const std::string& button) {
    return asking([&] { return ports_.dialogs.form(title, text, fields, button); });
}

bool TavixMenu::confirm(const std::string& title, const std::string& text, const std::string& button) {
    return asking([&] { return ports_.dialogs.confirm(title, text, button); });
}

void TavixMenu::openDevices() {
    perform(Command::openDevices);
}
void TavixMenu::logs() {
    perform(Command::logs);
}
void TavixMenu::permissions() {
    perform(Command::permissions);
}
void TavixMenu::usbHelp() {
    perform(Command::usbHelp);
}
void TavixMenu::updateHelp() {
    perform(Command::updateHelp);
}

bool TavixMenu::beginOperation() {
    if (operation_) return false;
    operation_ = true;
    publishRowsSoon();
    return true;
}

void TavixMenu::endOperation() {
    operation_ = false;
    publishRowsSoon();
}

bool TavixMenu::process(const std::string& executable, const std::vector<std::string>& arguments,
                        const std::optional<std::string>& input, const Environment& environment, double timeout,
                        ProcessCompletion completion) {
    if (!beginOperation()) {
        alert(std::string(kTaskInProgress.title), std::string(kTaskInProgress.text), Outcome::refused);
        return false;
    }
    runner_.run({executable, arguments, input, environment, timeout, OutputShape::message},
                [this, completion = std::move(completion)](ProcessResult result) {
                    endOperation();
                    completion(result.status, std::move(result.output));
                    if (result.started) refresh();
                });
    return true;
}

void TavixMenu::runProgram(const ProcessRequest& request, std::function<void(ProcessResult)> done) {
    runner_.run(request, std::move(done));
}

void TavixMenu::endPrograms() {
    endChildren(kCancelGrace);
}

void TavixMenu::runAfter(double seconds, std::function<void()> fn) {
    ports_.application.runAfter(seconds, std::move(fn));
}

std::string TavixMenu::computerName() const {
    return tavix::computerName(options_.machineInfo);
}

std::optional<std::string> TavixMenu::showPairingCode(const std::string& payload, const std::string& steps,
                                                      std::function<void()> cancel) {
    ports_.application.activate();
    auto failure = ports_.dialogs.showPairingCode(payload, steps, std::move(cancel));
    // The code's window counts as an open form: asking to pair again brings it forward.
    if (!failure) dialogOpen_ = true;
    return failure;
}

void TavixMenu::pairingProgress(const std::string& text) {
    ports_.dialogs.pairingProgress(text);
}

void TavixMenu::closePairingCode() {
    dialogOpen_ = false;
    ports_.dialogs.closePairingCode();
}

bool TavixMenu::launch(const std::vector<std::string>& arguments, ProcessCompletion completion) {
    return control_.launch(arguments, std::move(completion));
}
void TavixMenu::restart() {
    perform(Command::restart);
}
void TavixMenu::togglePause() {
    perform(Command::togglePause);
}
void TavixMenu::toggleLogin() {
    perform(Command::toggleLogin);
}
void TavixMenu::disconnect() {
    perform(Command::disconnect);
}
void TavixMenu::pairAccount() {
    perform(Command::pairAccount);
}
void TavixMenu::bootstrapBridge(const std::string& base, const std::string& code) {
    pairing_.bootstrapBridge(base, code);
}
void TavixMenu::wireless(bool pair) {
    perform(pair ? Command::pairPhone : Command::connectPhone);
}
void TavixMenu::pairPhone() {
    wireless(true);
}
void TavixMenu::connectPhone() {
    wireless(false);
}
void TavixMenu::pairPhoneQr() {
    perform(Command::pairPhoneQr);
}

void TavixMenu::quit() {
    perform(Command::quit);
}

void TavixMenu::menuWillOpen() {
    // A panel may ask many times at once: one refresh serves every opening of this turn of the event loop.
    if (openingServed_) return;
    openingServed_ = true;
    ports_.mainQueue.post([this] { openingServed_ = false; });
    refresh();
}

std::vector<MenuRow> TavixMenu::menuRows(bool isPaired, bool isPaused) const {
    MenuInputs in = menuInputs(status_, ports_.clock.nowMilliseconds(), isPaired, isPaused);
    in.loginDisabled = loginDisabled();
    in.server = server();
    in.now.operation = operation_;
    in.now.dialogOpen = dialogOpen_;
    return statusMenu(in);
}

}  // namespace tavix
