// Probe for the steering benchmarks (bench/controls/run.sh), through the
// engine's public API; the voice comes from PARLUNE_VOICE.
//
//   controls_probe wav VOLUME PITCH TEXT
//       Speaks TEXT once with ParluneDa_PlayWith at VOLUME and PITCH
//       (PARLUNE_AUDIO=wav:DIR names where the file goes) and waits until
//       the engine says it finished (at most 120 s).
//   controls_probe interrupt SOURCE COUNT LONG URGENT
//       At a private PulseAudio server's sink monitor SOURCE, COUNT rounds of
//       three measurements, each from the moment ParluneDa_Interrupt (or
//       the plain Play) is called:
//         silence_ms  LONG is playing; an interrupt without a text: the last
//                     audible sample of LONG;
//         urgent_ms   LONG is playing at volume 0 (its samples flow, nothing
//                     is heard); the interrupt, then Play(URGENT): the first
//                     audible sample of URGENT;
//         plain_ms    the engine idle; Play(URGENT): its first audible sample.
//       Prints each round, then p50/p99 of each.
//
// Prints "key=value" lines; the exit status is 0 when everything was heard.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ParluneDa.h"
#include "Percentile.h"
#include "SoundMonitor.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

ParluneDaHandle createEngine() {
    ParluneDaHandle h = ParluneDa_Create();
    if (h == nullptr) {
        std::fprintf(stderr, "controls_probe: the engine did not start: %s\n",
                     ParluneDa_CreateError());
    }
    return h;
}

int wav(int volume, int pitch, const std::string& text) {
    ParluneDaHandle h = createEngine();
    if (h == nullptr) return 1;
    bool finished = false;
    if (ParluneDa_EnableEvents(h) == PARLUNE_DA_OK &&
        ParluneDa_PlayWith(h, text.c_str(), PARLUNE_DA_SPEED_NORMAL, volume, pitch) ==
            PARLUNE_DA_OK) {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(120);
        while (!finished && Clock::now() < deadline) {
            ParluneDaEvent event{};
            while (ParluneDa_NextEvent(h, &event) == 1) {
                finished = finished || event.kind == PARLUNE_DA_EVENT_FINISHED;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ParluneDa_Release(h);
    if (!finished) std::fprintf(stderr, "controls_probe: the text did not finish\n");
    return finished ? 0 : 1;
}

int interrupt(const std::string& source, int count, const std::string& longText,
              const std::string& urgent) {
    SoundMonitor monitor(source);
    if (!monitor.ok()) {
        std::fprintf(stderr, "controls_probe: cannot record %s\n", source.c_str());
        return 1;
    }
    ParluneDaHandle h = createEngine();
    if (h == nullptr) return 1;
    const auto quiet = std::chrono::milliseconds(800);
    const auto heardWithin = std::chrono::seconds(10);
    const auto longest = std::chrono::seconds(120);
    // Warm-up: opens the audio stream and readies the voice.
    ParluneDa_Play(h, urgent.c_str(), PARLUNE_DA_SPEED_NORMAL, 0, 0, 0);
    monitor.firstSoundAfter(Clock::now(), heardWithin);
    bool ok = monitor.waitQuiet(quiet, longest);
    std::mt19937 random(2727);
    std::uniform_int_distribution<int> into(300, 900);  // ms into LONG
    std::vector<double> silence, urgentHeard, plain;
    int missed = 0;
    for (int i = 0; i < count && ok; ++i) {
        // LONG heard, then cut without a text.
        ParluneDa_Play(h, longText.c_str(), PARLUNE_DA_SPEED_NORMAL, 0, 0, 0);
        const double heard = monitor.firstSoundAfter(Clock::now(), heardWithin);
        std::this_thread::sleep_for(std::chrono::milliseconds(into(random)));
        const Clock::time_point cut = Clock::now();
        ParluneDa_Interrupt(h);
        ok = monitor.waitQuiet(quiet, longest);
        const double s = millisBetween(cut, monitor.lastSound());
        if (heard >= 0.0 && ok) silence.push_back(std::max(0.0, s));
        missed += heard < 0.0 ? 1 : 0;

        // LONG silent but flowing, cut by URGENT.
        ParluneDa_PlayWith(h, longText.c_str(), PARLUNE_DA_SPEED_NORMAL, 0,
                           PARLUNE_DA_PITCH_NORMAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(into(random)));
        const Clock::time_point urged = Clock::now();
        ParluneDa_Interrupt(h);
        ParluneDa_Play(h, urgent.c_str(), PARLUNE_DA_SPEED_NORMAL, 0, 0, 0);
        const double u = monitor.firstSoundAfter(urged, heardWithin);
        ok = ok && monitor.waitQuiet(quiet, longest);
        if (u >= 0.0) urgentHeard.push_back(u);
        missed += u < 0.0 ? 1 : 0;

        // The same text on an idle engine.
        const Clock::time_point played = Clock::now();
        ParluneDa_Play(h, urgent.c_str(), PARLUNE_DA_SPEED_NORMAL, 0, 0, 0);
        const double p = monitor.firstSoundAfter(played, heardWithin);
        ok = ok && monitor.waitQuiet(quiet, longest);
        if (p >= 0.0) plain.push_back(p);
        missed += p < 0.0 ? 1 : 0;
        std::printf("silence_ms %.2f urgent_ms %.2f plain_ms %.2f\n", s, u, p);
        std::fflush(stdout);
    }
    ParluneDa_Release(h);
    if (!ok) std::fprintf(stderr, "controls_probe: the sound did not fall quiet\n");
    std::printf(
        "interrupt count=%d missed=%d silence_p50_ms=%.1f silence_p99_ms=%.1f "
        "urgent_p50_ms=%.1f urgent_p99_ms=%.1f plain_p50_ms=%.1f plain_p99_ms=%.1f\n",
        count, missed, percentile(silence, 0.5), percentile(silence, 0.99),
        percentile(urgentHeard, 0.5), percentile(urgentHeard, 0.99), percentile(plain, 0.5),
        percentile(plain, 0.99));
    return ok && missed == 0 ? 0 : 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: controls_probe wav VOLUME PITCH TEXT\n"
                 "       controls_probe interrupt SOURCE COUNT LONG URGENT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "wav" && argc == 5) {
        return wav(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    }
    if (command == "interrupt" && argc == 6) {
        const int count = std::atoi(argv[3]);
        if (count <= 0) return usage();
        return interrupt(argv[2], count, argv[4], argv[5]);
    }
    return usage();
}
