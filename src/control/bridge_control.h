#pragma once

namespace tavix {

class TavixMenu;

// The bridge's LaunchAgent commands. Main thread only; every problem ends in one alert, never in an exception.

// kickstart -k, and bootstrap when that fails; refused while the bridge reports a task.
void restartBridge(TavixMenu& menu);
// Creates or removes the "paused" marker, then refreshes.
void switchPause(TavixMenu& menu);
// After a confirmation: bootout, then removes "token" and "status.json".
void disconnectMac(TavixMenu& menu);

}  // namespace tavix
