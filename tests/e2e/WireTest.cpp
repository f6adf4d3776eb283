// The speech component's input port seen from the wire, as any CORBA peer
// could address it: bad data and bad connection requests.
#include "E2e.h"

#include <gtest/gtest.h>
#include <omniORB4/CORBA.h>
#include <signal.h>
#include <unistd.h>

#include <omniORB4/Naming.hh>

#include "DataPort_OpenRTM.hh"
#include "RTC.hh"

using namespace e2e;

namespace {

CORBA::ORB_ptr orb() {
    static CORBA::ORB_ptr o = [] {
        int argc = 1;
        static char name[] = "e2e";
        char* argv[] = {name, nullptr};
        return CORBA::ORB_init(argc, argv);
    }();
    return o;
}

RTC::PortService_ptr findPort(const std::string& comp, const std::string& port) {
    char host[256] = {0};
    gethostname(host, sizeof host - 1);
    const std::string url = "corbaname::" + naming() + "#" + host + ".host_cxt/" + comp + ".rtc";
    CORBA::Object_var obj = orb()->string_to_object(url.c_str());
    RTC::RTObject_var rtc = RTC::RTObject::_narrow(obj.in());
    RTC::PortServiceList_var ports = rtc->get_ports();
    for (CORBA::ULong i = 0; i < ports->length(); ++i) {
        RTC::PortProfile_var pp = ports[i]->get_port_profile();
        if (comp + "." + port == static_cast<const char*>(pp->name))
            return RTC::PortService::_duplicate(ports[i]);
    }
    return RTC::PortService::_nil();
}

void addString(RTC::ConnectorProfile& p, const char* name, const char* value) {
    const CORBA::ULong n = p.properties.length();
    p.properties.length(n + 1);
    p.properties[n].name = name;
    p.properties[n].value <<= value;
}

RTC::ConnectorProfile profileFor(RTC::PortService_ptr port, const char* data_type) {
    RTC::ConnectorProfile p;
    p.name = "wire-test";
    p.connector_id = "wire-test-1";
    p.ports.length(1);
    p.ports[0] = RTC::PortService::_duplicate(port);
    addString(p, "dataport.interface_type", "corba_cdr");
    addString(p, "dataport.dataflow_type", "push");
    addString(p, "dataport.subscription_type", "flush");
    addString(p, "dataport.serializer.cdr.endian", "little,big");
    if (data_type) addString(p, "dataport.data_type", data_type);
    return p;
}

OpenRTM::InPortCdr_ptr inportOf(const RTC::ConnectorProfile& p) {
    for (CORBA::ULong i = 0; i < p.properties.length(); ++i) {
        const char* ior = nullptr;
        if (std::string(p.properties[i].name) == "dataport.corba_cdr.inport_ior" &&
            (p.properties[i].value >>= ior)) {
            CORBA::Object_var obj = orb()->string_to_object(ior);
            return OpenRTM::InPortCdr::_narrow(obj.in());
        }
    }
    return OpenRTM::InPortCdr::_nil();
}

OpenRTM::CdrData bytes(std::initializer_list<unsigned char> b) {
    OpenRTM::CdrData d;
    d.length(static_cast<CORBA::ULong>(b.size()));
    CORBA::ULong i = 0;
    for (unsigned char c : b) d[i++] = c;
    return d;
}

TEST(Wire, MalformedDataIsRefusedAndGoodDataStillArrives) {
    TempDir dir, wav;
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path(),
                         {"-o", "manager.components.preactivation:Parlune0"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    RTC::PortService_var in = findPort("Parlune0", "in");
    ASSERT_FALSE(CORBA::is_nil(in.in()));

    RTC::ConnectorProfile p = profileFor(in.in(), "IDL:RTC/TimedString:1.0");
    ASSERT_EQ(RTC::RTC_OK, in->notify_connect(p));
    OpenRTM::InPortCdr_var target = inportOf(p);
    ASSERT_FALSE(CORBA::is_nil(target.in()));

    // Short, wrong length field, huge length, no terminator, empty.
    EXPECT_EQ(OpenRTM::PORT_ERROR, target->put(bytes({0, 0, 0, 0, 0, 0})));
    EXPECT_EQ(OpenRTM::PORT_ERROR,
              target->put(bytes({0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 'h', 'i', 0})));
    EXPECT_EQ(OpenRTM::PORT_ERROR,
              target->put(bytes({0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0x7f, 'h', 'i', 0})));
    EXPECT_EQ(OpenRTM::PORT_ERROR,
              target->put(bytes({0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 'h', 'i', '!'})));
    EXPECT_EQ(OpenRTM::PORT_ERROR, target->put(bytes({})));
    EXPECT_EQ(OpenRTM::PORT_OK,
              target->put(bytes({0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', 0})));
    ASSERT_TRUE(waitSpoken(wav.path(), 1));
    EXPECT_EQ(std::vector<std::string>{"hello"}, spokenTexts(wav.path()));
    EXPECT_EQ(RTC::RTC_OK, in->disconnect("wire-test-1"));
    EXPECT_EQ(RTC::BAD_PARAMETER, in->disconnect("wire-test-1"));

    speech->signal(SIGINT);
    ASSERT_TRUE(speech->wait());
    EXPECT_TRUE(speech->exitedWith(0));
}

// A TimedString in little-endian CDR, time stamp zero.
OpenRTM::CdrData timedString(const std::string& text) {
    const CORBA::ULong n = static_cast<CORBA::ULong>(text.size() + 1);
    OpenRTM::CdrData d;
    d.length(12 + n);
    for (CORBA::ULong i = 0; i < 8; ++i) d[i] = 0;
    for (CORBA::ULong i = 0; i < 4; ++i) d[8 + i] = static_cast<CORBA::Octet>(n >> (8 * i));
    for (CORBA::ULong i = 0; i < n; ++i)
        d[12 + i] = static_cast<CORBA::Octet>(i + 1 < n ? text[i] : '\0');
    return d;
}

// A peer that puts as fast as the port takes: far more texts than the port's
// buffer holds arrive within one cycle. The port holds the peer back instead
// of dropping, so every text is spoken, once and in order. An unreadable
// buffer key of the peer's is reported and costs nothing.
TEST(Wire, ABurstOfTwoThousandFromAPeerIsSpokenOnceAndInOrder) {
    TempDir dir, wav;
    // The fastest voice: what is tested is the way in, not the voice.
    auto speech =
        launch(SPEECH_LAUNCHER, dir, wav.path(),
               {"-o", "manager.components.preactivation:Parlune0"}, {"PARLUNE_VOICE=espeak:en"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    RTC::PortService_var in = findPort("Parlune0", "in");
    ASSERT_FALSE(CORBA::is_nil(in.in()));
    RTC::ConnectorProfile p = profileFor(in.in(), "IDL:RTC/TimedString:1.0");
    addString(p, "dataport.inport.buffer.read.empty_policy", "sometimes");
    ASSERT_EQ(RTC::RTC_OK, in->notify_connect(p));
    OpenRTM::InPortCdr_var target = inportOf(p);
    ASSERT_FALSE(CORBA::is_nil(target.in()));

    const int kTexts = 2000;
    std::vector<std::string> sent;
    int refused = 0;
    for (int i = 1; i <= kTexts; ++i) {
        sent.push_back("burst " + std::to_string(i));
        if (target->put(timedString(sent.back())) != OpenRTM::PORT_OK) ++refused;
    }
    EXPECT_EQ(0, refused);
    EXPECT_EQ(RTC::RTC_OK, in->disconnect("wire-test-1"));
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return filesEndingIn(wav.path(), ".txt").size() >= sent.size(); },
        std::chrono::seconds(150), std::chrono::milliseconds(250)))
        << filesEndingIn(wav.path(), ".txt").size() << " of " << kTexts << " spoken";
    EXPECT_EQ(sent, spokenTexts(wav.path()));
    EXPECT_EQ("Active\n", rtctl(dir, {"state", "Parlune0"}).out);

    speech->signal(SIGINT);
    ASSERT_TRUE(speech->wait());
    EXPECT_TRUE(speech->exitedWith(0));
    const std::string log = testsupport::readFile(dir.file("ParluneRTCComp.log"));
    EXPECT_NE(std::string::npos,
              log.find("dataport.inport.buffer.read.empty_policy: \"sometimes\" is not readback, "
                       "do_nothing or block; readback used"))
        << log;
}

TEST(Wire, ConnectionRequestsThatCannotWorkAreRefused) {
    TempDir dir, wav;
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path());
    auto echo = launch(ECHO_LAUNCHER, dir, wav.path());
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    ASSERT_TRUE(waitRegistered(dir, "SampleEcho0"));
    RTC::PortService_var in = findPort("Parlune0", "in");
    RTC::PortService_var out = findPort("SampleEcho0", "out");
    ASSERT_FALSE(CORBA::is_nil(in.in()));
    ASSERT_FALSE(CORBA::is_nil(out.in()));

    RTC::ConnectorProfile wrong_type = profileFor(in.in(), "IDL:RTC/TimedLong:1.0");
    EXPECT_EQ(RTC::BAD_PARAMETER, in->notify_connect(wrong_type));

    RTC::ConnectorProfile pull = profileFor(in.in(), nullptr);
    pull.properties[1].value <<= "pull";
    EXPECT_EQ(RTC::BAD_PARAMETER, in->notify_connect(pull));

    // A profile that does not name the port it is sent to.
    RTC::ConnectorProfile elsewhere = profileFor(out.in(), nullptr);
    EXPECT_EQ(RTC::BAD_PARAMETER, in->notify_connect(elsewhere));

    RTC::ConnectorProfile lonely = profileFor(in.in(), nullptr);
    lonely.connector_id = "";
    EXPECT_EQ(RTC::BAD_PARAMETER, in->connect(lonely));
    EXPECT_EQ(0u, RTC::ConnectorProfileList_var(in->get_connector_profiles())->length());

    // Two real ports connect fine through connect() on either of them.
    RTC::ConnectorProfile good;
    good.name = "good";
    good.connector_id = "";
    good.ports.length(2);
    good.ports[0] = RTC::PortService::_duplicate(out.in());
    good.ports[1] = RTC::PortService::_duplicate(in.in());
    addString(good, "dataport.interface_type", "corba_cdr");
    addString(good, "dataport.dataflow_type", "push");
    ASSERT_EQ(RTC::RTC_OK, in->connect(good));
    EXPECT_NE(std::string(""), static_cast<const char*>(good.connector_id));
    EXPECT_EQ(1u, RTC::ConnectorProfileList_var(in->get_connector_profiles())->length());
    EXPECT_EQ(1u, RTC::ConnectorProfileList_var(out->get_connector_profiles())->length());
    EXPECT_EQ(RTC::RTC_OK, out->disconnect(good.connector_id));
    EXPECT_EQ(0u, RTC::ConnectorProfileList_var(in->get_connector_profiles())->length());
}

TEST(Wire, ExitEndsTheComponentAndItsProcess) {
    TempDir dir, wav;
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path());
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    char host[256] = {0};
    gethostname(host, sizeof host - 1);
    CORBA::Object_var obj = orb()->string_to_object(
        ("corbaname::" + naming() + "#" + host + ".host_cxt/Parlune0.rtc").c_str());
    RTC::RTObject_var rtc = RTC::RTObject::_narrow(obj.in());
    EXPECT_EQ(RTC::RTC_OK, rtc->exit());
    // Its last component gone, the process shuts down in order.
    ASSERT_TRUE(speech->wait());
    EXPECT_TRUE(speech->exitedWith(0)) << speech->err();
    EXPECT_FALSE(rtctl(dir, {"state", "Parlune0"}).ok);
}

// True when the naming service has no entry for the component (a stale
// entry left by a process that is gone would still resolve).
bool unbound(const std::string& comp) {
    char host[256] = {0};
    gethostname(host, sizeof host - 1);
    CORBA::Object_var obj =
        orb()->string_to_object(("corbaloc::" + naming() + "/NameService").c_str());
    CosNaming::NamingContext_var root = CosNaming::NamingContext::_narrow(obj.in());
    CosNaming::Name name;
    name.length(2);
    name[0].id = static_cast<const char*>(host);  // a copy: a char* would be adopted
    name[0].kind = "host_cxt";
    name[1].id = comp.c_str();
    name[1].kind = "rtc";
    try {
        CORBA::Object_var entry = root->resolve(name);
        return false;
    } catch (const CosNaming::NamingContext::NotFound&) {
        return true;
    }
}

// exit() on an active component with a peer in another process, many times
// over: every run the process ends cleanly, the name is gone and the peer
// has been told (its port keeps no connection).
TEST(Wire, ExitOfAConnectedActiveComponentLeavesNothingBehind) {
    TempDir dir, wav;
    auto echo = launch(ECHO_LAUNCHER, dir, wav.path());
    ASSERT_TRUE(waitRegistered(dir, "SampleEcho0"));
    RTC::PortService_var peer = findPort("SampleEcho0", "out");
    ASSERT_FALSE(CORBA::is_nil(peer.in()));
    int clean = 0;
    const int runs = 20;
    for (int run = 0; run < runs; ++run) {
        auto speech = launch(SPEECH_LAUNCHER, dir, wav.path());
        ASSERT_TRUE(waitRegistered(dir, "Parlune0")) << "run " << run;
        ASSERT_TRUE(rtctl(dir, {"connect", "SampleEcho0.out", "Parlune0.in"}).ok) << "run " << run;
        ASSERT_TRUE(rtctl(dir, {"activate", "Parlune0"}).ok) << "run " << run;
        RTC::ConnectorProfileList_var before = peer->get_connector_profiles();
        EXPECT_EQ(1u, before->length()) << "run " << run;

        char host[256] = {0};
        gethostname(host, sizeof host - 1);
        CORBA::Object_var obj = orb()->string_to_object(
            ("corbaname::" + naming() + "#" + host + ".host_cxt/Parlune0.rtc").c_str());
        RTC::RTObject_var rtc = RTC::RTObject::_narrow(obj.in());
        EXPECT_EQ(RTC::RTC_OK, rtc->exit()) << "run " << run;
        ASSERT_TRUE(speech->wait()) << "run " << run << " did not end";
        const bool exited = speech->exitedWith(0);
        const bool gone = unbound("Parlune0");
        RTC::ConnectorProfileList_var after = peer->get_connector_profiles();
        EXPECT_TRUE(exited) << "run " << run << ", status " << speech->status() << "\n"
                            << speech->err();
        EXPECT_TRUE(gone) << "run " << run << ": a stale naming entry";
        EXPECT_EQ(0u, after->length()) << "run " << run << ": the peer was not told";
        if (exited && gone && after->length() == 0) ++clean;
    }
    EXPECT_EQ(runs, clean);
    // Looking the component up afterwards fails cleanly.
    EXPECT_TRUE(unbound("Parlune0"));
    EXPECT_FALSE(rtctl(dir, {"state", "Parlune0"}).ok);
}

}  // namespace
