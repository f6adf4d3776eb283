// Engine benchmarks, reported as medians and 99th percentiles, each beside a
// baseline measured in the same run:
//   - ParluneDa_Play call time, against a blocking in-process espeak_Synth
//     (what Play would cost if it spoke before returning);
//   - Play to first PCM sample, and the synthesis real-time factor, through
//     the helper process, against espeak-ng called in-process;
//   - Create and Release times (Release while a long text is being written
//     or, when PULSE_SERVER is set, played).
// Usage: engine_bench [--quick]
#include <espeak-ng/speak_lib.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ParluneDa.h"
#include "SoundMonitor.h"
#include "Speaker.h"
#include "TimingSink.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSentence = "Hello world, this is a short benchmark sentence.";
constexpr const char* kParagraph =
    "The robot turned its head towards the door and said that the meeting room was empty. "
    "Nobody had booked it for the afternoon, so the team could use it until six o'clock. "
    "It then listed the three tasks that were still open and asked who would take them.";

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Stats {
    double p50 = 0;
    double p99 = 0;
    size_t n = 0;
};

Stats stats(std::vector<double> v) {
    Stats s;
    s.n = v.size();
    if (v.empty()) {
        return s;
    }
    std::sort(v.begin(), v.end());
    auto rank = [&](double q) {
        return v[std::min(v.size() - 1, static_cast<size_t>(q * v.size()))];
    };
    s.p50 = rank(0.50);
    s.p99 = rank(0.99);
    return s;
}

void row(const char* name, const Stats& s, const char* unit) {
    std::printf("  %-44s n=%-5zu p50=%10.4f %s  p99=%10.4f %s\n", name, s.n, s.p50, unit, s.p99,
                unit);
}

void ratio(const char* name, const Stats& measured, const Stats& baseline) {
    std::printf("  %-44s p50 ratio %.3gx, p99 ratio %.3gx\n", name,
                baseline.p50 > 0 ? measured.p50 / baseline.p50 : 0.0,
                baseline.p99 > 0 ? measured.p99 / baseline.p99 : 0.0);
}

// In-process espeak-ng: the baseline.
Clock::time_point g_firstSample;
bool g_sawSample = false;
size_t g_samples = 0;

int onSamples(short*, int count, espeak_EVENT*) {
    if (count > 0 && !g_sawSample) {
        g_firstSample = Clock::now();
        g_sawSample = true;
    }
    g_samples += static_cast<size_t>(std::max(count, 0));
    return 0;
}

struct InProcessRun {
    double callMs;
    double firstSampleMs;
    double audioSeconds;
};

InProcessRun synthesiseInProcess(const char* text, int sampleRate) {
    g_sawSample = false;
    g_samples = 0;
    auto start = Clock::now();
    espeak_Synth(text, std::strlen(text) + 1, 0, POS_CHARACTER, 0, espeakCHARS_AUTO, nullptr,
                 nullptr);
    auto end = Clock::now();
    return {ms(end - start), ms(g_firstSample - start),
            static_cast<double>(g_samples) / sampleRate};
}

std::unique_ptr<parlune::Speaker> startSpeaker(parlune::bench::TimingSink*& sink) {
    parlune::Speaker::Options options;
    options.helperPath = PARLUNE_HELPER_PATH;
    options.makeSink = [&sink](const std::atomic<bool>&) {
        auto made = std::make_unique<parlune::bench::TimingSink>();
        sink = made.get();
        return made;
    };
    std::string error;
    return parlune::Speaker::start(std::move(options), error);
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int scale = quick ? 10 : 1;

    int sampleRate =
        espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 20, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (sampleRate <= 0 || espeak_SetVoiceByName("en") != EE_OK) {
        std::fprintf(stderr, "engine_bench: espeak-ng cannot start\n");
        return 1;
    }
    espeak_SetSynthCallback(onSamples);
    espeak_SetParameter(espeakRATE, 175, 0);

    // Baselines.
    std::vector<double> inCall, inFirst, inRtf;
    for (int i = 0; i < 200 / scale; ++i) {
        InProcessRun r = synthesiseInProcess(kSentence, sampleRate);
        inCall.push_back(r.callMs);
        inFirst.push_back(r.firstSampleMs);
    }
    for (int i = 0; i < 30 / scale + 1; ++i) {
        InProcessRun r = synthesiseInProcess(kParagraph, sampleRate);
        inRtf.push_back(r.callMs / 1000.0 / r.audioSeconds);
    }

    // Play call time through the public API (null output).
    ::setenv("PARLUNE_AUDIO", "null", 1);
    std::vector<double> playCall;
    {
        ParluneDaHandle h = ParluneDa_Create();
        if (h == nullptr) {
            std::fprintf(stderr, "engine_bench: ParluneDa_Create failed\n");
            return 1;
        }
        for (int i = 0; i < 1000 / scale; ++i) {
            auto start = Clock::now();
            int result = ParluneDa_Play(h, kSentence, 100, 0, 0, 0);
            playCall.push_back(ms(Clock::now() - start));
            if (result != PARLUNE_DA_OK) {
                std::fprintf(stderr, "engine_bench: Play returned %d\n", result);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(8));  // let the queue drain
        }
        ParluneDa_Release(h);
    }

    // Play call time behind a backlog of at least 1 MiB: sixteen 64 KiB
    // paragraphs take the worker minutes, so the queue stays that long.
    std::vector<double> playBacklog;
    {
        ParluneDaHandle h = ParluneDa_Create();
        std::string paragraph;
        while (paragraph.size() < 64 * 1024) {
            paragraph += kParagraph;
            paragraph += ' ';
        }
        for (int i = 0; i < 17 && h != nullptr; ++i) {
            ParluneDa_Play(h, paragraph.c_str(), 100, 0, 0, 0);
        }
        for (int i = 0; i < 1000 / scale && h != nullptr; ++i) {
            auto start = Clock::now();
            int result = ParluneDa_Play(h, kSentence, 100, 0, 0, 0);
            playBacklog.push_back(ms(Clock::now() - start));
            if (result != PARLUNE_DA_OK) {
                std::fprintf(stderr, "engine_bench: Play behind the backlog returned %d\n", result);
            }
        }
        ParluneDa_Release(h);
    }

    // Play to the first audible sample at the sound server (its monitor).
    std::vector<double> playAudible;
    if (std::getenv("PULSE_SERVER") != nullptr) {
        ::unsetenv("PARLUNE_AUDIO");
        SoundMonitor monitor("cap.monitor");
        ParluneDaHandle h = monitor.ok() ? ParluneDa_Create() : nullptr;
        if (h != nullptr) {
            ParluneDa_Play(h, "Warm up.", 100, 0, 0, 0);  // opens the stream
            std::this_thread::sleep_for(std::chrono::seconds(3));
            std::mt19937 random(7);
            std::uniform_int_distribution<int> gap(700, 1000);
            for (int i = 0; i < 30 / scale + 1; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
                auto start = Clock::now();
                ParluneDa_Play(h, "Sound.", 100, 0, 0, 0);
                double heard = monitor.firstSoundAfter(start, std::chrono::seconds(3));
                if (heard >= 0) {
                    playAudible.push_back(heard);
                }
            }
            ParluneDa_Release(h);
        } else {
            std::fprintf(stderr, "engine_bench: no monitor of the sink \"cap\" or no engine\n");
        }
        ::setenv("PARLUNE_AUDIO", "null", 1);
    }

    // Play to first sample and real-time factor through the helper.
    std::vector<double> helperFirst, helperRtf;
    {
        parlune::bench::TimingSink* sink = nullptr;
        std::unique_ptr<parlune::Speaker> speaker = startSpeaker(sink);
        if (!speaker) {
            std::fprintf(stderr, "engine_bench: helper did not start\n");
            return 1;
        }
        speaker->play("", 100);  // makes the sink
        while (sink == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sink->waitFinished();
        for (int i = 0; i < 300 / scale; ++i) {
            sink->reset();
            auto start = Clock::now();
            speaker->play(kSentence, 100);
            auto u = sink->waitFinished();
            helperFirst.push_back(ms(u.firstSample - start));
        }
        for (int i = 0; i < 30 / scale + 1; ++i) {
            sink->reset();
            auto start = Clock::now();
            speaker->play(kParagraph, 100);
            auto u = sink->waitFinished();
            helperRtf.push_back(ms(u.finished - start) / 1000.0 /
                                (static_cast<double>(u.samples) / sampleRate));
        }
    }

    // Create and Release.
    std::vector<double> create, releaseIdle, releaseWav, releasePulse;
    std::string longText;
    while (longText.size() < 6000) {
        longText += "Release has to stop this text while it is still being produced. ";
    }
    for (int i = 0; i < 100 / scale; ++i) {
        auto start = Clock::now();
        ParluneDaHandle h = ParluneDa_Create();
        create.push_back(ms(Clock::now() - start));
        start = Clock::now();
        ParluneDa_Release(h);
        releaseIdle.push_back(ms(Clock::now() - start));
    }
    std::string dir = std::filesystem::temp_directory_path() / "parlune-bench-wav-XXXXXX";
    if (::mkdtemp(dir.data()) != nullptr) {
        ::setenv("PARLUNE_AUDIO", ("wav:" + dir).c_str(), 1);
        for (int i = 0; i < 30 / scale + 1; ++i) {
            ParluneDaHandle h = ParluneDa_Create();
            ParluneDa_Play(h, longText.c_str(), 100, 0, 0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            auto start = Clock::now();
            ParluneDa_Release(h);
            releaseWav.push_back(ms(Clock::now() - start));
        }
        std::filesystem::remove_all(dir);
    }
    if (std::getenv("PULSE_SERVER") != nullptr) {
        ::unsetenv("PARLUNE_AUDIO");
        for (int i = 0; i < 10 / scale + 1; ++i) {
            ParluneDaHandle h = ParluneDa_Create();
            ParluneDa_Play(h, longText.c_str(), 100, 0, 0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(i % 2 == 0 ? 300 : 3000));
            auto start = Clock::now();
            ParluneDa_Release(h);
            releasePulse.push_back(ms(Clock::now() - start));
        }
    }

    Stats sInCall = stats(inCall), sPlay = stats(playCall);
    Stats sInFirst = stats(inFirst), sFirst = stats(helperFirst);
    Stats sInRtf = stats(inRtf), sRtf = stats(helperRtf);
    std::printf("ParluneDa engine benchmarks%s\n", quick ? " (quick)" : "");
    std::printf("Play call\n");
    row("ParluneDa_Play (returns after queueing)", sPlay, "ms");
    row("baseline: in-process espeak_Synth, blocking", sInCall, "ms");
    ratio("Play / baseline", sPlay, sInCall);
    row("ParluneDa_Play behind a 1 MiB backlog", stats(playBacklog), "ms");
    ratio("backlog / empty queue", stats(playBacklog), sPlay);
    std::printf("Play to first PCM sample\n");
    row("through the helper process", sFirst, "ms");
    row("baseline: in-process espeak_Synth", sInFirst, "ms");
    ratio("helper / baseline", sFirst, sInFirst);
    if (!playAudible.empty()) {
        row("to audible at the server's monitor (PulseAudio)", stats(playAudible), "ms");
        ratio("audible / first PCM sample", stats(playAudible), sFirst);
    }
    std::printf("Synthesis real-time factor (synthesis time / audio time)\n");
    row("through the helper process", sRtf, "");
    row("baseline: in-process espeak_Synth", sInRtf, "");
    ratio("helper / baseline", sRtf, sInRtf);
    std::printf("Create and Release\n");
    row("ParluneDa_Create (starts the helper)", stats(create), "ms");
    row("ParluneDa_Release, idle", stats(releaseIdle), "ms");
    row("ParluneDa_Release, during WAV output", stats(releaseWav), "ms");
    if (!releasePulse.empty()) {
        row("ParluneDa_Release, during audio playback", stats(releasePulse), "ms");
    }
    return 0;
}
