#include "FaultyBackend.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace parlune::helper {

namespace {

using Engine = VoiceName::Engine;

std::optional<Engine> engineNamed(const std::string& name) {
    if (name == "espeak") return Engine::Espeak;
    if (name == "flite") return Engine::Flite;
    if (name == "openjtalk") return Engine::OpenJTalk;
    return std::nullopt;
}

}  // namespace

std::optional<FaultyBackend::Faults> FaultyBackend::Faults::parse(const std::string& text) {
    Faults faults;
    size_t start = 0;
    while (start < text.size()) {
        size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        start = comma + 1;
        const size_t eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
        if (key == "fail" && engineNamed(value)) {
            faults.failing.push_back(*engineNamed(value));
        } else if (key == "slow" && !value.empty() && value.size() <= 7 &&
                   value.find_first_not_of("0123456789") == std::string::npos) {
            faults.slowMs = std::stoi(value);
        } else {
            return std::nullopt;
        }
    }
    return faults;
}

bool FaultyBackend::Faults::fails(Engine engine) const {
    return std::find(failing.begin(), failing.end(), engine) != failing.end();
}

bool FaultyBackend::Faults::touch(Engine engine) const { return slowMs > 0 || fails(engine); }

FaultyBackend::FaultyBackend(SynthBackend& inner, bool fails, int slowMs)
    : m_inner(inner), m_fails(fails), m_slowMs(slowMs) {}

SynthBackend::Result FaultyBackend::speak(const std::string& voice, std::string_view text,
                                          const Prosody& prosody, const PcmCallback& out) {
    std::this_thread::sleep_for(std::chrono::milliseconds(m_slowMs));
    if (m_fails) {
        return Result::Failed;
    }
    return m_inner.speak(voice, text, prosody, out);
}

SynthBackend::Result FaultyBackend::speak(const std::string& voice, std::string_view text,
                                          const Prosody& prosody, const PcmCallback& out,
                                          const MarkCallback& marks) {
    std::this_thread::sleep_for(std::chrono::milliseconds(m_slowMs));
    if (m_fails) {
        return Result::Failed;
    }
    return m_inner.speak(voice, text, prosody, out, marks);
}

}  // namespace parlune::helper
