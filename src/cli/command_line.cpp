#include "cli/command_line.h"

#include <atomic>
#include <cerrno>
#include <memory>
#include <optional>
#include <sstream>
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
#include "platform/system/utf8.h"
#include "state/state_watcher.h"
#include "ui/help_actions.h"

namespace tavix::cli {
namespace {

// After an interrupt: the children's grace between SIGTERM and SIGKILL, and how long everything gets to end.
constexpr std::chrono::milliseconds kInterruptGrace{200};
constexpr std::chrono::milliseconds kWindDown{450};
// Of the log, the most copied in one turn of the loop, which then looks for an interrupt.
constexpr std::size_t kLogStep = 256 * 1024;

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
        if (loop_.run(idle) == EventLoop::End::interrupted || terminal_.interrupted()) return windDown();
        // What the command gave up on ends with it: nothing of ours outlives the command.
        if (childrenRunning()) endChildrenLeft();
        if (dialogs_.failed()) return kFailure;
        if (dialogs_.declined()) {
            printMessage(terminal_, false, "Cancelled", "");
            return kFailure;
        }
        return verdict_ ? verdict_() : kSuccess;
    }

    bool interrupted() const { return interrupted_; }

  private:
    // Nothing new begins and nothing more is said; what runs is asked to end, and given a moment to. Then the
    // status that says which signal ended the command, as a shell gives it.
    int windDown() {
        const auto deadline = EventLoop::Clock::now() + kWindDown;
        ending_ = true;
        dialogs_.silence();
        dialogs_.cancelPairing();
        loop_.cancelTimers();
        stopChildren(kInterruptGrace);
        loop_.finish([this] { return !menu_.operation() && !childrenRunning(); }, deadline);
        killChildren();
        interrupted_ = true;
        // The shell's prompt comes back on a line of its own, after the "^C" the terminal showed.
        if (terminal_.inputIsTerminal()) terminal_.err() << '\n' << std::flush;
        return 128 + terminal_.interruptSignal();
    }

    void endChildrenLeft() {
        stopChildren(kInterruptGrace);
        loop_.finish([] { return !childrenRunning(); }, EventLoop::Clock::now() + kWindDown);
        killChildren();
    }

    void begin(const Invocation& invocation) {
        if (invocation.noInput) dialogs_.askNothing();
        noInput_ = invocation.noInput;
        switch (invocation.verb) {
            case Verb::status:
                return status(invocation.json, invocation.watch);
            case Verb::wait:
                return waitConnected(invocation.timeout);
            case Verb::pair:
                if (invocation.server) dialogs_.answer("Server", *invocation.server);
                dialogs_.howToAnswer(
                    "give the server with --server URL; the code is read from standard input only, one line (echo "
                    "CODE | tavix pair --server URL)");
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
                return logs(invocation.lines, invocation.follow);
            case Verb::devices:
                return devices(invocation.open);
            case Verb::none:
            case Verb::phone:
                return;
        }
    }

    void say(const std::string& line) { terminal_.out() << displayable(line, true) << '\n' << std::flush; }
    void fail(const std::string& title, const std::string& text) { menu_.alert(title, text, Outcome::failed); }

    // Standard output takes no more (a full disk, say): a command that runs on stops there.
    bool outputFailed() {
        if (terminal_.out()) return false;
        loop_.cancelTimers();
        loop_.stop();
        return true;
    }

    // Runs the command when it may run now, else prints why not; true when it runs.
    bool perform(Command command) {
        const auto refusal = menu_.request(command);
        if (refusal) menu_.alert(std::string(refusal->title), std::string(refusal->text), Outcome::refused);
        return !refusal;
    }

    StatusReading reading() {
        menu_.readStatus();
        return {menu_.menuRows(),         menu_.status(), menu_.connectionLabel(), menu_.connection(),
                clock_.nowMilliseconds(), menu_.server(), menu_.fresh(),           menu_.working(),
                menu_.paired(),           menu_.paused(), !menu_.loginDisabled()};
    }

    // Runs `check` now, at every change of the state files and on the timer besides (a status turns stale without
    // any change).
    void onEveryReading(std::function<void()> check) {
        check();
        every(settings_.watchInterval, check);
        watcher_ = std::make_unique<StateWatcher>(menu_.root(), shownEntries(), [this, check] {
            // A burst of changes queues one reading.
            if (changeQueued_.exchange(true)) return;
            loop_.post([this, check] {
                changeQueued_ = false;
                check();
            });
        });
    }

    void status(bool json, bool watch) {
        if (!watch) {
            const bool connected = printStatus(json, false);
            verdict_ = [connected] { return connected ? kSuccess : kNotConnected; };
            return;
        }
        onEveryReading([this, json] {
            if (!ending_) printStatus(json, true);
        });
    }

    // Prints the reading, when watching only when it differs from the last one printed; whether the bridge is
    // connected.
    bool printStatus(bool json, bool watch) {
        const StatusReading now = reading();
        std::string text;
        std::string same;  // what must differ for a watch to print again
        if (json) {
            auto object = statusJson(now);
            text = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
            object.erase("at");
            same = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        } else {
            const auto lines = statusLines(now);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                text += (i == 0 ? terminal_.paint(lines[i], Style::bold, terminal_.out()) : lines[i]) + '\n';
            }
            same = text;
        }
        if (watch && printed_ && same == lastPrinted_) return bridgeConnected(now);
        std::ostream& out = terminal_.out();
        // Watching on a terminal: each reading replaces the last, as `watch` shows it.
        if (watch && !json && terminal_.outputTakesEscapes()) {
            out << "\x1b[H\x1b[2J";
        } else if (watch && !json && printed_) {
            out << '\n';
        }
        out << text << std::flush;
        printed_ = true;
        lastPrinted_ = std::move(same);
        (void)outputFailed();
        return bridgeConnected(now);
    }

    void waitConnected(std::optional<double> timeout) {
        const StatusReading now = reading();
        if (bridgeConnected(now)) return;
        if (terminal_.inputIsTerminal()) {
            terminal_.err() << "Waiting for the bridge to connect (now: " << now.connection << ")…\n" << std::flush;
        }
        waiting_ = true;
        if (timeout) {
            loop_.after(std::chrono::duration_cast<EventLoop::Clock::duration>(std::chrono::duration<double>(*timeout)),
                        [this, seconds = *timeout] {
                            if (!waiting_) return;
                            std::ostringstream limit;
                            limit << seconds;
                            fail("Not connected", "The bridge did not connect within " + limit.str() +
                                                      " seconds: " + menu_.connectionLabel() + ".");
                            stopWaiting();
                        });
        }
        onEveryReading([this] {
            if (waiting_ && bridgeConnected(reading())) stopWaiting();
        });
    }

    void stopWaiting() {
        waiting_ = false;
        loop_.cancelTimers();
        loop_.stop();
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
        const bool pair = invocation.verb == Verb::phonePair;
        dialogs_.howToAnswer(pair ? "give the address as an argument; the code is read from standard input only, "
                                    "one line (echo CODE | tavix phone pair ADDRESS)"
                                  : "give the address as an argument (tavix phone connect ADDRESS)");
        perform(pair ? Command::pairPhone : Command::connectPhone);
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
        if (!yes && (!terminal_.inputIsTerminal() || noInput_)) {
            return fail("Not disconnected", std::string(noInput_ ? "tavix asks nothing with --no-input"
                                                                 : "Standard input is not a terminal to ask on") +
                                                ": run tavix disconnect --yes to disconnect.");
        }
        if (yes) dialogs_.confirmAll();
        then(Command::disconnect, "This computer is disconnected: the bridge is stopped and its pairing removed.");
    }

    void logs(std::optional<std::size_t> lines, bool follow) {
        log_ = std::make_unique<LogFile>(menu_.root() / "log");
        if (auto error = log_->open()) {
            if (!follow || error->code != ENOENT) return fail("No bridge log", error->description);
            terminal_.err() << "No bridge log yet at " << displayable((menu_.root() / "log").string(), true)
                            << ": waiting for it.\n"
                            << std::flush;
        } else if (lines) {
            log_->startAtLastLines(*lines);
        }
        copyLog(follow);
    }

    // A piece of the log at a time, so that an interrupt is seen between two pieces however large the log.
    void copyLog(bool follow) {
        if (ending_) return;
        std::string bytes;
        const bool more = log_->read(bytes, kLogStep, follow);
        // Raw into a file or a pipe; on a terminal, what the bytes would do to it shown instead (a character cut
        // between two pieces waits for its end).
        if (terminal_.outputIsTerminal()) {
            logCarry_ += bytes;
            const std::size_t whole = more || follow ? completeLength(logCarry_) : logCarry_.size();
            bytes = displayable(std::string_view(logCarry_).substr(0, whole), false);
            logCarry_.erase(0, whole);
        }
        terminal_.out() << bytes << std::flush;
        if (outputFailed()) return;
        if (more) {
            loop_.post([this, follow] { copyLog(follow); });
        } else if (follow) {
            loop_.after(settings_.followInterval, [this] { copyLog(true); });
        }
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
    bool noInput_ = false;
    std::unique_ptr<LogFile> log_;
    std::string logCarry_;  // the start of a character whose end is still to be read
    std::atomic<bool> changeQueued_{false};
    // Last, so that it stops before anything it posts to goes.
    std::unique_ptr<StateWatcher> watcher_;
    // Says how a command that reports no alert of its own went.
    std::function<int()> verdict_;
    bool interrupted_ = false;
    bool ending_ = false;  // interrupted: nothing more is printed
    bool waiting_ = false;
    bool printed_ = false;
    std::string lastPrinted_;
};

}  // namespace

namespace {

// What was printed reached its stream, or the status says it did not: a message where one can still be written.
int checkedStatus(Terminal& terminal, int status) {
    terminal.out().flush();
    if (!terminal.out()) {
        const std::string why = Terminal::writeFailure(terminal.out());
        terminal.err() << "tavix: could not write to standard output" << (why.empty() ? "" : ": " + why) << '\n'
                       << std::flush;
        status = kFailure;
    }
    terminal.err().flush();
    return terminal.err() ? status : kFailure;
}

int run(const std::vector<std::string>& arguments, Terminal& terminal, const Settings& settings) {
    const auto parsed = parseArguments(arguments);
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        terminal.err() << "tavix: " << error->message << "\n\n" << usage(error->verb) << std::flush;
        return kWrongUsage;
    }
    const auto& invocation = std::get<Invocation>(parsed);
    if (invocation.noColour) terminal.noColour();
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

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments, Terminal& terminal, const Settings& settings) {
    return checkedStatus(terminal, run(arguments, terminal, settings));
}

}  // namespace tavix::cli
