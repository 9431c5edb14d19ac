#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "platform/system/child_call.h"

namespace tavix {
namespace {

using namespace std::chrono_literals;

TEST(ChildCall, ReturnsTheCopysAnswerOrHowItFailed) {
    using Answer = std::variant<std::string, ChildCallFailure>;
    const std::string large(3'000'000, 'x');  // more than a pipe holds
    struct Case {
        const char* what;
        std::function<std::string()> work;
        std::chrono::milliseconds limit;
        Answer expected;
    } cases[] = {
        {"empty", [] { return std::string(); }, 30s, std::string()},
        {"large", [&] { return large; }, 30s, large},
        // Returning into the caller's code from the copy would run the rest of the program twice.
        {"exception", []() -> std::string { throw std::runtime_error("no"); }, 30s, ChildCallFailure::failed},
        {"abort", []() -> std::string { std::abort(); }, 30s, ChildCallFailure::failed},
        {"far past its memory",
         []() -> std::string {
             // Mapped but never touched: only the limit can refuse it, however much memory the machine has.
             for (int i = 0; i < 64; ++i) {
                 const std::size_t size = std::size_t{64} << 20;
                 if (::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED) {
                     std::abort();
                 }
             }
             return "all mapped";
         },
         30s, ChildCallFailure::failed},
        {"endless",
         []() -> std::string {
             for (volatile bool forever = true; forever;) {
             }
             return {};
         },
         300ms, ChildCallFailure::timedOut},
    };
    for (const auto& c : cases) EXPECT_TRUE(callInChild(c.work, c.limit, 64 * 1024 * 1024) == c.expected) << c.what;
}

}  // namespace
}  // namespace tavix
