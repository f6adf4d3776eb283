// The opt-in "status" port on the embedded runtime, with the recording engine
// and an engine event queue the tests fill.
#include "Parlune.h"
#include "SpeechComponent.h"
#include "support/Wait.h"

#include "rtm/ConnectorBase.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// One event as "word detail@sec.nsec".
std::string line(const std::string& event, std::uint32_t sec, std::uint32_t nsec = 0) {
    return event + "@" + std::to_string(sec) + "." + std::to_string(nsec);
}

class Status : public SpeechComponent {
  protected:
    // Waits (up to 10 s) until the context has run n more cycles.
    void runCycles(std::uint64_t n) { ::runCycles(ec, n); }
    // Reads from "status" until n events came (up to 10 s); all of them.
    std::vector<std::string> events(std::size_t n) {
        testsupport::waitUntil(
            [&] {
                while (reader.isNew()) {
                    reader.read();
                    seen.push_back(line(std::string(got.data), got.tm.sec, got.tm.nsec));
                }
                return seen.size() >= n;
            },
            std::chrono::seconds(10), std::chrono::milliseconds(2));
        return seen;
    }
};

TEST_F(Status, OffByDefaultAndForAnythingButYes) {
    for (const char* args : {"", "&status.enable=NO", "&status.enable=maybe", "&status.enable="}) {
        SCOPED_TRACE(args);
        create(args);
        EXPECT_EQ(std::vector<std::string>{"in"}, portNames());
        EXPECT_EQ(nullptr, comp->getProperties().findNode("port.outport.status"));
        ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
        send("hello", 7);
        ASSERT_TRUE(fake_engine::waitForPlays(1));
        // The engine's events stay off: nothing is kept for a port nobody has.
        EXPECT_EQ(0, fake_events::enableCalls());
        speechManager()->deleteComponent(comp);
        comp = nullptr;
    }
}

TEST_F(Status, OnInAnyCaseAddsOnePortThatSendsEveryEventToAReaderThatHoldsItUp) {
    for (const char* args : {"&status.enable=YES", "&status.enable= yes "}) {
        SCOPED_TRACE(args);
        create(args);
        EXPECT_EQ((std::vector<std::string>{"in", "status"}), portNames());
        ASSERT_NE(nullptr, status);
        EXPECT_EQ("IDL:RTC/TimedString:1.0", status->dataType());
        // A connection to a reader with room for one that holds its sender
        // up while full: a burst still reaches it whole and in order once it
        // reads. (A connection that asks for the newest event only gets what
        // it asks for, as in the framework.)
        RTC::TimedString slowValue;
        RTC::InPort<RTC::TimedString> slow("slow", slowValue);
        coil::Properties asks;
        asks.setProperty("dataport.inport.buffer.length", "1");
        asks.setProperty("dataport.inport.buffer.write.full_policy", "block");
        asks.setProperty("dataport.inport.buffer.write.timeout", "10");
        ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(*status, slow, asks));
        ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
        send("text", 1);
        ASSERT_TRUE(fake_engine::waitForPlays(1));
        const int burst = 30;
        for (int i = 0; i < burst; ++i) fake_events::push(PARLUNE_DA_EVENT_STARTED, 1);
        runCycles(2);
        std::vector<std::string> got;
        testsupport::waitUntil(
            [&] {
                while (slow.isNew()) {
                    slow.read();
                    got.push_back(std::string(slowValue.data));
                }
                return got.size() >= static_cast<std::size_t>(burst);
            },
            std::chrono::seconds(20), std::chrono::milliseconds(2));
        EXPECT_EQ(static_cast<std::size_t>(burst), got.size());
        ASSERT_EQ(RTC::RTC_OK, ec->deactivate_component());
        speechManager()->deleteComponent(comp);
        comp = nullptr;
    }
}

TEST_F(Status, ABurstEndsOnceEachInOrderWithTheTextsStamps) {
    create("&status.enable=YES");
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    EXPECT_EQ(1, fake_events::enableCalls());
    send("one", 10, 1);
    send("two", 20, 2);
    send("three", 30, 3);
    ASSERT_TRUE(fake_engine::waitForPlays(3));
    for (std::uint64_t n = 1; n <= 3; ++n) {
        fake_events::push(PARLUNE_DA_EVENT_QUEUED, n);
    }
    for (std::uint64_t n = 1; n <= 3; ++n) {
        fake_events::push(PARLUNE_DA_EVENT_STARTED, n);
        fake_events::push(PARLUNE_DA_EVENT_FINISHED, n);
        // A second final for the same text, and one for a text never
        // accepted, are the engine's mistakes: not passed on.
        fake_events::push(PARLUNE_DA_EVENT_FINISHED, n);
        fake_events::push(PARLUNE_DA_EVENT_SKIPPED, n + 100, "crash");
    }
    fake_events::push(PARLUNE_DA_EVENT_IDLE, 0);
    fake_events::push(99, 1, "unknown kind");
    const std::vector<std::string> expected = {line("queued", 10, 1),   line("queued", 20, 2),
                                               line("queued", 30, 3),   line("started", 10, 1),
                                               line("finished", 10, 1), line("started", 20, 2),
                                               line("finished", 20, 2), line("started", 30, 3),
                                               line("finished", 30, 3), line("idle", 30, 3)};
    EXPECT_EQ(expected, events(expected.size()));
    // Anything more would come before the next event the engine hands over.
    fake_events::push(PARLUNE_DA_EVENT_IDLE, 0);
    EXPECT_EQ(line("idle", 30, 3), events(expected.size() + 1).at(expected.size()));
    EXPECT_EQ(RTC::ACTIVE_STATE, ec->get_component_state());
}

TEST_F(Status, SkippedCarriesTheEnginesReason) {
    create("&status.enable=YES");
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("boom", 5);
    ASSERT_TRUE(fake_engine::waitForPlays(1));
    fake_events::push(PARLUNE_DA_EVENT_QUEUED, 1);
    fake_events::push(PARLUNE_DA_EVENT_SKIPPED, 1, "crash");
    fake_events::push(PARLUNE_DA_EVENT_IDLE, 0);
    EXPECT_EQ(
        (std::vector<std::string>{line("queued", 5), line("skipped crash", 5), line("idle", 5)}),
        events(3));
}

TEST_F(Status, ATextRefusedForGoodIsDroppedAtOnce) {
    create("&status.enable=YES");
    fake_engine::failOn("long", PARLUNE_DA_E_TEXT_TOO_LONG);
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("long", 9, 9);
    EXPECT_EQ(std::vector<std::string>{line("dropped too-long", 9, 9)}, events(1));
    // As without the port: the failure is the component's error.
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return ec->get_component_state() == RTC::ERROR_STATE; }, std::chrono::seconds(10)));
}

TEST_F(Status, DeactivationDropsWhatHadNoEndAndThenNothingMore) {
    create("&status.enable=YES");
    fake_engine::failOn("waiting", PARLUNE_DA_E_QUEUE_FULL);
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("spoken", 1);
    send("cut", 2);
    send("queued", 3);
    send("waiting", 4);
    ASSERT_TRUE(fake_engine::waitForPlays(5));  // "waiting" offered twice
    fake_events::push(PARLUNE_DA_EVENT_QUEUED, 1);
    fake_events::push(PARLUNE_DA_EVENT_QUEUED, 2);
    fake_events::push(PARLUNE_DA_EVENT_QUEUED, 3);
    fake_events::push(PARLUNE_DA_EVENT_STARTED, 1);
    fake_events::push(PARLUNE_DA_EVENT_FINISHED, 1);
    fake_events::push(PARLUNE_DA_EVENT_STARTED, 2);
    ASSERT_EQ(6u, events(6).size());
    ASSERT_EQ(RTC::RTC_OK, ec->deactivate_component());
    // What the engine says after its release is not heard of.
    fake_events::push(PARLUNE_DA_EVENT_FINISHED, 2);
    const std::vector<std::string> expected = {
        line("queued", 1),  line("queued", 2),   line("queued", 3),
        line("started", 1), line("finished", 1), line("started", 2),
        line("dropped", 2), line("dropped", 3),  line("dropped", 4)};
    EXPECT_EQ(expected, events(expected.size()));

    // A new activation: ordinals count from 1 again, nothing old comes back.
    fake_engine::failOn("", 0);
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("again", 50);
    ASSERT_TRUE(testsupport::waitUntil([&] { return fake_engine::plays().back().text == "again"; },
                                       std::chrono::seconds(10)));
    fake_events::push(PARLUNE_DA_EVENT_QUEUED, 1);
    std::vector<std::string> after = expected;
    after.push_back(line("queued", 50));
    EXPECT_EQ(after, events(after.size()));
}

// A reader of "status" whose buffer never empties, on a connection that
// asks to be sent to in the writer's thread and to wait for room: speech and
// the context go on regardless, and the reader that does read loses nothing.
TEST_F(Status, AConsumerThatNeverReadsHoldsNothingUp) {
    create("&status.enable=YES");
    RTC::TimedString stuckValue;
    RTC::InPort<RTC::TimedString> stuck("stuck", stuckValue);
    // A writer that waited for this reader would wait 3 s per event.
    coil::Properties flush;
    flush.setProperty("dataport.subscription_type", "flush");
    flush.setProperty("dataport.io_mode", "block");
    flush.setProperty("dataport.buffer.write.full_policy", "block");
    flush.setProperty("dataport.inport.buffer.length", "1");
    flush.setProperty("dataport.inport.buffer.write.full_policy", "block");
    flush.setProperty("dataport.inport.buffer.write.timeout", "3");
    std::string stuckId;
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(*status, stuck, flush, &stuckId));
    ASSERT_EQ(nullptr, status->getConnectors().back()->publisher());
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    const int texts = 20;
    for (int i = 1; i <= texts; ++i) {
        send("text", static_cast<std::uint32_t>(i));
        ASSERT_TRUE(fake_engine::waitForPlays(static_cast<std::size_t>(i)));
        fake_events::push(PARLUNE_DA_EVENT_QUEUED, static_cast<std::uint64_t>(i));
        fake_events::push(PARLUNE_DA_EVENT_STARTED, static_cast<std::uint64_t>(i));
        fake_events::push(PARLUNE_DA_EVENT_FINISHED, static_cast<std::uint64_t>(i));
    }
    runCycles(5);
    EXPECT_EQ(0u, fake_events::due());
    // Once the stuck reader goes, the one that reads gets every event.
    ASSERT_TRUE(status->disconnect(stuckId));
    EXPECT_EQ(static_cast<std::size_t>(3 * texts), events(3 * texts).size());
    ASSERT_EQ(RTC::RTC_OK, ec->deactivate_component());
}

// The component's sender on its own, into a reader that waits for room.
struct SenderRig {
    explicit SenderRig(std::size_t capacity, const char* readerLength)
        : sender(out, value, capacity) {
        coil::Properties p;
        p.setProperty("dataport.io_mode", "block");
        p.setProperty("dataport.inport.buffer.length", readerLength);
        p.setProperty("dataport.inport.buffer.write.full_policy", "block");
        p.setProperty("dataport.inport.buffer.write.timeout", "20");
        EXPECT_EQ(RTC::RTC_OK, RTC::connectLocal(out, in, p));
        sender.start();
    }
    ~SenderRig() { out.disconnect_all(); }
    void post(const std::string& text) { sender.post(RTC::Time{0, 0}, text); }
    // Reads until n samples came (up to 20 s).
    std::vector<std::string> read(std::size_t n) {
        testsupport::waitUntil(
            [&] {
                while (in.isNew() && in.read()) got.push_back(std::string(gotValue.data));
                return got.size() >= n;
            },
            std::chrono::seconds(20), std::chrono::milliseconds(1));
        return got;
    }

    RTC::TimedString value;
    RTC::OutPort<RTC::TimedString> out{"out", value};
    RTC::TimedString gotValue;
    RTC::InPort<RTC::TimedString> in{"in", gotValue};
    SampleSender sender;
    std::vector<std::string> got;
};

TEST(SampleSender, AReaderThatKeepsReadingGetsAWholeBurstInOrder) {
    // The final events of a full engine queue and the two before each.
    const std::size_t burst = 3 * 4096;
    SenderRig rig(16384, "64");
    for (std::size_t i = 0; i < burst; ++i) rig.post(std::to_string(i));
    const std::vector<std::string> got = rig.read(burst);
    ASSERT_EQ(burst, got.size());
    for (std::size_t i = 0; i < burst; ++i) ASSERT_EQ(std::to_string(i), got[i]);
    EXPECT_EQ(0u, rig.sender.dropped());
}

TEST(SampleSender, AReaderThatStopsLosesTheOldestOnly) {
    SenderRig rig(4, "1");
    rig.post("first");  // fills the reader's buffer
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.sender.waiting() == 0; },
                                       std::chrono::seconds(10)));
    rig.post("second");  // taken, then waits for room
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.sender.waiting() == 0; },
                                       std::chrono::seconds(10)));
    for (const char* s : {"1", "2", "3", "4", "5", "6"}) rig.post(s);
    EXPECT_EQ(2u, rig.sender.dropped());
    EXPECT_EQ(4u, rig.sender.waiting());
    EXPECT_EQ((std::vector<std::string>{"first", "second", "3", "4", "5", "6"}), rig.read(6));
}

}  // namespace
