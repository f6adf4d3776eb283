// Shared helpers of the end-to-end tests: the programs, the naming service
// the wrapper started, and reading what the speech engine wrote.
#pragma once

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Wait.h"

namespace e2e {

using testsupport::Process;
using testsupport::TempDir;

inline std::string naming() {
    const char* n = std::getenv("PARLUNE_NAMING");
    return n ? n : "127.0.0.1:2809";
}

// A launcher of ours, registered with the test's naming service, speech
// going to wav_dir (to the audio server when it is ""); env adds NAME=VALUE
// settings.
inline std::unique_ptr<Process> launch(const std::string& program, const TempDir& dir,
                                       const std::string& wav_dir,
                                       std::vector<std::string> extra = {},
                                       std::vector<std::string> env = {}) {
    std::vector<std::string> args = {
        program, "-o", "corba.nameservers:" + naming(), "-o",
        "logger.file_name:" +
            dir.file(std::string(program).substr(program.rfind('/') + 1) + ".log")};
    args.insert(args.end(), extra.begin(), extra.end());
    if (!wav_dir.empty()) env.insert(env.begin(), "PARLUNE_AUDIO=wav:" + wav_dir);
    return std::unique_ptr<Process>(new Process(args, dir.path(), env));
}

struct ToolResult {
    bool ok;
    std::string out;
    std::string err;
};

// Runs rtctl against the test's naming service (or another one).
inline ToolResult rtctl(const TempDir& dir, std::vector<std::string> args, int timeout_ms = 30000,
                        const std::string& naming_address = naming()) {
    args.insert(args.begin(), {RTCTL, "-n", naming_address});
    Process p(args, dir.path());
    const bool ended = p.wait(timeout_ms);
    return {ended && p.exitedWith(0), p.out(), p.err()};
}

// Waits until rtctl can see the component.
inline bool waitRegistered(const TempDir& dir, const std::string& comp, int timeout_ms = 15000) {
    return testsupport::waitUntil(
        [&] {
            return rtctl(dir, {"state", comp}).ok;
        },
        std::chrono::milliseconds(timeout_ms), std::chrono::milliseconds(100));
}

// Files in dir whose names end in suffix, as paths, sorted (the engine numbers them).
inline std::vector<std::string> filesEndingIn(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> paths;
    for (const std::string& name : testsupport::namesIn(dir, suffix))
        paths.push_back(dir + "/" + name);
    return paths;
}

// The texts the speech engine wrote, in the order it wrote them.
inline std::vector<std::string> spokenTexts(const std::string& wav_dir) {
    std::vector<std::string> texts;
    for (const auto& f : filesEndingIn(wav_dir, ".txt")) texts.push_back(testsupport::readFile(f));
    return texts;
}

inline bool waitSpoken(const std::string& wav_dir, size_t count, int timeout_ms = 20000) {
    return testsupport::waitUntil([&] { return spokenTexts(wav_dir).size() >= count; },
                                  std::chrono::milliseconds(timeout_ms),
                                  std::chrono::milliseconds(50));
}

// Waits until the engine has finished count WAV files (it renames each one
// into place once it is complete, just after its .txt).
inline bool waitWavs(const std::string& wav_dir, size_t count, int timeout_ms = 20000) {
    return testsupport::waitUntil([&] { return filesEndingIn(wav_dir, ".wav").size() >= count; },
                                  std::chrono::milliseconds(timeout_ms),
                                  std::chrono::milliseconds(20));
}

// Seconds of audio in a 16-bit mono WAV file written by the engine.
inline double wavSeconds(const std::string& path) {
    std::string data = testsupport::readFile(path);
    if (data.size() < 44) return 0.0;
    auto u32 = [&](size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(data[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(data[at + 1])) << 8 |
               static_cast<unsigned>(static_cast<unsigned char>(data[at + 2])) << 16 |
               static_cast<unsigned>(static_cast<unsigned char>(data[at + 3])) << 24;
    };
    const unsigned byte_rate = u32(28);
    return byte_rate ? static_cast<double>(data.size() - 44) / byte_rate : 0.0;
}

inline std::string lastWav(const std::string& wav_dir) {
    std::vector<std::string> wavs = filesEndingIn(wav_dir, ".wav");
    return wavs.empty() ? "" : wavs.back();
}

}  // namespace e2e
