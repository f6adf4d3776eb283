// Connection rings, publishing settings and the sending thread of new and
// periodic connections, driven through a send function the test controls.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <gtest/gtest.h>
#include <rtm/InPort.h>
#include <rtm/OutPort.h>

#include "rtm/CdrBuffer.h"
#include "rtm/ConnectorBase.h"
#include "rtm/LocalConnection.h"
#include "rtm/Publisher.h"
#include "rtm/PublisherSettings.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/GatedRecorder.h"
#include "support/Wait.h"

namespace {

using RTC::BufferSettings;
using RTC::CdrBuffer;
using RTC::DataPortStatus;
using RTC::Publisher;
using RTC::PublisherSettings;

bool eventually(const std::function<bool()>& pred, int timeout_ms = 5000) {
    return testsupport::waitUntil(pred, std::chrono::milliseconds(timeout_ms),
                                  std::chrono::milliseconds(1));
}

std::string str(const CdrBuffer::Sample& s) { return std::string(s.begin(), s.end()); }

DataPortStatus::Enum put(CdrBuffer& b, const std::string& s) {
    return b.write(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

// A receiver the test holds for a publisher's send function.
class Receiver : public testsupport::GatedRecorder<DataPortStatus::Enum> {
  public:
    Receiver() : GatedRecorder(DataPortStatus::PORT_OK) {}
    Publisher::Send send() {
        return [this](const unsigned char* data, std::size_t size) {
            enter();
            return take(std::string(reinterpret_cast<const char*>(data), size));
        };
    }
};

PublisherSettings settingsOf(std::initializer_list<std::pair<const char*, const char*>> props) {
    coil::Properties p;
    for (const auto& kv : props) p.setProperty(kv.first, kv.second);
    PublisherSettings s;
    std::string error;
    EXPECT_TRUE(PublisherSettings::fromConnection(p, s, &error)) << error;
    return s;
}

std::string refusal(std::initializer_list<std::pair<const char*, const char*>> props) {
    coil::Properties p;
    for (const auto& kv : props) p.setProperty(kv.first, kv.second);
    PublisherSettings s;
    std::string error;
    if (PublisherSettings::fromConnection(p, s, &error)) return "accepted";
    return error;
}

DataPortStatus::Enum write(Publisher& p, const std::string& s) {
    return p.write(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

// ------------------------------------------------------------------ ring

TEST(ConnectorRing, FullRingOverwritesRefusesOrWaitsAsConfigured) {
    BufferSettings overwrite;
    overwrite.length = 2;
    CdrBuffer o(overwrite);
    EXPECT_EQ(DataPortStatus::PORT_OK, put(o, "a"));
    EXPECT_EQ(DataPortStatus::PORT_OK, put(o, "b"));
    EXPECT_EQ(DataPortStatus::PORT_OK, put(o, "c"));  // "a" goes
    CdrBuffer::Sample s;
    ASSERT_EQ(DataPortStatus::PORT_OK, o.read(s));
    EXPECT_EQ("b", str(s));

    BufferSettings nothing = overwrite;
    nothing.full = BufferSettings::Full::DoNothing;
    CdrBuffer d(nothing);
    put(d, "a");
    put(d, "b");
    EXPECT_EQ(DataPortStatus::BUFFER_FULL, put(d, "c"));
    ASSERT_EQ(DataPortStatus::PORT_OK, d.read(s));
    EXPECT_EQ("a", str(s));
    EXPECT_EQ(1u, d.readable());

    BufferSettings block = overwrite;
    block.full = BufferSettings::Full::Block;
    block.writeTimeout = std::chrono::milliseconds(20);
    CdrBuffer b(block);
    put(b, "a");
    put(b, "b");
    EXPECT_EQ(DataPortStatus::BUFFER_TIMEOUT, put(b, "c"));
    // A reader that frees a slot lets a blocked writer in.
    // (Woken by the read, not let in at the end of its own long timeout.)
    block.writeTimeout = std::chrono::seconds(30);
    CdrBuffer w(block);
    put(w, "a");
    put(w, "b");
    DataPortStatus::Enum late = DataPortStatus::PORT_ERROR;
    std::thread writer([&] { late = put(w, "c"); });
    EXPECT_TRUE(eventually([&] { return w.blocked() == 1; })) << "the writer did not wait";
    CdrBuffer::Sample r;
    EXPECT_EQ(DataPortStatus::PORT_OK, w.read(r));
    EXPECT_TRUE(eventually([&] { return w.blocked() == 0; }, 10000)) << "the read woke nobody";
    writer.join();
    EXPECT_EQ(DataPortStatus::PORT_OK, late);
    ASSERT_EQ(DataPortStatus::PORT_OK, w.read(s));
    EXPECT_EQ("b", str(s));
    ASSERT_EQ(DataPortStatus::PORT_OK, w.read(s));
    EXPECT_EQ("c", str(s));
}

TEST(ConnectorRing, EmptyRingReadsBackGivesNothingOrWaits) {
    CdrBuffer::Sample s;
    BufferSettings readback;
    CdrBuffer r(readback);
    EXPECT_EQ(DataPortStatus::BUFFER_EMPTY, r.read(s));  // nothing ever read
    put(r, "x");
    ASSERT_EQ(DataPortStatus::PORT_OK, r.read(s));
    s.clear();
    ASSERT_EQ(DataPortStatus::PORT_OK, r.read(s));
    EXPECT_EQ("x", str(s));

    BufferSettings nothing;
    nothing.empty = BufferSettings::Empty::DoNothing;
    CdrBuffer d(nothing);
    put(d, "x");
    d.read(s);
    EXPECT_EQ(DataPortStatus::BUFFER_EMPTY, d.read(s));

    BufferSettings block;
    block.empty = BufferSettings::Empty::Block;
    block.readTimeout = std::chrono::milliseconds(20);
    CdrBuffer b(block);
    EXPECT_EQ(DataPortStatus::BUFFER_TIMEOUT, b.read(s));
    block.readTimeout = std::chrono::seconds(30);
    CdrBuffer w(block);
    DataPortStatus::Enum got = DataPortStatus::PORT_ERROR;
    std::thread reader([&] { got = w.read(s); });
    EXPECT_TRUE(eventually([&] { return w.blocked() == 1; })) << "the reader did not wait";
    EXPECT_EQ(DataPortStatus::PORT_OK, put(w, "late"));
    EXPECT_TRUE(eventually([&] { return w.blocked() == 0; }, 10000)) << "the write woke nobody";
    reader.join();
    EXPECT_EQ(DataPortStatus::PORT_OK, got);
    EXPECT_EQ("late", str(s));
}

TEST(ConnectorRing, SamplesKeepTheirNumbersAcrossOverwrites) {
    BufferSettings settings;
    settings.length = 3;
    CdrBuffer b(settings);
    for (const char* s : {"0", "1", "2", "3", "4"}) put(b, s);
    EXPECT_EQ(2u, b.oldest());
    EXPECT_EQ(3u, b.readable());
    CdrBuffer::Sample s;
    EXPECT_FALSE(b.copy(1, s));  // overwritten
    ASSERT_TRUE(b.copy(3, s));
    EXPECT_EQ("3", str(s));
    EXPECT_FALSE(b.copy(5, s));  // not written yet
    b.dropBefore(4);
    EXPECT_EQ(1u, b.readable());
    b.dropBefore(2);  // already gone: nothing happens
    EXPECT_EQ(1u, b.readable());
    b.dropBefore(100);
    EXPECT_EQ(0u, b.readable());
}

// -------------------------------------------------------------- settings

TEST(PublisherSettings, ReadsWhatTheConnectionAsksFor) {
    EXPECT_EQ(PublisherSettings::Kind::Flush, settingsOf({}).kind);
    EXPECT_EQ(PublisherSettings::Kind::Flush,
              settingsOf({{"dataport.subscription_type", "block"}}).kind);
    EXPECT_EQ(PublisherSettings::Kind::New,
              settingsOf({{"dataport.subscription_type", " New "}}).kind);
    EXPECT_EQ(PublisherSettings::Kind::New,
              settingsOf({{"dataport.subscription_type", "nonblock"}}).kind);
    // io_mode names the publisher where both are given.
    EXPECT_EQ(PublisherSettings::Kind::Periodic,
              settingsOf({{"dataport.subscription_type", "flush"},
                          {"dataport.io_mode", "periodic"},
                          {"dataport.publisher.push_rate", "20"}})
                  .kind);

    const PublisherSettings p = settingsOf({{"dataport.subscription_type", "periodic"},
                                            {"dataport.publisher.push_rate", "12.5"},
                                            {"dataport.publisher.push_policy", "SKIP"},
                                            {"dataport.publisher.skip_count", "3"},
                                            {"dataport.buffer.length", "16"},
                                            {"dataport.outport.buffer.length", "32"},
                                            {"dataport.buffer.write.full_policy", "block"},
                                            {"dataport.buffer.write.timeout", "0.25"},
                                            {"dataport.buffer.read.empty_policy", "do_nothing"}});
    EXPECT_DOUBLE_EQ(12.5, p.pushRate);
    EXPECT_EQ(PublisherSettings::PushPolicy::Skip, p.policy);
    EXPECT_EQ(3, p.skipCount);
    EXPECT_EQ(32u, p.buffer.length);  // the output side's own value wins
    EXPECT_EQ(BufferSettings::Full::Block, p.buffer.full);
    EXPECT_EQ(std::chrono::milliseconds(250), p.buffer.writeTimeout);
    EXPECT_EQ(BufferSettings::Empty::DoNothing, p.buffer.empty);

    // The older key of the push rate.
    EXPECT_DOUBLE_EQ(
        5.0, settingsOf({{"dataport.subscription_type", "periodic"}, {"dataport.push_rate", "5"}})
                 .pushRate);
    const PublisherSettings d = settingsOf({{"dataport.subscription_type", "new"}});
    EXPECT_EQ(PublisherSettings::PushPolicy::New, d.policy);
    EXPECT_EQ(8u, d.buffer.length);
    EXPECT_EQ(BufferSettings::Full::Overwrite, d.buffer.full);
}

TEST(PublisherSettings, RefusesWhatItCannotDoAndSaysWhy) {
    EXPECT_NE(std::string::npos,
              refusal({{"dataport.subscription_type", "once"}}).find("subscription_type"));
    EXPECT_NE(std::string::npos, refusal({{"dataport.io_mode", "sometimes"}}).find("io_mode"));
    EXPECT_NE(std::string::npos,
              refusal({{"dataport.subscription_type", "periodic"}}).find("push_rate"));
    for (const char* rate : {"0", "-2", "fast", "1e9", "10Hz"}) {
        EXPECT_NE("accepted", refusal({{"dataport.subscription_type", "periodic"},
                                       {"dataport.publisher.push_rate", rate}}))
            << rate;
    }
    EXPECT_NE(std::string::npos,
              refusal({{"dataport.publisher.push_policy", "sometimes"}}).find("push_policy"));
    EXPECT_NE("accepted", refusal({{"dataport.publisher.skip_count", "-1"}}));
    for (const char* length : {"0", "-1", "many", "8x", "99999999999"}) {
        EXPECT_NE(std::string::npos,
                  refusal({{"dataport.buffer.length", length}}).find("buffer.length"))
            << length;
    }
    EXPECT_NE("accepted", refusal({{"dataport.buffer.write.full_policy", "explode"}}));
    EXPECT_NE("accepted", refusal({{"dataport.buffer.read.empty_policy", "wait"}}));
    EXPECT_NE("accepted", refusal({{"dataport.buffer.write.timeout", "-1"}}));
    EXPECT_NE("accepted", refusal({{"dataport.buffer_type", "shared_memory"}}));
    EXPECT_NE("accepted", refusal({{"dataport.marshaling_type", "json"}}));
    EXPECT_NE("accepted", refusal({{"dataport.thread_type", "realtime"}}));
}

// ------------------------------------------------------------- publisher

TEST(PublisherThread, NewSendsEverySampleInOrderOnItsOwnThread) {
    Receiver r;
    Publisher p(settingsOf({{"dataport.subscription_type", "new"},
                            {"dataport.publisher.push_policy", "all"},
                            {"dataport.buffer.length", "64"}}),
                r.send());
    std::vector<std::string> sent;
    for (int i = 0; i < 50; ++i) {
        sent.push_back("s" + std::to_string(i));
        EXPECT_EQ(DataPortStatus::PORT_OK, write(p, sent.back()));
    }
    ASSERT_TRUE(r.waitGot(50));
    EXPECT_EQ(sent, r.got());
    for (std::thread::id t : r.threads()) EXPECT_NE(std::this_thread::get_id(), t);
}

TEST(PublisherThread, WritesReturnWhileTheReceiverHoldsASend) {
    Receiver r;
    r.close();
    Publisher p(settingsOf({{"dataport.subscription_type", "new"}}), r.send());
    EXPECT_EQ(DataPortStatus::PORT_OK, write(p, "first"));
    ASSERT_TRUE(r.waitEntered(1));
    // The receiver is stuck in its first put; the writer is not.
    for (int i = 0; i < 100; ++i) EXPECT_EQ(DataPortStatus::PORT_OK, write(p, std::to_string(i)));
    EXPECT_TRUE(r.got().empty());
    r.open();
    // Push policy new: what piled up meanwhile is replaced by the newest.
    ASSERT_TRUE(eventually([&] { return !r.got().empty() && r.got().back() == "99"; }));
    EXPECT_EQ("first", r.got().front());
    EXPECT_LE(r.got().size(), 3u);
}

TEST(PublisherThread, FifoAndSkipPoliciesPickTheirSamples) {
    Receiver fifo;
    fifo.close();
    Publisher f(settingsOf({{"dataport.subscription_type", "new"},
                            {"dataport.publisher.push_policy", "fifo"},
                            {"dataport.buffer.length", "4"}}),
                fifo.send());
    write(f, "0");
    ASSERT_TRUE(fifo.waitEntered(1));
    for (const char* s : {"1", "2", "3", "4", "5"}) write(f, s);
    fifo.open();
    // "0" was on its way; the 4-sample ring kept the newest four after it,
    // one sent per write, oldest first.
    ASSERT_TRUE(fifo.waitGot(4));
    ASSERT_TRUE(eventually([&] { return f.waiting() == 0; }));
    EXPECT_EQ((std::vector<std::string>{"0", "2", "3", "4", "5"}), fifo.got());

    Receiver skip;
    Publisher s(settingsOf({{"dataport.subscription_type", "new"},
                            {"dataport.publisher.push_policy", "skip"},
                            {"dataport.publisher.skip_count", "2"}}),
                skip.send());
    for (int i = 0; i < 9; ++i) {
        write(s, std::to_string(i));
        // One write at a time, so that the count does not depend on timing.
        ASSERT_TRUE(eventually([&] { return s.waiting() == 0; }));
    }
    ASSERT_TRUE(skip.waitGot(3));
    EXPECT_EQ((std::vector<std::string>{"2", "5", "8"}), skip.got());
}

TEST(PublisherThread, PeriodicSendsAtItsRateWithoutBeingAsked) {
    Receiver r;
    Publisher p(settingsOf({{"dataport.subscription_type", "periodic"},
                            {"dataport.publisher.push_rate", "200"},
                            {"dataport.publisher.push_policy", "all"}}),
                r.send());
    for (const char* s : {"a", "b", "c"}) write(p, s);
    ASSERT_TRUE(r.waitGot(3));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), r.got());
    // With push policy new only the last of a burst goes out.
    Receiver n;
    n.close();
    Publisher q(settingsOf({{"dataport.subscription_type", "periodic"},
                            {"dataport.publisher.push_rate", "200"}}),
                n.send());
    write(q, "held");
    ASSERT_TRUE(n.waitEntered(1));
    for (const char* s : {"x", "y", "z"}) write(q, s);
    n.open();
    ASSERT_TRUE(eventually([&] { return n.got().size() == 2; }));
    EXPECT_EQ((std::vector<std::string>{"held", "z"}), n.got());
}

// A receiver that gives the scripted answers to its first sends, then takes
// everything; what it answered PORT_OK or SEND_TIMEOUT to may have arrived.
class ScriptedReceiver {
  public:
    explicit ScriptedReceiver(std::vector<DataPortStatus::Enum> answers)
        : m_answers(std::move(answers)) {}
    Publisher::Send send() {
        return [this](const unsigned char* data, std::size_t size) {
            std::lock_guard<std::mutex> lock(m_mutex);
            const DataPortStatus::Enum answer =
                m_next < m_answers.size() ? m_answers[m_next++] : DataPortStatus::PORT_OK;
            if (answer == DataPortStatus::PORT_OK || answer == DataPortStatus::SEND_TIMEOUT)
                m_arrived.emplace_back(reinterpret_cast<const char*>(data), size);
            return answer;
        };
    }
    std::vector<std::string> arrived() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrived;
    }

  private:
    std::mutex m_mutex;
    std::vector<DataPortStatus::Enum> m_answers;
    std::size_t m_next = 0;
    std::vector<std::string> m_arrived;
};

TEST(PublisherThread, EverySampleArrivesOnceWhateverTheReceiverAnswers) {
    const DataPortStatus::Enum busy[] = {DataPortStatus::SEND_FULL, DataPortStatus::BUFFER_FULL,
                                         DataPortStatus::BUFFER_TIMEOUT};
    const DataPortStatus::Enum timedOut = DataPortStatus::SEND_TIMEOUT;
    struct Case {
        const char* kind;
        const char* policy;
        std::vector<DataPortStatus::Enum> answers;
    };
    // Not stored (busy): offered again until taken, the end of a burst too.
    // Timed out: may have arrived, never offered again.
    const Case cases[] = {
        {"new", "all", {busy[0], busy[1], busy[2], busy[0], busy[1], busy[2]}},
        {"nonblock", "all", {busy[2], busy[2], busy[2]}},
        {"new", "all", {timedOut}},
        {"new", "all", {timedOut, timedOut, timedOut}},
        {"nonblock", "all", {timedOut, busy[2], timedOut}},
        {"periodic", "all", {timedOut, busy[1]}},
        {"periodic", "fifo", {busy[0], timedOut}},
        {"new", "skip", {timedOut}},
    };
    for (const Case& c : cases) {
        ScriptedReceiver r(c.answers);
        Publisher p(settingsOf({{"dataport.io_mode", c.kind},
                                {"dataport.publisher.push_policy", c.policy},
                                {"dataport.publisher.push_rate", "200"},
                                {"dataport.buffer.length", "16"}}),
                    r.send());
        // Each write is stored; one made after a busy answer also reports it.
        for (const char* s : {"a", "b", "c"}) {
            const DataPortStatus::Enum stored = write(p, s);
            EXPECT_TRUE(stored == DataPortStatus::PORT_OK || stored == DataPortStatus::BUFFER_FULL)
                << stored;
        }
        ASSERT_TRUE(eventually([&] { return r.arrived().size() >= 3 && p.waiting() == 0; }))
            << c.kind << " " << c.policy << " " << c.answers.size();
        // Anything sent twice would show here (after a moment for a late resend).
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), r.arrived())
            << c.kind << " " << c.policy << " " << c.answers.size();
    }
}

TEST(PublisherThread, ReceiverTroubleReachesTheWriter) {
    Receiver full;
    full.answer(DataPortStatus::SEND_FULL);
    Publisher f(settingsOf({{"dataport.subscription_type", "new"}}), full.send());
    EXPECT_EQ(DataPortStatus::PORT_OK, write(f, "a"));
    ASSERT_TRUE(eventually([&] { return f.lastSendStatus() == DataPortStatus::SEND_FULL; }));
    // Stored all the same, and tried again once the receiver has room.
    EXPECT_EQ(DataPortStatus::BUFFER_FULL, write(f, "b"));
    full.answer(DataPortStatus::PORT_OK);
    write(f, "c");
    ASSERT_TRUE(eventually([&] { return !full.got().empty() && full.got().back() == "c"; }));

    Receiver gone;
    gone.answer(DataPortStatus::CONNECTION_LOST);
    Publisher g(settingsOf({{"dataport.subscription_type", "new"}}), gone.send());
    write(g, "a");
    ASSERT_TRUE(gone.waitGot(1));
    ASSERT_TRUE(eventually([&] { return write(g, "b") == DataPortStatus::CONNECTION_LOST; }));
    // Nothing more is sent to a receiver that is gone.
    write(g, "c");
    EXPECT_EQ(1u, gone.got().size());

    Receiver slow;
    slow.close();
    Publisher b(settingsOf({{"dataport.subscription_type", "new"},
                            {"dataport.buffer.length", "1"},
                            {"dataport.buffer.write.full_policy", "do_nothing"}}),
                slow.send());
    EXPECT_EQ(DataPortStatus::PORT_OK, write(b, "kept"));
    ASSERT_TRUE(slow.waitEntered(1));
    // The sample on its way holds the only slot until its send succeeds.
    EXPECT_EQ(DataPortStatus::BUFFER_FULL, write(b, "refused"));
    slow.open();
    ASSERT_TRUE(eventually([&] { return b.waiting() == 0; }));
    EXPECT_EQ((std::vector<std::string>{"kept"}), slow.got());
}

TEST(PublisherThread, StopWaitsForTheSendInProgressAndSendsNoMore) {
    Receiver r;
    r.close();
    auto p = std::make_unique<Publisher>(settingsOf({{"dataport.subscription_type", "new"},
                                                     {"dataport.publisher.push_policy", "all"}}),
                                         r.send());
    write(*p, "on its way");
    ASSERT_TRUE(r.waitEntered(1));
    write(*p, "left behind");
    std::mutex m;
    std::condition_variable cv;
    bool stopped = false;
    std::thread stopper([&] {
        p->stop();
        std::lock_guard<std::mutex> lock(m);
        stopped = true;
        cv.notify_all();
    });
    ASSERT_TRUE(eventually([&] { return p->stopping(); }));
    r.open();
    {
        std::unique_lock<std::mutex> lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return stopped; }));
    }
    stopper.join();
    p->stop();  // again: nothing happens
    p.reset();
    EXPECT_EQ((std::vector<std::string>{"on its way"}), r.got());
}

// ------------------------------------------------------- ports in process

struct Ports {
    RTC::TimedString outValue;
    RTC::OutPort<RTC::TimedString> out{"out", outValue};
    RTC::TimedString inValue;
    std::unique_ptr<RTC::InPort<RTC::TimedString>> in{
        new RTC::InPort<RTC::TimedString>("in", inValue)};
};

TEST(PortsInProcess, NewAndPeriodicConnectionsDeliverInOrder) {
    for (const char* type : {"new", "periodic"}) {
        Ports p;
        coil::Properties prop;
        prop.setProperty("dataport.subscription_type", type);
        prop.setProperty("dataport.publisher.push_rate", "500");
        prop.setProperty("dataport.publisher.push_policy", "all");
        prop.setProperty("dataport.buffer.length", "32");
        ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(p.out, *p.in, prop));
        for (int i = 0; i < 20; ++i) {
            p.outValue.data = std::to_string(i).c_str();
            EXPECT_TRUE(p.out.write());
        }
        ASSERT_TRUE(eventually([&] { return p.in->readable() == 20; })) << type;
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(p.in->read());
            EXPECT_EQ(std::to_string(i), static_cast<const char*>(p.inValue.data)) << type;
        }
    }
}

TEST(PortsInProcess, RefusedRequestsLeaveNoConnection) {
    Ports p;
    coil::Properties prop;
    prop.setProperty("dataport.subscription_type", "periodic");  // no push rate
    EXPECT_EQ(RTC::BAD_PARAMETER, RTC::connectLocal(p.out, *p.in, prop));
    prop.setProperty("dataport.subscription_type", "sometimes");
    EXPECT_EQ(RTC::BAD_PARAMETER, RTC::connectLocal(p.out, *p.in, prop));
    EXPECT_TRUE(p.out.getConnectors().empty());
    EXPECT_TRUE(p.in->getConnectors().empty());
    // No subscription type: flush, delivered inside write().
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(p.out, *p.in));
    ASSERT_EQ(1u, p.out.getConnectors().size());
    EXPECT_EQ(nullptr, p.out.getConnectors()[0]->publisher());
    EXPECT_EQ("flush",
              p.out.getConnectorProfiles()[0].properties.getProperty("dataport.subscription_type"));
    p.out.write();
    EXPECT_EQ(1u, p.in->readable());
}

TEST(PortsInProcess, DestroyingTheInPortEndsTheSendingThread) {
    Ports p;
    coil::Properties prop;
    prop.setProperty("dataport.subscription_type", "new");
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(p.out, *p.in, prop));
    for (int i = 0; i < 1000; ++i) p.out.write();
    p.in.reset();
    EXPECT_TRUE(p.out.getConnectors().empty());
    EXPECT_TRUE(p.out.write());
}

TEST(PortsInProcess, ProfilesAdvertiseWhatConnectionsMayAsk) {
    Ports p;
    const coil::Properties& out = p.out.properties();
    EXPECT_EQ("block,flush,new,nonblock,periodic", out.getProperty("dataport.subscription_type"));
    EXPECT_EQ("block,flush,new,nonblock,periodic", out.getProperty("dataport.io_mode"));
    EXPECT_EQ("push", out.getProperty("dataport.dataflow_type"));
    EXPECT_EQ("corba_cdr", out.getProperty("dataport.interface_type"));
    EXPECT_EQ("cdr", out.getProperty("dataport.marshaling_types"));
    EXPECT_EQ("IDL:RTC/TimedString:1.0", out.getProperty("data_type"));
    const coil::Properties& in = p.in->properties();
    EXPECT_EQ("Any", in.getProperty("dataport.subscription_type"));
    EXPECT_EQ("cdr", in.getProperty("dataport.marshaling_types"));
    EXPECT_EQ("DataInPort", in.getProperty("port.port_type"));
}

}  // namespace
