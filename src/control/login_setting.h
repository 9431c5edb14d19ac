#pragma once

namespace tavix {

class TavixMenu;

// Turns start at login on when the "no-login" marker exists, off otherwise: "RunAtLoad" in the bridge's and this
// application's LaunchAgent lists ("KeepAlive" too in the bridge's), then the marker. Stops at the first failure with
// one alert, leaving the steps already done in place.
void switchStartAtLogin(TavixMenu& menu);

}  // namespace tavix
