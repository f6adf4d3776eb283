// Ten thousand texts from a sender (rtctl inject, one connection per batch)
// to a Parlune receiver process speaking into WAV files, the receiver
// stopped and started again every 2000 texts. Every text sent while a
// receiver was up must be spoken exactly once and in order; a text sent
// while none is up is refused by the sender and spoken by nobody.
#include "../e2e/E2e.h"
#include "support/ProcessUsage.h"
#include "support/Soak.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
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

// Texts per rtctl call.
constexpr int kBatch = 50;
// A new batch goes out only when this few texts are still unspoken, so the
// receiving port never holds more than its ring's 64 texts even when the
// receiver stalls: nothing can be lost there by overwriting.
constexpr int kUnspokenBeforeBatch = 64 - kBatch;
// The receiver's cycle; rtctl waits one cycle between the texts of a batch.
const char* const kRate = "exec_cxt.periodic.rate:200";
size_t wavsIn(const std::string& dir) { return testsupport::namesIn(dir, ".wav").size(); }

// Waits until dir holds count finished utterances; false when none is added
// for 60 s.
bool waitUtterances(const std::string& dir, size_t count) {
    size_t seen = wavsIn(dir);
    while (seen < count) {
        const bool moved = testsupport::waitUntil([&] { return wavsIn(dir) > seen; }, seconds(60),
                                                  milliseconds(20));
        if (!moved) return false;
        seen = wavsIn(dir);
    }
    return true;
}

// Where the spoken texts differ from the sent ones, in a few lines; "" when
// they are the same.
std::string difference(const std::vector<std::string>& sent,
                       const std::vector<std::string>& spoken) {
    if (sent == spoken) return "";
    std::ostringstream why;
    why << sent.size() << " sent, " << spoken.size() << " spoken";
    const auto first = std::mismatch(sent.begin(), sent.end(), spoken.begin(), spoken.end());
    const size_t at = static_cast<size_t>(first.first - sent.begin());
    why << "; first difference at position " << at << ": sent '"
        << (first.first != sent.end() ? *first.first : "(nothing)") << "', spoken '"
        << (first.second != spoken.end() ? *first.second : "(nothing)") << "'";
    return why.str();
}

// Every utterance's WAV file holds sound.
std::string silentUtterance(const std::string& dir) {
    for (const std::string& wav : filesEndingIn(dir, ".wav"))
        if (wavSeconds(wav) <= 0.0) return wav;
    return "";
}

TEST(ReceiverRestartSoak, EveryTextSentWhileAReceiverIsUpIsSpokenOnceAndInOrder) {
    const int total = envCount("PARLUNE_SOAK_TEXTS", 10000);
    const int per_receiver = envCount("PARLUNE_SOAK_RESTART_EVERY", 2000);
    const auto start = std::chrono::steady_clock::now();
    TempDir dir;
    int next = 1;  // number of the next text
    int lifetime = 0;
    while (next <= total) {
        ++lifetime;
        const auto lifetime_start = std::chrono::steady_clock::now();
        // One directory per receiver: its utterances are numbered from 1.
        TempDir wav;
        auto receiver = launch(SPEECH_LAUNCHER, dir, wav.path(),
                               {"-o", "manager.components.preactivation:Parlune0", "-o", kRate});
        ASSERT_TRUE(waitRegistered(dir, "Parlune0")) << "receiver " << lifetime;
        ASSERT_TRUE(testsupport::waitUntil(
            [&] {
                return rtctl(dir, {"state", "Parlune0"}).out == "Active\n";
            },
            seconds(15), milliseconds(100)));
        // The fastest speech: shorter files, the same path through the engine.
        ASSERT_TRUE(rtctl(dir, {"conf", "Parlune0", "set", "speed", "300"}).ok);

        std::vector<std::string> sent;
        UsageWatch use;
        const int last = std::min(total, next + per_receiver - 1);
        while (next <= last) {
            ASSERT_TRUE(waitUtterances(wav.path(), sent.size() > kUnspokenBeforeBatch
                                                       ? sent.size() - kUnspokenBeforeBatch
                                                       : 0))
                << "receiver " << lifetime << " stopped speaking at " << wavsIn(wav.path())
                << " of " << sent.size();
            std::vector<std::string> args = {"inject", "-w", "0.2", "Parlune0.in"};
            for (int i = 0; i < kBatch && next <= last; ++i, ++next) {
                sent.push_back(std::to_string(next));
                args.push_back(sent.back());
            }
            const ToolResult r = rtctl(dir, args, 60000);
            ASSERT_TRUE(r.ok) << "receiver " << lifetime << ", texts up to " << sent.back() << ": "
                              << r.err;
            use.sample(receiver->pid());
        }
        ASSERT_TRUE(waitUtterances(wav.path(), sent.size()))
            << "receiver " << lifetime << " stopped speaking at " << wavsIn(wav.path()) << " of "
            << sent.size();
        use.sample(receiver->pid());
        const std::vector<pid_t> helpers = testsupport::childrenOf(receiver->pid());

        receiver->signal(SIGINT);
        ASSERT_TRUE(receiver->wait(20000)) << "receiver " << lifetime << " did not stop";
        EXPECT_TRUE(receiver->exitedWith(0)) << receiver->err();
        for (pid_t helper : helpers)
            EXPECT_EQ("", testsupport::commandOf(helper))
                << "receiver " << lifetime << " left its child " << helper << " running";

        EXPECT_EQ("", difference(sent, spokenTexts(wav.path()))) << "receiver " << lifetime;
        EXPECT_EQ(sent.size(), wavsIn(wav.path())) << "receiver " << lifetime;
        EXPECT_EQ("", silentUtterance(wav.path())) << "receiver " << lifetime;
        // The receiver's connections came and went one per batch.
        EXPECT_LE(use.peak.threads, use.first.threads + kSoakThreadMargin)
            << "receiver " << lifetime;
        EXPECT_LE(use.peak.descriptors, use.first.descriptors + kSoakDescriptorMargin)
            << "receiver " << lifetime;
        std::printf("receiver %d: texts %s..%s spoken in %.0f s; %s\n", lifetime,
                    sent.front().c_str(), sent.back().c_str(), secondsSince(lifetime_start),
                    use.summary().c_str());
        std::fflush(stdout);
        if (HasFailure()) return;

        // No receiver now: the sender is told so, and no later receiver
        // speaks the text (its directory must hold only what it was sent).
        const ToolResult refused =
            rtctl(dir, {"inject", "Parlune0.in", "sent while down " + std::to_string(lifetime)});
        EXPECT_FALSE(refused.ok) << "rtctl took a text with no receiver up";
        EXPECT_FALSE(refused.err.empty()) << "rtctl gave no reason";
    }
    std::printf("%d texts through %d receivers in %.0f s\n", total, lifetime, secondsSince(start));
}

}  // namespace
