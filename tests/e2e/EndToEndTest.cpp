// Two processes and the tool, as an operator would use them.
#include "../stringout/GuiDriver.h"
#include "E2e.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

using namespace e2e;
using testsupport::waitUntil;

namespace {

class EndToEnd : public ::testing::Test {
  protected:
    TempDir dir;
    TempDir wav;
};

TEST_F(EndToEnd, KeystrokesInTheWindowAreSpokenByTheOtherProcess) {
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path());
    auto window = launch(WINDOW_LAUNCHER, dir, wav.path());
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    ASSERT_TRUE(waitRegistered(dir, "ParluneTest0"));
    ASSERT_TRUE(rtctl(dir, {"connect", "ParluneTest0.out", "Parlune0.in"}).ok);
    ASSERT_TRUE(rtctl(dir, {"activate", "Parlune0"}).ok);
    ASSERT_TRUE(rtctl(dir, {"activate", "ParluneTest0"}).ok);

    const std::string window_id = guitest::waitForWindow();
    ASSERT_FALSE(window_id.empty()) << "no input window appeared";
    guitest::focus(window_id);
    guitest::keys({"Tab"});
    guitest::type("robots can talk");
    guitest::keys({"alt+s"});
    ASSERT_TRUE(waitSpoken(wav.path(), 1));
    EXPECT_EQ(std::vector<std::string>{"robots can talk"}, spokenTexts(wav.path()));

    window->signal(SIGINT);
    speech->signal(SIGINT);
    ASSERT_TRUE(window->wait());
    ASSERT_TRUE(speech->wait());
    EXPECT_TRUE(window->exitedWith(0)) << window->err();
    EXPECT_TRUE(speech->exitedWith(0)) << speech->err();
    // Orderly exits remove the naming entries.
    EXPECT_FALSE(rtctl(dir, {"state", "Parlune0"}).ok);
}

TEST_F(EndToEnd, InjectedStringsArriveOnceAndInOrder) {
    // At 20 Hz the engine's queue never fills, even on a loaded machine.
    auto speech = launch(
        SPEECH_LAUNCHER, dir, wav.path(),
        {"-o", "manager.components.preactivation:Parlune0", "-o", "exec_cxt.periodic.rate:20"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    std::vector<std::string> args = {"inject", "Parlune0.in"};
    std::vector<std::string> sent;
    for (int i = 1; i <= 100; ++i) sent.push_back("string " + std::to_string(i));
    args.insert(args.end(), sent.begin(), sent.end());
    ToolResult r = rtctl(dir, args, 60000);
    ASSERT_TRUE(r.ok) << r.err;
    // A hundred texts take about 10 s, and twice that under a sanitizer.
    ASSERT_TRUE(waitSpoken(wav.path(), 100, 60000));
    // A last string, spoken after everything before it: nothing sent earlier
    // can still be on its way once it is there.
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", "the end"}).ok);
    ASSERT_TRUE(waitSpoken(wav.path(), 101));
    sent.push_back("the end");
    EXPECT_EQ(sent, spokenTexts(wav.path()));
    EXPECT_EQ("Active\n", rtctl(dir, {"state", "Parlune0"}).out);
}

TEST_F(EndToEnd, NoBurstSpeedOrCrashingTextPutsTheVoiceIntoError) {
    // espeak-ng, the synthesiser the crash inputs were found against (the
    // default English voice reads them).
    auto speech =
        launch(SPEECH_LAUNCHER, dir, wav.path(),
               {"-o", "manager.components.preactivation:Parlune0"}, {"PARLUNE_VOICE=espeak:en"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    // 40 strings at once, then speeds the engine takes as its range's ends,
    // then a text that crashes the synthesiser between two good ones.
    std::vector<std::string> sent;
    std::vector<std::string> args = {"inject", "Parlune0.in"};
    for (int i = 1; i <= 40; ++i) sent.push_back("burst " + std::to_string(i));
    args.insert(args.end(), sent.begin(), sent.end());
    ASSERT_TRUE(rtctl(dir, args, 60000).ok);
    ASSERT_TRUE(waitSpoken(wav.path(), sent.size(), 120000));
    for (const char* speed : {"-5", "0", "49", "301", "99999", "0x96"}) {
        ASSERT_TRUE(rtctl(dir, {"conf", "Parlune0", "set", "speed", speed}).ok) << speed;
        sent.push_back(std::string("at speed ") + speed);
        ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", sent.back()}).ok);
        ASSERT_TRUE(waitSpoken(wav.path(), sent.size(), 60000)) << speed;
    }
    ASSERT_TRUE(rtctl(dir, {"conf", "Parlune0", "set", "speed", "100"}).ok);
    const std::string crash =
        testsupport::readFile(std::string(CRASH_INPUTS_DIR) + "/initial-then-long-word.txt");
    ASSERT_FALSE(crash.empty());
    ASSERT_TRUE(
        rtctl(dir, {"inject", "Parlune0.in", "before the crash", crash, "after the crash"}).ok);
    sent.push_back("before the crash");
    sent.push_back("after the crash");
    ASSERT_TRUE(waitSpoken(wav.path(), sent.size(), 60000));
    EXPECT_EQ(sent, spokenTexts(wav.path()));
    EXPECT_EQ("Active\n", rtctl(dir, {"state", "Parlune0"}).out);
}

TEST_F(EndToEnd, SpeedSetFromTheToolTakesEffectAtTheNextString) {
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path(),
                         {"-o", "manager.components.preactivation:Parlune0"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    const std::string text = "the quick brown fox jumps over the lazy dog";
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", text}).ok);
    ASSERT_TRUE(waitWavs(wav.path(), 1));
    const double normal = wavSeconds(lastWav(wav.path()));

    ASSERT_TRUE(rtctl(dir, {"conf", "Parlune0", "set", "speed", "200"}).ok);
    EXPECT_EQ("200\n", rtctl(dir, {"conf", "Parlune0", "get", "speed"}).out);
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", text}).ok);
    ASSERT_TRUE(waitWavs(wav.path(), 2));
    const double fast = wavSeconds(lastWav(wav.path()));
    ASSERT_GT(normal, 0.5);
    EXPECT_LT(fast, normal * 0.7) << "100: " << normal << " s, 200: " << fast << " s";
}

TEST_F(EndToEnd, SenderSurvivesAKilledReceiverAndConnectsToANewOne) {
    // SampleEcho echoes what arrives on its "in" to "out", which feeds the speech component.
    auto echo = launch(ECHO_LAUNCHER, dir, wav.path(),
                       {"-o", "manager.components.preactivation:SampleEcho0"});
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path(),
                         {"-o", "manager.components.preactivation:Parlune0"});
    ASSERT_TRUE(waitRegistered(dir, "SampleEcho0"));
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    ASSERT_TRUE(rtctl(dir, {"connect", "SampleEcho0.out", "Parlune0.in"}).ok);
    ASSERT_TRUE(rtctl(dir, {"inject", "--keep", "SampleEcho0.in", "before"}).ok);
    ASSERT_TRUE(waitSpoken(wav.path(), 1));

    speech->signal(SIGKILL);
    speech->wait();
    // Strings sent into the dead connection are lost, nothing more.
    ASSERT_TRUE(rtctl(dir, {"inject", "SampleEcho0.in", "into the void", "again"}).ok);
    EXPECT_EQ("Active\n", rtctl(dir, {"state", "SampleEcho0"}).out);

    TempDir wav2;
    auto speech2 = launch(SPEECH_LAUNCHER, dir, wav2.path(),
                          {"-o", "manager.components.preactivation:Parlune0"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    ASSERT_TRUE(rtctl(dir, {"connect", "SampleEcho0.out", "Parlune0.in"}).ok);
    ASSERT_TRUE(rtctl(dir, {"inject", "SampleEcho0.in", "after"}).ok);
    ASSERT_TRUE(waitSpoken(wav2.path(), 1));
    EXPECT_EQ(std::vector<std::string>{"echo:after"}, spokenTexts(wav2.path()));
    echo->signal(SIGTERM);
    ASSERT_TRUE(echo->wait());
    EXPECT_TRUE(echo->exitedWith(0));
}

TEST_F(EndToEnd, ConnectionsAreNotDoubledAndDeadOnesAreSwept) {
    auto echo = launch(ECHO_LAUNCHER, dir, wav.path());
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path());
    ASSERT_TRUE(waitRegistered(dir, "SampleEcho0"));
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    ASSERT_TRUE(rtctl(dir, {"connect", "SampleEcho0.out", "Parlune0.in"}).ok);
    // The same pair again would speak every string twice.
    EXPECT_FALSE(rtctl(dir, {"connect", "SampleEcho0.out", "Parlune0.in"}).ok);
    EXPECT_FALSE(rtctl(dir, {"connect", "Parlune0.in", "SampleEcho0.out"}).ok);
    EXPECT_NE(std::string::npos, rtctl(dir, {"ls", "-l"}).out.find("connectors=1"));

    // The sender dies without a word; the receiver's port notices when asked.
    echo->signal(SIGKILL);
    echo->wait();
    const std::string listing = rtctl(dir, {"ls", "-l"}).out;
    EXPECT_EQ(std::string::npos, listing.find("connectors=1")) << listing;
    EXPECT_NE(std::string::npos,
              listing.find("in  DataInPort  IDL:RTC/TimedString:1.0  connectors=0"))
        << listing;
}

TEST_F(EndToEnd, NamingServiceAbsentThenBack) {
    // Nothing listens on port 1: the component runs, unregistered, and says so once.
    auto speech = launch(
        SPEECH_LAUNCHER, dir, wav.path(),
        {"-o", "corba.nameservers:127.0.0.1:1", "-o", "manager.components.preactivation:Parlune0"});
    const std::string log_file = dir.file("ParluneRTCComp.log");
    auto logged = [&](const std::string& text) {
        return testsupport::readFile(log_file).find(text) != std::string::npos;
    };
    waitUntil([&] { return logged("not reachable") && logged("state INACTIVE -> ACTIVE"); },
              std::chrono::seconds(15));
    const std::string log = testsupport::readFile(log_file);
    EXPECT_NE(std::string::npos, log.find("naming service 127.0.0.1:1 not reachable")) << log;
    EXPECT_NE(std::string::npos, log.find("state INACTIVE -> ACTIVE")) << log;
    speech->signal(SIGTERM);
    ASSERT_TRUE(speech->wait());
    EXPECT_TRUE(speech->exitedWith(0));
}

TEST_F(EndToEnd, NamingServiceKilledAndRestarted) {
    // A naming service of this test's own, so that it can be killed.
    const std::string port = std::to_string(20000 + getpid() % 20000);
    const std::string address = "127.0.0.1:" + port;
    auto start_naming = [&](const std::string& data) {
        std::filesystem::create_directories(data);
        return std::unique_ptr<Process>(
            new Process({"/usr/bin/omniNames", "-start", port, "-always", "-datadir", data,
                         "-ORBendPoint", "giop:tcp:127.0.0.1:" + port},
                        dir.path()));
    };
    auto naming = start_naming(dir.file("ns1"));
    ASSERT_TRUE(naming->waitForOutput("Checkpointing completed", 10000, true)) << naming->err();
    auto speech = launch(
        SPEECH_LAUNCHER, dir, wav.path(),
        {"-o", "corba.nameservers:" + address, "-o", "manager.components.preactivation:Parlune0"});
    auto state = [&] { return rtctl(dir, {"state", "Parlune0"}, 30000, address); };
    ASSERT_TRUE(waitUntil([&] { return state().ok; }, std::chrono::seconds(10),
                          std::chrono::milliseconds(100)));
    ASSERT_EQ("Active\n", state().out);

    naming->signal(SIGKILL);
    naming->wait();
    EXPECT_FALSE(state().ok);

    // A fresh, empty naming service on the same address learns the component
    // at its next renewal (every 10 s).
    auto naming2 = start_naming(dir.file("ns2"));
    EXPECT_TRUE(waitUntil([&] { return state().ok; }, std::chrono::seconds(15),
                          std::chrono::milliseconds(100)));
    speech->signal(SIGINT);
    ASSERT_TRUE(speech->wait());
    EXPECT_TRUE(speech->exitedWith(0));
}

TEST_F(EndToEnd, ToolErrorsAreOneLineAndNonZero) {
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path());
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"connect", "Parlune0.nosuchport", "Parlune0.in"},
             {"connect", "Nobody0.out", "Parlune0.in"},
             {"activate", "Nobody0"},
             {"conf", "Parlune0", "get", "nosuchparameter"},
         }) {
        ToolResult r = rtctl(dir, args);
        EXPECT_FALSE(r.ok) << args[0];
        EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n')) << r.err;
    }
    // Still serving.
    EXPECT_EQ("Inactive\n", rtctl(dir, {"state", "Parlune0"}).out);
}

}  // namespace
