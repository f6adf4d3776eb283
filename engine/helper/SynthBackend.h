// One speech synthesiser inside the helper: UTF-8 text in, 16-bit mono PCM
// out through a callback as it is made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace parlune::helper {

// How a text is to sound, in percent of the voice's normal rate and pitch.
struct Prosody {
    int speed = 100;  // 50..300
    int pitch = 100;  // 50..200
};

class SynthBackend {
  public:
    // Receives samples at `rate` Hz; returns false to stop synthesis.
    using PcmCallback = std::function<bool(const int16_t* samples, size_t count, int rate)>;

    enum class Result { Spoken, Failed, Stopped };

    virtual ~SynthBackend() = default;

    // Speaks `text` with `voice` at the rate and pitch of `prosody`.
    // Failed: nothing more will come for this text; Stopped: the callback
    // asked to stop.
    virtual Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                         const PcmCallback& out) = 0;
};

}  // namespace parlune::helper
