// Writes each utterance as NNNNNN.wav plus its text bytes as NNNNNN.txt into
// a directory. Both are written under hidden temporary names and renamed when
// complete, the .txt first. Numbers increase within the process, starting
// above the highest number already in the directory.
#pragma once

#include <string>

#include "AudioSink.h"
#include "UniqueFd.h"

namespace parlune {

class WavSink : public AudioSink {
  public:
    explicit WavSink(std::string directory);
    ~WavSink() override;

    bool begin(const std::string& text, int sampleRate) override;
    bool write(const int16_t* samples, size_t count) override;
    bool finish() override;
    void abandon() override;
    // The file keeps what was written until the cut; after finish, nothing.
    bool cut() override { return m_wav.valid() ? finish() : true; }

  private:
    static unsigned long long nextNumber(const std::string& directory);

    std::string m_directory;
    UniqueFd m_wav;
    std::string m_name;  // NNNNNN of the current utterance
    int m_sampleRate = 0;
    unsigned long long m_dataBytes = 0;
};

}  // namespace parlune
