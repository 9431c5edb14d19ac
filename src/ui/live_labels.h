#pragma once

#include "platform/settings_view.h"
#include "state/status.h"

namespace tavix {

// What the settings window's four live lines say for this status.
SettingsLabels liveLabels(bool paired, bool paused, const Status& status, double nowMs);

}  // namespace tavix
