// Probe for the voice benchmarks (bench/voice/run.sh). It speaks through the
// engine's public API; the voice comes from PARLUNE_VOICE (and
// PARLUNE_VOICE_JA, PARLUNE_VOICE_EN) as for the speech component.
//
//   voice_probe wav DIR TEXTS [REPEAT]
//       Speaks every line of the file TEXTS (REPEAT times over, default 1)
//       into WAV files in DIR (PARLUNE_AUDIO=wav:DIR), one text at a time,
//       and prints for each the milliseconds from ParluneDa_Play to the first
//       sample in the file being written (seen through inotify) and to the
//       finished file, the audio's length and its leading silence; then the
//       memory of the synthesis helper (this process's child). With
//       PROBE_MARKS=1 the timing marks are on (ParluneDa_EnableMarks) and
//       drained after each text.
//   voice_probe audible SOURCE COUNT TEXT [LEVEL]
//       COUNT calls of ParluneDa_Play(TEXT) through PulseAudio, each timed
//       to the first audible sample (magnitude above LEVEL, default 33,
//       -60 dBFS) at SOURCE (a sink's monitor, e.g. cap.monitor); each call after the one before
//       has fallen silent (1 s without an audible sample, at most 180 s); the last utterance is cut
//       short once heard. Prints each latency as it is measured (with how
//       long that utterance sounded, but for the last), then a summary; a
//       Play not heard within 10 s is counted as missed.
//   voice_probe audio COUNT TEXT RATE
//       The sound as data (ParluneDa_EnableAudio at RATE) through the output
//       PARLUNE_AUDIO names: COUNT calls of ParluneDa_Play(TEXT), each after
//       the one before ended; every chunk timed from when its first sample
//       is heard (its time_ns, the audio clock) to when ParluneDa_NextAudio
//       handed it out. Prints per call the chunks, their samples and the
//       lateness p50/p99/max in ms; beside it, the baseline of the same
//       moment: how late a thread of its own wakes from sleeping until the
//       next 20 ms tick (timer_p50_ms, timer_p99_ms).
//   voice_probe relead IN OUT MS
//       Copies the WAV file IN to OUT with the silence before its first
//       audible sample replaced by MS milliseconds of zeros, so that two
//       synthesisers' files reach a listener with the same lead.
//
// Prints "key=value" lines; the exit status is 0 when every text was heard
// or written.
#include <dirent.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "FileDescriptor.h"
#include "ParluneDa.h"
#include "Percentile.h"
#include "SoundMonitor.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Audible: a magnitude above -60 dBFS, where soft first consonants start.
constexpr int kAudibleLevel = 33;

// What one finished WAV file holds; rate 0 when it cannot be read.
struct WavFacts {
    int rate = 0;
    double audioMs = 0;
    double leadMs = 0;  // before the first sample above the audible threshold
    size_t firstAudible = 0;
    std::vector<int16_t> samples;
};

// Reads a file in the canonical WAV layout (44-byte header, 16-bit mono) as
// the engine and flite write it.
WavFacts readWav(const std::string& path, int threshold) {
    WavFacts facts;
    std::ifstream in(path, std::ios::binary);
    unsigned char header[44];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return facts;
    const auto le32 = [&](int at) {
        return static_cast<uint32_t>(header[at]) | static_cast<uint32_t>(header[at + 1]) << 8 |
               static_cast<uint32_t>(header[at + 2]) << 16 |
               static_cast<uint32_t>(header[at + 3]) << 24;
    };
    const uint32_t rate = le32(24);
    const uint32_t bytes = le32(40);
    if (rate == 0 || std::memcmp(header, "RIFF", 4) != 0 || le32(36) != 0x61746164) return facts;
    std::vector<int16_t> samples(bytes / 2);
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(bytes));
    samples.resize(static_cast<size_t>(in.gcount()) / 2);
    size_t first = samples.size();
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > threshold) {
            first = i;
            break;
        }
    }
    facts.rate = static_cast<int>(rate);
    facts.audioMs = 1000.0 * static_cast<double>(samples.size()) / rate;
    facts.leadMs = 1000.0 * static_cast<double>(first) / rate;
    facts.firstAudible = first;
    facts.samples = std::move(samples);
    return facts;
}

int relead(const std::string& inPath, const std::string& outPath, int leadMs) {
    const WavFacts facts = readWav(inPath, kAudibleLevel);
    if (facts.rate == 0) {
        std::fprintf(stderr, "voice_probe: %s is not a 16-bit mono WAV file\n", inPath.c_str());
        return 1;
    }
    std::vector<int16_t> out(static_cast<size_t>(facts.rate) * static_cast<size_t>(leadMs) / 1000);
    out.insert(out.end(), facts.samples.begin() + static_cast<std::ptrdiff_t>(facts.firstAudible),
               facts.samples.end());
    const auto le = [](uint32_t v) {
        return std::string{static_cast<char>(v & 0xff), static_cast<char>(v >> 8 & 0xff),
                           static_cast<char>(v >> 16 & 0xff), static_cast<char>(v >> 24 & 0xff)};
    };
    const uint32_t bytes = static_cast<uint32_t>(out.size() * sizeof(int16_t));
    const uint32_t rate = static_cast<uint32_t>(facts.rate);
    const std::string header = "RIFF" + le(36 + bytes) + "WAVEfmt " + le(16) + le(0x10001) +
                               le(rate) + le(rate * 2) + le(0x100002) + "data" + le(bytes);
    std::ofstream file(outPath, std::ios::binary | std::ios::trunc);
    file.write(header.data(), static_cast<std::streamsize>(header.size()));
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(bytes));
    if (!file.flush()) {
        std::fprintf(stderr, "voice_probe: cannot write %s\n", outPath.c_str());
        return 1;
    }
    return 0;
}

std::string statusField(const std::string& pid, const std::string& key) {
    std::ifstream in("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size() + 1, key + ":") == 0) {
            const size_t value = line.find_first_not_of(" \t", key.size() + 1);
            return value == std::string::npos ? "" : line.substr(value);
        }
    }
    return "";
}

// One line per child process of this one (the engine's synthesis helper).
void printChildren() {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return;
    const std::string self = std::to_string(getpid());
    while (dirent* entry = readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (statusField(pid, "PPid") != self) continue;
        // "1234 kB" -> "1234"
        const std::string rss = statusField(pid, "VmRSS"), hwm = statusField(pid, "VmHWM");
        std::printf("helper name=%s rss_kb=%s hwm_kb=%s\n", statusField(pid, "Name").c_str(),
                    rss.substr(0, rss.find(' ')).c_str(), hwm.substr(0, hwm.find(' ')).c_str());
    }
    closedir(proc);
}

int wav(const std::string& dir, const std::string& textsPath, int repeat) {
    std::vector<std::string> texts;
    std::ifstream in(textsPath);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) texts.push_back(line);
    }
    if (texts.empty()) {
        std::fprintf(stderr, "voice_probe: no texts in %s\n", textsPath.c_str());
        return 1;
    }
    FileDescriptor watch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!watch.valid() ||
        inotify_add_watch(watch.get(), dir.c_str(), IN_MODIFY | IN_MOVED_TO) < 0) {
        std::fprintf(stderr, "voice_probe: cannot watch %s: %s\n", dir.c_str(),
                     std::strerror(errno));
        return 1;
    }
    ::setenv("PARLUNE_AUDIO", ("wav:" + dir).c_str(), 1);
    ParluneDaHandle h = ParluneDa_Create();
    if (h == nullptr) {
        std::fprintf(stderr, "voice_probe: the engine did not start: %s\n",
                     ParluneDa_CreateError());
        return 1;
    }
    const char* marksWanted = std::getenv("PROBE_MARKS");
    const bool marks = marksWanted != nullptr && std::string(marksWanted) == "1";
    if (marks && ParluneDa_EnableMarks(h) != PARLUNE_DA_OK) {
        std::fprintf(stderr, "voice_probe: the marks could not be switched on\n");
        ParluneDa_Release(h);
        return 1;
    }
    std::vector<char> markText(1 << 20);
    uint64_t markOf = 0;
    int failed = 0;
    alignas(inotify_event) char buffer[8192];
    for (int r = 0; r < repeat; ++r) {
        for (size_t i = 0; i < texts.size(); ++i) {
            while (read(watch.get(), buffer, sizeof buffer) > 0) {
            }
            const Clock::time_point called = Clock::now();
            if (ParluneDa_Play(h, texts[i].c_str(), PARLUNE_DA_SPEED_NORMAL, 0, 0, 0) !=
                PARLUNE_DA_OK) {
                ++failed;
                continue;
            }
            double firstMs = -1, doneMs = -1;
            std::string done;
            // A text is given two minutes; a slower one counts as failed.
            while (done.empty() && millisSince(called) < 120000.0) {
                pollfd pfd{watch.get(), POLLIN, 0};
                if (poll(&pfd, 1, 1000) <= 0) continue;
                const double at = millisSince(called);
                const ssize_t n = read(watch.get(), buffer, sizeof buffer);
                for (ssize_t off = 0; off < n;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(buffer + off);
                    off += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                    const std::string name = event->len > 0 ? event->name : "";
                    if ((event->mask & IN_MODIFY) && firstMs < 0 && endsWith(name, ".wav.part")) {
                        // More than the header: samples have arrived (or the
                        // file is already finished and renamed).
                        struct stat st;
                        if (stat((dir + "/" + name).c_str(), &st) != 0 || st.st_size > 44) {
                            firstMs = at;
                        }
                    }
                    if ((event->mask & IN_MOVED_TO) && endsWith(name, ".wav")) {
                        done = name;
                        doneMs = at;
                    }
                }
            }
            if (done.empty()) {
                std::fprintf(stderr, "voice_probe: no WAV file for text %zu within 120 s\n", i + 1);
                ++failed;
                continue;
            }
            while (marks && ParluneDa_NextMarks(h, &markOf, markText.data(), markText.size()) > 0) {
            }
            const WavFacts facts = readWav(dir + "/" + done, kAudibleLevel);
            std::printf(
                "utt text=%zu first_ms=%.2f done_ms=%.2f audio_ms=%.1f lead_ms=%.1f "
                "rate=%d file=%s\n",
                i + 1, firstMs < 0 ? doneMs : firstMs, doneMs, facts.audioMs, facts.leadMs,
                facts.rate, done.c_str());
        }
    }
    printChildren();
    std::printf("skipped texts=%lld\n", static_cast<long long>(ParluneDa_SkippedTexts(h)));
    ParluneDa_Release(h);
    return failed == 0 ? 0 : 1;
}

// The text up to its first sentence end (. ! ? or the ideographic full stop).
std::string firstSentence(const std::string& text) {
    size_t end = text.find_first_of(".!?");
    if (end != std::string::npos) ++end;
    const size_t ideographic = text.find("\u3002");  // three bytes in UTF-8
    if (ideographic != std::string::npos) end = std::min(end, ideographic + 3);
    return text.substr(0, end);
}

int audible(const std::string& source, int count, const std::string& text, int level) {
    SoundMonitor monitor(source);
    if (!monitor.ok()) {
        std::fprintf(stderr, "voice_probe: cannot record %s\n", source.c_str());
        return 1;
    }
    ParluneDaHandle h = ParluneDa_Create();
    if (h == nullptr) {
        std::fprintf(stderr, "voice_probe: the engine did not start: %s\n",
                     ParluneDa_CreateError());
        return 1;
    }
    const auto quiet = std::chrono::milliseconds(1000);
    const auto longest = std::chrono::seconds(180);
    const auto firstSound = std::chrono::seconds(10);
    // The text's first sentence opens the audio stream and starts the voice.
    const std::string first = firstSentence(text);
    ParluneDa_Play(h, first.c_str(), PARLUNE_DA_SPEED_NORMAL, 0, 0, 0);
    if (monitor.firstSoundAfter(Clock::now(), firstSound, level) < 0.0) {
        std::fprintf(stderr, "voice_probe: the warm-up sentence was not heard within 10 s\n");
    }
    bool quietNow = monitor.waitQuiet(quiet, longest);
    std::mt19937 random(4242);
    std::uniform_int_distribution<int> gap(100, 400);
    std::vector<double> latency, spans;
    int missed = 0;
    for (int i = 0; i < count && quietNow; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
        const Clock::time_point called = Clock::now();
        if (ParluneDa_Play(h, text.c_str(), PARLUNE_DA_SPEED_NORMAL, 0, 0, 0) != PARLUNE_DA_OK) {
            std::fprintf(stderr, "voice_probe: Play %d was refused\n", i + 1);
            ++missed;
            continue;
        }
        const double heard = monitor.firstSoundAfter(called, firstSound, level);
        // Late sound must not be taken for the next Play's: wait for the quiet
        // after a miss too. The last utterance is not waited for: Release
        // cuts it short.
        const bool last = i + 1 == count;
        quietNow = last || monitor.waitQuiet(quiet, longest);
        if (heard < 0.0) {
            std::fprintf(stderr, "voice_probe: Play %d was not heard within 10 s\n", i + 1);
            ++missed;
            continue;
        }
        latency.push_back(heard);
        // As it comes: what was measured survives a run cut short.
        if (last) {
            std::printf("audible_ms %.2f\n", heard);
        } else {
            const double span =
                std::chrono::duration<double, std::milli>(monitor.lastSound() - called).count() -
                heard;
            spans.push_back(span);
            std::printf("audible_ms %.2f span_ms %.0f\n", heard, span);
        }
        std::fflush(stdout);
    }
    if (!quietNow) {
        std::fprintf(stderr, "voice_probe: an utterance did not end within 180 s\n");
        ++missed;
    }
    ParluneDa_Release(h);
    // An utterance heard much shorter than the others had a pause longer than
    // the quiet wait: the next Play may have been timed against its rest.
    const double usual = percentile(spans, 0.5);
    int cut = 0;
    for (double span : spans) cut += span < 0.8 * usual ? 1 : 0;
    if (cut > 0) {
        std::fprintf(stderr,
                     "voice_probe: %d utterance(s) sounded under 80%% of the usual %.0f ms\n", cut,
                     usual);
    }
    std::printf(
        "audible count=%d missed=%d cut=%d lat_p50_ms=%.1f lat_p99_ms=%.1f lat_max_ms=%.1f "
        "span_p50_ms=%.0f\n",
        count, missed, cut, percentile(latency, 0.5), percentile(latency, 0.99),
        percentile(latency, 1.0), usual);
    return missed == 0 && cut == 0 ? 0 : 1;
}

int audio(int count, const std::string& text, int rate) {
    ParluneDaHandle h = ParluneDa_Create();
    if (h == nullptr) {
        std::fprintf(stderr, "voice_probe: the engine did not start: %s\n",
                     ParluneDa_CreateError());
        return 1;
    }
    if (ParluneDa_EnableEvents(h) != PARLUNE_DA_OK ||
        ParluneDa_EnableAudio(h, rate) != PARLUNE_DA_OK) {
        std::fprintf(stderr, "voice_probe: the engine keeps no sound at %d Hz\n", rate);
        ParluneDa_Release(h);
        return 1;
    }
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        if (ParluneDa_Play(h, text.c_str(), PARLUNE_DA_SPEED_NORMAL, 0, 0, 0) != PARLUNE_DA_OK) {
            ++failed;
            continue;
        }
        std::vector<double> late, timer;
        long long samples = 0;
        bool ended = false;
        const Clock::time_point called = Clock::now();
        std::atomic<bool> done{false};
        std::thread ticker([&] {
            for (Clock::time_point tick = Clock::now(); !done;) {
                tick += std::chrono::milliseconds(20);
                std::this_thread::sleep_until(tick);
                timer.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - tick).count());
            }
        });
        while (millisSince(called) < 180000.0) {
            ParluneDaEvent event;
            while (ParluneDa_NextEvent(h, &event) == 1)
                ended = ended || event.kind == PARLUNE_DA_EVENT_IDLE;
            ParluneDaAudioChunk chunk;
            const int got = ParluneDa_NextAudio(h, &chunk, ended ? 0 : 20);
            if (got == 1) {
                const double now =
                    std::chrono::duration<double, std::nano>(Clock::now().time_since_epoch())
                        .count();
                late.push_back((now - static_cast<double>(chunk.time_ns)) / 1e6);
                samples += chunk.count;
            } else if (ended) {
                break;
            }
        }
        done = true;
        ticker.join();
        if (!ended) {
            std::fprintf(stderr, "voice_probe: call %d did not end within 180 s\n", i + 1);
            ++failed;
        }
        std::printf(
            "audio chunks=%zu samples=%lld late_p50_ms=%.2f late_p99_ms=%.2f late_max_ms=%.2f "
            "timer_p50_ms=%.2f timer_p99_ms=%.2f\n",
            late.size(), samples, percentile(late, 0.5), percentile(late, 0.99),
            percentile(late, 1.0), percentile(timer, 0.5), percentile(timer, 0.99));
        std::fflush(stdout);
    }
    ParluneDa_Release(h);
    return failed == 0 ? 0 : 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: voice_probe wav DIR TEXTS [REPEAT]\n"
                 "       voice_probe audible SOURCE COUNT TEXT [LEVEL]\n"
                 "       voice_probe audio COUNT TEXT RATE\n"
                 "       voice_probe relead IN OUT MS\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "wav" && (argc == 4 || argc == 5)) {
        const int repeat = argc == 5 ? std::atoi(argv[4]) : 1;
        if (repeat <= 0) return usage();
        return wav(argv[2], argv[3], repeat);
    }
    if (command == "audible" && (argc == 5 || argc == 6)) {
        const int count = std::atoi(argv[3]);
        const int level = argc == 6 ? std::atoi(argv[5]) : kAudibleLevel;
        if (count <= 0 || level <= 0 || level >= 32767) return usage();
        return audible(argv[2], count, argv[4], level);
    }
    if (command == "audio" && argc == 5) {
        const int count = std::atoi(argv[2]);
        if (count <= 0) return usage();
        return audio(count, argv[3], std::atoi(argv[4]));
    }
    if (command == "relead" && argc == 5) {
        const int leadMs = std::atoi(argv[4]);
        if (leadMs < 0 || leadMs > 10000 || (leadMs == 0 && std::string(argv[4]) != "0")) {
            return usage();
        }
        return relead(argv[2], argv[3], leadMs);
    }
    return usage();
}
