#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

// HTTPS is needed only to pair: libcurl and the TLS stacks it brings come with the first request, not at start.
TEST(ProgramStart, LoadsNoNetworkLibraries) {
    // What the dynamic loader maps when the program starts, listed without running it (as ldd does).
    const std::string listing =
        tavix::test::commandOutput(std::string("LD_TRACE_LOADED_OBJECTS=1 ") + TAVIX_MENU_BINARY + " 2>&1");
    ASSERT_NE(listing.find("libQt6Widgets"), std::string::npos) << "no listing of the loaded libraries:\n" << listing;
    for (const char* library : {"libcurl", "libssl", "libcrypto", "libgnutls", "libnghttp2", "libssh2", "libldap"}) {
        EXPECT_EQ(listing.find(library), std::string::npos) << library << " is loaded at start:\n" << listing;
    }
}

}  // namespace
