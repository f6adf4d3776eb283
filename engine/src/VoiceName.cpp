#include "VoiceName.h"

#include <array>

namespace parlune {

namespace {

constexpr size_t kMaxVoiceName = 64;
constexpr std::array<std::string_view, 4> kFliteVoices = {"rms", "slt", "awb", "kal16"};
constexpr std::array<std::string_view, 2> kOpenJTalkVoices = {"mei", "m001"};

template <size_t N>
bool oneOf(std::string_view name, const std::array<std::string_view, N>& names) {
    for (std::string_view known : names) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

// espeak-ng voice names: letters, digits and - _ + / . (e.g. "en-us",
// "mb/mb-en1", "en+f3").
bool isEspeakName(std::string_view name) {
    if (name.empty() || name.size() > kMaxVoiceName) {
        return false;
    }
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '_' || c == '+' || c == '/' || c == '.';
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<VoiceName> VoiceName::parse(std::string_view text) {
    if (text == "auto") {
        return VoiceName{};
    }
    size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        if (!isEspeakName(text)) {
            return std::nullopt;
        }
        return VoiceName{Engine::Espeak, std::string(text)};
    }
    std::string_view engine = text.substr(0, colon);
    std::string_view voice = text.substr(colon + 1);
    if (engine == "flite" && oneOf(voice, kFliteVoices)) {
        return VoiceName{Engine::Flite, std::string(voice)};
    }
    if (engine == "openjtalk" && oneOf(voice, kOpenJTalkVoices)) {
        return VoiceName{Engine::OpenJTalk, std::string(voice)};
    }
    if (engine == "espeak" && isEspeakName(voice)) {
        return VoiceName{Engine::Espeak, std::string(voice)};
    }
    return std::nullopt;
}

std::string VoiceName::text() const {
    switch (engine) {
        case Engine::Auto:
            return "auto";
        case Engine::Espeak:
            return "espeak:" + voice;
        case Engine::Flite:
            return "flite:" + voice;
        case Engine::OpenJTalk:
            return "openjtalk:" + voice;
    }
    return std::string();
}

}  // namespace parlune
