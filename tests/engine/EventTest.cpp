// What became of each text, as the event queue tells it: every accepted text
// is queued, started and finished (or skipped, saying why) in the order Play
// took it, numbered as Play counted it; an idle handle says so; a caller
// that never looks costs nothing; bad arguments are refused.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "ProcessProbe.h"
#include "support/Sanitizers.h"
#include "support/Wait.h"

namespace parlune::test {
namespace {

// The end of one text as its events told it.
struct Ending {
    int kind = 0;  // FINISHED or SKIPPED
    std::string detail;
};

class Events : public EngineFixture {
  protected:
    ParluneDaHandle createWithEvents() {
        ParluneDaHandle h = create();
        EXPECT_NE(h, nullptr);
        EXPECT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
        return h;
    }

    // Checks the events of texts `first`..`last` against what every text is
    // promised and returns how each ended.
    static std::map<uint64_t, Ending> endings(const std::vector<ParluneDaEvent>& events,
                                              uint64_t first, uint64_t last) {
        std::map<uint64_t, std::vector<ParluneDaEvent>> byText;
        std::vector<uint64_t> queuedOrder, endedOrder;
        for (size_t i = 0; i < events.size(); ++i) {
            const ParluneDaEvent& e = events[i];
            EXPECT_EQ(e.detail[sizeof e.detail - 1], '\0');
            if (e.kind == PARLUNE_DA_EVENT_IDLE) {
                EXPECT_EQ(e.text, 0u);
                EXPECT_STREQ(e.detail, "");
                // Only right after a text ended.
                EXPECT_TRUE(i > 0 && (events[i - 1].kind == PARLUNE_DA_EVENT_FINISHED ||
                                      events[i - 1].kind == PARLUNE_DA_EVENT_SKIPPED))
                    << "IDLE at " << i;
                continue;
            }
            EXPECT_GE(e.text, first);
            EXPECT_LE(e.text, last);
            byText[e.text].push_back(e);
            if (e.kind == PARLUNE_DA_EVENT_QUEUED) queuedOrder.push_back(e.text);
            if (e.kind == PARLUNE_DA_EVENT_FINISHED || e.kind == PARLUNE_DA_EVENT_SKIPPED)
                endedOrder.push_back(e.text);
        }
        std::vector<uint64_t> expected;
        for (uint64_t t = first; t <= last; ++t) expected.push_back(t);
        EXPECT_EQ(queuedOrder, expected) << "QUEUED not once per text in Play's order";
        EXPECT_EQ(endedOrder, expected) << "texts not ended once each in order";
        EXPECT_TRUE(!events.empty() && events.back().kind == PARLUNE_DA_EVENT_IDLE)
            << "does not end idle";

        std::map<uint64_t, Ending> result;
        for (auto& [text, told] : byText) {
            std::vector<int> kinds;
            for (const ParluneDaEvent& e : told) kinds.push_back(e.kind);
            const int final = kinds.back();
            if (final == PARLUNE_DA_EVENT_FINISHED) {
                EXPECT_EQ(kinds,
                          (std::vector<int>{PARLUNE_DA_EVENT_QUEUED, PARLUNE_DA_EVENT_STARTED,
                                            PARLUNE_DA_EVENT_FINISHED}))
                    << "text " << text;
                if (kinds.size() == 3) {
                    EXPECT_LE(told[0].time_ns, told[1].time_ns) << "text " << text;
                    EXPECT_LE(told[1].time_ns, told[2].time_ns) << "text " << text;
                }
            } else {
                // Skipped, perhaps after it had started.
                EXPECT_EQ(final, PARLUNE_DA_EVENT_SKIPPED) << "text " << text;
                EXPECT_TRUE(kinds.size() == 2 ||
                            (kinds.size() == 3 && kinds[1] == PARLUNE_DA_EVENT_STARTED))
                    << "text " << text;
            }
            for (size_t i = 0; i + 1 < told.size(); ++i) {
                EXPECT_STREQ(told[i].detail, "") << "text " << text;
            }
            result[text] = Ending{final, told.back().detail};
        }
        return result;
    }
};

const Ending kFinished{PARLUNE_DA_EVENT_FINISHED, ""};

Ending skipped(const char* why) { return Ending{PARLUNE_DA_EVENT_SKIPPED, why}; }

bool operator==(const Ending& a, const Ending& b) {
    return a.kind == b.kind && a.detail == b.detail;
}

void PrintTo(const Ending& e, std::ostream* os) {
    *os << "{" << e.kind << " \"" << e.detail << "\"}";
}

TEST_F(Events, BurstIsToldTextByTextNumberedAsPlayCountedAndEndsIdle) {
    ::setenv("PARLUNE_VOICE", "espeak:en", 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    // Text 1 is spoken before events are on: it is counted but not told.
    ASSERT_EQ(ParluneDa_Play(h, "Before the events.", 300, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_FALSE(waitForUtterance("Before the events.").empty());
    ASSERT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK) << "enabling twice is harmless";
    // Refused texts are not counted.
    ASSERT_EQ(ParluneDa_Play(h, nullptr, 100, 0, 0, 0), PARLUNE_DA_E_TEXT_NULL);
    std::string tooLong(PARLUNE_DA_MAX_TEXT_BYTES + 1, 'a');
    ASSERT_EQ(ParluneDa_Play(h, tooLong.c_str(), 100, 0, 0, 0), PARLUNE_DA_E_TEXT_TOO_LONG);

    const std::vector<std::string> texts = {"One.",  "", "Three words here.",
                                            "Four.", "", "Six, the last."};
    for (const std::string& text : texts) {
        ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 300, 0, 0, 0), PARLUNE_DA_OK);
    }
    const uint64_t last = 1 + texts.size();
    std::vector<ParluneDaEvent> events = eventsThrough(h, last);
    std::map<uint64_t, Ending> ends = endings(events, 2, last);
    for (uint64_t t = 2; t <= last; ++t) {
        EXPECT_EQ(ends[t], kFinished) << "text " << t;
    }
    EXPECT_EQ(waitForWavs(1 + texts.size()).size(), 1 + texts.size());

    // Idle and drained: nothing more until the next text.
    ParluneDaEvent event{};
    EXPECT_EQ(ParluneDa_NextEvent(h, &event), 0);
    ASSERT_EQ(ParluneDa_Play(h, "Again.", 300, 0, 0, 0), PARLUNE_DA_OK);
    events = eventsThrough(h, last + 1);
    ends = endings(events, last + 1, last + 1);
    EXPECT_EQ(ends[last + 1], kFinished);
}

TEST_F(Events, CrashInputBetweenTwoGoodTextsIsSkippedAsACrashAlone) {
    const std::string text =
        readFile(std::string(PARLUNE_CRASH_INPUTS_DIR) + "/initial-then-long-word.txt");
    ASSERT_FALSE(text.empty());
    ::setenv("PARLUNE_VOICE", "espeak:en", 1);
    ParluneDaHandle h = createWithEvents();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, "Before the crash.", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "After the crash.", 100, 0, 0, 0), PARLUNE_DA_OK);
    std::map<uint64_t, Ending> ends = endings(eventsThrough(h, 3), 1, 3);
    EXPECT_EQ(ends[1], kFinished);
    EXPECT_EQ(ends[2], skipped("crash"));
    EXPECT_EQ(ends[3], kFinished);
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 1);
}

TEST_F(Events, HungHelperSkipsItsTextAsAHang) {
    // Long enough for a sanitized helper on a busy machine to greet in time.
    ::setenv("PARLUNE_HELPER_TIMEOUT_MS", "3000", 1);
    ParluneDaHandle h = createWithEvents();
    ASSERT_NE(h, nullptr);
    std::vector<pid_t> helpers = ProcessProbe::helpers();
    ASSERT_EQ(helpers.size(), 1u);
    ASSERT_EQ(::kill(helpers[0], SIGSTOP), 0);
    ASSERT_EQ(ParluneDa_Play(h, "Lost in a hung helper.", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "Spoken by the next helper.", 100, 0, 0, 0), PARLUNE_DA_OK);
    std::map<uint64_t, Ending> ends = endings(eventsThrough(h, 2), 1, 2);
    EXPECT_EQ(ends[1], skipped("hang"));
    EXPECT_EQ(ends[2], kFinished);
}

TEST_F(Events, NoHelperToBeStartedSkipsAsNoHelper) {
    TempDir bin;
    const std::string copy = bin.file("parlune-da-helper");
    ASSERT_EQ(::symlink(PARLUNE_HELPER, copy.c_str()), 0);
    ::setenv("PARLUNE_HELPER", copy.c_str(), 1);
    ParluneDaHandle h = createWithEvents();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(::unlink(copy.c_str()), 0);
    std::vector<pid_t> helpers = ProcessProbe::helpers();
    ASSERT_EQ(helpers.size(), 1u);
    ASSERT_EQ(::kill(helpers[0], SIGKILL), 0);
    // Once the engine has noticed (and failed to replace it): a helper that
    // dies with the text already sent to it counts as a crash instead.
    const pid_t dead = helpers[0];
    ASSERT_TRUE(testsupport::waitUntil(
        [dead] {
            std::vector<ProcessProbe::Child> children = ProcessProbe::children();
            return std::none_of(children.begin(), children.end(),
                                [dead](const ProcessProbe::Child& c) { return c.pid == dead; });
        },
        std::chrono::seconds(60)));
    ASSERT_EQ(ParluneDa_Play(h, "No helper for this one.", 100, 0, 0, 0), PARLUNE_DA_OK);
    std::map<uint64_t, Ending> ends = endings(eventsThrough(h, 1), 1, 1);
    EXPECT_EQ(ends[1], skipped("nohelper"));
}

// Back ends made to fail through the real helper: a text is finished partly
// only when some of it was synthesised; with nothing synthesised it is
// skipped as refused, leaving no file. Either way it is counted once.
TEST_F(Events, TextIsFinishedPartlyOnlyWhenSomeOfItWasSynthesised) {
    struct Case {
        const char* faults;
        const char* text;
        Ending ending;
        int64_t skipped;
    };
    const Ending partly{PARLUNE_DA_EVENT_FINISHED, "partly"};
    const Case cases[] = {
        {"fail=flite", "Nothing of this. Is heard.", skipped("refused"), 1},
        {"fail=flite,fail=openjtalk", "Nor this. 日本語も聞こえません。", skipped("refused"), 1},
        {"fail=openjtalk", "English is heard. 日本語は聞こえません。", partly, 1},
        {"fail=espeak", "A voice nobody uses may fail.", kFinished, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        TempDir wavs;
        ::setenv("PARLUNE_AUDIO", ("wav:" + wavs.path()).c_str(), 1);
        ::setenv("PARLUNE_HELPER_FAULTS", c.faults, 1);
        ParluneDaHandle h = createWithEvents();
        ASSERT_NE(h, nullptr) << ParluneDa_CreateError();
        ASSERT_EQ(ParluneDa_Play(h, c.text, 300, 0, 0, 0), PARLUNE_DA_OK);
        EXPECT_EQ(endings(eventsThrough(h, 1), 1, 1)[1], c.ending);
        EXPECT_EQ(ParluneDa_SkippedTexts(h), c.skipped);
        const bool heard = c.ending.kind == PARLUNE_DA_EVENT_FINISHED;
        EXPECT_EQ(::access(wavs.file("000001.wav").c_str(), F_OK) == 0, heard);
        release(h);
    }
    // A list the helper does not understand fails Create, naming it.
    ::setenv("PARLUNE_AUDIO", ("wav:" + m_wavDir.path()).c_str(), 1);
    ::setenv("PARLUNE_HELPER_FAULTS", "fail=nosuch", 1);
    EXPECT_EQ(ParluneDa_Create(), nullptr);
    EXPECT_NE(std::string(ParluneDa_CreateError()).find("PARLUNE_HELPER_FAULTS=fail=nosuch"),
              std::string::npos)
        << ParluneDa_CreateError();
}

// A slow back end is no hung helper: sentences that each take most of the
// timeout, or more than all of it, are all spoken by the one helper.
TEST_F(Events, SlowSentencesAreSpokenByTheSameHelper) {
    // Long enough for a sanitized helper to greet in time; the texts are long
    // enough that the slowness stays within what a text of their length may take.
    const int timeoutMs = 2000;
    ::setenv("PARLUNE_HELPER_TIMEOUT_MS", std::to_string(timeoutMs).c_str(), 1);
    struct Case {
        double share;  // of the timeout, each sentence
        const char* text;
        int sentences;  // each read by a voice of its own
    };
    const Case cases[] = {
        {0.8,
         "The first of three slow sentences, each read by a voice of its own. "
         "二番目の文は日本語で、少し時間がかかります。 And the third one ends the text.",
         3},
        {1.5,
         "This sentence takes longer than the whole of the helper's timeout to be made. "
         "それでも、この文は最後まで読まれて、助手は替えられません。",
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.share);
        const int slowMs = static_cast<int>(c.share * timeoutMs);
        ::setenv("PARLUNE_HELPER_FAULTS", ("slow=" + std::to_string(slowMs)).c_str(), 1);
        ParluneDaHandle h = createWithEvents();
        ASSERT_NE(h, nullptr) << ParluneDa_CreateError();
        const std::vector<pid_t> helper = ProcessProbe::helpers();
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(ParluneDa_Play(h, c.text, 100, 0, 0, 0), PARLUNE_DA_OK);
        EXPECT_EQ(endings(eventsThrough(h, 1), 1, 1)[1], kFinished);
        // The slowness was there (it is the helper's, not this test's).
        EXPECT_GE(std::chrono::steady_clock::now() - start,
                  std::chrono::milliseconds(slowMs * c.sentences));
        EXPECT_EQ(ProcessProbe::helpers(), helper) << "the helper was replaced";
        EXPECT_EQ(ParluneDa_SkippedTexts(h), 0);
        release(h);
    }
}

TEST_F(Events, TextThatCannotBeOutputIsSkippedAsAudio) {
    TempDir runtime;
    ::unsetenv("PARLUNE_AUDIO");
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + runtime.file("nobody-listens")).c_str(), 1);
    ParluneDaHandle h = createWithEvents();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, "Nobody hears this.", 100, 0, 0, 0), PARLUNE_DA_OK);
    const int second = ParluneDa_Play(h, "Nor this.", 100, 0, 0, 0);
    EXPECT_TRUE(second == PARLUNE_DA_OK || second == PARLUNE_DA_E_AUDIO) << second;
    std::map<uint64_t, Ending> ends = endings(eventsThrough(h, 2), 1, 2);
    EXPECT_EQ(ends[1], skipped("audio"));
    EXPECT_EQ(ends[2], skipped("audio"));
}

TEST_F(Events, OffUntilEnabledKeepsNothing) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, "Nobody asked.", 300, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "", 300, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(waitForWavs(2).size(), 2u);
    ParluneDaEvent event{};
    event.kind = -7;
    EXPECT_EQ(ParluneDa_NextEvent(h, &event), 0);
    EXPECT_EQ(event.kind, -7) << "the event was written to without one being taken";
    // Enabled now: earlier texts stay untold.
    ASSERT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
    EXPECT_EQ(ParluneDa_NextEvent(h, &event), 0);
}

TEST_F(Events, BadHandlesAndNullEventsAreRefused) {
    ParluneDaEvent event{};
    EXPECT_EQ(ParluneDa_NextEvent(nullptr, &event), -1);
    EXPECT_EQ(ParluneDa_EnableEvents(nullptr), PARLUNE_DA_E_HANDLE);
    ParluneDaHandle unknown = reinterpret_cast<ParluneDaHandle>(uintptr_t{0x7fff1234});
    EXPECT_EQ(ParluneDa_NextEvent(unknown, &event), -1);
    EXPECT_EQ(ParluneDa_EnableEvents(unknown), PARLUNE_DA_E_HANDLE);

    ParluneDaHandle h = createWithEvents();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ParluneDa_NextEvent(h, nullptr), -1);
    ASSERT_EQ(ParluneDa_Play(h, "Queued, then released.", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "Never spoken.", 100, 0, 0, 0), PARLUNE_DA_OK);
    // Release ends the events, whatever was still kept.
    release(h);
    EXPECT_EQ(ParluneDa_NextEvent(h, &event), -1);
    EXPECT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_E_HANDLE);
}

// A caller that enables events and never takes one: speech goes on, every
// text is spoken, and the events are all there in order afterwards.
TEST_F(Events, CallerThatNeverLooksLosesNoSpeech) {
    ParluneDaHandle h = createWithEvents();
    ASSERT_NE(h, nullptr);
    const int count = testsupport::rounds(2000, 400);
    std::vector<std::string> texts;
    for (int i = 1; i <= count; ++i) {
        texts.push_back("Unheeded text " + std::to_string(i) + ".");
        ASSERT_EQ(ParluneDa_Play(h, texts.back().c_str(), 300, 0, 0, 0), PARLUNE_DA_OK) << i;
    }
    std::vector<std::string> wavs = waitForWavs(texts.size(), 300);
    ASSERT_EQ(wavs.size(), texts.size());
    EXPECT_EQ(readFile(m_wavDir.file(wavs.back().substr(0, 6) + ".txt")), texts.back());
    std::map<uint64_t, Ending> ends = endings(eventsThrough(h, count), 1, count);
    for (uint64_t t = 1; t <= static_cast<uint64_t>(count); ++t) {
        ASSERT_EQ(ends[t], kFinished) << "text " << t;
    }
}

}  // namespace
}  // namespace parlune::test
