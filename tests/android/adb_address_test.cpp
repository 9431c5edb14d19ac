#include <gtest/gtest.h>

#include "android/adb_address.h"
#include "android/wireless.h"

namespace tavix {
namespace {

TEST(AdbAddress, AcceptsHostAndPort) {
    for (const char* address : {"192.168.1.20:5555", "10.0.0.2:1", "pixel-7.lan.example:5555", "p:65535",
                                "192.168.1.20:05555", "192.168.1.20:+5555", "9phone:00000000000000000000001"}) {
        EXPECT_TRUE(adbAddress(address)) << address;
    }
}

TEST(AdbAddress, RefusesEverythingElse) {
    for (const char* address : {"192.168.1.20",
                                "192.168.1.20:",
                                ":5555",
                                "192.168.1.20:0",
                                "192.168.1.20:65536",
                                "192.168.1.20:-1",
                                "192.168.1.20:5555:1",
                                "[fe80::1]:5555",
                                "-phone:5555",
                                ".phone:5555",
                                "my_phone:5555",
                                "192.168.1.20:55a5",
                                "192.168.1.20:55 55",
                                "192.168.1.20:+",
                                "192.168.1.20:-",
                                "192.168.1.20: 5555",
                                "192.168.1.20:5555 ",
                                "phöne:5555",
                                "192.168.1.20:99999999999999999999999",
                                "192.168.1.20:++5555",
                                ""}) {
        EXPECT_FALSE(adbAddress(address)) << address;
    }
}

TEST(AdbOutcome, StatusFirstThenEitherPhraseInAnyCase) {
    struct Case {
        int status;
        const char* output;
        bool ok;
    } cases[] = {
        {0, "Successfully paired to 192.168.1.20:37123 [guid=adb-1]\n", true},
        {0, "already connected to 192.168.1.20:5555\n", true},
        {0, "CONNECTED TO 10.0.0.2:5555", true},
        {0, "failed to connect to '192.168.1.20:5555': Connection refused\n", false},
        // "connected" alone is not success.
        {0, "disconnected 10.0.0.2:5555\n", false},
        {0, "error: device not connected\n", false},
        {1, "connected to 192.168.1.20:5555", false},
        {15, "successfully paired", false},
        {-1, "connected to", false},
        {0, "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(adbSucceeded(c.status, c.output), c.ok) << c.status << " " << c.output;
}

TEST(AdbOutcome, PairingCodeIsSixDigitsOfAnyKind) {
    EXPECT_TRUE(phonePairingCode("012345"));
    EXPECT_TRUE(phonePairingCode("999999"));
    for (const char* code : {"12345", "1234567", "12 345", "12345a", "", "１２３４５６"}) {
        EXPECT_FALSE(phonePairingCode(code)) << code;
    }
}

}  // namespace
}  // namespace tavix
