#include "platform/qt/QtNotifyTarget.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace platform::qt {
namespace {

TEST(QtNotifyTarget, RunsTheHandlerOnTheGuiThreadInPostingOrder)
{
    QtNotifyTargets targets;
    std::vector<std::uint32_t> got;
    std::vector<std::thread::id> threads;
    auto target = targets.create([&](std::uint32_t m) {
        got.push_back(m);
        threads.push_back(std::this_thread::get_id());
    });
    std::thread producer([&] {
        for (std::uint32_t m = 0; m < 100; ++m)
            target->post(m);
    });
    producer.join();
    EXPECT_TRUE(got.empty()); // nothing runs until the event loop does
    QCoreApplication::processEvents();
    ASSERT_EQ(got.size(), 100u);
    for (std::uint32_t m = 0; m < 100; ++m)
        EXPECT_EQ(got[m], m);
    for (const auto& id : threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(QtNotifyTarget, ADestroyedTargetDeliversNothingMore)
{
    QtNotifyTargets targets;
    int calls = 0;
    auto target = targets.create([&](std::uint32_t) { ++calls; });
    target->post(963);
    target->post(1024);
    target.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
}

} // namespace
} // namespace platform::qt
