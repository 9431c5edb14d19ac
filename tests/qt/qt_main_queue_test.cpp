#include "platform/qt/qt_main_queue.h"

#include <QCoreApplication>
#include <QThread>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace tavix {
namespace {

TEST(QtMainQueue, RunsPostsFromWorkersOnTheMainThreadInOrder) {
    QtMainQueue queue;
    std::vector<int> ran;
    bool allOnMain = true;
    QThread* main = QThread::currentThread();
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            queue.post([&, i] {
                allOnMain = allOnMain && QThread::currentThread() == main;
                ran.push_back(i);
            });
        }
    });
    worker.join();
    EXPECT_TRUE(ran.empty()) << "nothing runs before the event loop turns";
    QCoreApplication::processEvents();
    ASSERT_EQ(ran.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(allOnMain);
}

}  // namespace
}  // namespace tavix
