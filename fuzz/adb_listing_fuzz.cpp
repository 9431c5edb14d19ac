// What the QR pairing reads from adb: the mDNS listing and the guid that `adb pair` reports.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "android/adb_address.h"
#include "android/qr_pairing.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavix;
    FuzzedDataProvider provider(data, size);
    const std::string name = provider.ConsumeRandomLengthString(40);
    const bool pairing = provider.ConsumeBool();
    const std::string output = provider.ConsumeRemainingBytesAsString();

    // An address is only ever one that adb can be given, taken from the listing, for a name that is listed.
    if (const auto address = announcedAddress(output, name, pairing ? kPairingService : kConnectService)) {
        FUZZ_CHECK(adbAddress(*address));
        FUZZ_CHECK(!name.empty() && output.find(name) != std::string::npos);
        FUZZ_CHECK(output.find(*address) != std::string::npos);
    }
    // A guid is a plain name, exactly as it stood between "[guid=" and "]".
    if (const auto guid = pairedGuid(output)) {
        FUZZ_CHECK(!guid->empty());
        FUZZ_CHECK(output.find("[guid=" + *guid + "]") != std::string::npos);
        for (char c : *guid) {
            FUZZ_CHECK((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '_' || c == '.');
        }
    }
    return 0;
}
