// The synthesis helper dying, hanging or crashing on a text: that text is
// skipped and counted, no Play fails for it, this process never feels it,
// and a fresh helper speaks the texts after it.
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "EngineFixture.h"
#include "ProcessProbe.h"
#include "WavFile.h"
#include "support/Files.h"
#include "support/Sanitizers.h"
#include "support/Wait.h"

namespace parlune::test {
namespace {

class HelperFailure : public EngineFixture {
  protected:
    pid_t onlyHelper() {
        std::vector<pid_t> helpers = ProcessProbe::helpers();
        EXPECT_EQ(helpers.size(), 1u);
        return helpers.empty() ? -1 : helpers.front();
    }

    // Waits until `pid` is no longer a child of ours (killed and reaped).
    bool waitGone(pid_t pid) {
        for (int i = 0; i < 3000; ++i) {
            std::vector<ProcessProbe::Child> children = ProcessProbe::children();
            if (std::none_of(children.begin(), children.end(),
                             [pid](const ProcessProbe::Child& c) { return c.pid == pid; })) {
                return true;
            }
            pause(20);
        }
        return false;
    }
};

TEST_F(HelperFailure, HelperHoldsOnlyStandardStreamsAndItsSocket) {
    // With every voice in the process itself: the Japanese voice too, and
    // once it has spoken.
    for (const char* voice : {"espeak:en", "auto"}) {
        ::setenv("PARLUNE_VOICE", voice, 1);
        ParluneDaHandle h = create();
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(ParluneDa_Play(h, "準備ができました。", 100, 0, 0, 0), PARLUNE_DA_OK);
        EXPECT_FALSE(waitForUtterance("準備ができました。").empty()) << voice;
        pid_t helper = onlyHelper();
        // A sanitized helper may still be readying its voices after the
        // first text; a descriptor kept for good never goes away.
        const std::vector<int> standard{0, 1, 2, 3};
        testsupport::waitUntil([&] { return ProcessProbe::fdsOf(helper) == standard; },
                               std::chrono::seconds(20));
        std::string targets;
        for (int fd : ProcessProbe::fdsOf(helper)) {
            char target[256] = {};
            std::string link = "/proc/" + std::to_string(helper) + "/fd/" + std::to_string(fd);
            ::readlink(link.c_str(), target, sizeof target - 1);
            targets += std::to_string(fd) + " " + target + "; ";
        }
        EXPECT_EQ(ProcessProbe::fdsOf(helper), standard) << voice << ": " << targets;
        EXPECT_TRUE(ProcessProbe::childrenOf(helper).empty()) << voice;
        release(h);
    }
}

TEST_F(HelperFailure, KilledWhileIdleIsReplacedWithoutAFailure) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    pid_t first = onlyHelper();
    ASSERT_EQ(::kill(first, SIGKILL), 0);
    EXPECT_TRUE(waitGone(first));

    ASSERT_EQ(ParluneDa_Play(h, "After the kill.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("After the kill.").empty());
    EXPECT_EQ(ParluneDa_Play(h, "No failure to report.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_NE(onlyHelper(), first);
    char line[256];
    EXPECT_EQ(ParluneDa_NextWarning(h, line, sizeof line), 0) << "one end is no run of them";
}

TEST_F(HelperFailure, HungHelperIsKilledItsTextSkippedAndTheNextSpoken) {
    // Long enough for a sanitized helper to greet and speak; the stopped one
    // never answers whatever the limit.
    ::setenv("PARLUNE_HELPER_TIMEOUT_MS", "2000", 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    pid_t hung = onlyHelper();
    ASSERT_EQ(::kill(hung, SIGSTOP), 0);

    ASSERT_EQ(ParluneDa_Play(h, "Lost in a hung helper.", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "Spoken by the next helper.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Spoken by the next helper.").empty());
    EXPECT_TRUE(waitGone(hung));
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 1);
    EXPECT_EQ(ParluneDa_Play(h, "No failure is left to report.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_TRUE(utterancesOf("Lost in a hung helper.").empty());
}

TEST_F(HelperFailure, HelperThatEndsRightAfterGreetingIsRestartedWithPauses) {
    TempDir marks;
    const std::string starts = marks.file("starts");
    ::setenv("PARLUNE_HELPER", PARLUNE_FAKE_HELPER, 1);
    ::setenv("FAKE_HELPER_MODE", "short-lived", 1);
    ::setenv("FAKE_HELPER_MARK", starts.c_str(), 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    // Idle for three seconds: pauses of 0.1, 0.2, 0.4, 0.8 and 1.6 s fit in,
    // so at most a handful of starts (without pauses: hundreds).
    pause(3000);
    const std::string lines = readFile(starts);
    const long count = std::count(lines.begin(), lines.end(), '\n');
    EXPECT_GE(count, 3) << "not restarted at all";
    EXPECT_LE(count, 8) << "restarted in a spin";
    // One warning for the whole run, not one per start.
    char line[256];
    EXPECT_EQ(ParluneDa_NextWarning(h, line, sizeof line), 1);
    EXPECT_NE(std::string(line).find("keeps ending right after it starts"), std::string::npos)
        << line;
    EXPECT_EQ(ParluneDa_NextWarning(h, line, sizeof line), 0);
    EXPECT_EQ(ParluneDa_NextWarning(h, nullptr, sizeof line), -1);
    EXPECT_EQ(ParluneDa_NextWarning(h, line, 0), -1);
    // A text is not kept waiting for the pause: it gets a helper at once and,
    // since that one ends too, is skipped.
    ASSERT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "Nobody speaks this.", 100, 0, 0, 0), PARLUNE_DA_OK);
    std::vector<ParluneDaEvent> events = eventsThrough(h, 1, 5);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2].kind, PARLUNE_DA_EVENT_SKIPPED);
}

TEST_F(HelperFailure, HelperThatCannotBeRestartedFailsTheNextPlayWithoutLosingIt) {
    // A copy of the helper that disappears once started: the next start fails.
    TempDir bin;
    const std::string copy = bin.file("parlune-da-helper");
    ASSERT_EQ(
        ::link(PARLUNE_HELPER, copy.c_str()) == 0 || ::symlink(PARLUNE_HELPER, copy.c_str()) == 0,
        true);
    ::setenv("PARLUNE_HELPER", copy.c_str(), 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(::unlink(copy.c_str()), 0);
    ASSERT_EQ(::kill(onlyHelper(), SIGKILL), 0);

    ASSERT_EQ(ParluneDa_Play(h, "No helper for this one.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_EQ(waitForFailure(h), PARLUNE_DA_E_SYNTHESIS);
    // The failure may come from the replacement that failed while idle,
    // just before the speaker takes the text and counts it skipped.
    EXPECT_TRUE(waitForSkipped(h, 1));
}

TEST_F(HelperFailure, HostThatReapsChildrenItselfKeepsItsVoice) {
    // With SIGCHLD ignored the kernel reaps ended helpers at once, so their
    // numbers can be reused before the engine looks: it must neither hang
    // nor signal by number.
    struct sigaction ignore {};
    struct sigaction before {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGCHLD, &ignore, &before), 0);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    pid_t first = onlyHelper();
    ASSERT_EQ(::kill(first, SIGKILL), 0);
    EXPECT_TRUE(waitGone(first));
    EXPECT_EQ(ParluneDa_Play(h, "Reaped by the host.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Reaped by the host.").empty());
    release(h);
    ASSERT_EQ(::sigaction(SIGCHLD, &before, nullptr), 0);
    // The helper is dead when Release returns; the kernel may take a moment
    // more to remove what is left of a child it reaps itself.
    bool none = false;
    for (int i = 0; i < 250 && !(none = ProcessProbe::children().empty()); ++i) {
        pause(20);
    }
    EXPECT_TRUE(none);
}

// The Japanese voice runs inside the helper: a crash while it makes a text
// ends only the helper, that text is skipped, and the next is spoken.
TEST_F(HelperFailure, ACrashInTheJapaneseVoiceCostsOnlyItsText) {
    std::string longText;
    // Long enough that the helper is still at it when the signal comes, on a
    // busy machine too.
    for (int i = 0; i < 200; ++i) {
        longText += "ロボットは台所へ移動したあと、充電ステーションに戻って次の指示を待ちます。";
    }
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    pid_t crashed = onlyHelper();
    ASSERT_EQ(ParluneDa_Play(h, longText.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "充電が終わりました。", 100, 0, 0, 0), PARLUNE_DA_OK);
    // Once the long text is under way (its WAV file begun; before that a
    // crash would only cost the helper's warm-up, and the text would go to a
    // fresh one), faulted in the middle of a sentence. Between sentences it
    // waits for the next in read(), and a helper lost there is replaced and
    // given the next sentence, rightly, as one that was never sent. Seen
    // running, it could still finish its sentence between our look and the
    // signal on a busy machine, so it is stopped first and faulted only if it
    // stopped computing, in no system call ("-1 ..."): its request is then
    // still unanswered when it dies.
    ASSERT_TRUE(testsupport::waitUntil([&] { return !m_wavDir.namesEndingIn(".wav.part").empty(); },
                                       std::chrono::seconds(60), std::chrono::milliseconds(1)));
    const std::string syscallPath = "/proc/" + std::to_string(crashed) + "/syscall";
    const auto stoppedComputing = [&] {
        const bool stopped = testsupport::waitUntil(
            [&] {
                const std::vector<ProcessProbe::Child> children = ProcessProbe::children();
                return std::any_of(children.begin(), children.end(), [&](const auto& c) {
                    return c.pid == crashed && c.state == 'T';
                });
            },
            std::chrono::seconds(5), std::chrono::milliseconds(1));
        return stopped && readFile(syscallPath).compare(0, 3, "-1 ") == 0;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool hit = false;
    while (!hit && std::chrono::steady_clock::now() < deadline) {
        if (readFile(syscallPath).compare(0, 7, "running") == 0 && ::kill(crashed, SIGSTOP) == 0) {
            // A stopped process takes the fault as it goes on.
            hit = stoppedComputing() && ::kill(crashed, SIGSEGV) == 0;
            ::kill(crashed, SIGCONT);
        }
        if (!hit) {
            ::usleep(200);
        }
    }
    ASSERT_TRUE(hit) << "the helper was never caught in the middle of a sentence";
    EXPECT_TRUE(waitGone(crashed));
    EXPECT_FALSE(waitForUtterance("充電が終わりました。").empty());
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 1);
    EXPECT_TRUE(utterancesOf(longText).empty()) << "a crashed utterance was published";
    release(h);
}

// A thousand Japanese sentences (a hundred texts of ten; two hundred under a
// sanitizer, whose helper is several times slower) leave the helper and this
// process with the descriptors and threads they had after the first few.
// They are spoken fast, to spend the time on sentences rather than sound.
TEST_F(HelperFailure, AThousandJapaneseSentencesLeaveNoDescriptorOrThread) {
    const std::vector<std::string> sentences = {"はい。", "充電が終わりました。",
                                                "前方に障害物があります。", "了解しました。"};
    auto threadsOf = [](pid_t pid) {
        return testsupport::namesIn("/proc/" + std::to_string(pid) + "/task").size();
    };
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    pid_t helper = onlyHelper();
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(ParluneDa_Play(h, sentences[i % 4].c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    }
    waitForWavs(8);
    std::vector<int> helperFds = ProcessProbe::fdsOf(helper);
    size_t helperThreads = threadsOf(helper);
    size_t ourFds = ProcessProbe::openFdCount();
    size_t ourThreads = ProcessProbe::threadCount();
    const int texts = testsupport::rounds(100, 20);
    for (int i = 0; i < texts; ++i) {
        std::string ten;
        for (int j = 0; j < 10; ++j) {
            ten += sentences[(i + j) % 4];
        }
        ASSERT_EQ(ParluneDa_Play(h, ten.c_str(), 300, 0, 0, 0), PARLUNE_DA_OK);
    }
    waitForWavs(8 + texts, 600);
    EXPECT_EQ(onlyHelper(), helper);
    EXPECT_EQ(ProcessProbe::fdsOf(helper), helperFds);
    EXPECT_EQ(threadsOf(helper), helperThreads);
    EXPECT_EQ(ProcessProbe::openFdCount(), ourFds);
    EXPECT_EQ(ProcessProbe::threadCount(), ourThreads);
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 0);
    release(h);
}

// Texts on which espeak-ng as packaged crashes (found by fuzzing Play).
class CrashInput : public HelperFailure, public ::testing::WithParamInterface<std::string> {};

TEST_P(CrashInput, BetweenTwoGoodTextsCostsOnlyItself) {
    const std::string text = readFile(std::string(PARLUNE_CRASH_INPUTS_DIR) + "/" + GetParam());
    ASSERT_FALSE(text.empty());
    ::setenv("PARLUNE_VOICE", "espeak:en", 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    pid_t before = onlyHelper();

    ASSERT_EQ(ParluneDa_Play(h, "Before the crash.", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "After the crash.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Before the crash.").empty());
    EXPECT_FALSE(waitForUtterance("After the crash.").empty());
    EXPECT_TRUE(waitGone(before));
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 1);
    EXPECT_EQ(ParluneDa_Play(h, "Still speaking.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Still speaking.").empty());
    EXPECT_TRUE(utterancesOf(text).empty()) << "a crashed utterance was published";
    EXPECT_EQ(ParluneDa_SkippedTexts(nullptr), -1);
}

// The default English voice reads the same texts to the end.
TEST_P(CrashInput, IsSpokenWholeByTheEnglishVoice) {
    const std::string text = readFile(std::string(PARLUNE_CRASH_INPUTS_DIR) + "/" + GetParam());
    ASSERT_FALSE(text.empty());
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "After it.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("After it.").empty());
    EXPECT_EQ(utterancesOf(text).size(), 1u);
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 0);
}

std::vector<std::string> crashInputs() {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(PARLUNE_CRASH_INPUTS_DIR)) {
        while (dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') {
                names.push_back(entry->d_name);
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(0, info.param.rfind('.'));
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Regression, CrashInput, ::testing::ValuesIn(crashInputs()), testName);

}  // namespace
}  // namespace parlune::test
