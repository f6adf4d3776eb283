// Several hosts made with network namespaces: registration with a name
// server elsewhere, connections and speech across hosts, the warning for a
// reference nobody can call back, TLS, address rules and hostile crowds.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/Files.h"
#include "support/NetLab.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Wait.h"

using namespace testsupport;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

const std::string kNamingHost = "10.77.0.1";
const std::string kNaming = kNamingHost + ":2809";

class MultiHost : public ::testing::Test {
  protected:
    void makeLab(int hosts) {
        lab.reset(new NetLab(hosts));
        if (!lab->ok()) GTEST_SKIP() << "no hosts for this test: " << lab->why();
    }
    void TearDown() override {
        // Programs end before the hosts they run on go.
        for (auto& p : programs) {
            if (p->running()) {
                p->signal(SIGINT);
                if (!p->wait(5000)) ADD_FAILURE() << "a program did not end on SIGINT";
            }
        }
        programs.clear();
        lab.reset();
    }
    Process& start(int host, std::vector<std::string> argv, std::vector<std::string> env = {},
                   const std::string& host_name = "") {
        programs.emplace_back(
            new Process(host_name.empty() ? lab->on(host, argv) : lab->on(host, argv, host_name),
                        dir.path(), env));
        return *programs.back();
    }
    // The naming service on host 1, port 2809 of its own address.
    void startNaming() {
        const std::string data = dir.file("names");
        ASSERT_TRUE(std::filesystem::create_directories(data)) << data;
        Process& names = start(1, {"omniNames", "-start", "2809", "-always", "-datadir", data,
                                   "-ORBendPoint", "giop:tcp:" + kNaming});
        ASSERT_TRUE(waitUntil(
            [&] {
                return run(lab->on(1, {"bash", "-c", "exec 3<>/dev/tcp/" + kNamingHost + "/2809"}))
                               .status == 0 ||
                       !names.running();
            },
            seconds(10), milliseconds(100)));
        ASSERT_TRUE(names.running()) << names.err();
    }
    // A launcher on a host, registered with the naming service on host 1.
    Process& launch(int host, const std::string& program, std::vector<std::string> options,
                    std::vector<std::string> env = {}, const std::string& host_name = "") {
        std::vector<std::string> argv = {program, "-o", "corba.nameservers:" + kNaming, "-o",
                                         "logger.file_name:stderr"};
        for (const std::string& o : options) {
            argv.push_back("-o");
            argv.push_back(o);
        }
        return start(host, argv, env, host_name);
    }
    // rtctl on a host, its own listener on that host's address.
    RunResult rtctl(int host, std::vector<std::string> args,
                    std::vector<std::string> options = {}) {
        std::vector<std::string> argv = {RTCTL, "-n", kNaming, "--endpoint", lab->address(host)};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), args.begin(), args.end());
        return run(lab->on(host, argv), {}, seconds(40));
    }
    bool waitState(int host, const std::string& comp, const std::string& state,
                   std::vector<std::string> options = {}) {
        return waitUntil(
            [&] {
                return rtctl(host, {"state", comp}, options).out == state + "\n";
            },
            seconds(20), milliseconds(200));
    }
    std::vector<std::string> spoken() const {
        std::vector<std::string> texts;
        for (const std::string& f : wav.namesEndingIn(".txt"))
            texts.push_back(readFile(wav.file(f)));
        return texts;
    }

    TempDir dir;
    TempDir wav;
    std::unique_ptr<NetLab> lab;
    std::vector<std::unique_ptr<Process>> programs;
};

// The three settings of the README's "Several machines" section.
std::vector<std::string> hostSettings(const std::string& endpoint) {
    return {"corba.endpoints:" + endpoint, "naming.formats:%h.host_cxt/%n.rtc"};
}

// The value of "key=value" in a line of words, empty when it is not there.
std::string field(const std::string& line, const std::string& key) {
    const std::string::size_type at = line.find(" " + key + "=");
    if (at == std::string::npos) return "";
    const std::string::size_type from = at + key.size() + 2;
    return line.substr(from, line.find(' ', from) - from);
}

// The last line of text that starts with tag.
std::string lastLine(const std::string& text, const std::string& tag) {
    std::string found;
    for (const std::string& line : splitLines(text))
        if (line.compare(0, tag.size(), tag) == 0) found = line;
    return found;
}

}  // namespace

TEST_F(MultiHost, TwoHostsRegisterConnectAndSpeakWithOwnAddressOrAll) {
    makeLab(3);
    startNaming();
    // Host 1: the speech component on its own address; host 2: the echo
    // component listening everywhere; host 3: the operator's tool.
    Process& speech =
        launch(1, SPEECH_LAUNCHER, hostSettings(kNamingHost), {"PARLUNE_AUDIO=wav:" + wav.path()});
    Process& echo = launch(2, ECHO_LAUNCHER, hostSettings("all"));
    ASSERT_TRUE(waitState(3, "Parlune0", "Inactive")) << speech.err();
    ASSERT_TRUE(waitState(3, "SampleEcho0", "Inactive")) << echo.err();
    // Each is registered under its own host's name.
    RunResult ls = rtctl(3, {"ls"});
    EXPECT_NE(std::string::npos, ls.out.find("labhost1.host_cxt/Parlune0.rtc")) << ls.out;
    EXPECT_NE(std::string::npos, ls.out.find("labhost2.host_cxt/SampleEcho0.rtc")) << ls.out;

    RunResult c = rtctl(3, {"connect", "SampleEcho0.out", "Parlune0.in"});
    ASSERT_EQ(0, c.status) << c.err;
    ASSERT_EQ(0, rtctl(3, {"activate", "Parlune0"}).status);
    ASSERT_EQ(0, rtctl(3, {"activate", "SampleEcho0"}).status);
    RunResult in = rtctl(3, {"inject", "SampleEcho0.in", "voices across hosts", "second line"});
    ASSERT_EQ(0, in.status) << in.err;
    ASSERT_TRUE(waitUntil([&] { return spoken().size() >= 2; }, seconds(20)));
    EXPECT_EQ((std::vector<std::string>{"echo:voices across hosts", "echo:second line"}), spoken());
    EXPECT_EQ(std::string::npos, echo.err().find("WARNING")) << echo.err();

    // Its tool reads the conf of a component on another host.
    EXPECT_EQ("100\n", rtctl(3, {"conf", "Parlune0", "get", "speed"}).out);
}

TEST_F(MultiHost, ReferencesOnlyLoopbackAreWarnedAndBadListenersEndTheProcess) {
    makeLab(3);
    startNaming();
    // No corba.endpoints: listeners stay on loopback, which nobody else can call.
    Process& hidden = launch(2, ECHO_LAUNCHER, {});
    ASSERT_TRUE(hidden.waitForOutput("WARNING", 10000, true)) << hidden.err();
    EXPECT_NE(std::string::npos, hidden.err().find(kNaming)) << hidden.err();
    EXPECT_NE(std::string::npos, hidden.err().find("corba.endpoints")) << hidden.err();
    // It registers all the same, and a caller elsewhere cannot reach it.
    ASSERT_TRUE(
        waitUntil([&] { return rtctl(3, {"ls"}).out.find("SampleEcho0") != std::string::npos; },
                  seconds(20), milliseconds(200)));
    RunResult state = rtctl(3, {"state", "SampleEcho0"});
    EXPECT_NE(0, state.status);
    EXPECT_NE(std::string::npos, state.err.find("not reachable")) << state.err;

    // An address this host does not have, a malformed list: no process runs on unreachable.
    for (const std::string& endpoints :
         {std::string("10.77.0.99"), std::string("10.77.0.2:http")}) {
        Process& bad = launch(3, ECHO_LAUNCHER, {"corba.endpoints:" + endpoints});
        ASSERT_TRUE(bad.wait(15000)) << endpoints;
        EXPECT_TRUE(bad.exitedWith(1)) << endpoints << ": " << bad.status();
        EXPECT_NE(std::string::npos, bad.err().find("the ORB cannot start")) << bad.err();
    }
    // The older key alone is honoured.
    Process& older = launch(3, ECHO_LAUNCHER, {"corba.endpoint:" + lab->address(3)});
    EXPECT_TRUE(waitUntil(
        [&] {
            return rtctl(1, {"state", "labhost3.host_cxt/SampleEcho0.rtc"}).status == 0;
        },
        seconds(20), milliseconds(200)))
        << older.err();
}

TEST_F(MultiHost, TlsAdmitsOnlyPeersWithACertificateFromTheAuthority) {
    makeLab(3);
    startNaming();
    const std::string certs = dir.file("certs");
    ASSERT_EQ(0, run({MAKE_CERTS, certs, lab->address(2), "operator"}).status);
    // A key of the right form that the authority never signed.
    const RunResult self =
        run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj",
             "/CN=intruder", "-keyout", dir.file("self.key"), "-out", dir.file("self.crt")});
    ASSERT_EQ(0, self.status) << self.err;
    ASSERT_TRUE(dir.write("self.pem", testsupport::readFile(dir.file("self.key")) +
                                          testsupport::readFile(dir.file("self.crt"))));
    Process& echo =
        launch(2, ECHO_LAUNCHER,
               {"manager.preload.modules:SSLTransport.so",
                "corba.ssl.certificate_authority_file:" + certs + "/ca.crt",
                "corba.ssl.key_file:" + certs + "/" + lab->address(2) + ".pem",
                "corba.ssl.key_file_password:", "corba.endpoints:giop:ssl:" + lab->address(2) + ":",
                "corba.args:-ORBserverTransportRule \"* ssl\""});
    const std::vector<std::string> member = {"--ca", certs + "/ca.crt", "--key",
                                             certs + "/operator.pem"};
    ASSERT_TRUE(waitState(3, "SampleEcho0", "Inactive", member)) << echo.err();
    ASSERT_EQ(0, rtctl(3, {"conf", "SampleEcho0"}, member).status);

    // No certificate, one of its own making, or the right authority but an unsigned key.
    const std::vector<std::vector<std::string>> strangers = {
        {},
        {"--ca", dir.file("self.crt"), "--key", dir.file("self.pem")},
        {"--ca", certs + "/ca.crt", "--key", dir.file("self.pem")},
    };
    for (const auto& options : strangers) {
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"state", "SampleEcho0"},
              std::vector<std::string>{"deactivate", "SampleEcho0"},
              std::vector<std::string>{"inject", "SampleEcho0.in", "spoofed"}}) {
            RunResult r = rtctl(3, command, options);
            EXPECT_NE(0, r.status) << command[0] << " with " << options.size() << " options";
            EXPECT_NE(std::string::npos, r.err.find("SampleEcho0")) << r.err;
        }
    }
    EXPECT_TRUE(echo.running());
    EXPECT_EQ("Inactive\n", rtctl(3, {"state", "SampleEcho0"}, member).out);
    // TLS asked for without its files is refused at start.
    Process& half = launch(3, ECHO_LAUNCHER, {"manager.preload.modules:SSLTransport.so"});
    ASSERT_TRUE(half.wait(15000));
    EXPECT_TRUE(half.exitedWith(1));
    EXPECT_NE(std::string::npos, half.err().find("corba.ssl.certificate_authority_file"))
        << half.err();
}

TEST_F(MultiHost, AnAddressRuleRefusesEveryPeerItDoesNotName) {
    makeLab(4);
    startNaming();
    // Only host 3 may call the component on host 2.
    Process& echo =
        launch(2, ECHO_LAUNCHER,
               {"corba.endpoints:all", "corba.args:-ORBserverTransportRule \"" + lab->address(3) +
                                           "/255.255.255.255 tcp\" "
                                           "-ORBserverTransportRule \"* none\""});
    ASSERT_TRUE(waitState(3, "SampleEcho0", "Inactive")) << echo.err();
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"state", "SampleEcho0"},
          std::vector<std::string>{"activate", "SampleEcho0"},
          std::vector<std::string>{"conf", "SampleEcho0"}}) {
        RunResult r = rtctl(4, command);
        EXPECT_NE(0, r.status) << command[0];
        EXPECT_NE(std::string::npos, r.err.find("not reachable")) << r.err;
    }
    EXPECT_EQ("Inactive\n", rtctl(3, {"state", "SampleEcho0"}).out);
}

TEST_F(MultiHost, AHostileCrowdCostsNeitherThreadsNorALegitimateQuery) {
    makeLab(3);
    startNaming();
    Process& echo = launch(2, ECHO_LAUNCHER, {"corba.endpoints:" + lab->address(2) + ":7000"});
    ASSERT_TRUE(waitState(3, "SampleEcho0", "Inactive")) << echo.err();
    ASSERT_EQ(0, rtctl(3, {"activate", "SampleEcho0"}).status);
    // 500 silent connections, the first 50 of them with half a request.
    Process& crowd = start(3, {HOLD_CONNECTIONS, lab->address(2), "7000", "500", "50"});
    ASSERT_TRUE(crowd.waitForOutput("held 500", 30000)) << crowd.out();

    // A bounded pool, not a thread per connection.
    const auto threads = [&] {
        const std::string status = readFile("/proc/" + std::to_string(echo.pid()) + "/status");
        const auto at = status.find("Threads:");
        return at == std::string::npos ? -1 : std::stoi(status.substr(at + 8));
    };
    EXPECT_LT(threads(), 120);
    EXPECT_EQ("Active\n", rtctl(3, {"state", "SampleEcho0"}).out);
    // Data still flows through the crowded process.
    RunResult in = rtctl(3, {"inject", "SampleEcho0.in", "still here"});
    EXPECT_EQ(0, in.status) << in.err;
    // The half-sent requests are dropped by the idle scan within seconds
    // (5-6 s unloaded), long before a 30 s scan would get to them.
    EXPECT_TRUE(waitUntil(
        [&] { return std::atoi(field(lastLine(crowd.out(), "closed"), "half").c_str()) >= 50; },
        seconds(25), milliseconds(200)))
        << crowd.out();
    EXPECT_TRUE(echo.running());
    EXPECT_LT(threads(), 120);
}

// With the default limits and with the ORB's own idle scan set back to its
// defaults (180 s, no limit on a request's rest) through corba.args.
TEST_F(MultiHost, SilentAndTricklingConnectionsAreClosedWithinSeconds) {
    makeLab(3);
    startNaming();
    int port = 7000;
    for (const std::string& args :
         {std::string(), std::string("-ORBinConScanPeriod 180 -ORBserverCallTimeOutPeriod 0")}) {
        SCOPED_TRACE(args);
        const std::string endpoint = lab->address(2) + ":" + std::to_string(++port);
        std::vector<std::string> options = {"corba.endpoints:" + endpoint};
        if (!args.empty()) options.push_back("corba.args:" + args);
        Process& echo = launch(2, ECHO_LAUNCHER, options);
        ASSERT_TRUE(waitState(3, "SampleEcho0", "Inactive")) << echo.err();
        // 500 connections that never say a word and 200 that send a request
        // header and then one byte a second.
        Process& crowd =
            start(3, {HOLD_CONNECTIONS, lab->address(2), std::to_string(port), "700", "0", "200"});
        ASSERT_TRUE(crowd.waitForOutput("held 700", 30000)) << crowd.out();
        const auto held = std::chrono::steady_clock::now();
        // "closed K half=... ": K of them closed so far.
        const auto closed = [&] {
            const std::string line = lastLine(crowd.out(), "closed ");
            return line.empty() ? 0 : std::atoi(line.c_str() + 7);
        };
        EXPECT_TRUE(waitUntil([&] { return closed() >= 700; }, seconds(20), milliseconds(200)))
            << crowd.out();
        const std::string last = lastLine(crowd.out(), "closed ");
        EXPECT_EQ("200", field(last, "trickle")) << last;
        // Meanwhile and afterwards the process answers as before.
        EXPECT_EQ("Inactive\n", rtctl(3, {"state", "SampleEcho0"}).out);
        EXPECT_TRUE(echo.running());
        std::printf("hostile peer%s: %s (%.1f s after all were open)\n",
                    args.empty() ? "" : " (ORB defaults)", last.c_str(),
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - held).count());
        RecordProperty(args.empty() ? "closed" : "closed_orb_defaults", last);
        crowd.signal(SIGINT);
        echo.signal(SIGINT);
        ASSERT_TRUE(echo.wait(10000));
        ASSERT_TRUE(crowd.wait(10000));
    }
}

TEST_F(MultiHost, NamingPolicyNumbersAcrossHostsAndReplaceEndpointPublishesTheRoute) {
    makeLab(4);
    startNaming();
    // Two hosts that share one host name: ns_unique gives the second the next number.
    Process& first =
        launch(2, ECHO_LAUNCHER,
               {"corba.endpoints:" + lab->address(2), "manager.components.naming_policy:ns_unique"},
               {}, "twin");
    ASSERT_TRUE(waitState(4, "twin.host_cxt/SampleEcho0.rtc", "Inactive")) << first.err();
    Process& second =
        launch(3, ECHO_LAUNCHER,
               {"corba.endpoints:" + lab->address(3), "manager.components.naming_policy:ns_unique"},
               {}, "twin");
    ASSERT_TRUE(waitState(4, "twin.host_cxt/SampleEcho1.rtc", "Inactive")) << second.err();
    // Both answer, each as itself.
    ASSERT_EQ(0, rtctl(4, {"activate", "twin.host_cxt/SampleEcho1.rtc"}).status);
    EXPECT_EQ("Inactive\n", rtctl(4, {"state", "twin.host_cxt/SampleEcho0.rtc"}).out);
    EXPECT_EQ("Active\n", rtctl(4, {"state", "twin.host_cxt/SampleEcho1.rtc"}).out);

    // node_unique counts per host: another host starts again at 0. With
    // replace_endpoint and no listener of its own it listens toward the name server.
    Process& other = launch(
        4, ECHO_LAUNCHER,
        {"manager.components.naming_policy:node_unique", "corba.nameservice.replace_endpoint:YES"});
    ASSERT_TRUE(waitState(1, "labhost4.host_cxt/SampleEcho0.rtc", "Inactive")) << other.err();
    EXPECT_EQ(std::string::npos, other.err().find("WARNING")) << other.err();
}

TEST_F(MultiHost, AConnectionTheReceiverClosedWhileIdleCarriesTheNextText) {
    makeLab(3);
    startNaming();
    // The receiver closes connections idle for 2-3 s; the sender's ORB serves
    // from its pool, the mode a crowd of peers puts it in.
    Process& speech =
        launch(1, SPEECH_LAUNCHER,
               {"corba.endpoints:" + lab->address(1), "corba.args:-ORBinConScanPeriod 2"},
               {"PARLUNE_AUDIO=wav:" + wav.path()});
    Process& echo = launch(
        2, ECHO_LAUNCHER,
        {"corba.endpoints:" + lab->address(2), "corba.args:-ORBthreadPerConnectionPolicy 0"});
    ASSERT_TRUE(waitState(3, "Parlune0", "Inactive")) << speech.err();
    ASSERT_TRUE(waitState(3, "SampleEcho0", "Inactive")) << echo.err();
    ASSERT_EQ(0, rtctl(3, {"connect", "SampleEcho0.out", "Parlune0.in"}).status);
    ASSERT_EQ(0, rtctl(3, {"activate", "Parlune0"}).status);
    ASSERT_EQ(0, rtctl(3, {"activate", "SampleEcho0"}).status);
    ASSERT_EQ(0, rtctl(3, {"inject", "SampleEcho0.in", "before the pause"}).status);
    ASSERT_TRUE(waitUntil([&] { return spoken().size() >= 1; }, seconds(20)));

    // Long enough for the receiver to close the idle connection.
    std::this_thread::sleep_for(seconds(6));
    ASSERT_EQ(0, rtctl(3, {"inject", "SampleEcho0.in", "after the pause"}).status);
    EXPECT_TRUE(waitUntil([&] { return spoken().size() >= 2; }, seconds(20)))
        << echo.err() << speech.err();
    EXPECT_EQ((std::vector<std::string>{"echo:before the pause", "echo:after the pause"}),
              spoken());
    // And the connection stays for what follows.
    ASSERT_EQ(0, rtctl(3, {"inject", "SampleEcho0.in", "and later"}).status);
    EXPECT_TRUE(waitUntil([&] { return spoken().size() >= 3; }, seconds(20)));
}

#ifdef STREAM_SENDER
TEST_F(MultiHost, ASenderIdleLongerThanTheReceiversIdleCloseLosesNoText) {
    makeLab(3);
    startNaming();
    // The receiver closes connections idle for 5-6 s; the sender writes one
    // string every 8 s from its context, and nothing else touches the
    // connection between two writes (a put is the first call after the close).
    Process& speech = launch(1, SPEECH_LAUNCHER, {"corba.endpoints:" + lab->address(1)},
                             {"PARLUNE_AUDIO=wav:" + wav.path()});
    Process& sender = launch(
        2, STREAM_SENDER, {"corba.endpoints:" + lab->address(2), "exec_cxt.periodic.rate:0.125"});
    ASSERT_TRUE(waitState(3, "Parlune0", "Inactive")) << speech.err();
    ASSERT_TRUE(waitState(3, "E2eSender0", "Inactive")) << sender.err();
    ASSERT_EQ(0, rtctl(3, {"connect", "E2eSender0.out", "Parlune0.in"}).status);
    ASSERT_EQ(0, rtctl(3, {"conf", "E2eSender0", "set", "count", "3"}).status);
    ASSERT_EQ(0, rtctl(3, {"conf", "E2eSender0", "set", "size", "1"}).status);
    ASSERT_EQ(0, rtctl(3, {"activate", "Parlune0"}).status);
    ASSERT_EQ(0, rtctl(3, {"activate", "E2eSender0"}).status);
    EXPECT_TRUE(waitUntil([&] { return spoken().size() >= 3; }, seconds(40)))
        << sender.err() << speech.err();
    EXPECT_EQ((std::vector<std::string>{"0:", "1:", "2:"}), spoken());
    EXPECT_EQ(std::string::npos, sender.err().find("WARNING")) << sender.err();
}
#endif

#ifdef STREAM_SENDER
TEST_F(MultiHost, AReceiverHostTakenDownMidStreamLeavesTheSenderOnTimeAndGetsLaterText) {
    makeLab(3);
    startNaming();
    // Host 3 streams 1000 strings at 100 Hz to the receiver on host 2, which
    // loses its link for four seconds in the middle.
    Process& receiver = launch(
        2, STREAM_RECEIVER, {"corba.endpoints:" + lab->address(2), "exec_cxt.periodic.rate:1000"});
    Process& sender = launch(3, STREAM_SENDER,
                             {"corba.endpoints:" + lab->address(3), "exec_cxt.periodic.rate:100"});
    ASSERT_TRUE(waitState(3, "E2eReceiver0", "Inactive")) << receiver.err();
    ASSERT_TRUE(waitState(3, "E2eSender0", "Inactive")) << sender.err();
    RunResult c = rtctl(3, {"connect", "E2eSender0.out", "E2eReceiver0.in", "-p",
                            "dataport.subscription_type=new"});
    ASSERT_EQ(0, c.status) << c.err;
    ASSERT_EQ(0, rtctl(3, {"conf", "E2eSender0", "set", "count", "1000"}).status);
    ASSERT_EQ(0, rtctl(3, {"activate", "E2eReceiver0"}).status);
    ASSERT_EQ(0, rtctl(3, {"activate", "E2eSender0"}).status);
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(seconds(2));
    ASSERT_TRUE(lab->linkDown(2));
    std::this_thread::sleep_for(seconds(4));
    ASSERT_TRUE(lab->linkUp(2));

    // A context held up by the dead peer would need minutes for the rest
    // (every send waiting for its timeout); on time it ends near 10 s.
    ASSERT_TRUE(sender.waitForOutput("e2e-sender", 60000)) << sender.err();
    const std::string sent = lastLine(sender.out(), "e2e-sender");
    EXPECT_EQ("1000", field(sent, "count")) << sent;
    EXPECT_EQ("0", field(sent, "failed")) << sent;
    // Strings sent after the link came back reach the receiver, the last one included.
    ASSERT_TRUE(receiver.waitForOutput("e2e-receiver", 30000)) << receiver.err();
    const std::string got = lastLine(receiver.out(), "e2e-receiver");
    EXPECT_EQ("999", field(got, "last_seq")) << got;
    // At most 200 went before the link went down: the rest came after it was back.
    EXPECT_GE(std::atoi(field(got, "received").c_str()), 300) << got;
    EXPECT_TRUE(sender.running());
    EXPECT_TRUE(receiver.running());
    // Measured, not judged: how the context kept its rate through the outage.
    std::printf("link-down: sender %s; receiver %s; %.1f s to the receiver's report\n",
                sent.c_str(), got.c_str(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    RecordProperty("sender", sent);
    RecordProperty("receiver", got);
}
#endif
