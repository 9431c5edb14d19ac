#include "pairing/setup_download.h"

#include <gtest/gtest.h>

namespace tavix {
namespace {

TEST(SetupDownload, AcceptsOnlyA200FromTheSameHostWithABodyUnderTheLimit) {
    const std::string base = "https://127.0.0.1:8443";
    struct Case {
        std::string name;
        long status;
        std::string finalUrl;
        std::optional<std::string> body;
        bool accepted;
        bool cut = false;
        std::optional<std::string> transportError = std::nullopt;
    };
    const Case cases[] = {
        {"plain", 200, base + "/link", "echo hi\n", true},
        {"another port on the same host", 200, "https://127.0.0.1:9443/setup.sh", "echo hi\n", true},
        {"149 999 bytes", 200, base + "/link", std::string(149'999, 'x'), true},
        {"150 000 bytes", 200, base + "/link", std::string(150'000, 'x'), false},
        {"cut at the limit", 200, base + "/link", std::string(150'000, 'x'), false, true},
        {"404", 404, base + "/link", "not found", false},
        {"500", 500, base + "/link", "echo hi\n", false},
        {"204", 204, base + "/link", "", false},
        {"another name of the same machine", 200, "https://localhost:8443/link", "echo hi\n", false},
        {"host differing in case", 200, "https://LOCALHOST:8443/link", "echo hi\n", false},
        {"no final URL", 200, "", "echo hi\n", false},
        {"empty body", 200, base + "/link", "", false},
        {"no body", 200, base + "/link", std::nullopt, false},
        {"transport error", 200, base + "/link", "echo hi\n", false, false, "timed out"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpResponse response;
        response.status = c.status;
        response.finalUrl = c.finalUrl;
        response.body = c.body;
        response.bodyCut = c.cut;
        response.transportError = c.transportError;
        EXPECT_EQ(acceptSetupDownload(response, base), c.accepted);
    }
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
        {"", false},
    };
    for (const auto& [path, mounted] : cases) EXPECT_EQ(runsFromMountedVolume(path), mounted) << path;
}

}  // namespace
}  // namespace tavix
