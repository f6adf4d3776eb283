// Every failure result of ParluneDa_Play and ParluneDa_Create, each beside
// the good input next to it.
#include <signal.h>
#include <stdlib.h>

#include <climits>
#include <vector>

#include "EngineFixture.h"
#include "ProcessProbe.h"
#include "WavFile.h"

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

TEST_F(PlayInput, SpeedOutsideTheRangeIsClampedAndSpoken) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    // Slowest end, then values below it; fastest end, then values above it.
    const std::vector<int32_t> speeds = {PARLUNE_DA_SPEED_MIN, 49,  0,     -5,       INT32_MIN,
                                         PARLUNE_DA_SPEED_MAX, 301, 99999, INT32_MAX};
    for (int32_t speed : speeds) {
        EXPECT_EQ(ParluneDa_Play(h, "Speed is clamped to the range.", speed, 0, 0, 0),
                  PARLUNE_DA_OK)
            << speed;
    }
    std::vector<std::string> wavs = waitForWavs(speeds.size());
    ASSERT_EQ(wavs.size(), speeds.size());
    std::vector<double> seconds;
    for (const std::string& name : wavs) {
        WavFile wav(m_wavDir.file(name));
        ASSERT_TRUE(wav.valid()) << name;
        seconds.push_back(wav.seconds());
    }
    // Each clamped text lasts as long as the one at its end of the range.
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_NEAR(seconds[i], seconds[0], seconds[0] * 0.1) << speeds[i];
    }
    for (size_t i = 6; i < speeds.size(); ++i) {
        EXPECT_NEAR(seconds[i], seconds[5], seconds[5] * 0.1) << speeds[i];
    }
    EXPECT_GT(seconds[0], 3 * seconds[5]);
}

TEST_F(PlayInput, ReservedArgumentsAreIgnored) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ParluneDa_Play(h, "Reserved.", 100, 7, -1, INT32_MAX), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Reserved.").empty());
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
        {"PARLUNE_AUDIO", "wav:relative/dir"},
        {"PARLUNE_VOICE", "no-such-voice"},
        {"PARLUNE_ENCODING", "NO-SUCH-CHARSET"},
        {"PARLUNE_HELPER_TIMEOUT_MS", "soon"},
    };
    const std::string goodAudio = "wav:" + m_wavDir.path();
    for (const Case& c : cases) {
        ::setenv("PARLUNE_AUDIO", goodAudio.c_str(), 1);
        ::setenv(c.variable, c.value.c_str(), 1);
        EXPECT_EQ(ParluneDa_Create(), nullptr) << c.variable << "=" << c.value;
        // The reason names the variable and the value that made it fail.
        const std::string reason = ParluneDa_CreateError();
        EXPECT_NE(reason.find(std::string(c.variable) + "=" + c.value), std::string::npos)
            << reason;
        ::unsetenv(c.variable);
    }
    EXPECT_TRUE(ProcessProbe::children().empty()) << "a failed start left a process";

    ::setenv("PARLUNE_AUDIO", goodAudio.c_str(), 1);
    ::setenv("PARLUNE_VOICE", "en-us", 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(ParluneDa_CreateError(), "");
    EXPECT_EQ(ParluneDa_Play(h, "Created.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Created.").empty());
}

}  // namespace
}  // namespace parlune::test
