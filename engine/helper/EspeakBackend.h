// espeak-ng in this process: every language it has, and the fallback.
// espeak-ng has one engine per process; so does this class.
#pragma once

#include <memory>
#include <string>

#include "SynthBackend.h"

namespace parlune::helper {

class EspeakBackend : public SynthBackend {
  public:
    // Null when espeak-ng cannot load its data.
    static std::unique_ptr<EspeakBackend> create();

    std::string load(const std::string& voice) override;

    using SynthBackend::speak;
    Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                 const PcmCallback& out) override;
    // Words and IPA phonemes from espeak-ng's own events.
    bool givesMarks() const override { return true; }
    Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                 const PcmCallback& out, const MarkCallback& marks) override;

  private:
    explicit EspeakBackend(int rate) : m_rate(rate) {}
    bool select(const std::string& voice);

    int m_rate;
    std::string m_voice;  // the one selected now
};

}  // namespace parlune::helper
