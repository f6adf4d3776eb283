// What the WAV output writes: complete, numbered, non-silent files holding
// exactly the text bytes given, with durations that follow the speed.
#include <filesystem>
#include <fstream>

#include "EngineFixture.h"
#include "WavFile.h"

namespace parlune::test {
namespace {

class WavOutput : public EngineFixture {};

constexpr const char* kSentence =
    "The quick brown fox jumps over the lazy dog. Robots speak clearly when asked.";

TEST_F(WavOutput, EachTextBecomesANumberedWavAndTextPair) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    const std::vector<std::string> texts = {
        "Hello there.",
        "Caf\xe9 au lait, in Latin-1.",
        "Caf\xc3\xa9 au lait, in UTF-8.",
    };
    for (const std::string& text : texts) {
        ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    }
    std::vector<std::string> wavs = waitForWavs(texts.size());
    ASSERT_EQ(wavs, (std::vector<std::string>{"000001.wav", "000002.wav", "000003.wav"}));
    for (size_t i = 0; i < texts.size(); ++i) {
        std::string base = wavs[i].substr(0, 6);
        EXPECT_EQ(readFile(m_wavDir.file(base + ".txt")), texts[i]) << base;
        WavFile wav(m_wavDir.file(wavs[i]));
        ASSERT_TRUE(wav.valid()) << wavs[i];
        EXPECT_EQ(wav.sampleRate(), 22050);
        EXPECT_GT(wav.seconds(), 0.5) << wavs[i];
        EXPECT_GT(wav.peak(), 3000) << wavs[i];
        EXPECT_GT(wav.rms(), 300.0) << wavs[i];
    }
    // Only finished files: no temporary left behind.
    EXPECT_EQ(m_wavDir.names().size(), 2 * texts.size());
}

TEST_F(WavOutput, EmptyTextIsASilentUtterance) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, "", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "Words.", 100, 0, 0, 0), PARLUNE_DA_OK);
    std::vector<std::string> wavs = waitForWavs(2);
    EXPECT_EQ(readFile(m_wavDir.file("000001.txt")), "");
    WavFile silent(m_wavDir.file("000001.wav"));
    ASSERT_TRUE(silent.valid());
    EXPECT_LT(silent.seconds(), 0.1);
    EXPECT_LT(silent.peak(), 100);
    EXPECT_GT(WavFile(m_wavDir.file("000002.wav")).peak(), 3000);
}

TEST_F(WavOutput, DurationFollowsSpeed) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    for (int speed : {100, 50, 300}) {
        ASSERT_EQ(ParluneDa_Play(h, kSentence, speed, 0, 0, 0), PARLUNE_DA_OK);
    }
    ASSERT_EQ(waitForWavs(3).size(), 3u);
    double normal = WavFile(m_wavDir.file("000001.wav")).seconds();
    double slow = WavFile(m_wavDir.file("000002.wav")).seconds();
    double fast = WavFile(m_wavDir.file("000003.wav")).seconds();
    ASSERT_GT(normal, 2.0);
    // Speed 50 takes about twice as long, speed 300 about a third.
    EXPECT_NEAR(slow / normal, 2.0, 0.25);
    EXPECT_NEAR(fast / normal, 1.0 / 3.0, 0.06);
}

TEST_F(WavOutput, TextsOfOneHandleKeepTheirOrder) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    const std::vector<std::string> texts = {"One.", "Two.", "Three.", "Four.", "Five."};
    for (const std::string& text : texts) {
        ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 200, 0, 0, 0), PARLUNE_DA_OK);
    }
    std::vector<std::string> wavs = waitForWavs(texts.size());
    ASSERT_EQ(wavs.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(readFile(m_wavDir.file(wavs[i].substr(0, 6) + ".txt")), texts[i]);
    }
}

TEST_F(WavOutput, NumbersContinueAboveFilesAlreadyThere) {
    std::ofstream(m_wavDir.file("000041.txt")) << "from an earlier run";
    std::ofstream(m_wavDir.file("000041.wav")) << "not really a wav";
    ParluneDaHandle first = create();
    ParluneDaHandle second = create();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(ParluneDa_Play(first, "First handle.", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(waitForUtterance("First handle."), "000042");
    ASSERT_EQ(ParluneDa_Play(second, "Second handle.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_EQ(waitForUtterance("Second handle."), "000043");
    EXPECT_EQ(readFile(m_wavDir.file("000041.txt")), "from an earlier run");
}

TEST_F(WavOutput, NullOutputWritesNothing) {
    ::setenv("PARLUNE_AUDIO", "null", 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ParluneDa_Play(h, "Into the void.", 100, 0, 0, 0), PARLUNE_DA_OK);
    // The next Play sees no failure from the first; nothing lands on disk.
    pause(500);
    EXPECT_EQ(ParluneDa_Play(h, "Again.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_TRUE(m_wavDir.names().empty());
}

TEST_F(WavOutput, AFailedWriteIsReportedOnceAndLaterTextsAreWritten) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    // The directory taken away: every text fails until it is back.
    std::filesystem::remove_all(m_wavDir.path());
    ASSERT_EQ(ParluneDa_Play(h, "Lost.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_EQ(waitForFailure(h), PARLUNE_DA_E_AUDIO);
    ASSERT_TRUE(std::filesystem::create_directory(m_wavDir.path()));

    // Texts are spoken in order: once the first mark is written, whatever
    // failed before it has failed, and the second Play takes that report.
    const int first = ParluneDa_Play(h, "First mark.", 100, 0, 0, 0);
    EXPECT_TRUE(first == PARLUNE_DA_OK || first == PARLUNE_DA_E_AUDIO) << first;
    ASSERT_NE(waitForUtterance("First mark."), "");
    const int second = ParluneDa_Play(h, "Second mark.", 100, 0, 0, 0);
    EXPECT_TRUE(second == PARLUNE_DA_OK || second == PARLUNE_DA_E_AUDIO) << second;
    ASSERT_NE(waitForUtterance("Second mark."), "");
    // Nothing has failed since: no failure is reported twice.
    EXPECT_EQ(ParluneDa_Play(h, "Third mark.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_NE(waitForUtterance("Third mark."), "");
    EXPECT_TRUE(utterancesOf("Lost.").empty());
}

}  // namespace
}  // namespace parlune::test
