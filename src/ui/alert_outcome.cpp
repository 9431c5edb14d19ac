#include "ui/alert_outcome.h"

#include "android/wireless.h"
#include "pairing/bootstrap_bridge.h"
#include "pairing/pair_account.h"

namespace tavix {

bool reportsSuccess(std::string_view title) {
    return title == kMacPaired.title || title == kTavixReady.title || title == kPhonePaired || title == kPhoneConnected;
}

}  // namespace tavix
