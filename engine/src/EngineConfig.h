// Settings of one engine instance, read from the environment at Create.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace parlune {

class EngineConfig {
  public:
    enum class Output { Pulse, Wav, Null };

    // Reads PARLUNE_AUDIO, PARLUNE_VOICE, PARLUNE_ENCODING, PARLUNE_HELPER
    // and PARLUNE_HELPER_TIMEOUT_MS; nullopt when one of them is unusable,
    // with `error` naming the variable, its value and what is wrong.
    static std::optional<EngineConfig> fromEnvironment(std::string& error);

    // parlune-da-helper beside the binary that holds this code (normally
    // libParluneDa.so); empty when that binary cannot be found.
    static std::string defaultHelperPath();

    // espeak-ng voices for the language of the locale the environment names
    // for messages ("pt_BR.UTF-8" -> pt-br, pt, en), best first.
    static std::vector<std::string> localeVoices();

    Output output = Output::Pulse;
    std::string wavDirectory;
    std::vector<std::string> voices{"en"};  // the helper takes the first it has
    std::string encoding;                   // of texts that are not UTF-8
    std::string helperPath;
    int helperTimeoutMs = 10000;
};

}  // namespace parlune
