#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/test_app.h"

namespace tavix {
namespace {

using namespace std::chrono_literals;
using test::TestApp;
using test::writeScript;

// What one run showed the caller, and when.
struct Outcome {
    int calls = 0;
    std::int32_t status = 0;
    std::string output;
    bool operationAtCall = false;  // `operation` right after process() returned
    bool operationInCompletion = true;
    int menuSetsInCompletion = -1;  // refresh() sets the menu; it must come after the completion
    std::string tooltipInCompletion;
};

class ProcessRunner : public ::testing::Test {
protected:
    std::filesystem::path script(std::string_view body) { return writeScript(app.dir / "child.sh", body); }

    // Starts a run and works the main queue until its completion has run, and what follows it with it.
    Outcome run(const std::string& executable, const std::vector<std::string>& arguments = {},
                const std::optional<std::string>& input = std::nullopt, const Environment& environment = {},
                double timeout = 30) {
        auto outcome = std::make_shared<Outcome>();
        app.menu->process(executable, arguments, input, environment, timeout,
                          [this, outcome](std::int32_t status, std::string output) {
                              ++outcome->calls;
                              outcome->status = status;
                              outcome->output = std::move(output);
                              outcome->operationInCompletion = app.menu->operation;
                              outcome->menuSetsInCompletion = app.item.menuSets;
                              outcome->tooltipInCompletion = app.item.tooltip;
                          });
        outcome->operationAtCall = app.menu->operation;
        EXPECT_TRUE(app.mainQueue.runUntil([&] { return outcome->calls > 0; }, 90s)) << executable;
        return *outcome;
    }

    TestApp app;
};

TEST_F(ProcessRunner, ReportsStatusAndBothStreamsInWriteOrder) {
    struct Case {
        std::string body;
        std::int32_t status;
        std::string output;
    };
    const Case cases[] = {
        {"printf x >&2; exit 3", 3, "x"},
        {"printf a; printf b >&2; printf c", 0, "abc"},
        {"echo done", 0, "done\n"},
        {"exit 0", 0, ""},
        {"printf 'ok\\377'; exit 4", 4, ""},
        {"head -c 5000000 /dev/zero | tr '\\0' y", 0, std::string(1800, 'y')},
        {"head -c 3000000 /dev/zero | tr '\\0' y; printf '\\376'", 0, ""},
        {"kill -9 $$", 9, ""},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run(script(c.body));
        EXPECT_EQ(outcome.calls, 1) << c.body;
        EXPECT_EQ(outcome.status, c.status) << c.body;
        EXPECT_EQ(outcome.output, c.output) << c.body;
    }
}

TEST_F(ProcessRunner, OutputIsCutToCharactersNotBytes) {
    // Characters of one to eighteen bytes and one to five code points, each counting once.
    const std::string kinds[] = {
        "x", "\u00E9", "\U0001F1E9\U0001F1EA", "e\u0301", "\U0001F468\u200D\U0001F469\u200D\U0001F467", "\u4E2D", "\n"};
    std::string first1800;
    std::string all2000;
    for (std::size_t i = 0; i < 2000; ++i) {
        if (i < 1800) first1800 += kinds[i % std::size(kinds)];
        all2000 += kinds[i % std::size(kinds)];
    }
    test::writeFile(app.dir / "text", all2000);
    const Outcome outcome = run(script("cat '" + (app.dir / "text").string() + "'; exit 1"));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output, first1800);
}

TEST_F(ProcessRunner, BusyWhileRunningAndRefreshesAfterTheCompletion) {
    const int menuSetsBefore = app.item.menuSets;
    const Outcome outcome = run(script("sleep 0.2"));
    EXPECT_TRUE(outcome.operationAtCall);
    EXPECT_FALSE(outcome.operationInCompletion);
    EXPECT_FALSE(app.menu->operation);
    EXPECT_EQ(outcome.menuSetsInCompletion, menuSetsBefore);
    EXPECT_EQ(outcome.tooltipInCompletion, "");
    EXPECT_EQ(app.item.menuSets, menuSetsBefore + 1);
    EXPECT_EQ(app.item.tooltip, "Tavix Link · Not paired");
}

TEST_F(ProcessRunner, StartFailureReportsWhyWithoutRefresh) {
    test::writeFile(app.dir / "plain.txt", "not a program", 0644);
    struct Case {
        std::filesystem::path executable;
        std::string output;
    };
    const Case cases[] = {
        {app.dir / "missing", "Could not start “missing”: No such file or directory"},
        {app.dir / "plain.txt", "Could not start “plain.txt”: Permission denied"},
        {app.dir.path(), "Could not start “" + app.dir.path().filename().string() + "”: Permission denied"},
        // No search of PATH: a bare name is a path relative to the working directory.
        {"sh", "Could not start “sh”: No such file or directory"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run(c.executable);
        app.mainQueue.drain();
        EXPECT_TRUE(outcome.operationAtCall);
        EXPECT_FALSE(outcome.operationInCompletion);
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_EQ(outcome.status, -1);
        EXPECT_EQ(outcome.output, c.output);
        EXPECT_EQ(app.item.menuSets, 0) << "refresh() ran after a start failure";
        EXPECT_EQ(app.item.tooltip, "");
    }
}

TEST_F(ProcessRunner, ArgumentsReachTheChildUninterpreted) {
    const auto path = script("printf '%s|' \"$0\" \"$#\" \"$@\"");
    const Outcome outcome = run(path, {"a b", "", "$HOME", "*", "-c"});
    EXPECT_EQ(outcome.output, path.string() + "|5|a b||$HOME|*|-c|");
}

TEST_F(ProcessRunner, StandardInputGetsTheLineThenEndOfFile) {
    struct Case {
        std::optional<std::string> input;
        std::string seen;
    };
    const Case cases[] = {{"123456", "123456\n"}, {std::nullopt, ""}, {"", "\n"}};
    // A child still waiting for end of file would only be ended by the time limit, with status 15.
    const auto path = script("cat; printf '|end'");
    for (const auto& c : cases) {
        const Outcome outcome = run(path, {}, c.input, {}, 20);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.output, c.seen + "|end");
    }
}

TEST_F(ProcessRunner, ChildThatShutsItsInputIsNoHarm) {
    // Far more than a pipe holds, so the rest is written after the child has closed its end.
    const std::string line(1 << 20, 'z');
    const Outcome closed = run(script("exec 0<&-; sleep 0.3; printf closed; exit 2"), {}, line);
    EXPECT_EQ(closed.status, 2);
    EXPECT_EQ(closed.output, "closed");
    const Outcome gone = run(script("exit 6"), {}, line);
    EXPECT_EQ(gone.status, 6);
    const Outcome counted = run(script("wc -c"), {}, line);
    EXPECT_EQ(counted.output, std::to_string(line.size() + 1) + "\n");
}

TEST_F(ProcessRunner, EnvironmentOverridesAndPassesTheRestOn) {
    test::ScopedEnv kept("TAVIX_RUNNER_KEPT", "kept value");
    test::ScopedEnv replaced("TAVIX_RUNNER_REPLACED", "old");
    const Outcome outcome =
        run(script("printf '%s|%s|%s' \"$TAVIX_RUNNER_KEPT\" \"$TAVIX_RUNNER_REPLACED\" \"$TAVIX_RUNNER_ADDED\""), {},
            std::nullopt, {{"TAVIX_RUNNER_REPLACED", "new"}, {"TAVIX_RUNNER_ADDED", "a=b"}});
    EXPECT_EQ(outcome.output, "kept value|new|a=b");
    EXPECT_STREQ(std::getenv("TAVIX_RUNNER_REPLACED"), "old");
}

TEST_F(ProcessRunner, TimeLimitSendsOneTerminationRequest) {
    struct Case {
        std::string body;
        std::int32_t status;
        std::string output;
    };
    const Case cases[] = {
        {"printf started; exec sleep 60", 15, "started"},
        // Handles the request, then lives on long enough that any repeat would show.
        {"n=0; trap 'n=$((n+1)); printf T' TERM; printf started\n"
         "i=0; while [ $i -lt 600 ]; do\n"
         "  sleep 0.1 & wait $!\n"
         "  if [ $n -gt 0 ]; then i=$((i+30)); else i=$((i+1)); fi\n"
         "done; exit 7",
         7, "startedT"},
    };
    for (const auto& c : cases) {
        const auto began = std::chrono::steady_clock::now();
        const Outcome outcome = run(script(c.body), {}, std::nullopt, {}, 1.5);
        EXPECT_EQ(outcome.status, c.status) << c.body;
        EXPECT_EQ(outcome.output, c.output) << c.body;
        EXPECT_LT(std::chrono::steady_clock::now() - began, 50s) << "the time limit did not end the child";
    }
}

TEST_F(ProcessRunner, DescendantHoldingTheOutputDelaysTheCompletion) {
    // The child ends at once; the limit passes while its descendant still writes, and leaves that one alone.
    const Outcome outcome = run(script("(sleep 3; printf late) & printf early; exit 5"), {}, std::nullopt, {}, 1.5);
    EXPECT_EQ(outcome.status, 5);
    EXPECT_EQ(outcome.output, "earlylate");
}

TEST_F(ProcessRunner, LimitAfterAnEarlyEndDoesNothing) {
    const Outcome outcome = run(script("printf quick"), {}, std::nullopt, {}, 1);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output, "quick");
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(app.mainQueue.drain(), 0);
    EXPECT_FALSE(app.menu->operation);
}

TEST_F(ProcessRunner, ChildSeesOnlyTheStandardDescriptors) {
    // One descriptor of ours without close-on-exec, as a library might leave it.
    const int inheritable = ::fcntl(::open("/dev/null", O_RDONLY | O_CLOEXEC), F_DUPFD, 40);
    ASSERT_GE(inheritable, 40);
    const Outcome outcome =
        run("/bin/sh", {"-c",
                        "n=0; while [ $n -lt 1024 ]; do [ -e /proc/$$/fd/$n ] && printf '%s ' $n; n=$((n+1)); "
                        "done"});
    ::close(inheritable);
    EXPECT_EQ(outcome.output, "0 1 2 ");
}

TEST_F(ProcessRunner, OverlappingRunsEachReportOnce) {
    int reports = 0;
    bool operationAtFirstReport = true;
    for (const char* name : {"one.sh", "two.sh"}) {
        app.menu->process(writeScript(app.dir / name, "sleep 0.2; printf done"), {}, std::nullopt, {}, 30,
                          [&](std::int32_t status, std::string output) {
                              if (reports++ == 0) operationAtFirstReport = app.menu->operation;
                              EXPECT_EQ(status, 0);
                              EXPECT_EQ(output, "done");
                          });
    }
    EXPECT_TRUE(app.mainQueue.runUntil([&] { return reports == 2; }, 60s));
    EXPECT_FALSE(operationAtFirstReport);
}

}  // namespace
}  // namespace tavix
