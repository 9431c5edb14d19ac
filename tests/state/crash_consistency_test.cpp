// The state directory is shared with the bridge, which may read "token" or "config" at any moment, and the
// application may die at any moment. Readers must only ever see a whole old or a whole new file.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <set>
#include <thread>

#include "platform/system/files.h"
#include "state/write_private.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

// Contents of clearly different lengths, so a torn write shows as a text that is none of them.
std::string content(int i) {
    return std::to_string(i) + ":" + std::string(static_cast<std::size_t>(50 + (i % 7) * 300), 'a' + i % 26);
}

bool isWhole(const std::string& text) {
    auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    return text == content(std::stoi(text.substr(0, colon)));
}

TEST(CrashConsistency, AReaderNeverSeesAPartialFile) {
    test::TempDir dir;
    for (const char* name : {"token", "config"}) {
        ASSERT_EQ(writePrivate(dir.path(), content(0), name), std::nullopt);
        std::atomic<bool> done{false};
        std::atomic<int> reads{0}, bad{0};
        std::thread reader([&] {
            while (!done) {
                auto text = readFile(dir / name);
                if (!text || !isWhole(*text)) ++bad;
                ++reads;
            }
        });
        constexpr int kWrites = 100;
        for (int i = 1; i <= kWrites; ++i) ASSERT_EQ(writePrivate(dir.path(), content(i), name), std::nullopt);
        done = true;
        reader.join();
        EXPECT_EQ(bad.load(), 0) << name << ": partial, empty or missing reads out of " << reads.load();
        EXPECT_GT(reads.load(), 0);
        EXPECT_EQ(test::readAll(dir / name), content(kWrites));
        EXPECT_EQ(test::countEntries(dir.path(), ".menu-"), 0);
    }
}

TEST(CrashConsistency, AWriterKilledAtAnyMomentLeavesEveryTargetWhole) {
    test::TempDir dir;
    ASSERT_EQ(writePrivate(dir.path(), content(0), "token"), std::nullopt);
    ASSERT_EQ(writePrivate(dir.path(), content(0), "config"), std::nullopt);
    std::mt19937 random(20261206);
    constexpr int kKills = 150;
    int killedMidway = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 1;; ++i) {
                if (writePrivate(dir.path(), content(i), i % 2 ? "token" : "config")) ::_exit(3);
            }
        }
        ::usleep(std::uniform_int_distribution<useconds_t>(200, 5000)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        killedMidway += WIFSIGNALED(status);
        for (const char* name : {"token", "config"}) {
            auto text = readFile(dir / name);
            ASSERT_TRUE(text && isWhole(*text)) << name << " after kill " << kill;
            ASSERT_EQ(test::modeOf(dir / name), 0600u) << name;
        }
    }
    EXPECT_EQ(killedMidway, kKills);
    // Stray temporary files may remain; the next write does not trip over them.
    ASSERT_EQ(writePrivate(dir.path(), content(7), "token"), std::nullopt);
    EXPECT_EQ(test::readAll(dir / "token"), content(7));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const auto name = entry.path().filename().string();
        EXPECT_TRUE(name == "token" || name == "config" || name.rfind(".menu-", 0) == 0) << name;
    }
}

}  // namespace
}  // namespace tavix
