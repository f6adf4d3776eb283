// A mono 16-bit PCM WAV file read whole, with the measures the tests need.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/Files.h"

namespace parlune::test {

class WavFile {
  public:
    // Reads `path`; valid() is false when it is not a canonical mono
    // 16-bit PCM file whose header sizes match the file.
    explicit WavFile(const std::string& path);

    bool valid() const { return m_valid; }
    int sampleRate() const { return m_sampleRate; }
    const std::vector<int16_t>& samples() const { return m_samples; }
    double seconds() const;
    int peak() const;
    double rms() const;
    // The share of the signal's energy above `hz` (0..1), from short-time
    // spectra of [from, to) seconds; tells a voice made at 16 kHz (nothing
    // above 8 kHz) from one made at 22 or 48 kHz.
    double energyAbove(double hz, double from = 0.0, double to = 1e9) const;

  private:
    bool m_valid = false;
    int m_sampleRate = 0;
    std::vector<int16_t> m_samples;
};

using testsupport::readFile;

}  // namespace parlune::test
