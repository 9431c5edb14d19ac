#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// What the dynamic loader maps when the program starts, listed without running it (as ldd does).
std::string librariesAtStart() {
    const std::string command = std::string("LD_TRACE_LOADED_OBJECTS=1 ") + TAVIX_MENU_BINARY + " 2>&1";
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), pclose);
    std::string listing;
    if (!pipe) return listing;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) listing.append(buffer, n);
    return listing;
}

// HTTPS is needed only to pair: libcurl and the TLS stacks it brings come with the first request, not at start.
TEST(ProgramStart, LoadsNoNetworkLibraries) {
    const std::string listing = librariesAtStart();
    ASSERT_NE(listing.find("libQt6Widgets"), std::string::npos) << "no listing of the loaded libraries:\n" << listing;
    for (const char* library : {"libcurl", "libssl", "libcrypto", "libgnutls", "libnghttp2", "libssh2", "libldap"}) {
        EXPECT_EQ(listing.find(library), std::string::npos) << library << " is loaded at start:\n" << listing;
    }
}

}  // namespace
