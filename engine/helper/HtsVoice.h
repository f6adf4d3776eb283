// One HTS voice file loaded once into the HTS engine, speaking Open JTalk's
// labels. A sentence's durations and parameters are made whole, its
// waveform frame by frame and handed on in chunks, so the first sound does
// not wait for the last. Not for concurrent use.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "SynthBackend.h"

namespace parlune::helper {

class HtsVoice {
  public:
    HtsVoice();
    ~HtsVoice();
    HtsVoice(const HtsVoice&) = delete;
    HtsVoice& operator=(const HtsVoice&) = delete;

    // Loads a Japanese voice file; false when the engine refuses it.
    bool load(const std::string& file);

    // Speaks a sentence's labels at the rate and pitch of `prosody`.
    // `ends`, when given, receives where each label's phoneme ends, in
    // samples from the first, before any sample is handed on.
    SynthBackend::Result speak(const std::vector<std::string>& labels, const Prosody& prosody,
                               const SynthBackend::PcmCallback& out,
                               std::vector<size_t>* ends = nullptr);

    // The same sentence with its first sound sooner. Its leading silence is
    // handed on as zeros, not voiced, but for the last few frames. With a
    // `pause` (the index of a pause label inside the sentence; 0: none),
    // the labels up to and with it are made on their own and voiced up to
    // the pause's middle; from there on the waveform is the whole
    // sentence's, as speak() makes it. The seam lies inside a pause the
    // voice makes anyway; the length is speak()'s within a frame or two.
    SynthBackend::Result speakSoon(const std::vector<std::string>& labels, size_t pause,
                                   const Prosody& prosody, const SynthBackend::PcmCallback& out);

  private:
    struct Engine;
    void setProsody(const Prosody& prosody);
    // Durations and parameters of the first `count` labels.
    bool generate(const std::vector<std::string>& labels, size_t count);
    // The sentence's phoneme ends, once its durations are made.
    void phonemeEnds(std::vector<size_t>& ends);
    // Runs the vocoder over the parameters made, chunk by chunk into `out`.
    SynthBackend::Result vocode(const SynthBackend::PcmCallback& out);

    std::unique_ptr<Engine> m_engine;
    bool m_loaded = false;
};

}  // namespace parlune::helper
