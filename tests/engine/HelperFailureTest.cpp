// The synthesis helper dying, hanging or crashing on a text: that text is
// skipped and counted, no Play fails for it, this process never feels it,
// and a fresh helper speaks the texts after it.
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "EngineFixture.h"
#include "ProcessProbe.h"
#include "WavFile.h"

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
    ::setenv("PARLUNE_VOICE", "espeak:en", 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ProcessProbe::fdsOf(onlyHelper()), (std::vector<int>{0, 1, 2, 3}));
    release(h);

    // With a Japanese voice: also the two pipes to the Open JTalk run that
    // waits for the next sentence.
    ::unsetenv("PARLUNE_VOICE");
    h = create();
    ASSERT_NE(h, nullptr);
    pid_t helper = onlyHelper();
    std::vector<int> fds = ProcessProbe::fdsOf(helper);
    ASSERT_EQ(fds.size(), 6u);
    EXPECT_EQ(std::vector<int>(fds.begin(), fds.begin() + 4), (std::vector<int>{0, 1, 2, 3}));
    for (size_t i = 4; i < fds.size(); ++i) {
        char target[256] = {};
        std::string link = "/proc/" + std::to_string(helper) + "/fd/" + std::to_string(fds[i]);
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target).compare(0, 5, "pipe:"), 0) << target;
    }
    // That run must not hold our socket: a helper that died would look alive
    // until the run ended too, and the text it was given would be lost.
    std::vector<ProcessProbe::Child> runs;
    for (int i = 0; i < 500 && runs.empty(); ++i, pause(10)) {
        runs = ProcessProbe::childrenOf(helper);
    }
    ASSERT_EQ(runs.size(), 1u);
    for (int fd : ProcessProbe::fdsOf(runs.front().pid)) {
        char target[256] = {};
        std::string link =
            "/proc/" + std::to_string(runs.front().pid) + "/fd/" + std::to_string(fd);
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_NE(std::string(target).compare(0, 7, "socket:"), 0) << fd << " " << target;
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
    EXPECT_GE(ParluneDa_SkippedTexts(h), 1);
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
