#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace tavix::cli {

enum class Style { plain, bold, success, failure };

// Where the command line talks to its user: standard input (a terminal, or lines from a pipe or a file), standard
// output and standard error, and a descriptor that turns readable when the user interrupts (Ctrl-C).
class Terminal {
  public:
    struct Kind {
        bool input = false;   // standard input is a terminal
        bool output = false;  // standard output is a terminal
        bool colour = false;
    };
    Terminal(int input, std::ostream& out, std::ostream& err, Kind kind, int interrupt);
    // The process's own: descriptor 0, std::cout and std::cerr; colour only on a terminal and without NO_COLOR.
    static Terminal standard(int interrupt);

    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }
    bool inputIsTerminal() const { return kind_.input; }
    bool outputIsTerminal() const { return kind_.output; }
    bool colour() const { return kind_.colour; }
    int interruptDescriptor() const { return interrupt_; }
    // The user asked to stop (only ever set, never cleared).
    bool interrupted() const;

    // On a terminal: shows `prompt` on standard error and reads the answer, without echo when `secret`. Otherwise
    // the next line of input, with no prompt. Nothing at the end of the input or when interrupted.
    std::optional<std::string> ask(const std::string& prompt, bool secret);

    // `text` in `style` when colour is on, as it is otherwise.
    std::string paint(std::string_view text, Style style) const;

  private:
    std::optional<std::string> readLine();

    int input_;
    std::ostream& out_;
    std::ostream& err_;
    Kind kind_;
    int interrupt_;
    std::string buffer_;
    bool ended_ = false;
};

// Colour only when standard output is a terminal and NO_COLOR is unset or empty.
bool wantsColour(bool outputIsTerminal, const char* noColor);

}  // namespace tavix::cli
