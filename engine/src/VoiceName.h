// A voice as the environment names it: "auto", "flite:rms", "openjtalk:mei",
// "espeak:de" or a bare espeak-ng voice name ("de").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace parlune {

struct VoiceName {
    enum class Engine { Auto, Espeak, Flite, OpenJTalk };

    // nullopt for a name that names nothing: an unknown engine prefix, a
    // voice the engine does not ship, an empty or overlong name.
    static std::optional<VoiceName> parse(std::string_view text);

    // The canonical spelling ("flite:rms", "espeak:de", "auto").
    std::string text() const;

    Engine engine = Engine::Auto;
    std::string voice;  // empty for Auto
};

}  // namespace parlune
