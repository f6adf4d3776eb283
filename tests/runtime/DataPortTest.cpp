#include <rtm/idl/BasicDataTypeSkel.h>

#include <gtest/gtest.h>
#include <rtm/InPort.h>
#include <rtm/OutPort.h>
#include <rtm/RTObject.h>

#include "rtm/ConnectorBase.h"
#include "rtm/InPortSettings.h"
#include "rtm/LocalConnection.h"
#include "rtm/Publisher.h"

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "support/GatedRecorder.h"
#include "support/Wait.h"

namespace {

std::string text(const RTC::TimedString& s) { return static_cast<const char*>(s.data); }

struct Pair {
    RTC::TimedString outValue;
    RTC::OutPort<RTC::TimedString> out{"out", outValue};
    RTC::TimedString inValue;
    RTC::InPort<RTC::TimedString> in{"in", inValue};
};

TEST(InPort, NothingToReadLeavesTheValue) {
    Pair p;
    p.inValue.data = "before";
    EXPECT_FALSE(p.in.isNew());
    EXPECT_FALSE(p.in.read());
    EXPECT_EQ("before", text(p.inValue));
}

TEST(InPort, SamplesArriveOnceAndInOrder) {
    Pair p;
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(p.out, p.in));
    for (const char* s : {"one", "two", "three"}) {
        p.outValue.data = s;
        EXPECT_TRUE(p.out.write());
    }
    std::vector<std::string> got;
    while (p.in.isNew()) {
        ASSERT_TRUE(p.in.read());
        got.push_back(text(p.inValue));
    }
    EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), got);
    EXPECT_FALSE(p.in.read());
}

TEST(InPort, ABurstBeyondTheBufferWaitsForTheReaderAndLosesNothing) {
    Pair p;
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(p.out, p.in));
    const int kBurst = 3000;  // beyond the default length of 1024
    auto writer = std::async(std::launch::async, [&p] {
        int refused = 0;
        for (int i = 0; i < kBurst; ++i) {
            p.outValue.data = std::to_string(i).c_str();
            if (!p.out.write()) ++refused;
        }
        return refused;
    });
    std::vector<std::string> got;
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            while (p.in.read()) got.push_back(text(p.inValue));
            return got.size() >= static_cast<std::size_t>(kBurst);
        },
        std::chrono::seconds(30), std::chrono::milliseconds(2)));
    EXPECT_EQ(0, writer.get());
    ASSERT_EQ(static_cast<std::size_t>(kBurst), got.size());
    for (int i = 0; i < kBurst; ++i) ASSERT_EQ(std::to_string(i), got[i]);
}

TEST(InPort, EachConnectionGetsTheBufferItAskedFor) {
    RTC::TimedString v;
    RTC::InPort<RTC::TimedString> in("in", v);
    RTC::TimedString o;
    RTC::OutPort<RTC::TimedString> over("over", o), keep("keep", o), wait("wait", o);
    auto props = [](const char* policy) {
        coil::Properties p;
        p.setProperty("dataport.inport.buffer.length", "2");
        p.setProperty("dataport.inport.buffer.write.full_policy", policy);
        p.setProperty("dataport.inport.buffer.write.timeout", "0.02");
        return p;
    };
    std::string overId, keepId, waitId;
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(over, in, props("overwrite"), &overId));
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(keep, in, props("do_nothing"), &keepId));
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(wait, in, props("block"), &waitId));
    EXPECT_EQ(2u, in.bufferSettings(waitId).length);
    EXPECT_EQ(RTC::BufferSettings::Full::Block, in.bufferSettings(waitId).full);
    std::vector<bool> results;
    for (auto* port : {&over, &keep, &wait}) {
        for (int i = 0; i < 3; ++i) {
            o.data = (port->getShortName() + std::to_string(i)).c_str();
            results.push_back(port->write());
        }
    }
    // The full connections that do not overwrite tell their writer.
    EXPECT_EQ((std::vector<bool>{true, true, true, true, true, false, true, true, false}), results);
    std::vector<std::string> got;
    while (in.read()) got.push_back(text(v));
    EXPECT_EQ((std::vector<std::string>{"over1", "over2", "keep0", "keep1", "wait0", "wait1"}),
              got);
}

TEST(InPort, BadBufferKeysAreReportedAndTheDefaultsKept) {
    RTC::TimedString v;
    RTC::InPort<RTC::TimedString> in("in", v);
    RTC::TimedString o;
    RTC::OutPort<RTC::TimedString> out("out", o);
    coil::Properties p;
    p.setProperty("dataport.inport.buffer.length", "many");
    p.setProperty("dataport.inport.buffer.write.full_policy", "explode");
    std::string id;
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(out, in, p, &id));
    EXPECT_EQ(RTC::InPortSettings::kDefaultLength, in.bufferSettings(id).length);
    EXPECT_EQ(RTC::BufferSettings::Full::Block, in.bufferSettings(id).full);
    o.data = "still delivered";
    EXPECT_TRUE(out.write());
    ASSERT_TRUE(in.read());
    EXPECT_EQ("still delivered", text(v));
}

TEST(InPort, WhatAnEndedConnectionDeliveredIsStillRead) {
    Pair p;
    std::string id;
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(p.out, p.in, coil::Properties(), &id));
    RTC::TimedString o2;
    RTC::OutPort<RTC::TimedString> other("other", o2);
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(other, p.in));
    p.outValue.data = "first";
    p.out.write();
    o2.data = "second";
    other.write();
    p.outValue.data = "third";
    p.out.write();
    ASSERT_TRUE(p.out.disconnect(id));
    EXPECT_FALSE(p.in.hasConnector(id));
    std::vector<std::string> got;
    while (p.in.read()) got.push_back(text(p.inValue));
    // In the order they arrived over both connections.
    EXPECT_EQ((std::vector<std::string>{"first", "second", "third"}), got);
}

TEST(InPort, OlderConstructorArgumentsDescribeTheUnconnectedBuffer) {
    RTC::TimedString v;
    RTC::InPort<RTC::TimedString> in("in", v, 4, false, false, 0, 0);
    RTC::TimedString o;
    for (int i = 0; i < 6; ++i) {
        o.data = std::to_string(i).c_str();
        EXPECT_EQ(RTC::DataPortStatus::PORT_OK, in.put(o));
    }
    EXPECT_EQ(4u, in.readable());
    ASSERT_TRUE(in.read());
    EXPECT_EQ("2", text(v));

    RTC::InPort<RTC::TimedString> blocking("blocking", v, 1, false, true, 0, 20);
    EXPECT_EQ(RTC::DataPortStatus::PORT_OK, blocking.put(o));
    EXPECT_EQ(RTC::DataPortStatus::BUFFER_TIMEOUT, blocking.put(o));
    EXPECT_EQ(1u, blocking.readable());
}

TEST(OutPort, WritesToEveryConnection) {
    RTC::TimedString o, a, b;
    RTC::OutPort<RTC::TimedString> out("out", o);
    RTC::InPort<RTC::TimedString> inA("a", a), inB("b", b);
    std::string idA;
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(out, inA, coil::Properties(), &idA));
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(out, inB));
    o.data = "both";
    out.write();
    EXPECT_TRUE(inA.read());
    EXPECT_TRUE(inB.read());
    EXPECT_EQ("both", text(a));
    EXPECT_EQ("both", text(b));

    // Disconnecting from the receiving side ends that connection on both ends.
    EXPECT_TRUE(inA.disconnect(idA));
    EXPECT_FALSE(out.hasConnector(idA));
    EXPECT_FALSE(inA.disconnect(idA));
    o.data = "only b";
    out.write();
    EXPECT_FALSE(inA.isNew());
    EXPECT_TRUE(inB.isNew());
}

TEST(OutPort, WriteWithoutConnectionSucceeds) {
    RTC::TimedString o;
    RTC::OutPort<RTC::TimedString> out("out", o);
    o.data = "nobody listens";
    EXPECT_TRUE(out.write());
}

// A component's settings for its out ports, in the framework's order:
// "port.outport.dataport.*" over "port.outport.<name>.*", and whatever a
// connection asks for ("dataport.*", "dataport.outport.*") over both; a bad
// one refuses the connection.
TEST(OutPort, AConnectionsRequestOverridesThePortsOwnSettings) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> component, request;
        const char* kind;  // "flush" when the connection has no sending thread
        const char* policy;
        const char* shown;  // "dataport.outport.io_mode" in the connection's profile
    };
    const Case cases[] = {
        {{}, {{"dataport.subscription_type", "flush"}}, "flush", "", ""},
        {{{"port.outport.out.io_mode", "nonblock"},
          {"port.outport.out.publisher.push_policy", "all"}},
         {},
         "new",
         "all",
         "nonblock"},
        {{{"port.outport.out.io_mode", "nonblock"}},
         {{"dataport.subscription_type", "flush"}},
         "new",
         "new",
         "nonblock"},  // io_mode names the publisher, whoever gives it
        {{{"port.outport.out.io_mode", "nonblock"},
          {"port.outport.out.publisher.push_policy", "all"}},
         {{"dataport.io_mode", "block"}},
         "flush",
         "",
         ""},
        {{{"port.outport.out.io_mode", "nonblock"}},
         {{"dataport.outport.io_mode", "periodic"}, {"dataport.publisher.push_rate", "100"}},
         "periodic",
         "new",
         "periodic"},
        {{{"port.outport.out.io_mode", "nonblock"},
          {"port.outport.out.publisher.push_policy", "all"}},
         {{"dataport.publisher.push_policy", "fifo"}},
         "new",
         "fifo",
         "nonblock"},
        {{{"port.outport.out.io_mode", "flush"}, {"port.outport.dataport.io_mode", "nonblock"}},
         {},
         "new",
         "new",
         "nonblock"},
        {{{"port.outport.out.io_mode", "sometimes"}}, {}, nullptr, "", ""},
        {{{"port.outport.out.io_mode", "sometimes"}},
         {{"dataport.io_mode", "block"}},
         "flush",
         "",
         ""},
    };
    for (const Case& c : cases) {
        Pair p;  // outlives the component that holds its out port
        RTC::RTObject_impl comp(nullptr);
        for (const auto& kv : c.component) comp.getProperties().setProperty(kv.first, kv.second);
        ASSERT_TRUE(comp.addOutPort("out", p.out));
        coil::Properties request;
        for (const auto& kv : c.request) request.setProperty(kv.first, kv.second);
        const std::string trace = c.component.empty() ? "-" : c.component[0].second;
        if (c.kind == nullptr) {
            EXPECT_EQ(RTC::BAD_PARAMETER, RTC::connectLocal(p.out, p.in, request)) << trace;
            EXPECT_TRUE(p.out.getConnectors().empty());
            continue;
        }
        ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(p.out, p.in, request)) << trace;
        const auto connector = p.out.getConnectors().at(0);
        const RTC::Publisher* publisher = connector->publisher();
        EXPECT_EQ(c.kind, std::string(publisher ? publisher->settings().kindName() : "flush"))
            << trace;
        if (publisher != nullptr) {
            const char* policies[] = {"all", "fifo", "skip", "new"};
            EXPECT_EQ(c.policy,
                      std::string(policies[static_cast<int>(publisher->settings().policy)]))
                << trace;
        }
        // The profile shows the port's own settings where the request has none.
        EXPECT_EQ(c.shown, connector->profile().properties.getProperty("dataport.outport.io_mode"))
            << trace;
        p.out.disconnect_all();
    }
}

// A connection whose receiver is gone; telling its peers takes until the
// test opens the gate (as a call to a vanished host takes its timeout).
class LostConnector : public RTC::ConnectorBase {
  public:
    LostConnector(const RTC::ConnectorInfo& info, testsupport::GatedRecorder<int>& peers)
        : ConnectorBase(info), m_peers(peers) {}
    RTC::DataPortStatus::Enum putCdr(const unsigned char*, std::size_t) override {
        return RTC::DataPortStatus::CONNECTION_LOST;
    }
    bool lost() const override { return true; }
    void onDisconnect() override {
        m_peers.enter();
        m_peers.take("told");
    }

  private:
    testsupport::GatedRecorder<int>& m_peers;
};

TEST(Connection, ALostOnesPeersAreToldWithoutHoldingUpTheWriter) {
    testsupport::GatedRecorder<int> peers(0);
    peers.close();
    RTC::TimedString value;
    RTC::OutPort<RTC::TimedString> out("out", value);
    RTC::ConnectorInfo info;
    info.id = "lost";
    out.addConnector(std::make_shared<LostConnector>(info, peers));
    value.data = "to nobody";
    std::future<bool> writing = std::async(std::launch::async, [&] { return out.write(); });
    // The peers are not answering yet (for up to 10 s).
    ASSERT_EQ(std::future_status::ready, writing.wait_for(std::chrono::seconds(5)));
    EXPECT_FALSE(writing.get());
    EXPECT_TRUE(out.getConnectors().empty());
    ASSERT_TRUE(peers.waitEntered(1));
    peers.open();
    EXPECT_TRUE(peers.waitGot(1));
}

TEST(Connection, TypeMismatchIsRefused) {
    RTC::TimedString o;
    RTC::OutPort<RTC::TimedString> out("out", o);
    RTC::TimedLong l;
    RTC::InPort<RTC::TimedLong> in("in", l);
    EXPECT_EQ(RTC::BAD_PARAMETER, RTC::connectLocal(out, in));
    EXPECT_TRUE(out.getConnectorProfiles().empty());
    EXPECT_EQ("IDL:RTC/TimedString:1.0", out.dataType());
    EXPECT_EQ("IDL:RTC/TimedLong:1.0", in.dataType());
}

TEST(Connection, DestroyingEitherPortEndsTheConnection) {
    RTC::TimedString o;
    RTC::OutPort<RTC::TimedString> out("out", o);
    {
        RTC::TimedString v;
        RTC::InPort<RTC::TimedString> in("in", v);
        ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(out, in));
        EXPECT_EQ(1u, out.getConnectorProfiles().size());
    }
    EXPECT_TRUE(out.getConnectorProfiles().empty());
    o.data = "after";
    EXPECT_TRUE(out.write());

    RTC::TimedString v;
    RTC::InPort<RTC::TimedString> in("in", v);
    {
        RTC::TimedString o2;
        RTC::OutPort<RTC::TimedString> out2("out", o2);
        ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(out2, in));
    }
    EXPECT_TRUE(in.getConnectorProfiles().empty());
}

TEST(Cdr, TimedStringLayoutMatchesTheWire) {
    RTC::TimedString s;
    s.tm.sec = 0x01020304;
    s.tm.nsec = 0x05060708;
    s.data = "Hi!";
    RTC::CdrStream stream;
    RTC::encodeCdr(s, true, stream);
    const unsigned char expected[] = {0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05,
                                      0x04, 0x00, 0x00, 0x00, 'H',  'i',  '!',  0x00};
    ASSERT_EQ(sizeof expected, stream.bufSize());
    EXPECT_EQ(0, memcmp(expected, stream.bufPtr(), sizeof expected));

    RTC::encodeCdr(s, false, stream);
    const unsigned char big[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                 0x00, 0x00, 0x00, 0x04, 'H',  'i',  '!',  0x00};
    ASSERT_EQ(sizeof big, stream.bufSize());
    EXPECT_EQ(0, memcmp(big, stream.bufPtr(), sizeof big));
}

TEST(Cdr, PutCdrDeliversAndRejectsMalformedData) {
    RTC::TimedString v;
    RTC::InPort<RTC::TimedString> in("in", v);
    const unsigned char hello[] = {0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', 0};
    EXPECT_EQ(RTC::DataPortStatus::PORT_OK, in.putCdr(hello, sizeof hello, true));
    ASSERT_TRUE(in.read());
    EXPECT_EQ("hello", text(v));

    // Short, wrong length field, huge length, missing terminator, nothing at all.
    EXPECT_EQ(RTC::DataPortStatus::PORT_ERROR, in.putCdr(hello, 7, true));
    unsigned char wrong[sizeof hello];
    memcpy(wrong, hello, sizeof hello);
    wrong[8] = 9;
    EXPECT_EQ(RTC::DataPortStatus::PORT_ERROR, in.putCdr(wrong, sizeof wrong, true));
    wrong[8] = 0xff;
    wrong[9] = 0xff;
    wrong[10] = 0xff;
    wrong[11] = 0x7f;
    EXPECT_EQ(RTC::DataPortStatus::PORT_ERROR, in.putCdr(wrong, sizeof wrong, true));
    memcpy(wrong, hello, sizeof hello);
    wrong[sizeof hello - 1] = 'x';
    EXPECT_EQ(RTC::DataPortStatus::PORT_ERROR, in.putCdr(wrong, sizeof wrong, true));
    EXPECT_EQ(RTC::DataPortStatus::PORT_ERROR, in.putCdr(nullptr, 0, true));
    EXPECT_FALSE(in.isNew());
}

}  // namespace

namespace {

bool littleFor(const char* endian) {
    RTC::ConnectorInfo info;
    if (endian != nullptr) info.properties.setProperty("dataport.serializer.cdr.endian", endian);
    return RTC::ConnectorBase(info).littleEndian();
}

TEST(Connection, ByteOrderFollowsTheNegotiatedEndian) {
    // Nothing negotiated: little endian, the framework's default.
    EXPECT_TRUE(littleFor(nullptr));
    EXPECT_TRUE(littleFor("little"));
    EXPECT_TRUE(littleFor("little,big"));
    EXPECT_FALSE(littleFor("big"));
    EXPECT_FALSE(littleFor(" big"));
    EXPECT_FALSE(littleFor("big,little"));
    // Unknown words keep the default.
    EXPECT_TRUE(littleFor("middle"));
    EXPECT_TRUE(littleFor(""));
}

}  // namespace
