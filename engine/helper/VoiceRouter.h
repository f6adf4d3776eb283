// Decides which synthesiser speaks what, from the voice settings the
// library passes, and speaks a piece of text sentence by sentence: each
// sentence by the voice of its script, in order, into one PcmOutput.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FaultyBackend.h"
#include "HelperProtocol.h"
#include "PcmOutput.h"
#include "ScriptRouter.h"
#include "SynthBackend.h"
#include "VoiceName.h"

namespace parlune::helper {

class VoiceRouter {
  public:
    // The helper's one output rate (espeak-ng's own, so its languages need
    // no conversion).
    static constexpr int kOutputRate = 22050;

    struct Settings {
        std::string voice = "auto";                   // PARLUNE_VOICE
        std::string japanese;                         // PARLUNE_VOICE_JA, "" for the default
        std::string english;                          // PARLUNE_VOICE_EN, "" for the default
        std::vector<std::string> localeVoices{"en"};  // espeak-ng voices of the locale, best first
        std::string voiceDir;
        std::string dictionary;
        int timeoutMs = 10000;  // the library's patience with a silent helper
        std::string faults;     // PARLUNE_HELPER_FAULTS, test-only (see FaultyBackend)
    };

    enum class Start { Ok, NoData, NoVoice };

    // Loads what the settings need. `notices` receives one line per voice
    // that could not be had and what speaks instead, or why it cannot start.
    Start start(const Settings& settings, std::vector<std::string>& notices);

    // Readies the voices in use for their first text; done after the
    // hello, so that Create does not wait for it.
    void warmUp();

    struct Outcome {
        bool stopped = false;  // the receiver went away
        size_t failed = 0;     // sentences left out
        size_t spoken = 0;     // sentences synthesised
    };
    Outcome speak(std::string_view text, const Prosody& prosody, bool startsUtterance,
                  PcmOutput& out);

    // The same, each sentence's marks handed to `marks` before its samples
    // go to `out`; false from it stops, as the receiver is gone.
    using MarkSink = std::function<bool(const std::vector<protocol::MarkRecord>&)>;
    Outcome speak(std::string_view text, const Prosody& prosody, bool startsUtterance,
                  PcmOutput& out, const MarkSink* marks);

  private:
    SynthBackend* backendFor(const VoiceName& voice);
    const VoiceName& voiceFor(ScriptRouter::Script script) const;
    bool usable(const VoiceName& voice, const char* variable, const std::string& value,
                std::vector<std::string>& notices);

    std::map<VoiceName::Engine, std::unique_ptr<SynthBackend>> m_backends;
    std::map<VoiceName::Engine, std::unique_ptr<FaultyBackend>> m_faulty;  // tests only
    VoiceName m_japanese;
    VoiceName m_latin;
    VoiceName m_other;
    bool m_hanziAreJapanese = true;
};

}  // namespace parlune::helper
