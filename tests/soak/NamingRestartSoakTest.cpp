// The window and the speech process connected and left idle while their
// naming service is killed (or stopped) and started again, empty, on the same address,
// round after round. The pair must keep working without the naming service
// (a text typed while it is down is spoken), both components must be found
// again after each restart, and neither process may grow.
#include "../e2e/E2e.h"
#include "../stringout/GuiDriver.h"
#include "support/ProcessUsage.h"
#include "support/Soak.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace e2e;

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testsupport::envCount;
using testsupport::kSoakDescriptorMargin;
using testsupport::kSoakThreadMargin;
using testsupport::secondsSince;
using testsupport::UsageWatch;

int occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A port on 127.0.0.1 that was free a moment ago; 0 when none was found.
int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return 0;
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

class NamingRestartSoak : public ::testing::Test {
  protected:
    void SetUp() override {
        port = std::to_string(freePort());
        ASSERT_NE("0", port);
        address = "127.0.0.1:" + port;
        // The launchers and rtctl of E2e.h use this naming service.
        ::setenv("PARLUNE_NAMING", address.c_str(), 1);
    }

    // A fresh, empty naming service on the test's address.
    void startNaming() {
        const std::string data = dir.file("naming" + std::to_string(++namingStarts));
        std::filesystem::create_directories(data);
        naming.reset(new Process({"omniNames", "-start", port, "-always", "-datadir", data,
                                  "-ORBendPoint", "giop:tcp:" + address},
                                 dir.path()));
        ASSERT_TRUE(naming->waitForOutput("Checkpointing completed", 15000, true))
            << "naming service " << namingStarts << " did not start: " << naming->err();
    }

    // Both components resolvable through the naming service; false after 30 s
    // (they renew their entries every 10 s).
    bool bothRegistered() {
        return testsupport::waitUntil(
            [&] {
                return rtctl(dir, {"state", "Parlune0"}).ok &&
                       rtctl(dir, {"state", "ParluneTest0"}).ok;
            },
            seconds(30), milliseconds(500));
    }

    // Types text into the window and presses Submit; true once it is spoken.
    bool say(const std::string& window, const std::string& text) {
        guitest::focus(window);
        // A click into the field, then its whole line selected: the new
        // text replaces the last one.
        guitest::click(window, 40, 21);
        guitest::keys({"End", "shift+Home"});
        guitest::type(text);
        guitest::keys({"alt+s"});
        said.push_back(text);
        return waitSpoken(wav.path(), said.size(), 30000);
    }

    void TearDown() override {
        // What the components logged, to explain a failure.
        if (!HasFailure()) return;
        for (const char* log : {"ParluneRTCComp.log", "ParluneTestComp.log"})
            std::printf("--- %s\n%s\n", log, testsupport::readFile(dir.file(log)).c_str());
    }

    TempDir dir;
    TempDir wav;
    std::string port;
    std::string address;
    int namingStarts = 0;
    std::unique_ptr<Process> naming;
    std::vector<std::string> said;
};

TEST_F(NamingRestartSoak, IdlePairKeepsWorkingAndStaysFlatAcrossRestarts) {
    const int rounds = envCount("PARLUNE_SOAK_NAMING_RESTARTS", 4);
    const int idle_seconds = envCount("PARLUNE_SOAK_IDLE_SECONDS", 35);
    const int total_seconds = envCount("PARLUNE_SOAK_SECONDS", 0);
    const auto start = std::chrono::steady_clock::now();

    startNaming();
    ASSERT_FALSE(HasFatalFailure());
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path(),
                         {"-o", "manager.components.preactivation:Parlune0"});
    auto window = launch(WINDOW_LAUNCHER, dir, wav.path());
    ASSERT_TRUE(bothRegistered());
    ASSERT_TRUE(rtctl(dir, {"connect", "ParluneTest0.out", "Parlune0.in"}).ok);
    ASSERT_TRUE(rtctl(dir, {"activate", "ParluneTest0"}).ok);
    const std::string window_id = guitest::waitForWindow();
    ASSERT_FALSE(window_id.empty()) << "no input window appeared";
    ASSERT_TRUE(say(window_id, "ready"));

    UsageWatch speech_use;
    UsageWatch window_use;
    speech_use.sample(speech->pid());
    window_use.sample(window->pid());
    int round = 0;
    for (;;) {
        const bool more = total_seconds > 0 ? secondsSince(start) < total_seconds : round < rounds;
        if (!more) break;
        ++round;
        std::this_thread::sleep_for(seconds(idle_seconds));  // the pair idles

        // Killed without a word, or stopped in order: both ways by turns.
        naming->signal(round % 2 == 1 ? SIGKILL : SIGTERM);
        ASSERT_TRUE(naming->wait(10000));
        ASSERT_FALSE(rtctl(dir, {"state", "Parlune0"}).ok) << "the naming service is still up";
        ASSERT_TRUE(say(window_id, "without names " + std::to_string(round)))
            << "round " << round << ": a text typed while the naming service was down was lost";

        startNaming();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(bothRegistered()) << "round " << round << ": not registered again";
        ASSERT_TRUE(say(window_id, "round " + std::to_string(round)))
            << "round " << round << ": a text typed after the restart was lost";
        const std::string listing = rtctl(dir, {"ls", "-l"}).out;
        EXPECT_EQ(2, occurrences(listing, "connectors=1"))
            << "round " << round << ": the pair's connection is not one on each side:\n"
            << listing;
        speech_use.sample(speech->pid());
        window_use.sample(window->pid());
        std::printf(
            "round %d (%.0f s): speech threads %d, descriptors %d, RSS %ld KiB; window threads "
            "%d, descriptors %d, RSS %ld KiB\n",
            round, secondsSince(start), speech_use.last.threads, speech_use.last.descriptors,
            speech_use.last.residentKiB, window_use.last.threads, window_use.last.descriptors,
            window_use.last.residentKiB);
        std::fflush(stdout);
    }

    EXPECT_EQ(said, spokenTexts(wav.path()));
    for (const UsageWatch* w : {&speech_use, &window_use}) {
        const char* who = w == &speech_use ? "speech" : "window";
        EXPECT_LE(w->peak.threads, w->first.threads + kSoakThreadMargin) << who;
        EXPECT_LE(w->peak.descriptors, w->first.descriptors + kSoakDescriptorMargin) << who;
        std::printf("%s: %s\n", who, w->summary().c_str());
    }
    std::printf("%d naming service restarts in %.0f s\n", round, secondsSince(start));

    window->signal(SIGINT);
    speech->signal(SIGINT);
    ASSERT_TRUE(window->wait());
    ASSERT_TRUE(speech->wait());
    EXPECT_TRUE(window->exitedWith(0)) << window->err();
    EXPECT_TRUE(speech->exitedWith(0)) << speech->err();
}

}  // namespace
