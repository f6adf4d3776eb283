#include "Recorder.h"

#include <signal.h>

#include <cmath>
#include <cstdlib>

#include "WavFile.h"

namespace parlune::test {

namespace {

constexpr int kRate = 22050;
constexpr size_t kWindow = kRate / 20;
constexpr double kLoudRms = 300.0;

}  // namespace

Recorder::Recorder(std::string rawPath) : m_path(std::move(rawPath)) {
    testsupport::Launch launch;
    launch.outFile = m_path;
    m_parec = std::make_unique<testsupport::Process>(
        std::vector<std::string>{"parec", "-d", "cap.monitor", "--raw", "--format=s16le",
                                 "--rate=22050", "--channels=1", "--latency-msec=20"},
        launch);
}

Recorder::~Recorder() { stop(); }

void Recorder::stop() {
    if (running()) {
        m_parec->signal(SIGTERM);
        m_parec->wait(10000);
    }
}

double Recorder::soxMaximumAmplitude() const {
    const testsupport::RunResult sox =
        testsupport::run({"sox", "-t", "raw", "-r", "22050", "-e", "signed", "-b", "16", "-c", "1",
                          m_path, "-n", "stat"});
    double maximum = -1.0;
    // sox prints its statistics on standard error.
    for (const std::string& line : testsupport::splitLines(sox.err)) {
        if (line.rfind("Maximum amplitude:", 0) == 0) maximum = std::atof(line.c_str() + 18);
    }
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
