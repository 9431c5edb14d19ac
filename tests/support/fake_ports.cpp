#include "support/fake_ports.h"

#include <utility>

namespace tavix::test {

void FakeMainQueue::post(std::function<void()> fn) {
    // Notify under the lock: once the test has seen the post it may end and destroy this queue.
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
    posted_.notify_all();
}

int FakeMainQueue::drain() {
    int ran = 0;
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return ran;
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        next();
        ++ran;
    }
}

bool FakeMainQueue::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        drain();
        if (done()) return true;
        std::unique_lock lock(mutex_);
        if (!posted_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) return done();
    }
}

std::optional<std::vector<std::string>> FakeDialogs::form(const std::string& title, const std::string& text,
                                                          const std::vector<FormField>& fields,
                                                          const std::string& button) {
    forms.push_back({title, text, fields, button});
    if (whileAsking) std::exchange(whileAsking, nullptr)();
    if (formAnswers.empty()) return std::nullopt;
    std::optional<std::vector<std::string>> answer;
    answer.swap(formAnswers.front());
    formAnswers.pop_front();
    return answer;
}

bool FakeDialogs::confirm(const std::string& title, const std::string& text, const std::string&) {
    confirmations.push_back({title, text});
    if (whileAsking) std::exchange(whileAsking, nullptr)();
    if (confirmAnswers.empty()) return false;
    bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
}

}  // namespace tavix::test
