// In-process timing of flite's English voices inside the helper
// (FliteBackend), its CG synthesis streamed within the sentence against
// flite's own cg_synth:
//
//   flite_probe [VOICE [REPEAT [TEXT...]]]
//
// For each TEXT (default: a short and a long sentence) and each way, REPEAT
// (default 15) speak calls after one warm-up, alternating the two ways;
// prints the milliseconds from the call to its first chunk and to its end,
// median and maximum, as "key=value" lines: wall-clock time (`_ms`) and the
// calling thread's CPU time (`_cpu_ms`, what it would take on an idle core
// when other processes share the machine).
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FliteBackend.h"

namespace {

using parlune::helper::FliteBackend;
using parlune::helper::Prosody;
using Clock = std::chrono::steady_clock;

struct Timing {
    double firstMs = 0;
    double wholeMs = 0;
    double firstCpuMs = 0;
    double wholeCpuMs = 0;
};

double threadCpuMs() {
    timespec ts{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0) {
        return 0;
    }
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

Timing speakOnce(FliteBackend& flite, const std::string& voice, const std::string& text) {
    const double startCpu = threadCpuMs();
    const Clock::time_point start = Clock::now();
    Clock::time_point first{};
    double firstCpu = 0;
    bool seen = false;
    flite.speak(voice, text, Prosody{}, [&](const int16_t*, size_t n, int) {
        if (!seen && n > 0) {
            first = Clock::now();
            firstCpu = threadCpuMs();
            seen = true;
        }
        return true;
    });
    const Clock::time_point end = Clock::now();
    const double endCpu = threadCpuMs();
    const auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    return Timing{seen ? ms(first - start) : -1, ms(end - start), seen ? firstCpu - startCpu : -1,
                  endCpu - startCpu};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty()      ? 0
           : v.size() % 2 ? v[v.size() / 2]
                          : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string voice = argc > 1 ? argv[1] : "rms";
    int repeat = 15;
    if (argc > 2) {
        char* end = nullptr;
        const long n = std::strtol(argv[2], &end, 10);
        repeat = *argv[2] != '\0' && *end == '\0' && n >= 1 && n <= 10000 ? static_cast<int>(n) : 0;
    }
    std::vector<std::string> texts;
    for (int i = 3; i < argc; ++i) {
        texts.emplace_back(argv[i]);
    }
    if (texts.empty()) {
        texts = {"Please close the front door.",
                 "The robot stopped at the second door of the laboratory and waited for the lift."};
    }
    if (repeat < 1) {
        std::fprintf(stderr, "usage: flite_probe [VOICE [REPEAT [TEXT...]]]\n");
        return 2;
    }
    FliteBackend streamed(FliteBackend::CgSynthesis::Streaming);
    FliteBackend whole(FliteBackend::CgSynthesis::Whole);
    for (FliteBackend* f : {&streamed, &whole}) {
        if (!f->load(voice).empty()) {
            std::fprintf(stderr, "flite_probe: no voice %s\n", voice.c_str());
            return 1;
        }
        f->warmUp(voice);
    }
    for (size_t t = 0; t < texts.size(); ++t) {
        // [way][figure]: first, whole, first CPU, whole CPU
        std::vector<double> figures[2][4];
        for (int i = 0; i < repeat; ++i) {
            for (int way = 0; way < 2; ++way) {
                const Timing timing = speakOnce(way == 0 ? streamed : whole, voice, texts[t]);
                figures[way][0].push_back(timing.firstMs);
                figures[way][1].push_back(timing.wholeMs);
                figures[way][2].push_back(timing.firstCpuMs);
                figures[way][3].push_back(timing.wholeCpuMs);
            }
        }
        const char* const names[] = {"first", "whole", "first_cpu", "whole_cpu"};
        for (int way = 0; way < 2; ++way) {
            for (int f = 0; f < 4; ++f) {
                const std::vector<double>& v = figures[way][f];
                std::printf("text%zu_%s_%s_p50_ms=%.2f\ntext%zu_%s_%s_max_ms=%.2f\n", t,
                            way == 0 ? "streamed" : "whole", names[f], median(v), t,
                            way == 0 ? "streamed" : "whole", names[f],
                            *std::max_element(v.begin(), v.end()));
            }
        }
    }
    return 0;
}
