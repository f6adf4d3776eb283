// Settings of one engine instance, read from the environment at Create.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace parlune {

class EngineConfig {
  public:
    enum class Output { Pulse, Wav, Null };

    // Reads PARLUNE_AUDIO, PARLUNE_VOICE, PARLUNE_VOICE_JA, PARLUNE_VOICE_EN,
    // PARLUNE_ENCODING, PARLUNE_HELPER and PARLUNE_HELPER_TIMEOUT_MS; nullopt when one of them is
    // unusable, with `error` naming the variable, its value and what is wrong.
    static std::optional<EngineConfig> fromEnvironment(std::string& error);

    // parlune-da-helper beside the binary that holds this code (normally
    // libParluneDa.so); empty when that binary cannot be found.
    static std::string defaultHelperPath();

    // espeak-ng voices for the language of the locale the environment names
    // for messages ("pt_BR.UTF-8" -> pt-br, pt, en), best first.
    static std::vector<std::string> localeVoices();

    // The helper's command-line arguments for these voice settings.
    std::vector<std::string> helperArguments() const;

    Output output = Output::Pulse;
    std::string wavDirectory;
    std::string voice = "auto";          // as PARLUNE_VOICE spells it
    std::string japaneseVoice;           // PARLUNE_VOICE_JA, "" for the default
    std::string englishVoice;            // PARLUNE_VOICE_EN, "" for the default
    std::vector<std::string> encodings;  // of texts that are not UTF-8, by preference
    std::string helperPath;
    int helperTimeoutMs = 10000;
};

}  // namespace parlune
