// Probe for the marks benchmark (bench/voice/marks.sh): speaks every line of
// TEXTS into WAV files in DIR (PARLUNE_AUDIO=wav:DIR), one text at a time,
// with the engine's timing marks on, and prints for each text
//
//   utt text=N file=NNNNNN.wav audio_ms=A end_ms=E end_err_ms=|E-A|
//
// (E: the latest END of the text's marks, A: the file's length), and writes
// DIR/NNNNNN.words: one "START_MS WORD" line per word mark, the word's bytes
// as the text has them.
//
//   marks_probe DIR TEXTS
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ParluneDa.h"

namespace {

// The newest .wav in dir ("" if none).
std::string newestWav(const std::string& dir) {
    std::string newest;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".wav") == 0)
                newest = std::max(newest, name);
        }
        closedir(d);
    }
    return newest;
}

double wavMs(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[44];
    if (!in.read(reinterpret_cast<char*>(h), sizeof h)) return -1;
    const auto le32 = [&](int at) {
        return static_cast<uint32_t>(h[at]) | static_cast<uint32_t>(h[at + 1]) << 8 |
               static_cast<uint32_t>(h[at + 2]) << 16 | static_cast<uint32_t>(h[at + 3]) << 24;
    };
    const uint32_t byteRate = le32(28);
    return byteRate == 0 ? -1 : 1000.0 * le32(40) / byteRate;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: marks_probe DIR TEXTS\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<std::string> texts;
    std::ifstream in(argv[2]);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) texts.push_back(line);
    }
    ::setenv("PARLUNE_AUDIO", ("wav:" + dir).c_str(), 1);
    ParluneDaHandle h = ParluneDa_Create();
    if (h == nullptr) {
        std::fprintf(stderr, "marks_probe: the engine did not start: %s\n",
                     ParluneDa_CreateError());
        return 1;
    }
    if (ParluneDa_EnableEvents(h) != PARLUNE_DA_OK || ParluneDa_EnableMarks(h) != PARLUNE_DA_OK) {
        std::fprintf(stderr, "marks_probe: no events or marks\n");
        return 1;
    }
    int failed = 0;
    std::vector<char> buffer(1 << 20);
    for (size_t i = 0; i < texts.size(); ++i) {
        const uint64_t ordinal = i + 1;
        if (ParluneDa_Play(h, texts[i].c_str(), PARLUNE_DA_SPEED_NORMAL, 0, 0, 0) !=
            PARLUNE_DA_OK) {
            ++failed;
            continue;
        }
        // Until the text's final event and the IDLE after it, two minutes at most.
        bool ended = false, idle = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        std::string marks;
        while (!(ended && idle) && std::chrono::steady_clock::now() < deadline) {
            ParluneDaEvent e{};
            while (ParluneDa_NextEvent(h, &e) == 1) {
                ended = ended || (e.text == ordinal && (e.kind == PARLUNE_DA_EVENT_FINISHED ||
                                                        e.kind == PARLUNE_DA_EVENT_SKIPPED));
                idle = ended && e.kind == PARLUNE_DA_EVENT_IDLE;
            }
            uint64_t text = 0;
            int64_t n;
            while ((n = ParluneDa_NextMarks(h, &text, buffer.data(), buffer.size())) > 0 &&
                   static_cast<size_t>(n) < buffer.size()) {
                marks.append(buffer.data(), static_cast<size_t>(n));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const std::string wav = newestWav(dir);
        if (!ended || wav.empty()) {
            std::fprintf(stderr, "marks_probe: text %zu did not end within 2 minutes\n", i + 1);
            ++failed;
            continue;
        }
        std::ofstream words(dir + "/" + wav.substr(0, wav.size() - 4) + ".words");
        std::istringstream lines(marks);
        long last = 0;
        for (std::string line; std::getline(lines, line);) {
            std::istringstream f(line);
            std::string kind;
            long start = 0, end = 0;
            if (!(f >> kind >> start >> end)) continue;
            last = std::max(last, end);
            size_t offset = 0, length = 0;
            if (kind == "word" && f >> offset >> length && length > 0 &&
                offset + length <= texts[i].size())
                words << start << ' ' << texts[i].substr(offset, length) << '\n';
        }
        const double audio = wavMs(dir + "/" + wav);
        std::printf("utt text=%zu file=%s audio_ms=%.1f end_ms=%ld end_err_ms=%.1f\n", i + 1,
                    wav.c_str(), audio, last, std::fabs(static_cast<double>(last) - audio));
    }
    ParluneDa_Release(h);
    return failed == 0 ? 0 : 1;
}
