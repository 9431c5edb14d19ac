#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/child_call.h"

namespace tavix {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMemory = 64 * 1024 * 1024;

TEST(ChildCall, ReturnsTheBytesTheCopyProduced) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{3'000'000}}) {
        const std::string expected(size, 'x');
        auto answer = callInChild([&] { return expected; }, 30s, kMemory);
        ASSERT_TRUE(std::holds_alternative<std::string>(answer)) << size;
        EXPECT_EQ(std::get<std::string>(answer), expected);
    }
}

TEST(ChildCall, OnlyTheCopyIsChanged) {
    int counter = 1;
    auto answer = callInChild(
        [&] {
            counter = 2;
            return std::to_string(counter);
        },
        30s, kMemory);
    ASSERT_TRUE(std::holds_alternative<std::string>(answer));
    EXPECT_EQ(std::get<std::string>(answer), "2");
    EXPECT_EQ(counter, 1);
}

TEST(ChildCall, ACopyThatDiesIsReportedAndTheCallerGoesOn) {
    const std::vector<std::function<std::string()>> works = {
        []() -> std::string { std::abort(); },
        []() -> std::string { throw std::runtime_error("no"); },
        []() -> std::string { std::_Exit(3); },
        // Far past the memory it may take.
        [] {
            std::vector<std::string> hog;
            for (int i = 0; i < 64; ++i) hog.emplace_back(std::size_t{64} * 1024 * 1024, 'x');
            return std::to_string(hog.size());
        },
    };
    for (std::size_t i = 0; i < works.size(); ++i) {
        auto answer = callInChild(works[i], 60s, kMemory);
        ASSERT_TRUE(std::holds_alternative<ChildCallFailure>(answer)) << i;
        EXPECT_EQ(std::get<ChildCallFailure>(answer), ChildCallFailure::failed) << i;
    }
}

TEST(ChildCall, ACopyStillWorkingAtTheLimitIsEnded) {
    auto answer = callInChild(
        []() -> std::string {
            volatile bool forever = true;
            while (forever) {
            }
            return {};
        },
        300ms, kMemory);
    ASSERT_TRUE(std::holds_alternative<ChildCallFailure>(answer));
    EXPECT_EQ(std::get<ChildCallFailure>(answer), ChildCallFailure::timedOut);
}

}  // namespace
}  // namespace tavix
