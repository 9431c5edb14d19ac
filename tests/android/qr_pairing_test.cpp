#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>

#include "android/qr_pairing.h"
#include "android/wireless.h"

namespace tavix {
namespace {

TEST(QrPairing, FindsTheAnnouncedAddress) {
    const std::string listing =
        "List of discovered mdns services\n"
        "adb-OTHER-1\t_adb-tls-connect._tcp.\t10.0.0.7:40001\n"
        "tavix-abc\t_adb-tls-pairing._tcp.\t10.0.0.9:41234\n"
        "adb-R5CT-x1\t_adb-tls-connect._tcp\t10.0.0.9:40000\r\n"
        "tavix-bad\t_adb-tls-pairing._tcp.\t[fe80::1]:41234\n"
        "tavix-abcd _adb-tls-pairing._tcp. 10.0.0.3:1\n"
        "tavix-four\t_adb-tls-pairing._tcp.\t10.0.0.4:2\textra";
    struct Case {
        std::string name;
        std::string_view service;
        std::optional<std::string> address;
    } cases[] = {
        {"tavix-abc", kPairingService, "10.0.0.9:41234"},   {"tavix-abc", kConnectService, std::nullopt},
        {"adb-R5CT-x1", kConnectService, "10.0.0.9:40000"}, {"tavix-ab", kPairingService, std::nullopt},
        {"tavix-bad", kPairingService, std::nullopt},  // an address adb could not be given
        {"tavix-abcd", kPairingService, "10.0.0.3:1"},      {"List", kPairingService, std::nullopt},
        {"tavix-four", kPairingService, std::nullopt},  // a line of more than three fields
    };
    for (const auto& c : cases) EXPECT_EQ(announcedAddress(listing, c.name, c.service), c.address) << c.name;
}

TEST(QrPairing, ReadsTheGuidAndTheMissingMdnsCommand) {
    EXPECT_EQ(pairedGuid("Successfully paired to 10.0.0.9:41234 [guid=adb-R5CT-x1]\n"), "adb-R5CT-x1");
    for (const char* output : {"Successfully paired to 10.0.0.9:41234\n", "[guid=]", "[guid=a b]", "[guid=abc"}) {
        EXPECT_EQ(pairedGuid(output), std::nullopt) << output;
    }
    EXPECT_TRUE(adbLacksCommand(1, "adb: unknown command mdns\n"));
    EXPECT_FALSE(adbLacksCommand(0, "unknown command"));
    EXPECT_FALSE(adbLacksCommand(1, "error: mdns discovery disabled"));
}

TEST(QrPairing, TextAndRandomParts) {
    EXPECT_EQ(qrPairingText("tavix-a1", "p4ss"), "WIFI:T:ADB;S:tavix-a1;P:p4ss;;");
    std::set<std::string> seen;
    std::set<char> characters;
    for (int i = 0; i < 200; ++i) {
        const std::string text = randomAlphanumeric(12);
        ASSERT_EQ(text.size(), 12u);
        seen.insert(text);
        characters.insert(text.begin(), text.end());
    }
    EXPECT_EQ(seen.size(), 200u);
    // 2400 draws from 62 characters reach every one of them, and nothing else.
    EXPECT_EQ(characters.size(), 62u);
    for (char c : characters) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << c;
    // And evenly: folding bytes onto 62 characters unevenly would make the first eight a quarter likelier.
    std::map<char, int> counts;
    for (char c : randomAlphanumeric(124'000)) ++counts[c];
    int first = 0, rest = 0;
    for (const auto& [c, n] : counts)
        (std::string_view("ABCDEFGH").find(c) != std::string_view::npos ? first : rest) += n;
    EXPECT_NEAR(first / 8.0, rest / 54.0, 150) << "2000 expected of each";
}

}  // namespace
}  // namespace tavix
