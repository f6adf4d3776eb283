// The input port's buffer on its own: each connection's share under its
// policies, order across connections, and the settings read from a
// connection's properties (bad values reported, defaults kept).
#include <gtest/gtest.h>

#include "rtm/InPortBuffer.h"
#include "rtm/InPortSettings.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/Wait.h"

namespace {

using RTC::BufferSettings;
using RTC::DataPortStatus;
using RTC::InPortBuffer;
using RTC::InPortSettings;
using namespace std::chrono_literals;

BufferSettings settingsOf(std::size_t length, BufferSettings::Full full,
                          std::chrono::milliseconds write_timeout = 1000ms,
                          BufferSettings::Empty empty = BufferSettings::Empty::Readback,
                          std::chrono::milliseconds read_timeout = 1000ms) {
    BufferSettings s;
    s.length = length;
    s.full = full;
    s.writeTimeout = write_timeout;
    s.empty = empty;
    s.readTimeout = read_timeout;
    return s;
}

DataPortStatus::Enum put(InPortBuffer& b, const std::string& id, const std::string& text) {
    return b.write(id, InPortBuffer::Sample(text.begin(), text.end()), true);
}

// Everything waiting, oldest first.
std::vector<std::string> drain(InPortBuffer& b) {
    std::vector<std::string> got;
    InPortBuffer::Sample s;
    bool little = false;
    while (b.read(s, little) == DataPortStatus::PORT_OK) got.emplace_back(s.begin(), s.end());
    return got;
}

TEST(InPortBuffer, EachFullPolicyDoesWhatItsConnectionAskedFor) {
    InPortBuffer b(settingsOf(64, BufferSettings::Full::Overwrite));
    b.open("over", settingsOf(2, BufferSettings::Full::Overwrite));
    b.open("keep", settingsOf(2, BufferSettings::Full::DoNothing));
    b.open("wait", settingsOf(2, BufferSettings::Full::Block, 30ms));

    // Interleaved: overwriting drops that connection's oldest, not another's.
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "over", "o1"));
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "keep", "k1"));
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "over", "o2"));
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "keep", "k2"));
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "over", "o3"));
    EXPECT_EQ(DataPortStatus::BUFFER_FULL, put(b, "keep", "k3"));
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "wait", "w1"));
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "wait", "w2"));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(DataPortStatus::BUFFER_TIMEOUT, put(b, "wait", "w3"));
    EXPECT_GE(std::chrono::steady_clock::now() - before, 30ms);
    EXPECT_EQ(2u, b.held("over"));
    EXPECT_EQ(6u, b.readable());
    EXPECT_EQ((std::vector<std::string>{"k1", "o2", "k2", "o3", "w1", "w2"}), drain(b));
    EXPECT_EQ(0u, b.held("keep"));
    // Room again once read.
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "keep", "k4"));
}

TEST(InPortBuffer, ABlockedWriterGoesOnWhenAReadMakesRoom) {
    InPortBuffer b(settingsOf(64, BufferSettings::Full::Overwrite));
    b.open("c", settingsOf(1, BufferSettings::Full::Block, 10000ms));
    ASSERT_EQ(DataPortStatus::PORT_OK, put(b, "c", "first"));
    auto second = std::async(std::launch::async, [&] { return put(b, "c", "second"); });
    EXPECT_EQ(std::future_status::timeout, second.wait_for(50ms));
    InPortBuffer::Sample s;
    bool little = false;
    ASSERT_EQ(DataPortStatus::PORT_OK, b.read(s, little));
    ASSERT_EQ(std::future_status::ready, second.wait_for(5s));
    EXPECT_EQ(DataPortStatus::PORT_OK, second.get());
    EXPECT_EQ((std::vector<std::string>{"second"}), drain(b));
}

TEST(InPortBuffer, AnEndedConnectionReleasesItsWriterAndLeavesItsSamples) {
    InPortBuffer b(settingsOf(64, BufferSettings::Full::Overwrite));
    b.open("c", settingsOf(2, BufferSettings::Full::Block, 10000ms));
    ASSERT_EQ(DataPortStatus::PORT_OK, put(b, "c", "a"));
    ASSERT_EQ(DataPortStatus::PORT_OK, put(b, "c", "b"));
    auto blocked = std::async(std::launch::async, [&] { return put(b, "c", "c"); });
    EXPECT_EQ(std::future_status::timeout, blocked.wait_for(50ms));
    b.close("c");
    // Well before its own timeout of 10 s.
    ASSERT_EQ(std::future_status::ready, blocked.wait_for(5s));
    EXPECT_EQ(DataPortStatus::BUFFER_TIMEOUT, blocked.get());
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), drain(b));
    // Closing what is not open is harmless.
    b.close("c");
    b.close("never");
}

// A put that loses the race with its connection's end, or names no
// connection at all, lands in the port's own share: nothing is kept under an
// id that no later close() would remove, and the sample is not lost.
TEST(InPortBuffer, APutAfterItsConnectionEndedLeavesNoShareBehind) {
    InPortBuffer b(settingsOf(4, BufferSettings::Full::DoNothing));
    b.open("c", settingsOf(8, BufferSettings::Full::Block, 10000ms));
    ASSERT_EQ(DataPortStatus::PORT_OK, put(b, "c", "before"));
    b.close("c");
    ASSERT_EQ(DataPortStatus::PORT_OK, put(b, "c", "late"));
    ASSERT_EQ(DataPortStatus::PORT_OK, put(b, "unknown", "stray"));
    EXPECT_EQ(0u, b.held("c"));
    EXPECT_EQ(0u, b.held("unknown"));
    EXPECT_EQ(2u, b.held(""));
    // They write under the port's own settings, not the ended connection's.
    EXPECT_EQ(std::size_t{4}, b.settings("c").length);
    EXPECT_EQ(BufferSettings::Full::DoNothing, b.settings("c").full);
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "gone1", "x"));
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "gone2", "y"));
    EXPECT_EQ(DataPortStatus::BUFFER_FULL, put(b, "gone3", "z"));
    EXPECT_EQ((std::vector<std::string>{"before", "late", "stray", "x", "y"}), drain(b));

    // The same id opened again is a fresh connection with its own share.
    b.open("c", settingsOf(1, BufferSettings::Full::DoNothing));
    EXPECT_EQ(DataPortStatus::PORT_OK, put(b, "c", "again"));
    EXPECT_EQ(1u, b.held("c"));
    EXPECT_EQ(DataPortStatus::BUFFER_FULL, put(b, "c", "again"));
    b.close("c");
    EXPECT_EQ(0u, b.held("c"));
}

TEST(InPortBuffer, EmptyReadsFollowTheConnectionsReadPolicy) {
    InPortBuffer b(settingsOf(64, BufferSettings::Full::Overwrite));
    InPortBuffer::Sample s;
    bool little = false;
    EXPECT_EQ(DataPortStatus::BUFFER_EMPTY, b.read(s, little));
    b.open("quick",
           settingsOf(8, BufferSettings::Full::Block, 1000ms, BufferSettings::Empty::DoNothing));
    EXPECT_EQ(DataPortStatus::BUFFER_EMPTY, b.read(s, little));

    b.open("patient",
           settingsOf(8, BufferSettings::Full::Block, 1000ms, BufferSettings::Empty::Block, 40ms));
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(DataPortStatus::BUFFER_TIMEOUT, b.read(s, little));
    EXPECT_GE(std::chrono::steady_clock::now() - before, 40ms);

    // A waiting read takes what arrives meanwhile.
    b.open("patient", settingsOf(8, BufferSettings::Full::Block, 1000ms,
                                 BufferSettings::Empty::Block, 10000ms));
    auto reader = std::async(std::launch::async, [&] {
        InPortBuffer::Sample got;
        bool l = false;
        const DataPortStatus::Enum status = b.read(got, l);
        return std::make_pair(status, std::string(got.begin(), got.end()));
    });
    EXPECT_EQ(std::future_status::timeout, reader.wait_for(30ms));
    ASSERT_EQ(DataPortStatus::PORT_OK, b.write("quick", {'h', 'i'}, false));
    ASSERT_EQ(std::future_status::ready, reader.wait_for(5s));
    EXPECT_EQ(std::make_pair(DataPortStatus::PORT_OK, std::string("hi")), reader.get());
    // The byte order travels with the sample.
    ASSERT_EQ(DataPortStatus::PORT_OK, b.write("quick", {'b', 'e'}, false));
    ASSERT_EQ(DataPortStatus::PORT_OK, b.write("patient", {'l', 'e'}, true));
    ASSERT_EQ(DataPortStatus::PORT_OK, b.read(s, little));
    EXPECT_FALSE(little);
    ASSERT_EQ(DataPortStatus::PORT_OK, b.read(s, little));
    EXPECT_TRUE(little);
}

TEST(InPortBuffer, ManyBlockedWritersLoseNothingAndKeepTheirOrder) {
    InPortBuffer b(settingsOf(64, BufferSettings::Full::Overwrite));
    const int kWriters = 4, kEach = 500;
    for (int w = 0; w < kWriters; ++w)
        b.open("w" + std::to_string(w), settingsOf(3, BufferSettings::Full::Block, 10000ms));
    std::vector<std::future<int>> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.push_back(std::async(std::launch::async, [&b, w] {
            int ok = 0;
            for (int i = 0; i < kEach; ++i)
                if (put(b, "w" + std::to_string(w), std::to_string(w) + ":" + std::to_string(i)) ==
                    DataPortStatus::PORT_OK)
                    ++ok;
            return ok;
        }));
    }
    std::map<int, std::vector<int>> got;
    std::size_t total = 0;
    InPortBuffer::Sample s;
    bool little = false;
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            while (b.read(s, little) == DataPortStatus::PORT_OK) {
                const std::string t(s.begin(), s.end());
                const std::size_t colon = t.find(':');
                got[std::stoi(t.substr(0, colon))].push_back(std::stoi(t.substr(colon + 1)));
                ++total;
            }
            return total == static_cast<std::size_t>(kWriters * kEach);
        },
        30s, 1ms));
    for (auto& w : writers) EXPECT_EQ(kEach, w.get());
    for (int w = 0; w < kWriters; ++w) {
        ASSERT_EQ(static_cast<std::size_t>(kEach), got[w].size());
        EXPECT_TRUE(std::is_sorted(got[w].begin(), got[w].end())) << "writer " << w;
    }
}

TEST(InPortSettings, NothingSetKeepsABurstAndTheFrameworkSpellingsAreRead) {
    const BufferSettings d = InPortSettings::fromConnection(coil::Properties(), nullptr);
    EXPECT_EQ(1024u, d.length);
    EXPECT_EQ(BufferSettings::Full::Block, d.full);
    EXPECT_EQ(std::chrono::nanoseconds(1s), d.writeTimeout);
    EXPECT_EQ(BufferSettings::Empty::Readback, d.empty);
    EXPECT_EQ(std::chrono::nanoseconds(1s), d.readTimeout);

    coil::Properties p;
    p.setProperty("dataport.buffer.length", "16");
    p.setProperty("dataport.buffer.write.full_policy", "do_nothing");
    p.setProperty("dataport.inport.buffer.write.full_policy", " OverWrite ");
    p.setProperty("dataport.outport.buffer.length", "2");  // the other side's
    p.setProperty("dataport.inport.buffer.write.timeout", "0.25");
    p.setProperty("dataport.buffer.read.empty_policy", "block");
    p.setProperty("dataport.buffer.read.timeout", "0");
    std::vector<std::string> problems;
    const BufferSettings s = InPortSettings::fromConnection(p, &problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(16u, s.length);
    EXPECT_EQ(BufferSettings::Full::Overwrite, s.full);
    EXPECT_EQ(std::chrono::nanoseconds(250ms), s.writeTimeout);
    EXPECT_EQ(BufferSettings::Empty::Block, s.empty);
    EXPECT_EQ(std::chrono::nanoseconds(0), s.readTimeout);
}

TEST(InPortSettings, ABadValueIsNamedAndItsDefaultUsed) {
    struct Case {
        const char* key;
        const char* value;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"dataport.inport.buffer.length", "0",
         "dataport.inport.buffer.length: \"0\" is not a whole number from 1 to 65536; 1024 used"},
        {"dataport.buffer.length", "-3", "dataport.buffer.length: \"-3\""},
        {"dataport.buffer.length", "12x", "\"12x\" is not a whole number"},
        {"dataport.buffer.length", "65537", "\"65537\" is not a whole number"},
        {"dataport.buffer.length", "99999999999999999999", "is not a whole number"},
        {"dataport.buffer.write.full_policy", "drop",
         "dataport.buffer.write.full_policy: \"drop\" is not overwrite, do_nothing or block; "
         "block used"},
        {"dataport.buffer.read.empty_policy", "wait",
         "\"wait\" is not readback, do_nothing or block; readback used"},
        {"dataport.buffer.write.timeout", "-1",
         "dataport.buffer.write.timeout: \"-1\" is not a number of seconds from 0 to 3600; 1 "
         "used"},
        {"dataport.buffer.read.timeout", "soon", "\"soon\" is not a number of seconds"},
        {"dataport.buffer.read.timeout", "nan", "\"nan\" is not a number of seconds"},
        {"dataport.buffer.write.timeout", "1e9", "\"1e9\" is not a number of seconds"},
    };
    const BufferSettings d = InPortSettings::defaults();
    for (const Case& c : cases) {
        coil::Properties p;
        p.setProperty(c.key, c.value);
        std::vector<std::string> problems;
        const BufferSettings s = InPortSettings::fromConnection(p, &problems);
        ASSERT_EQ(1u, problems.size()) << c.key << "=" << c.value;
        EXPECT_NE(std::string::npos, problems[0].find(c.message)) << problems[0];
        EXPECT_EQ(d.length, s.length) << c.key << "=" << c.value;
        EXPECT_EQ(d.full, s.full);
        EXPECT_EQ(d.writeTimeout, s.writeTimeout);
        EXPECT_EQ(d.empty, s.empty);
        EXPECT_EQ(d.readTimeout, s.readTimeout);
    }
    // One bad key spoils only itself.
    coil::Properties p;
    p.setProperty("dataport.buffer.length", "lots");
    p.setProperty("dataport.buffer.write.full_policy", "do_nothing");
    std::vector<std::string> problems;
    const BufferSettings s = InPortSettings::fromConnection(p, &problems);
    EXPECT_EQ(1u, problems.size());
    EXPECT_EQ(1024u, s.length);
    EXPECT_EQ(BufferSettings::Full::DoNothing, s.full);
}

}  // namespace
