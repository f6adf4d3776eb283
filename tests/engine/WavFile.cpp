#include "WavFile.h"

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
    std::memcpy(m_samples.data(), h + 44, dataBytes);
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
