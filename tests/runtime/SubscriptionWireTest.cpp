// Data port connections asked for over CORBA, as the framework's tools ask
// for them: what a connection without a subscription type gets, new and
// periodic connections with a receiver the test holds or slows down, what
// is refused, full rings, and teardown while a send is under way.
#include "RecordingComponent.h"

#include <gtest/gtest.h>
#include <omniORB4/CORBA.h>
#include <rtm/Orb.h>
#include <unistd.h>

#include "rtm/ConnectorBase.h"
#include "rtm/Publisher.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "CdrReceiver.h"
#include "RTC.hh"
#include "support/Wait.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Props;

// The naming service the wrapper started.
std::string naming() {
    const char* n = std::getenv("PARLUNE_NAMING");
    return n ? n : "127.0.0.1:1";
}

// The process's manager, registered with that naming service, made before
// any test registers a component type.
RTC::Manager* wireManager() {
    static RTC::Manager* manager = [] {
        static std::string servers = "corba.nameservers:" + naming();
        static char prog[] = "runtime_wire_tests", o[] = "-o", log[] = "logger.enable:NO",
                    o2[] = "-o", endpoints[] = "corba.endpoints:127.0.0.1", o3[] = "-o";
        char* argv[] = {prog, o, log, o2, endpoints, o3, &servers[0], nullptr};
        RTC::Manager* m = RTC::Manager::init(7, argv);
        registerRecording("WirePeer");
        return m;
    }();
    return manager;
}

// A component of this process and its ports' references, found by name
// through the naming service as a tool would find them.
struct Peer {
    Peer() : comp(dynamic_cast<RecordingComponent*>(wireManager()->createComponent("WirePeer"))) {
        if (comp == nullptr) return;
        char host[256] = {0};
        gethostname(host, sizeof host - 1);
        const std::string url =
            "corbaname::" + naming() + "#" + host + ".host_cxt/" + comp->getInstanceName() + ".rtc";
        CORBA::Object_var obj = RTC::orb()->string_to_object(url.c_str());
        RTC::RTObject_var rtc = RTC::RTObject::_narrow(obj.in());
        RTC::PortServiceList_var ports = rtc->get_ports();
        for (CORBA::ULong i = 0; i < ports->length(); ++i) {
            RTC::PortProfile_var pp = ports[i]->get_port_profile();
            const std::string name = static_cast<const char*>(pp->name);
            if (name == std::string(comp->getInstanceName()) + ".out")
                out = RTC::PortService::_duplicate(ports[i]);
            if (name == std::string(comp->getInstanceName()) + ".in")
                in = RTC::PortService::_duplicate(ports[i]);
        }
    }
    ~Peer() { close(); }
    // Deletes the component: its senders stop and their threads are joined.
    void close() {
        if (comp != nullptr) wireManager()->deleteComponent(comp);
        comp = nullptr;
    }
    bool write(const std::string& text) {
        comp->m_out.data = text.c_str();
        return comp->m_outOut.write();
    }
    RecordingComponent* comp;
    RTC::PortService_var out;
    RTC::PortService_var in;
};

// A CdrReceiver offered on the network. The POA and this holder share it;
// it is deleted once it is off the network and no put runs in it.
struct Offered {
    explicit Offered(CdrReceiver* r) : receiver(r) {
        CORBA::Object_var obj = RTC::orb()->resolve_initial_references("RootPOA");
        poa = PortableServer::POA::_narrow(obj.in());
        id = poa->activate_object(receiver);
        CORBA::Object_var ref = poa->id_to_reference(id.in());
        CORBA::String_var s = RTC::orb()->object_to_string(ref.in());
        ior = static_cast<const char*>(s);
    }
    ~Offered() {
        withdraw();
        receiver->_remove_ref();
    }
    void withdraw() {
        if (withdrawn) return;
        withdrawn = true;
        receiver->open();
        try {
            poa->deactivate_object(id.in());
        } catch (...) {
        }
    }
    CdrReceiver* receiver;
    PortableServer::POA_var poa;
    PortableServer::ObjectId_var id;
    std::string ior;
    bool withdrawn = false;
};

// A receiver whose replies break like a dropped connection's, with the
// completion status the ORB then reports. COMPLETED_NO: the first `times`
// puts are refused before the sample is taken. Any other status: the first
// `times` puts take their sample, then fail.
class BrokenReply : public CdrReceiver {
  public:
    BrokenReply(CORBA::CompletionStatus status, int times) : m_status(status), m_left(times) {}
    OpenRTM::PortStatus put(const OpenRTM::CdrData& data) override {
        if (m_status == CORBA::COMPLETED_NO && m_left.fetch_sub(1) > 0)
            throw CORBA::COMM_FAILURE(0, CORBA::COMPLETED_NO);
        const OpenRTM::PortStatus status = CdrReceiver::put(data);
        if (m_status != CORBA::COMPLETED_NO && m_left.fetch_sub(1) > 0)
            throw CORBA::COMM_FAILURE(0, m_status);
        return status;
    }

  private:
    const CORBA::CompletionStatus m_status;
    std::atomic<int> m_left;
};

void add(RTC::ConnectorProfile& p, const std::string& name, const std::string& value) {
    const CORBA::ULong n = p.properties.length();
    p.properties.length(n + 1);
    p.properties[n].name = name.c_str();
    p.properties[n].value <<= value.c_str();
}

RTC::ConnectorProfile profile(std::vector<RTC::PortService_ptr> ports, const Props& props) {
    RTC::ConnectorProfile p;
    p.name = "wire";
    p.connector_id = "";
    p.ports.length(static_cast<CORBA::ULong>(ports.size()));
    for (CORBA::ULong i = 0; i < p.ports.length(); ++i)
        p.ports[i] = RTC::PortService::_duplicate(ports[i]);
    for (const auto& kv : props) add(p, kv.first, kv.second);
    return p;
}

// Subscribes the receiver to the output port, as a peer in another process
// does: a profile naming only the output port, carrying the receiver's IOR.
RTC::ReturnCode_t subscribe(RTC::PortService_ptr out, const Offered& to, Props props,
                            std::string* id = nullptr) {
    props.push_back({"dataport.interface_type", "corba_cdr"});
    props.push_back({"dataport.dataflow_type", "push"});
    props.push_back({"dataport.corba_cdr.inport_ior", to.ior});
    RTC::ConnectorProfile p = profile({out}, props);
    p.connector_id = ("wire-" + std::to_string(reinterpret_cast<std::uintptr_t>(&to))).c_str();
    if (id != nullptr) *id = static_cast<const char*>(p.connector_id);
    return out->notify_connect(p);
}

CORBA::ULong connections(RTC::PortService_ptr port) {
    RTC::ConnectorProfileList_var list = port->get_connector_profiles();
    return list->length();
}

std::string property(const RTC::PortProfile& p, const char* name) {
    for (CORBA::ULong i = 0; i < p.properties.length(); ++i) {
        const char* v = nullptr;
        if (std::string(p.properties[i].name) == name && (p.properties[i].value >>= v)) return v;
    }
    return "";
}

bool eventually(const std::function<bool()>& pred, int timeout_ms = 10000) {
    return testsupport::waitUntil(pred, std::chrono::milliseconds(timeout_ms),
                                  std::chrono::milliseconds(1));
}

// Runs f on a thread of its own; done() tells whether it has returned.
class Background {
  public:
    explicit Background(std::function<void()> f)
        : m_thread([this, f] {
              f();
              m_done = true;
          }) {}
    ~Background() {
        if (m_thread.joinable()) m_thread.join();
    }
    bool done() const { return m_done; }
    bool waitDone(int timeout_ms = 10000) {
        return eventually([this] { return done(); }, timeout_ms);
    }

  private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

TEST(Subscription, ProfilesAdvertiseWhatTheToolsCheck) {
    Peer a;
    ASSERT_FALSE(CORBA::is_nil(a.out.in()));
    RTC::PortProfile_var out = a.out->get_port_profile();
    EXPECT_EQ("block,flush,new,nonblock,periodic", property(out, "dataport.subscription_type"));
    EXPECT_EQ("block,flush,new,nonblock,periodic", property(out, "dataport.io_mode"));
    EXPECT_EQ("push", property(out, "dataport.dataflow_type"));
    EXPECT_EQ("corba_cdr", property(out, "dataport.interface_type"));
    EXPECT_EQ("cdr", property(out, "dataport.marshaling_types"));
    EXPECT_EQ("IDL:RTC/TimedString:1.0", property(out, "dataport.data_type"));
    RTC::PortProfile_var in = a.in->get_port_profile();
    EXPECT_EQ("Any", property(in, "dataport.subscription_type"));
    EXPECT_EQ("DataInPort", property(in, "port.port_type"));
    EXPECT_EQ("cdr", property(in, "dataport.marshaling_types"));
}

TEST(Subscription, NoTypeGivesFlushAndTheToolsDefaultGivesNew) {
    Peer a, b;
    ASSERT_FALSE(CORBA::is_nil(a.out.in()));
    ASSERT_FALSE(CORBA::is_nil(b.in.in()));

    // Nothing but the ports: the framework's default, flush, delivered
    // before write() returns.
    RTC::ConnectorProfile bare = profile({a.out.in(), b.in.in()}, {});
    ASSERT_EQ(RTC::RTC_OK, a.out->connect(bare));
    EXPECT_TRUE(a.write("at once"));
    ASSERT_EQ(1u, b.comp->m_inIn.readable());
    ASSERT_TRUE(b.comp->m_inIn.read());
    EXPECT_STREQ("at once", b.comp->m_in.data);
    EXPECT_EQ(RTC::RTC_OK, a.out->disconnect(bare.connector_id));
    EXPECT_EQ(0u, connections(b.in.in()));

    // What a tool sends when given no options.
    RTC::ConnectorProfile tool =
        profile({a.out.in(), b.in.in()}, {{"dataport.dataflow_type", "push"},
                                          {"dataport.interface_type", "corba_cdr"},
                                          {"dataport.subscription_type", "new"},
                                          {"dataport.data_type", "IDL:RTC/TimedString:1.0"}});
    ASSERT_EQ(RTC::RTC_OK, a.out->connect(tool));
    EXPECT_EQ(1u, connections(a.out.in()));
    EXPECT_EQ(1u, connections(b.in.in()));
    EXPECT_TRUE(a.write("later"));
    ASSERT_TRUE(eventually([&] { return b.comp->m_inIn.readable() == 1; }));
    EXPECT_EQ(RTC::RTC_OK, b.in->disconnect(tool.connector_id));
    EXPECT_EQ(0u, connections(a.out.in()));

    // A subscriber naming no type: write() waits for its put.
    Peer c;
    Offered held(new CdrReceiver());
    held.receiver->close();
    ASSERT_EQ(RTC::RTC_OK, subscribe(c.out.in(), held, {}));
    Background writer([&] { c.write("waited for"); });
    ASSERT_TRUE(held.receiver->waitEntered(1));
    EXPECT_FALSE(writer.done());
    held.receiver->open();
    ASSERT_TRUE(writer.waitDone());
    EXPECT_EQ((std::vector<std::string>{"waited for"}), held.receiver->got());
}

TEST(Subscription, NewAndPeriodicDeliverInOrderFromTheirOwnThread) {
    struct Kind {
        Props props;
        bool oneAtATime;  // fifo sends one sample per write: keep within its ring
    };
    const std::vector<Kind> kinds = {
        {{{"dataport.subscription_type", "new"},
          {"dataport.publisher.push_policy", "all"},
          {"dataport.buffer.length", "64"}},
         false},
        {{{"dataport.subscription_type", "periodic"},
          {"dataport.publisher.push_rate", "100"},
          {"dataport.publisher.push_policy", "all"},
          {"dataport.buffer.length", "64"}},
         false},
        {{{"dataport.io_mode", "nonblock"}, {"dataport.publisher.push_policy", "fifo"}}, true}};
    for (const Kind& k : kinds) {
        const Props& kind = k.props;
        Peer a;
        Offered r(new CdrReceiver());
        ASSERT_EQ(RTC::RTC_OK, subscribe(a.out.in(), r, kind)) << kind[0].second;
        std::vector<std::string> sent;
        for (int i = 0; i < 30; ++i) {
            sent.push_back(kind[0].second + std::to_string(i));
            EXPECT_TRUE(a.write(sent.back()));
            if (k.oneAtATime) {
                ASSERT_TRUE(r.receiver->waitGot(sent.size()));
            }
        }
        ASSERT_TRUE(r.receiver->waitGot(30)) << kind[0].second;
        EXPECT_EQ(sent, r.receiver->got());
        for (std::thread::id t : r.receiver->threads()) EXPECT_NE(std::this_thread::get_id(), t);
    }
}

TEST(Subscription, SlowReceiverDoesNotHoldUpWrite) {
    Peer a;
    // 50 ms per put, and the first one held at the gate.
    Offered slow(new CdrReceiver(std::chrono::milliseconds(50)));
    slow.receiver->close();
    ASSERT_EQ(RTC::RTC_OK, subscribe(a.out.in(), slow, {{"dataport.subscription_type", "new"}}));
    EXPECT_TRUE(a.write("first"));
    ASSERT_TRUE(slow.receiver->waitEntered(1));
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(a.write("more " + std::to_string(i)));
    EXPECT_EQ(1, slow.receiver->entered());
    EXPECT_TRUE(slow.receiver->got().empty());
    slow.receiver->open();
    // The newest arrives last; the ones in between gave way to it.
    ASSERT_TRUE(eventually([&] {
        std::vector<std::string> got = slow.receiver->got();
        return !got.empty() && got.back() == "more 19";
    }));
    EXPECT_EQ("first", slow.receiver->got().front());

    // The same receiver on a flush connection holds the writer.
    Peer b;
    Offered held(new CdrReceiver(std::chrono::milliseconds(50)));
    held.receiver->close();
    ASSERT_EQ(RTC::RTC_OK, subscribe(b.out.in(), held, {{"dataport.subscription_type", "flush"}}));
    Background writer([&] { b.write("held"); });
    ASSERT_TRUE(held.receiver->waitEntered(1));
    EXPECT_FALSE(writer.done());
    held.receiver->open();
    ASSERT_TRUE(writer.waitDone());
}

TEST(Subscription, RequestsItCannotServeAreRefusedOnBothPorts) {
    Peer a, b;
    const std::vector<Props> bad = {
        {{"dataport.subscription_type", "once"}},
        {{"dataport.subscription_type", "sometimes"}},
        {{"dataport.io_mode", "bogus"}},
        {{"dataport.subscription_type", "periodic"}},  // no push rate
        {{"dataport.subscription_type", "periodic"}, {"dataport.publisher.push_rate", "-5"}},
        {{"dataport.subscription_type", "new"}, {"dataport.publisher.push_policy", "random"}},
        {{"dataport.subscription_type", "new"}, {"dataport.buffer.length", "0"}},
        {{"dataport.subscription_type", "new"}, {"dataport.outport.buffer.length", "lots"}},
        {{"dataport.buffer.write.full_policy", "explode"}},
        {{"dataport.marshaling_type", "json"}},
        {{"dataport.dataflow_type", "pull"}},
        {{"dataport.interface_type", "shared_memory"}}};
    for (const Props& props : bad) {
        RTC::ConnectorProfile p = profile({a.out.in(), b.in.in()}, props);
        EXPECT_EQ(RTC::BAD_PARAMETER, a.out->connect(p)) << props[0].second;
        // Asked from the input side, with the ports the other way round.
        RTC::ConnectorProfile q = profile({b.in.in(), a.out.in()}, props);
        EXPECT_EQ(RTC::BAD_PARAMETER, b.in->connect(q)) << props[0].second;
        EXPECT_EQ(0u, connections(a.out.in())) << props[0].second;
        EXPECT_EQ(0u, connections(b.in.in())) << props[0].second;
    }
    // Still connectable after all that.
    RTC::ConnectorProfile good = profile(
        {a.out.in(), b.in.in()},
        {{"dataport.subscription_type", "periodic"}, {"dataport.publisher.push_rate", "50"}});
    EXPECT_EQ(RTC::RTC_OK, a.out->connect(good));
    EXPECT_EQ(RTC::RTC_OK, a.out->disconnect(good.connector_id));
}

TEST(Subscription, FullRingFollowsItsPolicy) {
    struct Case {
        Props props;
        std::vector<bool> written;          // what write() returned for s1..s3
        std::vector<std::string> received;  // after the gate opens
    };
    const std::vector<Case> cases = {
        // s0 is on its way and holds its slot until its put succeeds.
        {{{"dataport.buffer.length", "2"}, {"dataport.buffer.write.full_policy", "do_nothing"}},
         {true, false, false},
         {"s0", "s1"}},
        {{{"dataport.buffer.length", "2"}}, {true, true, true}, {"s0", "s2", "s3"}},
        {{{"dataport.buffer.length", "1"},
          {"dataport.buffer.write.full_policy", "block"},
          {"dataport.buffer.write.timeout", "0.01"}},
         {false, false, false},
         {"s0"}}};
    for (const Case& c : cases) {
        Peer a;
        Offered r(new CdrReceiver());
        r.receiver->close();
        Props props = c.props;
        props.push_back({"dataport.subscription_type", "new"});
        props.push_back({"dataport.publisher.push_policy", "fifo"});
        ASSERT_EQ(RTC::RTC_OK, subscribe(a.out.in(), r, props));
        EXPECT_TRUE(a.write("s0"));
        ASSERT_TRUE(r.receiver->waitEntered(1));
        std::vector<bool> written;
        for (const char* s : {"s1", "s2", "s3"}) written.push_back(a.write(s));
        EXPECT_EQ(c.written, written) << c.props[0].second;
        r.receiver->open();
        ASSERT_TRUE(r.receiver->waitGot(c.received.size()));
        ASSERT_TRUE(eventually(
            [&] { return a.comp->m_outOut.getConnectors()[0]->publisher()->waiting() == 0; }));
        EXPECT_EQ(c.received, r.receiver->got());
    }
}

TEST(Subscription, TeardownWaitsForTheSendUnderWayThenSendsNoMore) {
    Peer a;
    Offered r(new CdrReceiver());
    r.receiver->close();
    std::string id;
    ASSERT_EQ(RTC::RTC_OK, subscribe(a.out.in(), r,
                                     {{"dataport.subscription_type", "new"},
                                      {"dataport.publisher.push_policy", "all"}},
                                     &id));
    a.write("on its way");
    ASSERT_TRUE(r.receiver->waitEntered(1));
    a.write("never sent");
    RTC::ReturnCode_t result = RTC::RTC_ERROR;
    Background disconnecting([&] { result = a.out->disconnect(id.c_str()); });
    ASSERT_TRUE(eventually([&] { return a.comp->m_outOut.getConnectors().empty(); }));
    r.receiver->open();
    ASSERT_TRUE(disconnecting.waitDone());
    EXPECT_EQ(RTC::RTC_OK, result);
    EXPECT_TRUE(a.write("after"));
    // Once disconnect() has returned, the old connection's thread has ended.
    // A new flush connection to the same receiver delivers a marker before
    // write() returns: the receiver still takes puts, and nothing of the old
    // connection came in before the marker.
    ASSERT_EQ(RTC::RTC_OK, subscribe(a.out.in(), r, {{"dataport.subscription_type", "flush"}}));
    EXPECT_TRUE(a.write("marker"));
    EXPECT_EQ((std::vector<std::string>{"on its way", "marker"}), r.receiver->got());

    // Deleting the component while its receiver holds a put: deletion ends
    // once that put is over (the receiver gives up holding after 1 s).
    Offered stuck(new CdrReceiver(std::chrono::milliseconds(0), std::chrono::milliseconds(1000)));
    stuck.receiver->close();
    std::unique_ptr<Peer> b(new Peer);
    ASSERT_EQ(RTC::RTC_OK, subscribe(b->out.in(), stuck,
                                     {{"dataport.subscription_type", "periodic"},
                                      {"dataport.publisher.push_rate", "1000"}}));
    b->write("stuck");
    ASSERT_TRUE(stuck.receiver->waitEntered(1));
    Background deleting([&] { b.reset(); });
    ASSERT_TRUE(deleting.waitDone(15000));
}

TEST(Subscription, GoneReceiverEndsTheConnection) {
    for (const char* type : {"new", "periodic", "flush"}) {
        Peer a;
        Offered r(new CdrReceiver());
        ASSERT_EQ(RTC::RTC_OK, subscribe(a.out.in(), r,
                                         {{"dataport.subscription_type", type},
                                          {"dataport.publisher.push_rate", "200"}}));
        EXPECT_TRUE(a.write("one"));
        ASSERT_TRUE(r.receiver->waitGot(1));
        r.withdraw();
        // The next sends fail; the port then ends the connection.
        ASSERT_TRUE(eventually([&] {
            a.write("into the void");
            return connections(a.out.in()) == 0;
        })) << type;
        EXPECT_TRUE(a.write("nobody listens"));
    }
}

// A put whose reply was lost may have reached the receiver: it is not sent
// again (the text would arrive twice), the connection counts as lost. A put
// refused before it reached the receiver is sent once more.
TEST(Subscription, APutThatMayHaveArrivedIsNeverSentTwice) {
    for (const char* type : {"flush", "new"}) {
        for (CORBA::CompletionStatus status : {CORBA::COMPLETED_MAYBE, CORBA::COMPLETED_YES}) {
            Peer a;
            Offered r(new BrokenReply(status, 1));
            ASSERT_EQ(RTC::RTC_OK,
                      subscribe(a.out.in(), r, {{"dataport.subscription_type", type}}));
            a.write("once");
            ASSERT_TRUE(r.receiver->waitGot(1)) << type;
            ASSERT_TRUE(eventually([&] {
                a.write("after the loss");
                return connections(a.out.in()) == 0;
            })) << type
                << ": the connection outlived a lost reply";
            EXPECT_EQ((std::vector<std::string>{"once"}), r.receiver->got())
                << type << ", completion " << status;
            // The sender stops before the receiver goes: a put still under
            // way would otherwise end in the receiver's destructor.
            a.close();
        }

        Peer a;
        Offered r(new BrokenReply(CORBA::COMPLETED_NO, 1));
        ASSERT_EQ(RTC::RTC_OK, subscribe(a.out.in(), r, {{"dataport.subscription_type", type}}));
        EXPECT_TRUE(a.write("retried"));
        ASSERT_TRUE(r.receiver->waitGot(1)) << type;
        EXPECT_TRUE(a.write("next"));
        ASSERT_TRUE(r.receiver->waitGot(2)) << type;
        EXPECT_EQ((std::vector<std::string>{"retried", "next"}), r.receiver->got()) << type;
        EXPECT_EQ(1u, connections(a.out.in())) << type;
        a.close();
    }
}

// A connection the sender counts as lost still has its other half in the
// receiving port. Ending it on the sender's side, by the operator or by the
// sender dropping it, tells that port too: otherwise the same two ports can
// never be connected again ("connected to that port already").
TEST(Subscription, ALostConnectionEndedByTheSenderIsEndedInTheReceivingPortToo) {
    for (bool byOperator : {true, false}) {
        Peer a;
        Peer b;
        const char* id = byOperator ? "lost-by-operator" : "lost-by-sender";
        // b's input port holds its half of the connection (named last, it
        // asks no other port)...
        RTC::ConnectorProfile half =
            profile({a.out.in(), b.in.in()},
                    {{"dataport.interface_type", "corba_cdr"}, {"dataport.dataflow_type", "push"}});
        half.connector_id = id;
        ASSERT_EQ(RTC::RTC_OK, b.in->notify_connect(half));
        ASSERT_EQ(1u, connections(b.in.in()));
        // ...and a's output port the other, naming b's port, its puts going
        // to a receiver whose replies break.
        Offered r(new BrokenReply(CORBA::COMPLETED_MAYBE, 1));
        RTC::ConnectorProfile p = profile(
            {b.in.in(), a.out.in()}, {{"dataport.interface_type", "corba_cdr"},
                                      {"dataport.dataflow_type", "push"},
                                      {"dataport.subscription_type", byOperator ? "new" : "flush"},
                                      {"dataport.corba_cdr.inport_ior", r.ior}});
        p.connector_id = id;
        ASSERT_EQ(RTC::RTC_OK, a.out->notify_connect(p));
        // A new connection finds the loss on its own thread and keeps the
        // connection until the next write; a flush connection drops it at once.
        a.write("once");
        ASSERT_TRUE(r.receiver->waitGot(1));
        if (byOperator) {
            EXPECT_EQ(RTC::RTC_OK, a.out->disconnect(p.connector_id));
        } else {
            ASSERT_TRUE(eventually([&] {
                a.write("after the loss");
                return connections(a.out.in()) == 0;
            }));
        }
        EXPECT_TRUE(eventually([&] { return connections(b.in.in()) == 0; }))
            << (byOperator ? "operator" : "sender") << ": the receiving port kept its half";
        // And the two ports connect again.
        RTC::ConnectorProfile again =
            profile({a.out.in(), b.in.in()},
                    {{"dataport.interface_type", "corba_cdr"}, {"dataport.dataflow_type", "push"}});
        EXPECT_EQ(RTC::RTC_OK, a.out->connect(again));
    }
}

}  // namespace
