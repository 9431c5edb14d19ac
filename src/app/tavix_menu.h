#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/service_manager.h"
#include "platform/application.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/http.h"
#include "platform/main_queue.h"
#include "platform/settings_view.h"
#include "platform/system/single_instance.h"
#include "platform/status_item.h"
#include "state/config.h"
#include "state/state_directory.h"
#include "state/state_watcher.h"
#include "state/status.h"
#include "platform/menu_row.h"

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
};

struct Options {
    std::filesystem::path home = userHome();
    std::vector<std::string> arguments;  // the command line, the program first
    std::filesystem::path appPath;       // the running executable
    // The running copy's lock when there is no session bus.
    std::filesystem::path instanceLock = defaultInstanceLockPath(home);
    // Programs the application runs; tests point them at scripts.
    std::string launchctl = "/bin/launchctl";
    std::string systemctl = "/usr/bin/systemctl";
    std::string shell = "/bin/sh";
    // The service manager that runs the bridge; left open, launchd where /bin/launchctl exists, else systemd.
    std::optional<ServiceManagerKind> serviceManager;
    // Time limits, in seconds. systemctl waits as long as systemd's own job time-outs (90 s by default) and more.
    double launchTimeout = 30;
    double systemctlTimeout = 120;
    double setupTimeout = 420;
    double adbTimeout = 30;
    // A request ends once nothing has come for its idle limit, and in any case at its ceiling.
    double claimIdle = 20;
    double claimCeiling = 120;
    double downloadIdle = 25;
    double downloadCeiling = 600;
};

using Environment = std::map<std::string, std::string>;
using ProcessCompletion = std::function<void(std::int32_t status, std::string output)>;

// Seconds after start at which a desktop that shows no tray icon is told so.
inline constexpr double kNoTraySeconds = 10;

// The application: holds what it keeps in memory and forwards each command to the subsystem that carries it out.
// Main thread only.
class TavixMenu final : public StatusItemDelegate, public ApplicationDelegate {
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
    [[nodiscard]] std::optional<Error> writePrivate(std::string_view data, std::string_view name) const {
        return state_.writePrivate(data, name);
    }
    const StateDirectory& state() const { return state_; }

    // The bridge's status.
    void readStatus();
    bool fresh() const;
    bool working() const;
    std::string connectionLabel() const;

    // Start-up, refresh and quit. claimInstance() may come first, before the display is reached: true when this
    // process is the session's one running copy (asked once; later calls give the same answer).
    bool claimInstance();
    void applicationDidFinishLaunching();
    void refresh();
    // The program was started again in this session, or asked for one of its commands by name.
    void reopen() override;
    bool activateAction(const std::string& name) override;
    void quit();

    // Settings window.
    void showSettings();

    // Messages and questions.
    void alert(const std::string& title, const std::string& text);
    std::optional<std::vector<std::string>> form(const std::string& title, const std::string& text,
                                                 const std::vector<FormField>& fields, const std::string& button);

    // Status menu.
    void menuWillOpen() override;
    std::vector<MenuRow> menuRows() const;
    void perform(Command command) override;

    // Help and shortcuts.
    void openDevices();
    void logs();
    void permissions();
    void usbHelp();
    void updateHelp();

    // Child programs: `completion` gets (status, output) on the main thread; refresh() follows a started run.
    void process(const std::string& executable, const std::vector<std::string>& arguments,
                 const std::optional<std::string>& input, const Environment& environment, double timeout,
                 ProcessCompletion completion);

    // Bridge control.
    void launch(const std::vector<std::string>& arguments, ProcessCompletion completion);
    void restart();
    void togglePause();
    void toggleLogin();
    void disconnect();

    // Account pairing.
    void pairAccount();
    void bootstrapBridge(const std::string& base, const std::string& code);

    // Android over Wi-Fi.
    void wireless(bool pair);
    void pairPhone() { wireless(true); }
    void connectPhone() { wireless(false); }

    const Ports& ports() const { return ports_; }
    const Options& options() const { return options_; }
    const ServiceManager& service() const { return *service_; }

    bool operation = false;       // a long operation of ours is under way
    Status status;                // the last reading of status.json
    bool settingsWindow = false;  // the settings window has been built
    int loginSwitches = 0;        // start-at-login switches asked for and not yet done

  private:
    std::vector<MenuRow> menuRows(bool isPaired, bool isPaused) const;
    // Refreshes as soon as a state file changes; the timer stays, for a status ages without any change.
    void watchState();

    Ports ports_;
    Options options_;
    StateDirectory state_;
    StatusFile statusFile_;
    std::unique_ptr<ServiceManager> service_;
    int instanceLock_ = -1;
    std::optional<bool> instanceClaimed_;
    // Set while a refresh for a change is queued: a burst of changes queues one.
    std::shared_ptr<std::atomic<bool>> refreshQueued_ = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<StateWatcher> watcher_;
};

}  // namespace tavix
