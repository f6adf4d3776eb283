#include "Recorder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "WavFile.h"

extern char** environ;

namespace parlune::test {

namespace {

constexpr int kRate = 22050;
constexpr size_t kWindow = kRate / 20;
constexpr double kLoudRms = 300.0;

}  // namespace

Recorder::Recorder(std::string rawPath) : m_path(std::move(rawPath)) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const char* argv[] = {"parec",          "-d",           "cap.monitor",  "--raw",
                          "--format=s16le", "--rate=22050", "--channels=1", "--latency-msec=20",
                          nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "parec", &actions, nullptr, const_cast<char**>(argv), environ) == 0) {
        m_pid = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
}

Recorder::~Recorder() { stop(); }

void Recorder::stop() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

double Recorder::soxMaximumAmplitude() const {
    std::string command = "sox -t raw -r 22050 -e signed -b 16 -c 1 '" + m_path + "' -n stat 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1.0;
    }
    double maximum = -1.0;
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        if (std::strncmp(line, "Maximum amplitude:", 18) == 0) {
            maximum = std::atof(line + 18);
        }
    }
    ::pclose(pipe);
    return maximum;
}

std::vector<bool> Recorder::loudWindows() const {
    std::string bytes = readFile(m_path);
    const auto* samples = reinterpret_cast<const int16_t*>(bytes.data());
    size_t count = bytes.size() / 2;
    std::vector<bool> loud;
    for (size_t start = 0; start + kWindow <= count; start += kWindow) {
        double sum = 0.0;
        for (size_t i = start; i < start + kWindow; ++i) {
            sum += static_cast<double>(samples[i]) * samples[i];
        }
        loud.push_back(std::sqrt(sum / kWindow) > kLoudRms);
    }
    return loud;
}

}  // namespace parlune::test
