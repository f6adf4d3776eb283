#include <coil/Task.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/Wait.h"

namespace {

class CountingTask : public coil::Task {
  public:
    std::atomic<int> runs{0};
    std::atomic<int> finalized{0};
    std::atomic<bool> release{true};
    int svc() override {
        ++runs;
        testsupport::waitUntil([this] { return release.load(); }, std::chrono::seconds(10),
                               std::chrono::milliseconds(1));
        return 0;
    }
    void finalize() override {
        ++finalized;
        coil::Task::finalize();
    }
};

TEST(Task, SvcRunsOnceThenFinalizeOnTheTaskThread) {
    CountingTask t;
    t.activate();
    EXPECT_EQ(0, t.wait());
    EXPECT_EQ(1, t.runs);
    EXPECT_EQ(1, t.finalized);
    EXPECT_EQ(0, t.wait());  // nothing left to wait for
}

TEST(Task, ActivateWhileRunningDoesNothing) {
    CountingTask t;
    t.release = false;
    t.activate();
    t.activate();
    t.release = true;
    t.wait();
    EXPECT_EQ(1, t.runs);
    // After the end, a new activation runs svc again.
    t.activate();
    t.wait();
    EXPECT_EQ(2, t.runs);
}

TEST(Task, DestroyingAnUnjoinedTaskJoinsInsteadOfAborting) {
    // A plain task: whether or not its svc has returned yet, nobody called
    // wait(), so the thread is still joinable when it is deleted. (A derived
    // task must wait() in its own destructor: its svc may still run.)
    auto* t = new coil::Task;
    t->activate();
    delete t;  // joins; std::terminate would end the test binary
}

class SelfDeletingTask : public coil::Task {
  public:
    explicit SelfDeletingTask(std::atomic<bool>& done) : m_done(done) {}
    int svc() override { return 0; }
    void finalize() override {
        m_done = true;
        delete this;  // the destructor runs on the task's own thread
    }

  private:
    std::atomic<bool>& m_done;
};

TEST(Task, TaskMayDeleteItselfInFinalize) {
    std::atomic<bool> done{false};
    (new SelfDeletingTask(done))->activate();
    EXPECT_TRUE(testsupport::waitUntil([&] { return done.load(); }, std::chrono::seconds(2),
                                       std::chrono::milliseconds(1)));
}

TEST(Task, DefaultsAreHarmless) {
    coil::Task t;
    EXPECT_EQ(0, t.open(nullptr));
    EXPECT_EQ(0, t.close(0));
    EXPECT_EQ(0, t.suspend());
    EXPECT_EQ(0, t.resume());
    t.reset();
    t.activate();
    EXPECT_EQ(0, t.wait());
}

}  // namespace
