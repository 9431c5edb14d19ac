#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tavix {

class TavixMenu;

// The bridge's service commands. Main thread only; every problem ends in one alert, never in an exception.

// Restarts the bridge's service, and loads it when that fails; refused while the bridge reports a task.
void restartBridge(TavixMenu& menu);
// Runs `steps` from `next` on, one after another; the first that fails ends in "Could not start bridge".
void loadBridge(TavixMenu& menu, std::vector<std::vector<std::string>> steps, std::size_t next);
// Creates or removes the "paused" marker, then refreshes.
void switchPause(TavixMenu& menu);
// After a confirmation: stops the bridge's service, then removes "token" and "status.json".
void disconnectMac(TavixMenu& menu);

}  // namespace tavix
