// Every failure result of ParluneDa_Play and ParluneDa_Create, each beside
// the good input next to it.
#include <signal.h>
#include <stdlib.h>

#include <climits>
#include <vector>

#include "EngineFixture.h"
#include "ProcessProbe.h"

namespace parlune::test {
namespace {

class PlayInput : public EngineFixture {};

TEST_F(PlayInput, UnknownNullAndReleasedHandlesAreRejected) {
    ParluneDaHandle live = create();
    ASSERT_NE(live, nullptr);
    ParluneDaHandle gone = create();
    ASSERT_NE(gone, nullptr);
    release(gone);

    EXPECT_EQ(ParluneDa_Play(live, "Good handle.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_EQ(ParluneDa_Play(nullptr, "Null handle.", 100, 0, 0, 0), PARLUNE_DA_E_HANDLE);
    EXPECT_EQ(ParluneDa_Play(gone, "Released handle.", 100, 0, 0, 0), PARLUNE_DA_E_HANDLE);
    auto* forged = reinterpret_cast<ParluneDaHandle>(static_cast<uintptr_t>(0xdeadbeef0));
    EXPECT_EQ(ParluneDa_Play(forged, "Forged handle.", 100, 0, 0, 0), PARLUNE_DA_E_HANDLE);

    // Releasing twice, NULL or a forged handle does nothing to the live one.
    ParluneDa_Release(gone);
    ParluneDa_Release(nullptr);
    ParluneDa_Release(forged);
    EXPECT_EQ(ParluneDa_Play(live, "Still good.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Still good.").empty());
}

TEST_F(PlayInput, NullTextIsRejected) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ParluneDa_Play(h, nullptr, 100, 0, 0, 0), PARLUNE_DA_E_TEXT_NULL);
    EXPECT_EQ(ParluneDa_Play(h, "Text after a null one.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Text after a null one.").empty());
}

TEST_F(PlayInput, TextLongerThanTheLimitIsRejectedWithoutReadingPastIt) {
    ::setenv("PARLUNE_AUDIO", "null", 1);  // the longest text is many minutes of speech
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);

    std::string longest(PARLUNE_DA_MAX_TEXT_BYTES, 'a');
    for (size_t i = 1; i < longest.size(); i += 2) {
        longest[i] = ' ';
    }
    EXPECT_EQ(ParluneDa_Play(h, longest.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);

    std::string tooLong = longest + "a";
    EXPECT_EQ(ParluneDa_Play(h, tooLong.c_str(), 100, 0, 0, 0), PARLUNE_DA_E_TEXT_TOO_LONG);

    // An unterminated buffer one byte over the limit: nothing past it is read.
    std::vector<char> unterminated(PARLUNE_DA_MAX_TEXT_BYTES + 1, 'b');
    EXPECT_EQ(ParluneDa_Play(h, unterminated.data(), 100, 0, 0, 0), PARLUNE_DA_E_TEXT_TOO_LONG);
}

TEST_F(PlayInput, SpeedOutsideTheRangeIsRejected) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    for (int32_t good : {PARLUNE_DA_SPEED_MIN, 100, PARLUNE_DA_SPEED_MAX}) {
        EXPECT_EQ(ParluneDa_Play(h, "Speed.", good, 0, 0, 0), PARLUNE_DA_OK) << good;
    }
    for (int32_t bad :
         {PARLUNE_DA_SPEED_MIN - 1, PARLUNE_DA_SPEED_MAX + 1, 0, -100, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(ParluneDa_Play(h, "Speed.", bad, 0, 0, 0), PARLUNE_DA_E_SPEED) << bad;
    }
    EXPECT_EQ(waitForWavs(3).size(), 3u);
}

TEST_F(PlayInput, ReservedArgumentsAreIgnored) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ParluneDa_Play(h, "Reserved.", 100, 7, -1, INT32_MAX), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Reserved.").empty());
}

TEST_F(PlayInput, FullQueueIsRejectedAndReleaseStillReturns) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    std::vector<pid_t> helpers = ProcessProbe::helpers();
    ASSERT_EQ(helpers.size(), 1u);
    // A frozen helper holds the first text; the others wait in the queue.
    ASSERT_EQ(::kill(helpers[0], SIGSTOP), 0);

    std::vector<int> results;
    for (int i = 0; i < PARLUNE_DA_QUEUE_CAPACITY + 2; ++i) {
        results.push_back(ParluneDa_Play(h, "Queued.", 100, 0, 0, 0));
    }
    size_t accepted = 0;
    while (accepted < results.size() && results[accepted] == PARLUNE_DA_OK) {
        ++accepted;
    }
    // Capacity, plus one if the worker had already taken the first text.
    EXPECT_GE(accepted, static_cast<size_t>(PARLUNE_DA_QUEUE_CAPACITY));
    EXPECT_LE(accepted, static_cast<size_t>(PARLUNE_DA_QUEUE_CAPACITY) + 1);
    ASSERT_LT(accepted, results.size());
    EXPECT_EQ(results[accepted], PARLUNE_DA_E_QUEUE_FULL);

    release(h);
    EXPECT_TRUE(ProcessProbe::children().empty()) << "helper not reaped";
    EXPECT_TRUE(m_wavDir.names().empty());
}

TEST_F(PlayInput, CreateReturnsNullWhenTheEngineCannotStart) {
    struct Case {
        const char* variable;
        std::string value;
    };
    const std::vector<Case> cases = {
        {"PARLUNE_AUDIO", "speakers"},
        {"PARLUNE_AUDIO", "wav:"},
        {"PARLUNE_AUDIO", "wav:" + m_wavDir.file("missing")},
        {"PARLUNE_HELPER", m_wavDir.file("no-such-helper")},
        {"PARLUNE_HELPER", "/bin/true"},  // ends without greeting
        {"PARLUNE_VOICE", "no-such-voice"},
        {"PARLUNE_HELPER_TIMEOUT_MS", "soon"},
    };
    const std::string goodAudio = "wav:" + m_wavDir.path();
    for (const Case& c : cases) {
        ::setenv("PARLUNE_AUDIO", goodAudio.c_str(), 1);
        ::setenv(c.variable, c.value.c_str(), 1);
        EXPECT_EQ(ParluneDa_Create(), nullptr) << c.variable << "=" << c.value;
        ::unsetenv(c.variable);
    }
    EXPECT_TRUE(ProcessProbe::children().empty()) << "a failed start left a process";

    ::setenv("PARLUNE_AUDIO", goodAudio.c_str(), 1);
    ::setenv("PARLUNE_VOICE", "en-us", 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ParluneDa_Play(h, "Created.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Created.").empty());
}

}  // namespace
}  // namespace parlune::test
