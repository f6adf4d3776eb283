// Playback through a real (private, null-sink) PulseAudio server; run under
// tests/support/with-pulse.
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>

#include "EngineFixture.h"
#include "Recorder.h"
#include "support/Wait.h"

namespace parlune::test {
namespace {

class PulsePlayback : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        ::unsetenv("PARLUNE_AUDIO");  // the default: the audio server
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "run under with-pulse";
    }

    static size_t loudCount(const Recorder& recorder) {
        std::vector<bool> loud = recorder.loudWindows();
        return static_cast<size_t>(std::count(loud.begin(), loud.end(), true));
    }

    // Waits until the recording holds `windows` audible 50 ms windows.
    static bool waitForSound(const Recorder& recorder, size_t windows) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (loudCount(recorder) < windows) {
            if (std::chrono::steady_clock::now() >= end) {
                return false;
            }
            pause(50);
        }
        return true;
    }
};

TEST_F(PulsePlayback, SpeechReachesTheAudioServer) {
    Recorder recorder(m_wavDir.file("capture.raw"));
    ASSERT_TRUE(recorder.running());
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, "Hello from the speech engine.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_TRUE(waitForSound(recorder, 10));
    EXPECT_GT(recorder.soxMaximumAmplitude(), 0.1);
    EXPECT_EQ(ParluneDa_Play(h, "", 100, 0, 0, 0), PARLUNE_DA_OK) << "a failure was reported";
}

TEST_F(PulsePlayback, EventsAreDueWhenTheSoundIsHeard) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "Heard later.", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "", 100, 0, 0, 0), PARLUNE_DA_OK);
    // Each event as taken, with the time it was taken.
    std::vector<std::pair<ParluneDaEvent, int64_t>> taken;
    auto monotonicNs = [] {
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    };
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            ParluneDaEvent event{};
            while (ParluneDa_NextEvent(h, &event) == 1) {
                taken.emplace_back(event, monotonicNs());
            }
            return !taken.empty() && taken.back().first.kind == PARLUNE_DA_EVENT_IDLE &&
                   taken.size() >= 7;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(2)));
    std::vector<int> kinds;
    for (const auto& [event, at] : taken) {
        kinds.push_back(event.kind);
        EXPECT_LE(event.time_ns, at) << "taken before it was due: kind " << event.kind;
    }
    // Both texts are queued long before the first has been heard.
    const std::vector<int> ordered = {PARLUNE_DA_EVENT_QUEUED,  PARLUNE_DA_EVENT_QUEUED,
                                      PARLUNE_DA_EVENT_STARTED, PARLUNE_DA_EVENT_FINISHED,
                                      PARLUNE_DA_EVENT_STARTED, PARLUNE_DA_EVENT_FINISHED,
                                      PARLUNE_DA_EVENT_IDLE};
    ASSERT_EQ(kinds, ordered);
    const ParluneDaEvent& queued = taken[0].first;
    const ParluneDaEvent& started = taken[2].first;
    const ParluneDaEvent& finished = taken[3].first;
    EXPECT_EQ(started.text, 1u);
    EXPECT_EQ(finished.text, 1u);
    // Heard no earlier than written, and its end after its start.
    EXPECT_LE(queued.time_ns, started.time_ns);
    EXPECT_LT(started.time_ns, finished.time_ns);
    EXPECT_STREQ(finished.detail, "");
}

TEST_F(PulsePlayback, ReleaseSilencesTheUtteranceBeingPlayed) {
    Recorder recorder(m_wavDir.file("capture.raw"));
    ASSERT_TRUE(recorder.running());
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    std::string longText;  // about half a minute of speech
    while (longText.size() < 500) {
        longText += "This sentence goes on and on until the engine is released. ";
    }
    ASSERT_EQ(ParluneDa_Play(h, longText.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_TRUE(waitForSound(recorder, 4));
    release(h);
    // Two more seconds of the server's output recorded after Release.
    const size_t atRelease = recorder.loudWindows().size();
    EXPECT_TRUE(
        testsupport::waitUntil([&] { return recorder.loudWindows().size() >= atRelease + 40; },
                               std::chrono::seconds(30), std::chrono::milliseconds(50)))
        << "the recording stopped";
    recorder.stop();

    std::vector<bool> loud = recorder.loudWindows();
    size_t audible = static_cast<size_t>(std::count(loud.begin(), loud.end(), true));
    // The rest of the text is never played.
    EXPECT_LT(audible * 50, 8000u) << "ms of sound; the text lasts about 30 s";
}

// The stream is flushed, not drained: the rest of the long text is never
// heard, the urgent one is, and the events say which ended how.
TEST_F(PulsePlayback, InterruptSilencesTheUtteranceAndTheUrgentOneIsHeardNext) {
    Recorder recorder(m_wavDir.file("capture.raw"));
    ASSERT_TRUE(recorder.running());
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
    std::string longText;  // about half a minute of speech
    while (longText.size() < 500) {
        longText += "This sentence goes on and on until the engine is interrupted. ";
    }
    ASSERT_EQ(ParluneDa_Play(h, longText.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_TRUE(waitForSound(recorder, 4));
    ASSERT_EQ(ParluneDa_Interrupt(h), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "Stop now.", 100, 0, 0, 0), PARLUNE_DA_OK);
    std::vector<std::pair<int, std::string>> told;  // kind and detail, text 1 then 2
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            ParluneDaEvent e{};
            while (ParluneDa_NextEvent(h, &e) == 1) {
                if (e.kind != PARLUNE_DA_EVENT_IDLE)
                    told.emplace_back(e.kind * 10 + e.text, e.detail);
            }
            return !told.empty() && told.back().first == PARLUNE_DA_EVENT_FINISHED * 10 + 2;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(2)));
    EXPECT_EQ(told, (std::vector<std::pair<int, std::string>>{
                        {11, ""}, {21, ""}, {12, ""}, {31, "interrupted"}, {22, ""}, {32, ""}}));
    const size_t atEnd = recorder.loudWindows().size();
    EXPECT_TRUE(testsupport::waitUntil([&] { return recorder.loudWindows().size() >= atEnd + 40; },
                                       std::chrono::seconds(30), std::chrono::milliseconds(50)));
    recorder.stop();
    std::vector<bool> loud = recorder.loudWindows();
    size_t audible = static_cast<size_t>(std::count(loud.begin(), loud.end(), true));
    EXPECT_LT(audible * 50, 8000u) << "ms of sound; the long text lasts about 30 s";
}

// The sound handed out as data is what the server was given, and it leaves
// as the server plays it.
TEST_F(PulsePlayback, TheSoundAsDataIsWhatWasPlayedChunkByChunkAsHeard) {
    const std::string text = "What is played is what is handed out.";
    ::setenv("PARLUNE_AUDIO", ("wav:" + m_wavDir.path()).c_str(), 1);
    const std::vector<WavFile> written = spoken({text});
    ::unsetenv("PARLUNE_AUDIO");
    ASSERT_EQ(written.size(), 1u);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_EnableAudio(h, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    std::vector<int16_t> samples;
    int64_t firstNs = 0;
    bool early = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (samples.size() < written[0].samples().size() && std::chrono::steady_clock::now() < end) {
        ParluneDaAudioChunk chunk;
        if (ParluneDa_NextAudio(h, &chunk, 50) != 1) continue;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        early = early || chunk.time_ns > int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
        if (samples.empty()) firstNs = chunk.time_ns;
        samples.insert(samples.end(), chunk.samples, chunk.samples + chunk.count);
    }
    EXPECT_FALSE(early);
    EXPECT_EQ(samples, written[0].samples());
    std::vector<ParluneDaEvent> events = eventsThrough(h, 1);
    auto started = std::find_if(events.begin(), events.end(),
                                [](auto& e) { return e.kind == PARLUNE_DA_EVENT_STARTED; });
    ASSERT_NE(started, events.end());
    EXPECT_EQ(firstNs, started->time_ns);
}

}  // namespace
}  // namespace parlune::test
