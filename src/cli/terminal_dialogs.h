#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "cli/terminal.h"
#include "platform/dialogs.h"

namespace tavix::cli {

// Alerts and forms on the terminal. An alert is printed at once: a success on standard output, a failure or a
// refusal on standard error. A form takes the answers given on the command line and asks for the others.
class TerminalDialogs final : public Dialogs {
  public:
    explicit TerminalDialogs(Terminal& terminal) : terminal_(terminal) {}

    void alert(const std::string& title, const std::string& text, Outcome outcome) override;
    std::optional<std::vector<std::string>> form(const std::string& title, const std::string& text,
                                                 const std::vector<FormField>& fields,
                                                 const std::string& button) override;
    bool confirm(const std::string& title, const std::string& text, const std::string& button) override;
    // A terminal asks one thing at a time, in plain sight: there is never another question to bring forward.
    void raiseOpen() override {}
    std::optional<std::string> showPairingCode(const std::string& payload, const std::string& steps,
                                               std::function<void()> cancel) override;
    void pairingProgress(const std::string& text) override;
    void closePairingCode() override { cancelPairing_ = nullptr; }
    // The user gave up while a QR code was shown (Ctrl-C).
    void cancelPairing() {
        if (auto cancel = std::exchange(cancelPairing_, nullptr)) cancel();
    }

    // The answer for the field of this label, as given on the command line.
    void answer(const std::string& label, std::string value) { answers_[label] = std::move(value); }
    // Every confirmation is granted without asking (--yes).
    void confirmAll() { confirmAll_ = true; }
    // Nothing is asked (--no-input): a missing answer is a failure, which says how to give it.
    void askNothing() { askNothing_ = true; }
    // How to give this command's answers without being asked, for that failure.
    void howToAnswer(std::string text) { howToAnswer_ = std::move(text); }
    // Prints nothing from now on (the user has interrupted).
    void silence() { silent_ = true; }

    bool spoke() const { return spoke_; }
    // A failure or a refusal has been printed.
    bool failed() const { return failed_; }
    // A form or a confirmation was turned down or left unanswered.
    bool declined() const { return declined_; }

  private:
    Terminal& terminal_;
    std::map<std::string, std::string> answers_;
    bool confirmAll_ = false;
    bool askNothing_ = false;
    std::string howToAnswer_;
    bool silent_ = false;
    bool spoke_ = false;
    bool failed_ = false;
    bool declined_ = false;
    std::function<void()> cancelPairing_;
    bool stopHint_ = false;
};

// Prints a title and a text the way alerts are printed: on standard output for a success, else on standard error;
// what came from outside shown safely (see displayable()).
void printMessage(Terminal& terminal, bool success, const std::string& title, const std::string& text);

// Without white space (and line breaks) at either end.
std::string trimmed(std::string_view text);

}  // namespace tavix::cli
