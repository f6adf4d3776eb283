// One speech synthesiser inside the helper: UTF-8 text in, 16-bit mono PCM
// out through a callback as it is made, one sentence at a time. Every back
// end implements this and is named once, in BackendRegistry; the router
// never names one.
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
    // Nothing of the utterance plays yet: its first sound is being waited
    // for, and a back end may hand on the sentence's start sooner at a small
    // cost to its intonation.
    bool firstSound = false;
};

// A word or a phoneme in the samples of one speak call; or a sentence of
// the back end's own (start..end its samples), given once every mark of it
// has been: its samples need wait for no later mark.
struct SpeechMark {
    enum class Kind { Word, Phoneme, Sentence };
    Kind kind = Kind::Word;
    size_t start = 0;   // samples from the call's first sample, at its rate
    size_t end = 0;     // where it ends; 0: where the next of its kind starts
    size_t offset = 0;  // Word: its bytes in the text spoken
    size_t length = 0;
    std::string name;              // Phoneme: the back end's own symbol
    const char* viseme = nullptr;  // Phoneme: its mouth shape (Viseme.h)
};

class SynthBackend {
  public:
    // Receives samples at `rate` Hz; returns false to stop synthesis.
    using PcmCallback = std::function<bool(const int16_t* samples, size_t count, int rate)>;
    // Receives the marks of a sentence, in any order, by the time the
    // speak call returns; a back end that cuts the text into sentences of
    // its own ends each one's marks with a Sentence mark, as soon as it
    // can (before or after its samples).
    using MarkCallback = std::function<void(const SpeechMark& mark)>;

    enum class Result { Spoken, Failed, Stopped };

    virtual ~SynthBackend() = default;

    // Readies `voice` (loads it once); "" when it can speak, else what is
    // missing or wrong, naming the voice or the file.
    virtual std::string load(const std::string& voice) = 0;

    // Makes the first text of `voice` as quick as the next; called after
    // the helper has greeted the library.
    virtual void warmUp(const std::string& /*voice*/) {}

    // Speaks one sentence `text` with `voice` at the rate and pitch of
    // `prosody`. Failed: nothing more will come for this text; Stopped: the
    // callback asked to stop.
    virtual Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                         const PcmCallback& out) = 0;

    // The same, with the timing of words and phonemes handed to `marks`.
    // A back end that knows its timing overrides both; the others speak
    // without marks.
    virtual bool givesMarks() const { return false; }
    virtual Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                         const PcmCallback& out, const MarkCallback& /*marks*/) {
        return speak(voice, text, prosody, out);
    }
};

}  // namespace parlune::helper
