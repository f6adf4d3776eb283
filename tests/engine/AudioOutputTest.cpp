// The sound handed out as data: off until asked for; at the rate the engine
// plays, exactly the samples the WAV sink writes, chunk after chunk, each due
// when its first sample is heard; resampled at the other rates; taken back
// where an interrupt silenced it; and a caller that never takes any holds
// nothing up and keeps only the newest.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "EngineFixture.h"

namespace parlune::test {
namespace {

struct Taken {
    std::vector<ParluneDaEvent> events;
    std::map<uint64_t, std::vector<ParluneDaAudioChunk>> chunks;  // by text
    bool early = false;  // a chunk was handed out before it was due
};

int64_t monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<int16_t> samplesOf(const std::vector<ParluneDaAudioChunk>& chunks) {
    std::vector<int16_t> all;
    for (const ParluneDaAudioChunk& c : chunks)
        all.insert(all.end(), c.samples, c.samples + c.count);
    return all;
}

double rms(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (int16_t s : samples) sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

class AudioOutput : public EngineFixture {
  protected:
    ParluneDaHandle createWithAudio(int rate) {
        ParluneDaHandle h = create();
        EXPECT_NE(h, nullptr);
        EXPECT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
        EXPECT_EQ(ParluneDa_EnableAudio(h, rate), PARLUNE_DA_OK);
        return h;
    }

    // Events and chunks as they fall due, until the IDLE after text `last`
    // ended and every chunk due by then is taken.
    static Taken takeThrough(ParluneDaHandle h, uint64_t last, int deadlineSeconds = 60) {
        Taken taken;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
        bool idle = false;
        while (std::chrono::steady_clock::now() < end) {
            ParluneDaEvent e{};
            while (ParluneDa_NextEvent(h, &e) == 1) {
                taken.events.push_back(e);
                const size_t n = taken.events.size();
                idle = idle || (n >= 2 && e.kind == PARLUNE_DA_EVENT_IDLE &&
                                taken.events[n - 2].text == last);
            }
            ParluneDaAudioChunk chunk;
            const int got = ParluneDa_NextAudio(h, &chunk, idle ? 0 : 20);
            if (got == 1) {
                taken.early = taken.early || chunk.time_ns > monotonicNs();
                taken.chunks[chunk.text].push_back(chunk);
            } else if (idle) {
                break;
            }
        }
        return taken;
    }
};

TEST_F(AudioOutput, OffByDefaultAndOnlyOfferedRatesAndLiveHandlesAreTaken) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, "Nothing kept.", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(waitForWavs(1).size(), 1u);
    ParluneDaAudioChunk chunk;
    EXPECT_EQ(ParluneDa_NextAudio(h, &chunk, 100), 0);
    for (int rate : {-1, 8000, 11025, 16001, 44100, 96000}) {
        EXPECT_EQ(ParluneDa_EnableAudio(h, rate), -1) << rate;
    }
    EXPECT_EQ(ParluneDa_NextAudio(h, nullptr, 0), -1);
    EXPECT_EQ(ParluneDa_EnableAudio(nullptr, 16000), PARLUNE_DA_E_HANDLE);
    EXPECT_EQ(ParluneDa_NextAudio(nullptr, &chunk, 0), -1);
    release(h);
    EXPECT_EQ(ParluneDa_EnableAudio(h, 16000), PARLUNE_DA_E_HANDLE);
    EXPECT_EQ(ParluneDa_NextAudio(h, &chunk, 0), -1);
}

// 0 and 22050 both name the rate the engine plays at.
TEST_F(AudioOutput, AtThePlayedRateTheChunksAreTheWavSamplesInTimeAsHeard) {
    for (int rate : {0, 22050}) {
        SCOPED_TRACE(rate);
        ParluneDaHandle h = createWithAudio(rate);
        const std::vector<std::string> texts = {"Hello there.", "A second text, a little longer."};
        const auto before = waitForWavs(0).size();
        for (const std::string& t : texts) ASSERT_EQ(ParluneDa_Play(h, t.c_str(), 100, 0, 0, 0), 0);
        const uint64_t first = 1;  // each handle numbers its texts afresh
        Taken taken = takeThrough(h, first + 1);
        const std::vector<std::string> files = waitForWavs(before + texts.size());
        ASSERT_EQ(files.size(), before + texts.size());
        EXPECT_FALSE(taken.early);
        ASSERT_EQ(taken.chunks.size(), texts.size());
        for (uint64_t text = first; text <= first + 1; ++text) {
            const std::vector<ParluneDaAudioChunk>& chunks = taken.chunks[text];
            WavFile wav(m_wavDir.file(files[before + text - first]));
            ASSERT_TRUE(wav.valid());
            EXPECT_EQ(samplesOf(chunks), wav.samples()) << "text " << text;
            const auto started = std::find_if(
                taken.events.begin(), taken.events.end(),
                [&](auto& e) { return e.text == text && e.kind == PARLUNE_DA_EVENT_STARTED; });
            ASSERT_NE(started, taken.events.end());
            EXPECT_EQ(chunks.front().time_ns, started->time_ns);
            for (size_t i = 0; i < chunks.size(); ++i) {
                EXPECT_EQ(chunks[i].rate, 22050);
                ASSERT_GT(chunks[i].count, 0);
                ASSERT_LE(chunks[i].count, 441) << "more than 20 ms";
                if (i == 0) continue;
                // Each follows the one before as it is heard, give or take the
                // rounding of a chunk's duration.
                const int64_t gap = chunks[i].time_ns - chunks[i - 1].time_ns -
                                    int64_t(chunks[i - 1].count) * 1000000000 / 22050;
                EXPECT_GE(gap, -1000) << "chunk " << i;
            }
        }
        release(h);
    }
}

TEST_F(AudioOutput, OtherRatesCarryTheSameSoundResampled) {
    const std::string text = "The quick brown fox jumps over the lazy dog.";
    const std::vector<WavFile> played = spoken({text});
    ASSERT_EQ(played.size(), 1u);
    const std::vector<int16_t>& reference = played[0].samples();
    for (int rate : {16000, 48000}) {
        SCOPED_TRACE(rate);
        ParluneDaHandle h = createWithAudio(rate);
        ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
        Taken taken = takeThrough(h, 1);
        ASSERT_EQ(taken.chunks.size(), 1u);
        const std::vector<ParluneDaAudioChunk>& chunks = taken.chunks[1];
        for (const ParluneDaAudioChunk& c : chunks) {
            ASSERT_EQ(c.rate, rate);
            ASSERT_LE(c.count, rate / 50);
        }
        const std::vector<int16_t> got = samplesOf(chunks);
        const double expected = double(reference.size()) * rate / 22050;
        EXPECT_NEAR(double(got.size()), expected, expected * 0.01 + rate / 100);
        EXPECT_NEAR(rms(got) / rms(reference), 1.0, 0.1);
        release(h);
    }
}

// A robot whose loudspeaker sits on another host: nothing is played here,
// yet the sound comes out, as heard, paced by the wall clock.
TEST_F(AudioOutput, WithNullOutputTheSoundStillComesAtItsPace) {
    const std::string text = "Played elsewhere.";
    const std::vector<WavFile> written = spoken({text});
    ASSERT_EQ(written.size(), 1u);
    ::setenv("PARLUNE_AUDIO", "null", 1);
    ParluneDaHandle h = createWithAudio(0);
    const auto called = std::chrono::steady_clock::now();
    ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    Taken taken = takeThrough(h, 1);
    const double tookMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - called)
            .count();
    EXPECT_FALSE(taken.early);
    EXPECT_EQ(samplesOf(taken.chunks[1]), written[0].samples());
    // Not all at once: the last chunk came due no sooner than the sound's length.
    EXPECT_GE(tookMs, written[0].seconds() * 1000 - 20);
}

TEST_F(AudioOutput, AnInterruptTakesBackWhatWasNotHeard) {
    ParluneDaHandle h = createWithAudio(0);
    const std::string text =
        "This text is long enough to be cut in the middle, long before its end, by an interrupt.";
    ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    std::vector<ParluneDaAudioChunk> chunks;
    ParluneDaAudioChunk chunk;
    // A few chunks heard, then the cut.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (chunks.size() < 20 && std::chrono::steady_clock::now() < end) {
        if (ParluneDa_NextAudio(h, &chunk, 50) == 1) chunks.push_back(chunk);
    }
    ASSERT_EQ(chunks.size(), 20u);
    ASSERT_EQ(ParluneDa_Interrupt(h), PARLUNE_DA_OK);
    Taken taken = takeThrough(h, 1);
    // The speaker cuts the sound after the call returns, and reports the
    // text's end after the cut: nothing handed out starts later than that.
    const auto finished = std::find_if(
        taken.events.begin(), taken.events.end(),
        [](const ParluneDaEvent& e) { return e.kind == PARLUNE_DA_EVENT_FINISHED && e.text == 1; });
    ASSERT_NE(finished, taken.events.end());
    for (const ParluneDaAudioChunk& c : taken.chunks[1]) {
        EXPECT_LE(c.time_ns, finished->time_ns) << "heard after the cut";
        chunks.push_back(c);
    }
    const std::vector<std::string> files = waitForWavs(1);
    ASSERT_EQ(files.size(), 1u);
    WavFile wav(m_wavDir.file(files[0]));
    ASSERT_TRUE(wav.valid());
    // What was heard is the start of what the file kept, and less than the whole text.
    const std::vector<int16_t> heard = samplesOf(chunks);
    ASSERT_LE(heard.size(), wav.samples().size());
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), wav.samples().begin()));
    EXPECT_LT(heard.size(), size_t(22050 * 4));
}

TEST_F(AudioOutput, AReaderThatNeverTakesChunksHoldsUpNothingAndKeepsTheNewest) {
    ParluneDaHandle h = createWithAudio(0);
    const std::vector<std::string> texts = {
        "The first of three texts that nobody listens to as data.",
        "The second one, which is just as long as the first one was.",
        "And the third, whose end is what a late reader finds."};
    for (const std::string& t : texts) ASSERT_EQ(ParluneDa_Play(h, t.c_str(), 100, 0, 0, 0), 0);
    const std::vector<ParluneDaEvent> events = eventsThrough(h, 3);
    ASSERT_FALSE(events.empty());
    ASSERT_EQ(events.back().kind, PARLUNE_DA_EVENT_IDLE);
    const std::vector<std::string> files = waitForWavs(3);
    ASSERT_EQ(files.size(), 3u);
    std::vector<ParluneDaAudioChunk> kept;
    ParluneDaAudioChunk chunk;
    while (ParluneDa_NextAudio(h, &chunk, 0) == 1) kept.push_back(chunk);
    ASSERT_EQ(kept.size(), size_t(PARLUNE_DA_AUDIO_CHUNKS_KEPT));
    // The newest: the last text's chunks end with the end of its file.
    WavFile last(m_wavDir.file(files[2]));
    ASSERT_TRUE(last.valid());
    std::vector<ParluneDaAudioChunk> lastText;
    for (const ParluneDaAudioChunk& c : kept) {
        if (c.text == 3) lastText.push_back(c);
    }
    const std::vector<int16_t> tail = samplesOf(lastText);
    ASSERT_FALSE(tail.empty());
    ASSERT_LE(tail.size(), last.samples().size());
    EXPECT_TRUE(std::equal(tail.rbegin(), tail.rend(), last.samples().rbegin()));
}

}  // namespace
}  // namespace parlune::test
