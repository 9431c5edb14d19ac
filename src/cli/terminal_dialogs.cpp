#include "cli/terminal_dialogs.h"

#include "cli/qr_code.h"
#include "platform/system/utf8.h"

namespace tavix::cli {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isYes(std::string answer) {
    for (char& c : answer) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return answer == "y" || answer == "yes";
}

}  // namespace

std::string trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

void printMessage(Terminal& terminal, bool success, const std::string& title, const std::string& text) {
    std::ostream& stream = success ? terminal.out() : terminal.err();
    stream << terminal.paint(displayable(title, true), success ? Style::success : Style::failure, stream) << '\n';
    const std::string shown = displayable(text, false);
    if (!shown.empty()) stream << shown << (shown.back() == '\n' ? "" : "\n");
    stream << std::flush;
}

void TerminalDialogs::alert(const std::string& title, const std::string& text, Outcome outcome) {
    if (silent_) return;
    const bool success = outcome == Outcome::done;
    spoke_ = true;
    failed_ = failed_ || !success;
    printMessage(terminal_, success, title, text);
}

std::optional<std::vector<std::string>> TerminalDialogs::form(const std::string& title, const std::string& text,
                                                              const std::vector<FormField>& fields,
                                                              const std::string&) {
    bool introduced = false;
    std::vector<std::string> answers;
    for (const FormField& field : fields) {
        if (auto given = answers_.find(field.label); given != answers_.end()) {
            answers.push_back(trimmed(given->second));
            continue;
        }
        if (askNothing_) {
            alert(field.label + " needed", "tavix asks nothing with --no-input: " + howToAnswer_ + ".",
                  Outcome::failed);
            return std::nullopt;
        }
        if (!introduced && terminal_.inputIsTerminal()) {
            terminal_.err() << terminal_.paint(title, Style::bold, terminal_.err()) << '\n' << text << '\n';
            introduced = true;
        }
        const std::string shownValue = displayable(field.value, true);
        const std::string prompt = field.label + (field.value.empty() ? "" : " [" + shownValue + "]") + ": ";
        auto typed = terminal_.ask(prompt, field.secure);
        if (!typed && !terminal_.inputIsTerminal() && !terminal_.interrupted()) {
            alert(field.label + " needed", "Standard input ended without an answer: " + howToAnswer_ + ".",
                  Outcome::failed);
            return std::nullopt;
        }
        if (!typed) {
            declined_ = true;
            return std::nullopt;
        }
        std::string answer = trimmed(*typed);
        answers.push_back(answer.empty() ? field.value : answer);
    }
    return answers;
}

bool TerminalDialogs::confirm(const std::string& title, const std::string& text, const std::string& button) {
    if (confirmAll_) return true;
    bool granted = false;
    if (terminal_.inputIsTerminal()) {
        terminal_.err() << terminal_.paint(title, Style::bold, terminal_.err()) << '\n' << text << '\n';
        auto typed = terminal_.ask(button + "? [y/N] ", false);
        granted = typed && isYes(trimmed(*typed));
    }
    declined_ = declined_ || !granted;
    return granted;
}

std::optional<std::string> TerminalDialogs::showPairingCode(const std::string& payload, const std::string& steps,
                                                            std::function<void()> cancel) {
    const auto drawing = qrBlocks(payload, terminal_.colour());
    if (!drawing) return "The QR code could not be made.";
    if (const auto size = terminal_.size()) {
        // The code whole on one screen, under the steps and above the line that says it waits: a code that has
        // scrolled off in part cannot be scanned.
        const int columns = drawing->columns;
        const int stepRows = static_cast<int>((graphemeCount(steps) + columns - 1) / columns);
        const int rows = drawing->rows + stepRows + 2;
        if (size->columns < columns || size->rows < rows) {
            return "The terminal is " + std::to_string(size->columns) + " columns by " + std::to_string(size->rows) +
                   " rows; the QR code needs at least " + std::to_string(columns) + " columns and " +
                   std::to_string(rows) + " rows. Make the window larger (or its font smaller) and try again.";
        }
    }
    terminal_.out() << steps << '\n' << drawing->text << std::flush;
    cancelPairing_ = std::move(cancel);
    stopHint_ = true;
    return std::nullopt;
}

void TerminalDialogs::pairingProgress(const std::string& text) {
    if (silent_) return;
    // The first line under the code says how to give up.
    terminal_.out() << text << (std::exchange(stopHint_, false) ? " (Ctrl-C to stop)" : "") << '\n' << std::flush;
}

}  // namespace tavix::cli
