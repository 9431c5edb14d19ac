#include "state/availability.h"

#include <gtest/gtest.h>

namespace tavix {
namespace {

// Every command in every state that matters: whether it may run, and the reason when not.
TEST(Availability, OneTableOfWhenEachCommandMayRun) {
    const Snapshot idle{.paired = true}, unpaired{}, busy{.paired = true, .operation = true},
        task{.paired = true, .working = true}, unpairedBusy{.operation = true};
    const auto notPaired = kNotPaired, inProgress = kTaskInProgress;
    struct Case {
        Command command;
        Snapshot now;
        std::optional<Refusal> refusal;
    } cases[] = {
        {Command::pairAccount, idle, {}},
        {Command::pairAccount, unpaired, {}},
        {Command::pairAccount, busy, inProgress},
        {Command::pairAccount, task, inProgress},
        {Command::pairPhone, unpaired, {}},
        {Command::pairPhone, task, {}},
        {Command::connectPhone, busy, inProgress},
        {Command::pairPhoneQr, busy, inProgress},
        {Command::togglePause, unpaired, notPaired},
        {Command::togglePause, busy, {}},
        {Command::togglePause, task, {}},
        {Command::restart, idle, {}},
        {Command::restart, unpaired, notPaired},
        {Command::restart, unpairedBusy, notPaired},
        {Command::restart, busy, inProgress},
        {Command::restart, task, kRestartWhileTask},
        {Command::disconnect, idle, {}},
        {Command::disconnect, unpaired, notPaired},
        {Command::disconnect, busy, inProgress},
        {Command::disconnect, task, kDisconnectWhileTask},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(availability(c.command, c.now).refusal, c.refusal) << commandName(c.command) << " " << &c - cases;
    }
    // The rest runs whatever the state.
    for (Command command : {Command::showSettings, Command::openDevices, Command::usbHelp, Command::toggleLogin,
                            Command::permissions, Command::logs, Command::updateHelp, Command::quit}) {
        for (const Snapshot& now : {unpairedBusy, task}) EXPECT_TRUE(availability(command, now).available());
    }
    // The phone commands say nothing in a window when they may not run; the others say why.
    EXPECT_FALSE(availability(Command::pairPhone, busy).shownInWindows);
    EXPECT_TRUE(availability(Command::pairAccount, busy).shownInWindows);
}

}  // namespace
}  // namespace tavix
