#include "pairing/pairing_form.h"

#include <gtest/gtest.h>

namespace tavix {
namespace {

constexpr std::optional<Refusal> kAccepted = std::nullopt;

TEST(PairingForm, JudgesEveryServerTextAndCodeWithItsMessage) {
    EXPECT_EQ(kCheckPairingDetails,
              (Refusal{"Check pairing details", "Use an HTTPS server address and a valid 6-digit pairing code."}));
    EXPECT_EQ(kInvalidServer, (Refusal{"Invalid server", "Use the HTTPS hostname, without a path."}));
    const std::tuple<std::string, std::string, std::optional<Refusal>> cases[] = {
        {"https://tavix.example", "234567", kAccepted},
        {"https://tavix.example/", "999999", kAccepted},
        {"https://tavix.example:8443", "222222", kAccepted},
        {"https://127.0.0.1:8443", "234567", kAccepted},
        {"https://my-host.example.", "234567", kAccepted},
        // Not an https URL with a host.
        {"", "234567", kCheckPairingDetails},
        {"tavix.example", "234567", kCheckPairingDetails},
        {"http://tavix.example", "234567", kCheckPairingDetails},
        {"HTTPS://tavix.example", "234567", kCheckPairingDetails},
        {"https://", "234567", kCheckPairingDetails},
        {"https://:8443", "234567", kCheckPairingDetails},
        {"https:tavix.example", "234567", kCheckPairingDetails},
        {"https://tavix example", "234567", kCheckPairingDetails},
        // User, password, query and fragment refused even when empty.
        {"https://user@tavix.example", "234567", kCheckPairingDetails},
        {"https://@tavix.example", "234567", kCheckPairingDetails},
        {"https://:@tavix.example", "234567", kCheckPairingDetails},
        {"https://tavix.example?x=1", "234567", kCheckPairingDetails},
        {"https://tavix.example?", "234567", kCheckPairingDetails},
        {"https://tavix.example#top", "234567", kCheckPairingDetails},
        {"https://tavix.example#", "234567", kCheckPairingDetails},
        // Codes: six digits from 2 to 9 only.
        {"https://tavix.example", "234560", kCheckPairingDetails},
        {"https://tavix.example", "123456", kCheckPairingDetails},
        {"https://tavix.example", "23456", kCheckPairingDetails},
        {"https://tavix.example", "2345678", kCheckPairingDetails},
        {"https://tavix.example", "23456a", kCheckPairingDetails},
        {"https://tavix.example", "234 567", kCheckPairingDetails},
        {"https://tavix.example", "", kCheckPairingDetails},
        {"https://tavix.example", "２３４５６７", kCheckPairingDetails},  // full-width digits
        // A https URL, but more than a host name and port.
        {"https://tavix.example/api", "234567", kInvalidServer},
        {"https://tavix.example//", "234567", kInvalidServer},
        {"https://tavix_example.com", "234567", kInvalidServer},
        {"https://[::1]:8443", "234567", kInvalidServer},
        {"https://tavix.example/%20", "234567", kInvalidServer},
        // The details come first: a path with a bad code is told about the code.
        {"https://tavix.example/api", "234561", kCheckPairingDetails},
    };
    for (const auto& [server, code, expected] : cases) {
        EXPECT_EQ(checkPairingForm(server, code), expected) << "server \"" << server << "\", code \"" << code << "\"";
    }
}

}  // namespace
}  // namespace tavix
