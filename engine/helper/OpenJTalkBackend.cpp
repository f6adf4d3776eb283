#include "OpenJTalkBackend.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "UniqueFd.h"
#include "WorkLimit.h"

namespace parlune::helper {

namespace {

using Clock = std::chrono::steady_clock;

// Mei clips now and then at full gain; -3 dB does not.
constexpr const char* kGainDb = "-3";
// A WAV larger than this is not one sentence's.
constexpr size_t kMaxWavBytes = 64u << 20;

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    bytes = all.str();
    return true;
}

uint32_t le32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

uint16_t le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                                 static_cast<unsigned char>(b[at + 1]) << 8);
}

// The 16-bit mono samples of a RIFF WAV and its rate; false when it is not one.
bool parseWav(const std::string& wav, size_t& dataStart, size_t& dataBytes, int& rate) {
    if (wav.size() < 12 || wav.compare(0, 4, "RIFF") != 0 || wav.compare(8, 4, "WAVE") != 0) {
        return false;
    }
    bool format = false;
    size_t at = 12;
    while (at + 8 <= wav.size()) {
        std::string id = wav.substr(at, 4);
        size_t size = le32(wav, at + 4);
        size_t body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= wav.size()) {
            format = le16(wav, body) == 1 && le16(wav, body + 2) == 1 && le16(wav, body + 14) == 16;
            rate = static_cast<int>(le32(wav, body + 4));
        } else if (id == "data") {
            // A writer that never came back to fix the size leaves it short or huge.
            dataStart = body;
            dataBytes = std::min(size, wav.size() - body) & ~static_cast<size_t>(1);
            return format && rate > 0;
        }
        at = body + size + (size & 1);
    }
    return false;
}

class Pipe {
  public:
    bool open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return false;
        }
        read.reset(fds[0]);
        write.reset(fds[1]);
        return true;
    }
    UniqueFd read;
    UniqueFd write;
};

// The exit status as waitpid reports it, -1 on error.
int reap(pid_t pid) {
    int status = -1;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace

OpenJTalkBackend::OpenJTalkBackend(Setup setup) : m_setup(std::move(setup)) {}

OpenJTalkBackend::~OpenJTalkBackend() = default;

OpenJTalkBackend::Run::~Run() {
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        reap(pid);
    }
}

void OpenJTalkBackend::prepare(const std::string& voice, const Prosody& prosody) {
    if (!m_next || m_next->voice != voice || m_next->speed != prosody.speed ||
        m_next->pitch != prosody.pitch) {
        m_next.reset();
        m_next = start(voice, prosody);
    }
}

std::unique_ptr<OpenJTalkBackend::Run> OpenJTalkBackend::start(const std::string& voice,
                                                               const Prosody& prosody) const {
    Pipe input;
    Pipe output;
    if (!input.open() || !output.open()) {
        return nullptr;
    }
    char rate[16];
    std::snprintf(rate, sizeof rate, "%.2f", static_cast<double>(prosody.speed) / 100.0);
    // The program shifts the pitch by half tones: 12 to the octave.
    char halfTones[16];
    std::snprintf(halfTones, sizeof halfTones, "%.3f",
                  12.0 * std::log2(static_cast<double>(prosody.pitch) / 100.0));
    std::string file = voiceFile(voice);
    const char* argv[] = {m_setup.program.c_str(),
                          "-x",
                          m_setup.dictionary.c_str(),
                          "-m",
                          file.c_str(),
                          "-r",
                          rate,
                          "-fm",
                          halfTones,
                          "-g",
                          kGainDb,
                          "-ow",
                          "/dev/stdout",
                          nullptr};
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) {
        return nullptr;
    }
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(input.read.get(), 0);
        ::dup2(output.write.get(), 1);
        ::execv(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    auto run = std::make_unique<Run>();
    run->pid = pid;
    run->input = std::move(input.write);
    run->output = std::move(output.read);
    run->voice = voice;
    run->speed = prosody.speed;
    run->pitch = prosody.pitch;
    return run;
}

std::string OpenJTalkBackend::voiceFile(const std::string& voice) const {
    const char* name = voice == "m001" ? "nitech_jp_atr503_m001.htsvoice" : "mei_normal.htsvoice";
    return m_setup.voiceDir + "/" + name;
}

bool OpenJTalkBackend::isVoiceData(const std::string& bytes) {
    if (bytes.compare(0, 8, "[GLOBAL]") != 0) {
        return false;
    }
    size_t data = bytes.find("[DATA]\n");
    size_t position = bytes.find("[POSITION]\n");
    if (data == std::string::npos || position == std::string::npos || position > data) {
        return false;
    }
    size_t dataStart = data + 7;
    size_t dataBytes = bytes.size() - dataStart;
    // Lines such as "STREAM_PDF[MCP]:25757-583536,..." give byte ranges in the data part.
    std::istringstream lines(bytes.substr(position, data - position));
    std::string line;
    bool any = false;
    while (std::getline(lines, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::istringstream ranges(line.substr(colon + 1));
        std::string range;
        while (std::getline(ranges, range, ',')) {
            size_t dash = range.find('-');
            if (dash == std::string::npos) {
                return false;
            }
            unsigned long long last = std::strtoull(range.c_str() + dash + 1, nullptr, 10);
            if (last >= dataBytes) {
                return false;
            }
            any = true;
        }
    }
    return any;
}

std::string OpenJTalkBackend::check(const std::string& voice) const {
    if (::access(m_setup.program.c_str(), X_OK) != 0) {
        return "the program " + m_setup.program + " is missing";
    }
    struct stat st {};
    if (::stat((m_setup.dictionary + "/sys.dic").c_str(), &st) != 0) {
        return "the dictionary " + m_setup.dictionary + " is missing";
    }
    std::string path = voiceFile(voice);
    std::string bytes;
    if (!readFile(path, bytes)) {
        return "the voice file " + path + " is missing or unreadable";
    }
    if (!isVoiceData(bytes)) {
        return "the voice file " + path + " is damaged";
    }
    return std::string();
}

SynthBackend::Result OpenJTalkBackend::speak(const std::string& voice, std::string_view text,
                                             const Prosody& prosody, const PcmCallback& out) {
    prepare(voice, prosody);
    std::unique_ptr<Run> run = std::move(m_next);
    if (!run) {
        return Result::Failed;
    }
    // One line: the program reads no further than the first line end.
    std::string line(text);
    line += '\n';
    ssize_t written = ::write(run->input.get(), line.data(), line.size());
    run->input.reset();
    if (written != static_cast<ssize_t>(line.size())) {
        return Result::Failed;  // it ended before reading
    }

    std::string wav;
    auto deadline = Clock::now() + WorkLimit::of(m_setup.timeLimitMs, text.size());
    char buffer[65536];
    for (;;) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return Result::Failed;  // the run is killed on the way out
        }
        pollfd p{run->output.get(), POLLIN, 0};
        int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready <= 0) {
            continue;  // EINTR, or the deadline check above ends it
        }
        ssize_t n = ::read(run->output.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        wav.append(buffer, static_cast<size_t>(n));
        if (wav.size() > kMaxWavBytes) {
            return Result::Failed;
        }
    }
    int status = reap(run->pid);
    run->pid = -1;
    run.reset();
    // The next sentence's run loads while this one plays.
    prepare(voice, prosody);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return Result::Failed;
    }
    size_t dataStart = 0;
    size_t dataBytes = 0;
    int wavRate = 0;
    if (!parseWav(wav, dataStart, dataBytes, wavRate) || dataBytes == 0) {
        return Result::Failed;
    }
    std::vector<int16_t> samples(dataBytes / 2);
    std::memcpy(samples.data(), wav.data() + dataStart, samples.size() * 2);
    return out(samples.data(), samples.size(), wavRate) ? Result::Spoken : Result::Stopped;
}

}  // namespace parlune::helper
