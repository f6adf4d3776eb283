#include "WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace parlune::test {

namespace {

uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

WavFile::WavFile(const std::string& path) {
    std::string bytes = readFile(path);
    if (bytes.size() < 44) {
        return;
    }
    const auto* h = reinterpret_cast<const unsigned char*>(bytes.data());
    uint32_t dataBytes = le32(h + 40);
    if (std::memcmp(h, "RIFF", 4) != 0 || le32(h + 4) != 36 + dataBytes ||
        std::memcmp(h + 8, "WAVEfmt ", 8) != 0 || le32(h + 16) != 16 || le16(h + 20) != 1 ||
        le16(h + 22) != 1 || le16(h + 34) != 16 || std::memcmp(h + 36, "data", 4) != 0 ||
        bytes.size() != 44 + static_cast<size_t>(dataBytes) || dataBytes % 2 != 0) {
        return;
    }
    m_sampleRate = static_cast<int>(le32(h + 24));
    m_samples.resize(dataBytes / 2);
    if (dataBytes > 0) {  // an empty utterance has no samples
        std::memcpy(m_samples.data(), h + 44, dataBytes);
    }
    m_valid = m_sampleRate > 0;
}

double WavFile::seconds() const {
    return m_sampleRate > 0 ? static_cast<double>(m_samples.size()) / m_sampleRate : 0.0;
}

int WavFile::peak() const {
    int best = 0;
    for (int16_t s : m_samples) {
        best = std::max(best, std::abs(static_cast<int>(s)));
    }
    return best;
}

double WavFile::energyAbove(double hz, double from, double to) const {
    constexpr size_t kFrame = 128;
    const double pi = std::acos(-1.0);
    size_t begin = static_cast<size_t>(std::max(0.0, from) * m_sampleRate);
    size_t end = std::min(m_samples.size(), static_cast<size_t>(std::max(0.0, to) * m_sampleRate));
    size_t firstHigh = static_cast<size_t>(std::ceil(hz * kFrame / m_sampleRate));
    double high = 0.0;
    double all = 0.0;
    for (size_t at = begin; at + kFrame <= end; at += kFrame) {
        for (size_t k = 1; k <= kFrame / 2; ++k) {
            double re = 0.0;
            double im = 0.0;
            for (size_t n = 0; n < kFrame; ++n) {
                // Hann window against leakage from the strong low bands.
                double w = 0.5 - 0.5 * std::cos(2 * pi * static_cast<double>(n) / kFrame);
                double x = w * m_samples[at + n];
                re += x * std::cos(2 * pi * static_cast<double>(k * n) / kFrame);
                im -= x * std::sin(2 * pi * static_cast<double>(k * n) / kFrame);
            }
            double power = re * re + im * im;
            all += power;
            if (k >= firstHigh) {
                high += power;
            }
        }
    }
    return all > 0.0 ? high / all : 0.0;
}

double WavFile::rms() const {
    if (m_samples.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (int16_t s : m_samples) {
        sum += static_cast<double>(s) * s;
    }
    return std::sqrt(sum / static_cast<double>(m_samples.size()));
}

}  // namespace parlune::test
