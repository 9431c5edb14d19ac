// tavix: Tavix Link on the command line, for machines without a desktop.

#include <signal.h>
#include <sys/signalfd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/command_line.h"

int main(int argc, char** argv) {
    // Ctrl-C and the like are read on the main loop (and while a question waits), so a command can end what it
    // runs before it goes. Blocked before any thread starts, so every thread keeps them blocked.
    sigset_t stops;
    sigemptyset(&stops);
    // Ctrl-\ (SIGQUIT) too: left to its default, it would dump core and leave the terminal without echo at a hidden
    // prompt.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&stops, signal);
    ::pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    const int interrupt = ::signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK);
    // Without a way to read them they would be lost: let them end the program the usual way.
    if (interrupt < 0) ::pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);

    tavix::cli::Settings settings;
    // The usual way to name the authorities to trust, for a server whose certificate the system does not know.
    if (const char* authorities = std::getenv("SSL_CERT_FILE"); authorities != nullptr) {
        settings.authorityFile = authorities;
    }
    tavix::cli::Terminal terminal = tavix::cli::Terminal::standard(interrupt);
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = tavix::cli::runCommandLine(arguments, terminal, settings);

    // Workers may still wait on a request after an interrupt: nothing is left to save, so end without waiting.
    std::fflush(nullptr);
    std::_Exit(status);
}
