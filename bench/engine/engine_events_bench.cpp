// How well the event queue's STARTED and FINISHED times say when a text is
// heard, on the audio server PULSE_SERVER names (run under
// tests/support/with-pulse; its null sink "cap" is listened to through its
// monitor). Per utterance: Play to the STARTED time; the STARTED time less
// the first audible sample at the monitor, and the FINISHED time less the
// last one (the estimate's error; positive: later than heard); and, as the
// baseline measured in the same run, Play to the first audible sample.
// Usage: engine_events_bench [UTTERANCES]; the voice as PARLUNE_VOICE says.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ParluneDa.h"
#include "Percentile.h"
#include "SoundMonitor.h"

namespace {

using Clock = SoundMonitor::Clock;

double msSinceEpoch(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t.time_since_epoch()).count();
}

// Takes events until one of `kind` for `text` is due; false after `timeout`.
bool waitForEvent(ParluneDaHandle h, int kind, uint64_t text, ParluneDaEvent& found,
                  std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        ParluneDaEvent event{};
        int taken = ParluneDa_NextEvent(h, &event);
        if (taken < 0) {
            return false;
        }
        if (taken == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            continue;
        }
        if (event.kind == kind && event.text == text) {
            found = event;
            return true;
        }
    }
    return false;
}

void row(const char* name, const std::vector<double>& v) {
    std::printf("  %-46s n=%-4zu p1=%8.2f  p50=%8.2f  p99=%8.2f ms\n", name, v.size(),
                percentile(v, 0.01), percentile(v, 0.50), percentile(v, 0.99));
}

std::vector<double> magnitudes(const std::vector<double>& v) {
    std::vector<double> out;
    for (double x : v) out.push_back(std::fabs(x));
    return out;
}

// Quiet (no sample above 500) before the first and after the last audible
// sample of one utterance as the WAV sink wrote it, in milliseconds.
struct Quiet {
    double leadingMs = 0;
    double trailingMs = 0;
};

Quiet quietOf(const std::string& wavPath) {
    std::ifstream in(wavPath, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Quiet quiet;
    if (bytes.size() <= 44) {
        return quiet;
    }
    int32_t rate = 0;
    std::memcpy(&rate, bytes.data() + 24, sizeof rate);
    const size_t count = (bytes.size() - 44) / 2;
    std::vector<int16_t> samples(count);
    std::memcpy(samples.data(), bytes.data() + 44, count * 2);
    size_t first = 0, last = count;
    while (first < count && std::abs(samples[first]) <= 500) ++first;
    while (last > first && std::abs(samples[last - 1]) <= 500) --last;
    quiet.leadingMs = 1000.0 * static_cast<double>(first) / rate;
    quiet.trailingMs = 1000.0 * static_cast<double>(count - last) / rate;
    return quiet;
}

// Speaks `texts` into WAV files and measures their quiet ends.
std::vector<Quiet> quietOfTexts(const std::vector<std::string>& texts) {
    std::vector<Quiet> result;
    std::string dir = std::filesystem::temp_directory_path() / "parlune-events-bench-XXXXXX";
    if (::mkdtemp(dir.data()) == nullptr) {
        return result;
    }
    ::setenv("PARLUNE_AUDIO", ("wav:" + dir).c_str(), 1);
    ParluneDaHandle h = ParluneDa_Create();
    ::unsetenv("PARLUNE_AUDIO");
    ParluneDaEvent event{};
    if (h != nullptr && ParluneDa_EnableEvents(h) == PARLUNE_DA_OK) {
        for (const std::string& text : texts) {
            ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0);
        }
        if (waitForEvent(h, PARLUNE_DA_EVENT_FINISHED, texts.size(), event,
                         std::chrono::seconds(30))) {
            std::vector<std::string> wavs;
            for (const auto& entry : std::filesystem::directory_iterator(dir)) {
                if (entry.path().extension() == ".wav") wavs.push_back(entry.path());
            }
            std::sort(wavs.begin(), wavs.end());
            for (const std::string& wav : wavs) result.push_back(quietOf(wav));
        }
    }
    ParluneDa_Release(h);
    std::filesystem::remove_all(dir);
    return result;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 120;
    if (std::getenv("PULSE_SERVER") == nullptr || count <= 0) {
        std::fprintf(stderr, "usage: with-pulse engine_events_bench [UTTERANCES]\n");
        return 2;
    }
    const std::vector<std::string> texts = {"Sound.", "The door is open.",
                                            "Battery at forty percent."};
    const std::vector<Quiet> quiet = quietOfTexts(texts);
    if (quiet.size() != texts.size()) {
        std::fprintf(stderr, "engine_events_bench: the texts could not be written as WAV\n");
        return 1;
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        std::printf("quiet in \"%s\": %.1f ms before, %.1f ms after the sound\n", texts[i].c_str(),
                    quiet[i].leadingMs, quiet[i].trailingMs);
    }
    ::unsetenv("PARLUNE_AUDIO");
    SoundMonitor monitor("cap.monitor");
    ParluneDaHandle h = monitor.ok() ? ParluneDa_Create() : nullptr;
    if (h == nullptr || ParluneDa_EnableEvents(h) != PARLUNE_DA_OK) {
        std::fprintf(stderr, "engine_events_bench: no monitor of the sink \"cap\" or no engine\n");
        return 1;
    }
    std::printf("load before: %s\n", loadAverage().c_str());
    const auto timeout = std::chrono::seconds(10);
    ParluneDaEvent event{};
    uint64_t text = 1;
    ParluneDa_Play(h, "Warm up.", 100, 0, 0, 0);  // opens the stream
    waitForEvent(h, PARLUNE_DA_EVENT_IDLE, 0, event, timeout);

    std::vector<double> playToAudible, playToStarted, startedError, finishedError;
    std::vector<double> startedToSample, finishedToSample;  // less the utterance's own quiet
    std::mt19937 random(7);
    std::uniform_int_distribution<int> gap(300, 700);
    for (int i = 0; i < count; ++i) {
        monitor.waitQuiet(std::chrono::milliseconds(150), timeout);
        std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
        ++text;
        const Clock::time_point start = Clock::now();
        if (ParluneDa_Play(h, texts[i % 3].c_str(), 100, 0, 0, 0) != PARLUNE_DA_OK) {
            std::fprintf(stderr, "engine_events_bench: Play failed\n");
            continue;
        }
        ParluneDaEvent started{}, finished{};
        if (!waitForEvent(h, PARLUNE_DA_EVENT_STARTED, text, started, timeout) ||
            !waitForEvent(h, PARLUNE_DA_EVENT_FINISHED, text, finished, timeout)) {
            std::fprintf(stderr, "engine_events_bench: no events for text %llu\n",
                         static_cast<unsigned long long>(text));
            continue;
        }
        const double heard = monitor.firstSoundAfter(start, timeout);
        if (heard < 0 || !monitor.waitQuiet(std::chrono::milliseconds(150), timeout)) {
            continue;
        }
        const double startMs = msSinceEpoch(start);
        const double lastHeardMs = msSinceEpoch(monitor.lastSound());
        playToAudible.push_back(heard);
        playToStarted.push_back(started.time_ns / 1e6 - startMs);
        startedError.push_back(started.time_ns / 1e6 - (startMs + heard));
        finishedError.push_back(finished.time_ns / 1e6 - lastHeardMs);
        startedToSample.push_back(startedError.back() + quiet[i % 3].leadingMs);
        finishedToSample.push_back(finishedError.back() - quiet[i % 3].trailingMs);
    }
    ParluneDa_Release(h);

    std::printf("load after:  %s\n", loadAverage().c_str());
    std::printf("Event times against the monitor of the server's sink\n");
    row("baseline: Play -> first audible sample", playToAudible);
    row("Play -> STARTED.time_ns", playToStarted);
    row("STARTED.time_ns - first audible sample", startedError);
    row("  |error|", magnitudes(startedError));
    row("FINISHED.time_ns - last audible sample", finishedError);
    row("  |error|", magnitudes(finishedError));
    std::printf("The same, against the utterance's first and last sample (its quiet removed)\n");
    row("STARTED.time_ns - first sample heard", startedToSample);
    row("  |error|", magnitudes(startedToSample));
    row("FINISHED.time_ns - last sample heard", finishedToSample);
    row("  |error|", magnitudes(finishedToSample));
    return playToAudible.empty() ? 1 : 0;
}
