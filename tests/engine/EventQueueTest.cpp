// The event queue on its own: off keeps nothing, a full queue drops its
// oldest, an event not yet due holds back the ones behind it, and details
// are cut to fit.
#include <gtest/gtest.h>

#include <string>

#include "EventQueue.h"

namespace parlune {
namespace {

TEST(EventQueue, OffKeepsNothing) {
    EventQueue queue;
    EXPECT_FALSE(queue.push(PARLUNE_DA_EVENT_QUEUED, 1, 0));
    ParluneDaEvent event{};
    EXPECT_FALSE(queue.pop(event, EventQueue::now()));
    queue.enable();
    EXPECT_TRUE(queue.push(PARLUNE_DA_EVENT_QUEUED, 1, 0));
    EXPECT_TRUE(queue.pop(event, EventQueue::now()));
    EXPECT_EQ(event.kind, PARLUNE_DA_EVENT_QUEUED);
    EXPECT_EQ(event.text, 1u);
}

TEST(EventQueue, FullDropsTheOldestAndKeepsTheNewest) {
    EventQueue queue(3);
    queue.enable();
    for (uint64_t text = 1; text <= 5; ++text) {
        EXPECT_TRUE(queue.push(PARLUNE_DA_EVENT_QUEUED, text, 0));
    }
    EXPECT_EQ(queue.overflowed(), 2u);
    ParluneDaEvent event{};
    for (uint64_t text = 3; text <= 5; ++text) {
        ASSERT_TRUE(queue.pop(event, 0));
        EXPECT_EQ(event.text, text);
    }
    EXPECT_FALSE(queue.pop(event, 0));
}

TEST(EventQueue, EventNotYetDueHoldsBackTheOnesBehindIt) {
    EventQueue queue;
    queue.enable();
    queue.push(PARLUNE_DA_EVENT_QUEUED, 1, 100);
    queue.push(PARLUNE_DA_EVENT_STARTED, 1, 500);
    queue.push(PARLUNE_DA_EVENT_QUEUED, 2, 200);  // due, but behind the start
    ParluneDaEvent event{};
    ASSERT_TRUE(queue.pop(event, 300));
    EXPECT_EQ(event.kind, PARLUNE_DA_EVENT_QUEUED);
    EXPECT_FALSE(queue.pop(event, 300));
    EXPECT_FALSE(queue.pop(event, 499));
    ASSERT_TRUE(queue.pop(event, 500));
    EXPECT_EQ(event.kind, PARLUNE_DA_EVENT_STARTED);
    EXPECT_EQ(event.time_ns, 500);
    ASSERT_TRUE(queue.pop(event, 500));
    EXPECT_EQ(event.text, 2u);
}

TEST(EventQueue, DetailIsCutToFitAndTerminated) {
    EventQueue queue;
    queue.enable();
    const std::string longWord(100, 'x');
    queue.push(PARLUNE_DA_EVENT_SKIPPED, 1, 0, longWord.c_str());
    queue.push(PARLUNE_DA_EVENT_SKIPPED, 2, 0, "crash");
    ParluneDaEvent event{};
    ASSERT_TRUE(queue.pop(event, 0));
    EXPECT_EQ(std::string(event.detail), longWord.substr(0, PARLUNE_DA_EVENT_DETAIL_BYTES - 1));
    ASSERT_TRUE(queue.pop(event, 0));
    EXPECT_STREQ(event.detail, "crash");
}

}  // namespace
}  // namespace parlune
