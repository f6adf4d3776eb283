// The speech component on the embedded runtime, with the recording engine.
#include "FakeEngine.h"
#include "Parlune.h"
#include "SpeechManager.h"
#include "support/Wait.h"

#include <gtest/gtest.h>
#include <rtm/InPort.h>
#include <rtm/OutPort.h>
#include <rtm/PeriodicExecutionContext.h>

#include "rtm/LocalConnection.h"

#include <chrono>
#include <cstdint>
#include <thread>

namespace {

RTC::Manager* manager() { return speechManager(); }

// One Parlune instance with a sender connected to its "in".
class Speech : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_engine::reset();
        comp = manager()->createComponent("Parlune?exec_cxt.periodic.rate=20");
        ASSERT_NE(nullptr, comp);
        ec = comp->getOwnedExecutionContext();
        auto* in = dynamic_cast<RTC::InPortBase*>(comp->findPort("in"));
        ASSERT_NE(nullptr, in);
        ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(out, *in));
        fake_engine::setCycleSource([this] { return ec->cycles(); });
    }
    void TearDown() override {
        if (comp) manager()->deleteComponent(comp);
        fake_engine::reset();
    }
    void send(const char* text) {
        value.data = text;
        out.write();
    }
    // Waits (up to 10 s) until the context has run n more cycles.
    void runCycles(std::uint64_t n) { ::runCycles(ec, n); }
    void setSpeed(const char* value) {
        comp->getConfigAdmin().setParameter("default", "speed", value);
    }

    RTC::RTObject_impl* comp = nullptr;
    RTC::PeriodicExecutionContext* ec = nullptr;
    RTC::TimedString value;
    RTC::OutPort<RTC::TimedString> out{"out", value};
};

TEST_F(Speech, ProfileAsRegistered) {
    coil::Properties& p = comp->getProperties();
    EXPECT_EQ("Parlune", p.getProperty("implementation_id"));
    EXPECT_EQ("Parlune Component", p.getProperty("description"));
    EXPECT_EQ("orvane", p.getProperty("vendor"));
    EXPECT_EQ("Etc", p.getProperty("category"));
    EXPECT_EQ("1", p.getProperty("max_instance"));
    EXPECT_EQ("100", p.getProperty("conf.default.speed"));
    EXPECT_STREQ("Parlune0", comp->getInstanceName());
    // max_instance 1: no second instance.
    EXPECT_EQ(nullptr, manager()->createComponent("Parlune"));
}

TEST_F(Speech, NothingArrivesNothingIsSpoken) {
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    runCycles(4);
    EXPECT_TRUE(fake_engine::plays().empty());
    EXPECT_EQ(RTC::ACTIVE_STATE, ec->get_component_state());
}

TEST_F(Speech, OneStringOnePlayWithTheSpeedAndZeros) {
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("hello robot");
    ASSERT_TRUE(fake_engine::waitForPlays(1));
    runCycles(3);  // later cycles play nothing more
    auto plays = fake_engine::plays();
    ASSERT_EQ(1u, plays.size());
    EXPECT_EQ("hello robot", plays[0].text);
    EXPECT_EQ(100, plays[0].speed);
    EXPECT_EQ(0, plays[0].extra[0]);
    EXPECT_EQ(0, plays[0].extra[1]);
    EXPECT_EQ(0, plays[0].extra[2]);
    EXPECT_EQ(fake_engine::calls()[0].handle, plays[0].handle);
}

TEST_F(Speech, ThreeStringsInOnePeriodAreSpokenInThreeCyclesInOrder) {
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("one");
    send("two");
    send("three");
    ASSERT_TRUE(fake_engine::waitForPlays(3));
    auto plays = fake_engine::plays();
    ASSERT_EQ(3u, plays.size());
    EXPECT_EQ("one", plays[0].text);
    EXPECT_EQ("two", plays[1].text);
    EXPECT_EQ("three", plays[2].text);
    EXPECT_LT(plays[0].cycle, plays[1].cycle);
    EXPECT_LT(plays[1].cycle, plays[2].cycle);
}

TEST_F(Speech, EmptyAndUnusualBytesArePassedOnAsTheyArrived) {
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("");
    send("\xe9t\xe9 caf\xc3\xa9");  // Latin-1 and UTF-8 mixed: not our business to fix
    ASSERT_TRUE(fake_engine::waitForPlays(2));
    EXPECT_EQ("", fake_engine::plays()[0].text);
    EXPECT_EQ("\xe9t\xe9 caf\xc3\xa9", fake_engine::plays()[1].text);
}

TEST_F(Speech, SpeedParameterConversions) {
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    const std::vector<std::pair<const char*, int>> cases = {
        {"150", 150}, {"120abc", 120}, {"abc", 100}, {"", 100}};
    size_t n = 0;
    for (const auto& c : cases) {
        setSpeed(c.first);
        // The update is applied between callbacks, before the next cycle runs.
        runCycles(2);
        send("x");
        ASSERT_TRUE(fake_engine::waitForPlays(++n));
        EXPECT_EQ(c.second, fake_engine::plays().back().speed) << "speed '" << c.first << "'";
    }
}

TEST_F(Speech, FailingPlayMeansErrorStateAndNoMoreReadsUntilResetAndActivation) {
    fake_engine::failOn("bad", PARLUNE_DA_E_TEXT_TOO_LONG);
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("bad");
    send("waiting");
    ASSERT_TRUE(fake_engine::waitForPlays(1));
    runCycles(4);
    EXPECT_EQ(RTC::ERROR_STATE, ec->get_component_state());
    EXPECT_EQ(1u, fake_engine::plays().size());

    ASSERT_EQ(RTC::RTC_OK, ec->reset_component());
    EXPECT_EQ(RTC::INACTIVE_STATE, ec->get_component_state());
    EXPECT_EQ(1u, fake_engine::plays().size());
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    ASSERT_TRUE(fake_engine::waitForPlays(2));
    EXPECT_EQ("waiting", fake_engine::plays()[1].text);
    // Leaving the active state for the error state deactivates first, as the
    // framework does: the failed session's engine is gone before the next.
    std::vector<std::string> lifecycle;
    for (const auto& c : fake_engine::calls()) {
        if (c.function != "Play") lifecycle.push_back(c.function);
    }
    EXPECT_EQ((std::vector<std::string>{"Create", "Release", "Create"}), lifecycle);
}

TEST_F(Speech, AFullEngineQueueHoldsTheTextBackAndLosesNothing) {
    fake_engine::failOn("second", PARLUNE_DA_E_QUEUE_FULL, 3);
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("first");
    send("second");
    send("third");
    // Offered once per cycle until the engine takes it, before anything later.
    ASSERT_TRUE(fake_engine::waitForPlays(6));
    std::vector<std::string> texts;
    for (const auto& c : fake_engine::plays()) texts.push_back(c.text);
    EXPECT_EQ((std::vector<std::string>{"first", "second", "second", "second", "second", "third"}),
              texts);
    EXPECT_EQ(RTC::ACTIVE_STATE, ec->get_component_state());
    runCycles(3);
    EXPECT_EQ(6u, fake_engine::plays().size());
}

// A text the full queue of the old engine refused belongs to the session
// that ended: the next activation speaks only what arrives for it.
TEST_F(Speech, ATextRefusedBeforeDeactivationIsNotSpokenAfterReactivation) {
    fake_engine::failOn("refused", PARLUNE_DA_E_QUEUE_FULL);
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("refused");
    ASSERT_TRUE(fake_engine::waitForPlays(1));
    ASSERT_EQ(RTC::RTC_OK, ec->deactivate_component());
    const std::size_t before = fake_engine::plays().size();

    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("fresh");
    ASSERT_TRUE(fake_engine::waitForPlays(before + 1));
    runCycles(3);
    const auto plays = fake_engine::plays();
    ASSERT_EQ(before + 1, plays.size());
    EXPECT_EQ("fresh", plays.back().text);
    EXPECT_EQ(RTC::ACTIVE_STATE, ec->get_component_state());
}

TEST_F(Speech, EachActivationHasItsOwnEngineReleasedFirst) {
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    ASSERT_EQ(RTC::RTC_OK, ec->deactivate_component());
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("second");
    ASSERT_TRUE(fake_engine::waitForPlays(1));
    auto calls = fake_engine::calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ("Create", calls[0].function);
    EXPECT_EQ("Release", calls[1].function);
    EXPECT_EQ(calls[0].handle, calls[1].handle);
    EXPECT_EQ("Create", calls[2].function);
    EXPECT_NE(calls[0].handle, calls[2].handle);
    EXPECT_EQ(calls[2].handle, calls[3].handle);
}

TEST_F(Speech, DeletingAnActiveComponentReleasesItsEngine) {
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    manager()->deleteComponent(comp);
    comp = nullptr;
    auto calls = fake_engine::calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ("Release", calls[1].function);
}

// This engine has no event queue: the status port still reports what the
// component knows itself, a text taken and a text refused.
TEST(SpeechWithoutEngineEvents, StatusReportsQueuedAndDroppedOnly) {
    fake_engine::reset();
    RTC::RTObject_impl* comp =
        manager()->createComponent("Parlune?exec_cxt.periodic.rate=50&status.enable=YES");
    ASSERT_NE(nullptr, comp);
    RTC::TimedString value, got;
    RTC::OutPort<RTC::TimedString> out{"out", value};
    RTC::InPort<RTC::TimedString> reader{"reader", got};
    ASSERT_EQ(RTC::RTC_OK,
              RTC::connectLocal(out, *dynamic_cast<RTC::InPortBase*>(comp->findPort("in"))));
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(
                               *dynamic_cast<RTC::OutPortBase*>(comp->findPort("status")), reader));
    fake_engine::failOn("too long", PARLUNE_DA_E_TEXT_TOO_LONG);
    ASSERT_EQ(RTC::RTC_OK, comp->getOwnedExecutionContext()->activate_component());
    value.tm.sec = 11;
    value.data = "fine";
    out.write();
    value.tm.sec = 12;
    value.data = "too long";
    out.write();
    std::vector<std::string> seen;
    testsupport::waitUntil(
        [&] {
            while (reader.isNew() && reader.read())
                seen.push_back(std::to_string(got.tm.sec) + " " + std::string(got.data));
            return seen.size() >= 2;
        },
        std::chrono::seconds(10));
    EXPECT_EQ((std::vector<std::string>{"11 queued", "12 dropped too-long"}), seen);
    manager()->deleteComponent(comp);
    fake_engine::reset();
}

}  // namespace
