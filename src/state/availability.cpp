#include "state/availability.h"

namespace tavix {
namespace {

// What a command needs, checked in this order.
struct Needs {
    bool paired = false;
    bool idle = false;    // no operation of ours under way
    bool noTask = false;  // the bridge runs no task
    std::optional<Refusal> whileTask = std::nullopt;
    bool silent = false;  // says nothing when refused in a window
};

Needs needsOf(Command command) {
    switch (command) {
        case Command::pairAccount:
            return {.idle = true, .noTask = true, .whileTask = kTaskInProgress};
        case Command::pairPhone:
        case Command::connectPhone:
        case Command::pairPhoneQr:
            return {.idle = true, .silent = true};
        case Command::togglePause:
            return {.paired = true};
        case Command::restart:
            return {.paired = true, .idle = true, .noTask = true, .whileTask = kRestartWhileTask};
        case Command::disconnect:
            return {.paired = true, .idle = true, .noTask = true, .whileTask = kDisconnectWhileTask};
        case Command::showSettings:
        case Command::openDevices:
        case Command::usbHelp:
        case Command::toggleLogin:
        case Command::permissions:
        case Command::logs:
        case Command::updateHelp:
        case Command::quit:
            return {};
    }
    return {};
}

}  // namespace

Availability availability(Command command, const Snapshot& now) {
    const Needs needs = needsOf(command);
    Availability result;
    result.shownInWindows = !needs.silent;
    if (needs.paired && !now.paired) {
        result.refusal = kNotPaired;
    } else if (needs.idle && now.operation) {
        result.refusal = kTaskInProgress;
    } else if (needs.noTask && now.working) {
        result.refusal = needs.whileTask;
    }
    return result;
}

bool opensDialog(Command command) {
    switch (command) {
        case Command::pairAccount:
        case Command::pairPhone:
        case Command::connectPhone:
        case Command::pairPhoneQr:
        case Command::disconnect:
            return true;
        case Command::showSettings:
        case Command::openDevices:
        case Command::usbHelp:
        case Command::togglePause:
        case Command::restart:
        case Command::toggleLogin:
        case Command::permissions:
        case Command::logs:
        case Command::updateHelp:
        case Command::quit:
            return false;
    }
    return false;
}

}  // namespace tavix
