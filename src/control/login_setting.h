#pragma once

namespace tavix {

class TavixMenu;

// Turns start at login on when the "no-login" marker exists, off otherwise: first through the service manager (the
// bridge's service, then this application), then the marker. Stops at the first failure with one alert, leaving the
// steps already done in place.
void switchStartAtLogin(TavixMenu& menu);

}  // namespace tavix
