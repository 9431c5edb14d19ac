#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "android/android_host.h"
#include "android/qr_pairing.h"
#include "control/bridge_control.h"
#include "control/control_host.h"
#include "control/process_runner.h"
#include "pairing/account_pairing.h"
#include "pairing/pairing_host.h"
#include "platform/application.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/http.h"
#include "platform/main_queue.h"
#include "platform/menu_row.h"
#include "platform/notifier.h"
#include "platform/settings_view.h"
#include "platform/status_item.h"
#include "state/availability.h"
#include "state/config.h"
#include "state/options.h"
#include "state/state_directory.h"
#include "state/state_watcher.h"
#include "state/status.h"
#include "ui/notifications.h"

namespace tavix {

// What the application asks of the desktop and the outside world.
struct Ports {
    MainQueue& mainQueue;
    Dialogs& dialogs;
    StatusItem& item;
    SettingsView& settings;
    Desktop& desktop;
    Http& http;
    Application& application;
    const Clock& clock;
    Notifier& notifier;
};

// Seconds after start at which a desktop that shows no tray icon is told so.
inline constexpr double kNoTraySeconds = 10;

// The application: holds what it keeps in memory, decides whether a command may run, and hands each command to the
// subsystem that carries it out. Main thread only.
class TavixMenu final : public StatusItemDelegate,
                        public ApplicationDelegate,
                        private ControlHost,
                        private PairingHost,
                        private AndroidHost {
  public:
    TavixMenu(Ports ports, Options options);
    TavixMenu(const TavixMenu&) = delete;
    TavixMenu& operator=(const TavixMenu&) = delete;
    ~TavixMenu() override;

    // State directory and its files.
    const std::filesystem::path& home() const { return state_.home(); }
    std::filesystem::path root() const { return state_.root(); }
    Config config() const { return state_.config(); }
    std::string server() const { return state_.server(); }
    bool paused() const { return state_.paused(); }
    bool paired() const { return state_.paired(); }
    bool loginDisabled() const { return state_.loginDisabled(); }
    bool notificationsDisabled() const { return state_.notificationsDisabled(); }
    [[nodiscard]] std::optional<Error> writePrivate(std::string_view data, std::string_view name) const {
        return state_.writePrivate(data, name);
    }
    const StateDirectory& state() const override { return state_; }

    // The bridge's status: the last reading of status.json, and what follows from it now.
    void readStatus() override;
    const Status& status() const { return status_; }
    // Replaces the last reading (the self-test sets its own).
    void setStatus(Status status) { status_ = std::move(status); }
    bool fresh() const override;
    bool working() const override;
    std::string connectionLabel() const;
    Connection connection() const;

    // Start-up, refresh and quit. claimInstance() may come first, before the display is reached: true when this
    // process is the session's one running copy (asked once; later calls give the same answer).
    bool claimInstance();
    void applicationDidFinishLaunching();
    void refresh() override;
    // The program was started again in this session, or asked for one of its commands by name.
    void reopen() override;
    std::optional<ActionRefusal> activateAction(const std::string& name) override;
    void quit();

    // Whether each command may run now, read afresh: what the menu, other programs and the command line go by.
    Snapshot snapshot();
    // A long operation of ours (a child program, a request) is under way.
    bool operation() const { return operation_; }

    // Runs `command` when it may run now (a command that opens a form while one is open brings that one forward
    // instead). Otherwise nothing runs; the refusal is shown as the command shows it (perform), or only returned
    // (request, for callers that report it themselves: other programs, the command line).
    void perform(Command command) override;
    std::optional<Refusal> request(Command command);

    // Settings window.
    void showSettings();

    // Messages and questions.
    void alert(const std::string& title, const std::string& text, Outcome outcome) override;
    std::optional<std::vector<std::string>> form(const std::string& title, const std::string& text,
                                                 const std::vector<FormField>& fields,
                                                 const std::string& button) override;

    // Status menu.
    void menuWillOpen() override;
    // The rows from the last reading of the status.
    std::vector<MenuRow> menuRows() const { return menuRows(paired(), paused()); }

    // Help and shortcuts.
    void openDevices();
    void logs();
    void permissions();
    void usbHelp();
    void updateHelp();

    // Child programs: `completion` gets (status, output) on the main thread; refresh() follows a started run. False,
    // with nothing run and "Task in progress" shown, while another long operation is under way.
    bool process(const std::string& executable, const std::vector<std::string>& arguments,
                 const std::optional<std::string>& input, const Environment& environment, double timeout,
                 ProcessCompletion completion) override;

    // Bridge control.
    bool launch(const std::vector<std::string>& arguments, ProcessCompletion completion);
    void restart() override;
    void togglePause();
    void toggleLogin();
    void disconnect();

    // Account pairing.
    void pairAccount();
    void bootstrapBridge(const std::string& base, const std::string& code);

    // Android over Wi-Fi.
    void wireless(bool pair);
    void pairPhone();
    void connectPhone();
    void pairPhoneQr();

    const Ports& ports() const { return ports_; }
    const Options& options() const override { return options_; }
    const ServiceManager& service() const { return control_.service(); }

  private:
    enum class Caller { window, remote };
    std::optional<Refusal> run(Command command, Caller caller);
    void dispatch(Command command);
    Snapshot snapshotNow() const;
    std::vector<MenuRow> menuRows(bool isPaired, bool isPaused) const;
    // The menu's rows once this turn of the event loop is over, so that the steps of one turn show once.
    void publishRowsSoon();
    // Refreshes as soon as a state file changes; the timer stays, for a status ages without any change.
    void watchState();
    // The option is on the command line.
    bool asked(std::string_view option) const;
    // While a form or a question waits for its answer.
    template <typename Ask>
    auto asking(Ask ask);

    // The hosts' remaining needs.
    bool confirm(const std::string& title, const std::string& text, const std::string& button) override;
    MainQueue& mainQueue() override { return ports_.mainQueue; }
    Http& http() override { return ports_.http; }
    std::string computerName() const override;
    bool beginOperation() override;
    void endOperation() override;
    void runProgram(const ProcessRequest& request, std::function<void(ProcessResult)> done) override;
    void endPrograms() override;
    void runAfter(double seconds, std::function<void()> fn) override;
    std::optional<std::string> showPairingCode(const std::string& payload, const std::string& steps,
                                               std::function<void()> cancel) override;
    void pairingProgress(const std::string& text) override;
    void closePairingCode() override;

    Ports ports_;
    Options options_;
    StateDirectory state_;
    StatusFile statusFile_;
    Status status_;
    ProcessRunner runner_;
    BridgeControl control_;
    AccountPairing pairing_;
    QrPairing qr_;
    NotificationRules notifications_;
    bool operation_ = false;
    bool dialogOpen_ = false;
    bool settingsBuilt_ = false;
    bool rowsQueued_ = false;
    bool openingServed_ = false;
    int instanceLock_ = -1;
    std::optional<bool> instanceClaimed_;
    // Set while a refresh for a change is queued: a burst of changes queues one.
    std::shared_ptr<std::atomic<bool>> refreshQueued_ = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<StateWatcher> watcher_;
};

}  // namespace tavix
