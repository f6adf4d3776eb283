// What the queue holds and what leaves it: bursts spoken whole and in order,
// bounds in bytes and in texts beyond which Play fails while what is queued
// is still spoken, and long texts spoken in full.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "EngineFixture.h"
#include "ProcessProbe.h"
#include "WavFile.h"
#include "support/Sanitizers.h"
#include "support/Wait.h"

namespace parlune::test {
namespace {

class Queue : public EngineFixture {
  protected:
    // Plays "Burst text N." for N = 1..count without waiting in between and
    // checks that every one is spoken, each once and in that order.
    void burst(int count) {
        ParluneDaHandle h = create();
        ASSERT_NE(h, nullptr);
        std::vector<std::string> texts;
        for (int i = 1; i <= count; ++i) {
            texts.push_back("Burst text " + std::to_string(i) + ".");
            ASSERT_EQ(ParluneDa_Play(h, texts.back().c_str(), 300, 0, 0, 0), PARLUNE_DA_OK) << i;
        }
        std::vector<std::string> wavs = waitForWavs(texts.size(), 300);
        ASSERT_EQ(wavs.size(), texts.size());
        for (size_t i = 0; i < wavs.size(); ++i) {
            std::string base = wavs[i].substr(0, wavs[i].size() - 4);
            ASSERT_EQ(readFile(m_wavDir.file(base + ".txt")), texts[i]) << base;
        }
        WavFile last(m_wavDir.file(wavs.back()));
        EXPECT_TRUE(last.valid());
        EXPECT_GT(last.peak(), 3000);
        EXPECT_EQ(ParluneDa_SkippedTexts(h), 0);
    }

    pid_t frozenHelper() {
        std::vector<pid_t> helpers = ProcessProbe::helpers();
        EXPECT_EQ(helpers.size(), 1u);
        if (helpers.size() != 1 || ::kill(helpers[0], SIGSTOP) != 0) {
            return -1;
        }
        return helpers[0];
    }
};

// One sentence padded with spaces to exactly `bytes`: little sound per byte,
// so long texts stay quick to synthesise and small on disk.
std::string paddedSentence(const std::string& sentence, size_t bytes) {
    std::string text = sentence;
    text.resize(bytes, ' ');
    return text;
}

TEST_F(Queue, BurstOfFortyIsSpokenWholeAndInOrder) { burst(40); }

// A sanitizer build synthesises each text many times slower: 400 texts there.
TEST_F(Queue, BurstOfTwoThousandIsSpokenWholeAndInOrder) { burst(testsupport::rounds(2000, 400)); }

TEST_F(Queue, BeyondItsBytesPlayFailsAndWhatIsQueuedIsStillSpoken) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    pid_t helper = frozenHelper();
    ASSERT_GT(helper, 0);

    // Texts of nearly 64 KiB until the queue refuses one; a frozen helper
    // holds the first, so one more than the bound may be accepted.
    const size_t kText = 64 * 1024 - 100;
    std::vector<std::string> accepted;
    int result = PARLUNE_DA_OK;
    while (accepted.size() < 200) {
        std::string text = paddedSentence("Queued " + std::to_string(accepted.size()) + ".", kText);
        result = ParluneDa_Play(h, text.c_str(), 300, 0, 0, 0);
        if (result != PARLUNE_DA_OK) {
            break;
        }
        accepted.push_back(text);
    }
    EXPECT_EQ(result, PARLUNE_DA_E_QUEUE_FULL);
    EXPECT_GE(accepted.size(), static_cast<size_t>(PARLUNE_DA_QUEUE_BYTES) / kText);
    EXPECT_LE(accepted.size(), static_cast<size_t>(PARLUNE_DA_QUEUE_BYTES) / kText + 1);
    // A small text may still fit where a large one does not.
    std::string small = "Small enough.";
    EXPECT_EQ(ParluneDa_Play(h, small.c_str(), 300, 0, 0, 0), PARLUNE_DA_OK);
    accepted.push_back(small);

    ASSERT_EQ(::kill(helper, SIGCONT), 0);
    std::vector<std::string> wavs = waitForWavs(accepted.size());
    ASSERT_EQ(wavs.size(), accepted.size());
    for (size_t i = 0; i < wavs.size(); ++i) {
        std::string base = wavs[i].substr(0, wavs[i].size() - 4);
        EXPECT_EQ(readFile(m_wavDir.file(base + ".txt")), accepted[i]) << base;
    }
    EXPECT_EQ(ParluneDa_Play(h, "Room again.", 300, 0, 0, 0), PARLUNE_DA_OK);
}

TEST_F(Queue, BeyondItsTextCountPlayFailsAndReleaseStillReturns) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    pid_t helper = frozenHelper();
    ASSERT_GT(helper, 0);
    int accepted = 0;
    int result = PARLUNE_DA_OK;
    while (accepted < PARLUNE_DA_QUEUE_TEXTS + 10) {
        result = ParluneDa_Play(h, "Short.", 300, 0, 0, 0);
        if (result != PARLUNE_DA_OK) {
            break;
        }
        ++accepted;
    }
    EXPECT_EQ(result, PARLUNE_DA_E_QUEUE_FULL);
    EXPECT_GE(accepted, PARLUNE_DA_QUEUE_TEXTS);
    EXPECT_LE(accepted, PARLUNE_DA_QUEUE_TEXTS + 1);

    release(h);
    EXPECT_TRUE(ProcessProbe::children().empty()) << "helper not reaped";
    EXPECT_TRUE(m_wavDir.names().empty());
}

TEST_F(Queue, LongTextsAreSpokenInFull) {
    // The queue and the cutting, with the fastest voice.
    ::setenv("PARLUNE_VOICE", "espeak:en", 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    // One sentence per KiB: the long texts last as many times longer as
    // they hold sentences.
    const std::string unit = paddedSentence("One more sentence.", 1024);
    std::string mid;
    for (int i = 0; i < 16; ++i) {
        mid += unit;
    }
    mid += "x";  // 16385 bytes
    std::string huge;
    for (int i = 0; i < 1024; ++i) {
        huge += unit;  // 1 MiB
    }
    for (const std::string* text : std::vector<const std::string*>{&unit, &mid, &huge}) {
        ASSERT_EQ(ParluneDa_Play(h, text->c_str(), 300, 0, 0, 0), PARLUNE_DA_OK);
    }
    std::vector<std::string> wavs = waitForWavs(3);
    ASSERT_EQ(wavs.size(), 3u);
    EXPECT_EQ(readFile(m_wavDir.file("000003.txt")), huge);
    WavFile one(m_wavDir.file(wavs[0]));
    WavFile sixteen(m_wavDir.file(wavs[1]));
    WavFile all(m_wavDir.file(wavs[2]));
    ASSERT_TRUE(one.valid() && sixteen.valid() && all.valid());
    EXPECT_NEAR(sixteen.seconds() / one.seconds(), 16.0, 16.0 * 0.15);
    EXPECT_NEAR(all.seconds() / one.seconds(), 1024.0, 1024.0 * 0.15);
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 0);
}

TEST_F(Queue, ReleaseStopsALongTextPromptly) {
    // The fastest voice reaches the middle of the text soonest, in every build.
    ::setenv("PARLUNE_VOICE", "espeak:en", 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    std::string text;
    while (text.size() < 1024 * 1024) {
        text += "Release has to stop this text while it is still being spoken. ";
    }
    ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    // Well into the text: its sound is being written (minutes of it).
    const auto writing = [&] {
        for (const std::string& part : m_wavDir.namesEndingIn(".wav.part")) {
            std::error_code error;
            const auto size = std::filesystem::file_size(m_wavDir.file(part), error);
            if (!error && size > 4096) return true;
        }
        return false;
    };
    ASSERT_TRUE(testsupport::waitUntil(writing, std::chrono::seconds(60)))
        << "the text's sound never started";

    const auto start = std::chrono::steady_clock::now();
    release(h);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    // Documented: a few milliseconds. The bound is generous for a loaded
    // machine or a sanitizer build, and still far below the time the rest
    // of the text would take.
    EXPECT_LT(took.count(), 2000) << "Release waited for the text";
    EXPECT_TRUE(ProcessProbe::children().empty()) << "helper not reaped";
    EXPECT_TRUE(m_wavDir.names().empty()) << "an unfinished text was published or left behind";
}

}  // namespace
}  // namespace parlune::test
