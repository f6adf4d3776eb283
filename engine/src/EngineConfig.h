// Settings of one engine instance, read from the environment at Create.
#pragma once

#include <optional>
#include <string>

namespace parlune {

class EngineConfig {
  public:
    enum class Output { Pulse, Wav, Null };

    // Reads PARLUNE_AUDIO, PARLUNE_VOICE, PARLUNE_HELPER and
    // PARLUNE_HELPER_TIMEOUT_MS; nullopt when one of them is unusable.
    static std::optional<EngineConfig> fromEnvironment();

    // parlune-da-helper beside the binary that holds this code (normally
    // libParluneDa.so); empty when that binary cannot be found.
    static std::string defaultHelperPath();

    Output output = Output::Pulse;
    std::string wavDirectory;
    std::string voice = "en";
    std::string helperPath;
    int helperTimeoutMs = 10000;
};

}  // namespace parlune
