#include "ui/live_labels.h"

namespace tavix {

SettingsLabels liveLabels(bool paired, bool paused, const Status& status, double nowMs) {
    const bool fresh = isFresh(status, nowMs);
    SettingsLabels labels;
    labels.status = connectionLabel(paired, paused, status, nowMs);
    labels.connected = fresh && !paused && status.connected;
    auto phones = phoneLines(status);
    labels.phone = fresh && !phones.empty() ? phones : "No Android phone detected";
    labels.computer = fresh && status.computer ? "Computer tasks available" : "Sign in to Claude or Codex CLI";
    if (isWorking(status, nowMs)) {
        labels.activity = "A task is running on this Mac";
    } else if (paused) {
        labels.activity = "New tasks are paused";
    } else {
        labels.activity = "Ready when you are";
    }
    return labels;
}

}  // namespace tavix
