// The opt-in "interrupt" port and "volume"/"pitch" parameters on the embedded
// runtime, with a recording engine that can be interrupted and steered.
#include "Parlune.h"
#include "SpeechComponent.h"
#include "support/Wait.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace {

class Steering : public SpeechComponent {
  protected:
    // The status events that came within a few cycles, as "word@sec".
    std::vector<std::string> statusAfterCycles(std::uint64_t n) {
        runCycles(ec, n);
        while (reader.isNew()) {
            reader.read();
            seen.push_back(std::string(got.data) + "@" + std::to_string(got.tm.sec));
        }
        return seen;
    }
    std::vector<std::string> parameters() const {
        std::vector<std::string> names =
            comp->getConfigAdmin().getConfigurationSet("default").propertyNames();
        std::sort(names.begin(), names.end());
        return names;
    }
    // The engine calls after Create, by name and text.
    static std::vector<std::string> engineCalls() {
        std::vector<std::string> names;
        for (const auto& c : fake_engine::calls()) {
            if (c.function != "Create") names.push_back(c.function + " " + c.text);
        }
        return names;
    }
};

TEST_F(Steering, OffByDefaultAndForAnythingButYes) {
    for (const char* args : {"", "&interrupt.enable=NO&controls.enable=no",
                             "&interrupt.enable=maybe&controls.enable=1"}) {
        SCOPED_TRACE(args);
        create(args);
        EXPECT_EQ(std::vector<std::string>{"in"}, portNames());
        EXPECT_EQ(std::vector<std::string>{"speed"}, parameters());
        ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
        send("hello", 1);
        ASSERT_TRUE(fake_engine::waitForPlays(1));
        EXPECT_EQ("Play", fake_engine::plays()[0].function);
        speechManager()->deleteComponent(comp);
        comp = nullptr;
    }
}

TEST_F(Steering, OnAddsThePortAndTheParameters) {
    create("&interrupt.enable=YES&controls.enable= Yes ");
    EXPECT_EQ((std::vector<std::string>{"in", "interrupt"}), portNames());
    EXPECT_EQ("IDL:RTC/TimedString:1.0",
              dynamic_cast<RTC::InPortBase*>(comp->findPort("interrupt"))->dataType());
    EXPECT_EQ((std::vector<std::string>{"pitch", "speed", "volume"}), parameters());
}

// Read in one cycle: the interrupt first, then what "in" holds is dropped,
// then the urgent texts are played in order, an empty one only silencing.
TEST_F(Steering, InterruptIsReadBeforeInAndDropsWhatWaits) {
    create("&interrupt.enable=YES&status.enable=YES");
    send("a", 1);
    send("b", 2);
    urgent("first", 3);
    urgent("", 4);
    urgent("second", 5);
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    ASSERT_TRUE(fake_engine::waitForPlays(2));
    EXPECT_EQ((std::vector<std::string>{"Interrupt ", "Play first", "Play second"}), engineCalls());
    EXPECT_EQ((std::vector<std::string>{"dropped interrupted@1", "dropped interrupted@2"}),
              statusAfterCycles(3));
    // Afterwards "in" is read as before.
    send("c", 6);
    ASSERT_TRUE(fake_engine::waitForPlays(3));
    EXPECT_EQ("c", fake_engine::plays().back().text);
}

TEST_F(Steering, ATextWaitingForRoomIsDroppedNotOfferedAgain) {
    create("&interrupt.enable=YES&status.enable=YES");
    fake_engine::failOn("full", PARLUNE_DA_E_QUEUE_FULL);
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    send("full", 1);
    ASSERT_TRUE(fake_engine::waitForPlays(2));  // offered again: it waits
    urgent("now", 2);
    ASSERT_TRUE(testsupport::waitUntil([] { return fake_engine::plays().back().text == "now"; },
                                       std::chrono::seconds(10), std::chrono::milliseconds(2)));
    const size_t plays = fake_engine::plays().size();
    EXPECT_EQ((std::vector<std::string>{"dropped interrupted@1"}), statusAfterCycles(4));
    EXPECT_EQ(plays, fake_engine::plays().size());
}

// Volume and pitch convert and fall back as speed does; the engine clamps.
TEST_F(Steering, VolumeAndPitchConversions) {
    create("&controls.enable=YES");
    ASSERT_EQ(RTC::RTC_OK, ec->activate_component());
    struct Case {
        const char* value;
        int expected;
    };
    const std::vector<Case> cases = {{"150", 150}, {"120abc", 120}, {"abc", 100},
                                     {"", 100},    {"-5", -5},      {"900", 900}};
    size_t n = 0;
    for (const char* parameter : {"volume", "pitch"}) {
        for (const Case& c : cases) {
            comp->getConfigAdmin().setParameter("default", parameter, c.value);
            runCycles(ec, 2);
            send("x", 1);
            ASSERT_TRUE(fake_engine::waitForPlays(++n));
            const fake_engine::Call call = fake_engine::plays().back();
            EXPECT_EQ("PlayWith", call.function);
            EXPECT_EQ(c.expected, call.extra[parameter == std::string("volume") ? 0 : 1])
                << parameter << " '" << c.value << "'";
            EXPECT_EQ(100, call.speed);
        }
        comp->getConfigAdmin().setParameter("default", parameter, "100");
    }
}

}  // namespace
