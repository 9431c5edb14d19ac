#include "pairing/setup_download.h"

#include <gtest/gtest.h>

namespace tavix {
namespace {

TEST(SetupDownload, AcceptsOnlyA200FromTheSameHostWithABodyUnderTheLimit) {
    const std::string base = "https://127.0.0.1:8443";
    const std::pair<HttpResponse, bool> cases[] = {
        {{.transportError = {}, .status = 200, .finalUrl = base + "/link", .body = "x"}, true},
        {{.transportError = {}, .status = 200, .finalUrl = "https://127.0.0.1:9443/setup.sh", .body = "x"}, true},
        // 150 000 bytes are refused even when the transport did not cut them short.
        {{.transportError = {}, .status = 200, .finalUrl = base + "/link", .body = std::string(150'000, 'x')}, false},
        {{.transportError = {}, .status = 200, .finalUrl = "", .body = "x"}, false},
        {{.transportError = "timed out", .status = 200, .finalUrl = base + "/link", .body = "x"}, false},
    };
    for (const auto& [response, accepted] : cases) {
        EXPECT_EQ(acceptSetupDownload(response, base), accepted) << response.finalUrl << " " << response.body->size();
    }
    // The hosts as libcurl reads them: it reports the numeric forms of an address dotted, and case does not count.
    const std::pair<std::string, bool> hosts[] = {{"https://127.1:8443", true},
                                                  {"https://0x7f.0.0.1", true},
                                                  {"https://2130706433", true},
                                                  {"https://LOCALHOST", false},
                                                  {"https://127.0.0.2", false}};
    for (const auto& [written, accepted] : hosts) {
        const HttpResponse response{.transportError = {}, .status = 200, .finalUrl = base + "/link", .body = "x"};
        EXPECT_EQ(acceptSetupDownload(response, written), accepted) << written;
    }
    EXPECT_TRUE(acceptSetupDownload(
        {.transportError = {}, .status = 200, .finalUrl = "https://localhost/", .body = "x"}, "https://LocalHost"));
}

TEST(SetupDownload, KnowsWhenTheApplicationRunsFromAMountedVolume) {
    const std::pair<std::string, bool> cases[] = {
        {"/Volumes/Tavix Link/tavix-menu", true},
        {"/media/ana/TAVIX/tavix-menu", true},
        {"/run/media/ana/TAVIX/tavix-menu", true},
        {"/usr/bin/tavix-menu", false},
        {"/home/ana/Volumes/tavix-menu", false},
        {"/mediafiles/tavix-menu", false},
        {"/Volumes", false},
    };
    for (const auto& [path, mounted] : cases) EXPECT_EQ(runsFromMountedVolume(path), mounted) << path;
}

}  // namespace
}  // namespace tavix
