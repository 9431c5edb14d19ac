#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <deque>

#include "support/test_app.h"

namespace tavix {
namespace {

using namespace std::chrono_literals;

// What one run showed its caller.
struct Outcome {
    int calls = 0;
    std::int32_t status = 0;
    std::string output;
    bool busyInCompletion = true;
    int refreshesInCompletion = -1;  // the refresh comes after the completion
};

class ProcessRunner : public ::testing::Test {
  protected:
    // A run on the runner itself: any number side by side.
    Outcome& start(const std::string& executable, const std::vector<std::string>& arguments,
                   const std::optional<std::string>& input = std::nullopt, double limit = 30,
                   const Environment& environment = {}, OutputShape shape = OutputShape::message) {
        Outcome& outcome = outcomes.emplace_back();
        runner.run({executable, arguments, input, environment, limit, shape}, [&outcome](ProcessResult result) {
            ++outcome.calls;
            outcome.status = result.status;
            outcome.output = std::move(result.output);
        });
        return outcome;
    }
    // A run as the application's operation of the moment.
    Outcome& process(const std::string& executable) {
        Outcome& outcome = outcomes.emplace_back();
        app.menu->process(executable, {}, std::nullopt, {}, 30,
                          [this, &outcome](std::int32_t status, std::string output) {
                              ++outcome.calls;
                              outcome.status = status;
                              outcome.output = std::move(output);
                              outcome.busyInCompletion = app.menu->operation();
                              outcome.refreshesInCompletion = app.item.refreshes;
                          });
        return outcome;
    }
    // Works the main queue until every run has reported.
    bool finish() {
        return app.mainQueue.runUntil(
            [&] { return std::all_of(outcomes.begin(), outcomes.end(), [](auto& o) { return o.calls > 0; }); }, 90s);
    }

    test::TestApp app;
    tavix::ProcessRunner runner{app.mainQueue};
    std::deque<Outcome> outcomes;
};

TEST_F(ProcessRunner, ChildrenRunSideBySideEachReportingOnce) {
    const std::string line(1 << 20, 'z');  // far more than a pipe holds
    const std::optional<std::string> none;
    const double limit = 0.8;  // ended at the limit, then as long again for the grace
    struct Case {
        std::string script;
        std::optional<std::string> input;
        double limit;
        std::int32_t status;
        std::string output;
        OutputShape shape = OutputShape::message;
    } cases[] = {
        // A listing is kept byte for byte, whatever the bytes, up to its bound.
        {"printf 'ok\\377\\n'; exit 4", none, 30, 4, "ok\377\n", OutputShape::listing},
        {"head -c 5000000 /dev/zero | tr '\\0' y", none, 30, 0, std::string(kListingBytes, 'y'), OutputShape::listing},
        // One pipe for both streams, in the order written.
        {"printf a; printf b >&2; printf c; exit 3", none, 30, 3, "abc"},
        {"printf 'ok\\377'; exit 4", none, 30, 4, ""},
        {"kill -9 $$", none, 30, 9, ""},
        {"printf '%s|' \"$0\" \"$#\" \"$@\" \"$TAVIX_RUNNER_KEPT\" \"$TAVIX_RUNNER_REPLACED\"", none, 30, 0,
         "sh|5|a b||$HOME|*|-c|kept value|new|"},
        // The line and a line feed, then end of file: a child still waiting for it would be ended at the limit.
        {"cat; printf '|end'", "123456", 20, 0, "123456\n|end"},
        {"cat; printf '|end'", none, 20, 0, "|end"},
        {"cat; printf '|end'", "", 20, 0, "\n|end"},
        {"cat; printf '|end'", "line\n", 20, 0, "line\n\n|end"},
        {"wc -c", line, 20, 0, std::to_string(line.size() + 1) + "\n"},
        // The rest of the line goes to a closed pipe: no SIGPIPE for us.
        {"exec 0<&-; sleep 0.3; printf closed; exit 2", line, 30, 2, "closed"},
        // One SIGTERM at the limit; a child that handles it gets a grace period, in which a repeat would show.
        {"printf started; exec sleep 60", none, limit, 15, "started"},
        // (What the group's signal does to its sleep is the shell's to report on standard error.)
        {"exec 2>/dev/null; n=0; trap 'n=$((n+1)); printf T' TERM; printf started; i=0\n"
         "while [ $i -lt 600 ]; do sleep 0.1 & wait $!; if [ $n -gt 0 ]; then i=$((i+100)); else i=$((i+1)); fi; done\n"
         "exit 7",
         none, limit, 7, "startedT"},
        // Ended at the limit without a word: the text says which command did not finish.
        {"exec sleep 60", none, limit, 15,
         "“sh -c exec sleep 60 sh a b  $HOME * -c” did not finish within 0.8 seconds "
         "and was stopped."},
        // The whole group ends at the limit: what the child waits on, what it left running with the output open,
        // and, a grace period later, what ignores the request. A descendant that left the group is no longer waited
        // for then.
        {"sleep 60 & printf waits; wait", none, limit, 15, "waits"},
        {"(trap 'printf T; exit 0' TERM; sleep 60 & wait) & printf go; wait", none, limit, 15, "goT"},
        {"(sleep 3; printf late) & printf early; exit 5", none, limit, 5, "early"},
        {"trap '' TERM; printf stubborn; exec sleep 60", none, limit, 9, "stubborn"},
        {"setsid sleep 5 & printf escaped; exit 6", none, limit, 6, "escaped"},
        // Its limit passes while the others run, and does nothing.
        {"printf quick", none, 0.3, 0, "quick"},
        // Only the standard descriptors, whatever we hold (the others' pipes, one left without close-on-exec).
        {"n=0; while [ $n -lt 1024 ]; do [ -e /proc/$$/fd/$n ] && printf '%s ' $n; n=$((n+1)); done", none, 30, 0,
         "0 1 2 "},
    };
    test::ScopedEnv kept("TAVIX_RUNNER_KEPT", "kept value");
    test::ScopedEnv replaced("TAVIX_RUNNER_REPLACED", "old");
    const int source = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int inheritable = ::fcntl(source, F_DUPFD, 40);
    ::close(source);
    ASSERT_GE(inheritable, 40);
    for (const auto& c : cases) {
        // No shell in between: each argument arrives as it is.
        start("/bin/sh", {"-c", c.script, "sh", "a b", "", "$HOME", "*", "-c"}, c.input, c.limit,
              {{"TAVIX_RUNNER_REPLACED", "new"}}, c.shape);
    }
    ASSERT_TRUE(finish());
    ::close(inheritable);
    EXPECT_STREQ(std::getenv("TAVIX_RUNNER_REPLACED"), "old");
    EXPECT_EQ(app.mainQueue.drain(), 0);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(outcomes[i].calls, 1);
        EXPECT_EQ(outcomes[i].status, cases[i].status) << cases[i].script;
        EXPECT_EQ(outcomes[i].output, cases[i].output) << cases[i].script;
    }
}

TEST_F(ProcessRunner, OneOperationAtATimeBusyUntilTheCompletionThenRefreshedUnlessNotStarted) {
    struct Case {
        std::string executable;
        std::int32_t status;
        std::string output;
    } cases[] = {
        {test::writeScript(app.dir / "child.sh", "sleep 0.2; printf done"), 0, "done"},
        {app.dir / "missing", -1, "Could not start “missing”: No such file or directory"},
        {app.dir.path(), -1, "Could not start “" + app.dir.path().filename().string() + "”: Permission denied"},
        // No search of PATH: a bare name is a path relative to the working directory.
        {"sh", -1, "Could not start “sh”: No such file or directory"},
    };
    for (const auto& c : cases) {
        const int refreshes = app.item.refreshes;
        const Outcome& outcome = process(c.executable);
        EXPECT_TRUE(app.menu->operation());
        // A second program while the first runs starts nothing, and says why.
        EXPECT_FALSE(app.menu->process("/bin/true", {}, std::nullopt, {}, 30,
                                       [](std::int32_t, std::string) { ADD_FAILURE() << "a second run reported"; }));
        EXPECT_EQ(app.dialogs.alerts.back().title, "Task in progress");
        ASSERT_TRUE(finish());
        app.mainQueue.drain();
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.output, c.output);
        EXPECT_FALSE(outcome.busyInCompletion);
        EXPECT_EQ(outcome.refreshesInCompletion, refreshes);
        EXPECT_EQ(app.item.refreshes, refreshes + (c.status == -1 ? 0 : 1));
    }
}

TEST_F(ProcessRunner, MemoryStaysBoundedWhateverTheChildPrints) {
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    // Every byte is still checked: one bad byte at the very end empties the text.
    const Outcome& outcome = start("/bin/sh", {"-c", "head -c 67108864 /dev/zero | tr '\\0' y; printf '\\376'"});
    ASSERT_TRUE(finish());
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output, "");
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "kilobytes more at the peak";
}

}  // namespace
}  // namespace tavix
