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
        bool error = false;   // standard error is a terminal
        bool dumb = false;    // TERM=dumb: a terminal that takes no escape sequences
        bool colourOut = false;
        bool colourErr = false;
    };
    struct Size {
        int columns = 0;
        int rows = 0;
    };
    Terminal(int input, std::ostream& out, std::ostream& err, Kind kind, int interrupt);
    // The process's own: descriptors 0, 1 and 2; colour on each stream only where it goes to a
    // terminal that takes it, and never with NO_COLOR.
    static Terminal standard(int interrupt);

    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }
    bool inputIsTerminal() const { return kind_.input; }
    bool outputIsTerminal() const { return kind_.output; }
    // Standard output is a terminal that takes escape sequences (to clear the screen, say).
    bool outputTakesEscapes() const { return kind_.output && !kind_.dumb; }
    bool colour() const { return kind_.colourOut; }
    void noColour() { kind_.colourOut = kind_.colourErr = false; }
    int interruptDescriptor() const { return interrupt_; }
    // The user asked to stop (only ever set, never cleared).
    bool interrupted() const;
    // The signal that asked (SIGINT for Ctrl-C, SIGTERM, …), once interrupted().
    int interruptSignal();
    // Standard output's terminal, when it is one that tells its size.
    std::optional<Size> size() const;

    // On a terminal: shows `prompt` on standard error and reads the answer, without echo when `secret`. Otherwise
    // the next line of input, with the prompt on a line of its own. Nothing at the end of the input or when
    // interrupted.
    std::optional<std::string> ask(const std::string& prompt, bool secret);

    // `text` in `style` when colour is on for the stream `on`, as it is otherwise.
    std::string paint(std::string_view text, Style style, const std::ostream& on) const;

    // Why writing to `stream` failed, as the system says it, when it can tell.
    static std::string writeFailure(const std::ostream& stream);

  private:
    std::optional<std::string> readLine();

    int input_;
    std::ostream& out_;
    std::ostream& err_;
    Kind kind_;
    int interrupt_;
    int signal_ = 0;
    std::string buffer_;
    bool ended_ = false;
};

// Colour for a stream: only on a terminal other than TERM=dumb, and with NO_COLOR unset or empty.
bool wantsColour(bool isTerminal, const char* term, const char* noColor);

}  // namespace tavix::cli
