#include "cli/command_line.h"

#include <atomic>
#include <memory>
#include <optional>
#include <variant>

#include "app/tavix_menu.h"
#include "cli/arguments.h"
#include "cli/log_file.h"
#include "cli/quiet_ports.h"
#include "cli/status_report.h"
#include "cli/terminal_dialogs.h"
#include "cli/xdg_desktop.h"
#include "platform/system/curl_http.h"
#include "platform/system/executable.h"
#include "platform/system/running_children.h"
#include "platform/system/system_clock.h"
#include "state/state_watcher.h"
#include "ui/help_actions.h"

namespace tavix::cli {
namespace {

// After an interrupt: how long the children and requests under way get to end.
constexpr auto kWindDown = std::chrono::seconds(3);

Options optionsFor(const Settings& settings) {
    Options options;
    options.arguments = {"tavix"};
    // What the set-up and the autostart entry are to start is the tray application installed beside us.
    const auto self = executablePath();
    options.appPath = self.empty() ? std::filesystem::path("tavix-menu") : self.parent_path() / "tavix-menu";
    if (settings.adjust) settings.adjust(options);
    return options;
}

// One run of one command: the application with the terminal's ports, the command, and the loop until it is done.
class Session {
  public:
    Session(Terminal& terminal, const Settings& settings)
        : terminal_(terminal),
          settings_(settings),
          loop_(terminal.interruptDescriptor()),
          dialogs_(terminal),
          http_(settings.authorityFile),
          application_(loop_),
          menu_(Ports{loop_, dialogs_, item_, view_, desktop_, http_, application_, clock_, notifier_},
                optionsFor(settings)) {}

    int run(const Invocation& invocation) {
        begin(invocation);
        // A pairing may run the set-up script for minutes, a phone command half a minute: say so to whoever watches.
        if (menu_.operation() && !qr_ && terminal_.inputIsTerminal()) terminal_.err() << "Working…\n" << std::flush;
        const auto idle = [this] { return !menu_.operation(); };
        if (loop_.run(idle) == EventLoop::End::interrupted) {
            // Nothing new begins and nothing more is said; what runs is asked to end, and given a moment to.
            dialogs_.silence();
            dialogs_.cancelPairing();
            loop_.cancelTimers();
            stopChildren(std::chrono::duration_cast<std::chrono::milliseconds>(kWindDown));
            loop_.finish([&] { return idle() && !childrenRunning(); }, EventLoop::Clock::now() + kWindDown);
            interrupted_ = true;
            // The shell's prompt comes back on a line of its own, after the "^C" the terminal showed.
            if (terminal_.inputIsTerminal()) terminal_.err() << '\n' << std::flush;
            return endless_ ? kSuccess : kInterrupted;
        }
        if (dialogs_.failed()) return kFailure;
        if (dialogs_.declined()) {
            printMessage(terminal_, false, "Cancelled", "");
            return kFailure;
        }
        return verdict_ ? verdict_() : kSuccess;
    }

    bool interrupted() const { return interrupted_; }

  private:
    void begin(const Invocation& invocation) {
        switch (invocation.verb) {
            case Verb::status:
                return status(invocation.json, invocation.watch);
            case Verb::pair:
                if (invocation.server) dialogs_.answer("Server", *invocation.server);
                perform(Command::pairAccount);
                return;
            case Verb::phonePair:
            case Verb::phoneConnect:
                return phone(invocation);
            case Verb::pause:
            case Verb::resume:
                return pause(invocation.verb == Verb::pause);
            case Verb::restart:
                return restart();
            case Verb::login:
                return login(invocation.on);
            case Verb::notifications:
                return notifications(invocation.on);
            case Verb::disconnect:
                return disconnect(invocation.yes);
            case Verb::logs:
                return logs(invocation.follow);
            case Verb::devices:
                return devices(invocation.open);
            case Verb::none:
            case Verb::phone:
                return;
        }
    }

    void say(const std::string& line) { terminal_.out() << line << '\n' << std::flush; }
    void fail(const std::string& title, const std::string& text) { menu_.alert(title, text, Outcome::failed); }

    // Runs the command when it may run now, else prints why not; true when it runs.
    bool perform(Command command) {
        const auto refusal = menu_.request(command);
        if (refusal) menu_.alert(std::string(refusal->title), std::string(refusal->text), Outcome::refused);
        return !refusal;
    }

    StatusReading reading() {
        menu_.readStatus();
        return {menu_.menuRows(), menu_.status(), menu_.connectionLabel(), menu_.server(),        menu_.fresh(),
                menu_.working(),  menu_.paired(), menu_.paused(),          !menu_.loginDisabled()};
    }

    void status(bool json, bool watch) {
        printStatus(json, watch);
        if (!watch) return;
        endless_ = true;
        // At every change, and on the timer as well: a status turns stale without any change.
        every(settings_.watchInterval, [this, json] { printStatus(json, true); });
        watcher_ = std::make_unique<StateWatcher>(menu_.root(), shownEntries(), [this, json] {
            // A burst of changes queues one printing.
            if (changeQueued_.exchange(true)) return;
            loop_.post([this, json] {
                changeQueued_ = false;
                printStatus(json, true);
            });
        });
    }

    void printStatus(bool json, bool watch) {
        const StatusReading now = reading();
        std::ostream& out = terminal_.out();
        if (json) {
            out << statusJson(now).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        } else {
            // Watching on a terminal: each reading replaces the last, as `watch` shows it.
            if (watch && terminal_.outputIsTerminal())
                out << "\x1b[H\x1b[2J";
            else if (watch && printed_)
                out << '\n';
            const auto lines = statusLines(now);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                out << (i == 0 ? terminal_.paint(lines[i], Style::bold) : lines[i]) << '\n';
            }
        }
        out << std::flush;
        printed_ = true;
    }

    void every(EventLoop::Clock::duration interval, std::function<void()> tick) {
        loop_.after(interval, [this, interval, tick] {
            tick();
            every(interval, tick);
        });
    }

    void phone(const Invocation& invocation) {
        if (invocation.qr) {
            qr_ = true;
            perform(Command::pairPhoneQr);
            return;
        }
        if (invocation.address) dialogs_.answer("IP address:port", *invocation.address);
        perform(invocation.verb == Verb::phonePair ? Command::pairPhone : Command::connectPhone);
    }

    // The command, then its own line when it reports no alert of its own on success.
    void then(Command command, std::string done) {
        if (!perform(command)) return;
        verdict_ = [this, done = std::move(done)] {
            say(done);
            return kSuccess;
        };
    }

    // `pause` and `resume` name the state wanted; the command switches it.
    void pause(bool pause) {
        if (menu_.paused() == pause) return say(pause ? "New tasks are already paused." : "New tasks are not paused.");
        then(Command::togglePause, pause ? "New tasks paused." : "New tasks resumed.");
    }

    void restart() { then(Command::restart, "The local bridge has been restarted."); }

    void login(bool on) {
        const std::string state = on ? "on" : "off";
        if (menu_.loginDisabled() != on) return say("Start at login is already " + state + ".");
        then(Command::toggleLogin, "Start at login is now " + state + ".");
    }

    void notifications(bool on) {
        const std::string state = on ? "on" : "off";
        if (menu_.notificationsDisabled() != on) return say("Notifications are already " + state + ".");
        if (auto error = menu_.state().setMarker("no-notify", !on)) {
            return fail("Could not change notifications", error->description);
        }
        say("Notifications are now " + state + ".");
    }

    void disconnect(bool yes) {
        if (!yes && !terminal_.inputIsTerminal()) {
            return fail("Not disconnected",
                        "Standard input is not a terminal to ask on: run tavix disconnect --yes to disconnect.");
        }
        if (yes) dialogs_.confirmAll();
        then(Command::disconnect, "This computer is disconnected: the bridge is stopped and its pairing removed.");
    }

    void logs(bool follow) {
        log_ = std::make_unique<LogFile>(menu_.root() / "log");
        if (auto error = log_->open()) return fail("No bridge log", error->description);
        log_->copyNew(terminal_.out());
        if (!follow) return;
        endless_ = true;
        every(settings_.followInterval, [this] { log_->copyNew(terminal_.out()); });
    }

    void devices(bool open) {
        const std::string server = menu_.server();
        const auto address = devicesPage(server);
        if (!address) return fail("No devices page", "The server setting “" + server + "” is not an address.");
        say(*address);
        if (!open) return;
        if (!desktopAvailable()) {
            return fail("No desktop", "There is no graphical desktop here: open the address in a browser.");
        }
        perform(Command::openDevices);
        if (desktop_.failure()) fail("Could not open the devices page", *desktop_.failure());
    }

    Terminal& terminal_;
    const Settings& settings_;
    EventLoop loop_;
    TerminalDialogs dialogs_;
    NoStatusItem item_;
    NoSettingsView view_;
    XdgDesktop desktop_;
    CurlHttp http_;
    LoopApplication application_;
    SystemClock clock_;
    NoNotifier notifier_;
    TavixMenu menu_;
    bool qr_ = false;  // the command shows a QR code, which says itself that it waits
    std::unique_ptr<LogFile> log_;
    std::atomic<bool> changeQueued_{false};
    // Last, so that it stops before anything it posts to goes.
    std::unique_ptr<StateWatcher> watcher_;
    // Says how a command that reports no alert of its own went.
    std::function<int()> verdict_;
    // Runs until interrupted: an interrupt is its normal end.
    bool endless_ = false;
    bool interrupted_ = false;
    bool printed_ = false;
};

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments, Terminal& terminal, const Settings& settings) {
    const auto parsed = parseArguments(arguments);
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        terminal.err() << "tavix: " << error->message << "\n\n" << usage(error->verb) << std::flush;
        return kWrongUsage;
    }
    const auto& invocation = std::get<Invocation>(parsed);
    if (invocation.version) {
        terminal.out() << "tavix " << TAVIX_VERSION << '\n' << std::flush;
        return kSuccess;
    }
    if (invocation.help || invocation.verb == Verb::none) {
        terminal.out() << usage(invocation.verb) << std::flush;
        return kSuccess;
    }
    auto session = std::make_unique<Session>(terminal, settings);
    const int status = session->run(invocation);
    // After an interrupt a worker may still report to the session (a request under way): it stays until the
    // process ends.
    if (session->interrupted()) (void)session.release();
    return status;
}

}  // namespace tavix::cli
