#include <gtest/gtest.h>

#include "android/adb_address.h"


namespace tavix {
namespace {

TEST(AdbAddress, AcceptsHostAndPort) {
    for (const char* address : {"192.168.1.20:5555", "10.0.0.2:1", "pixel-7.lan.example:5555", "p:65535",
                                "192.168.1.20:05555", "192.168.1.20:+5555", "9phone:00000000000000000000001"}) {
        EXPECT_TRUE(adbAddress(address)) << address;
    }
}

TEST(AdbAddress, RefusesEverythingElse) {
    for (const char* address : {"192.168.1.20", "192.168.1.20:", ":5555", "192.168.1.20:0", "192.168.1.20:65536",
                                "192.168.1.20:-1", "192.168.1.20:5555:1", "[fe80::1]:5555", "-phone:5555",
                                ".phone:5555", "my_phone:5555", "192.168.1.20:55a5", "192.168.1.20:55 55",
                                "192.168.1.20:+", "192.168.1.20:-", "192.168.1.20: 5555", "192.168.1.20:5555 ",
                                "phöne:5555", "192.168.1.20:99999999999999999999999", "192.168.1.20:++5555", ""}) {
        EXPECT_FALSE(adbAddress(address)) << address;
    }
}

}  // namespace
}  // namespace tavix
