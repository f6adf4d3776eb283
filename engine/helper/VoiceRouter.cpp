#include "VoiceRouter.h"

#include <algorithm>
#include <optional>

#include "BackendRegistry.h"
#include "MarkBuilder.h"
#include "MarkedStretch.h"

namespace parlune::helper {

namespace {

using Engine = VoiceName::Engine;

// Leading silence kept before the first sound of an utterance, and at most
// before each later sentence (a natural pause, not the synthesiser's lead-in).
constexpr int kUtteranceLeadMs = 10;
constexpr int kSentenceLeadMs = 200;

const VoiceName kMei{Engine::OpenJTalk, "mei"};
const VoiceName kRms{Engine::Flite, "rms"};
const VoiceName kEspeakJapanese{Engine::Espeak, "ja"};

std::string languageOf(const std::string& espeakVoice) {
    return espeakVoice.substr(0, espeakVoice.find_first_of("-_"));
}

}  // namespace

bool VoiceRouter::usable(const VoiceName& voice, const char* variable, const std::string& value,
                         std::vector<std::string>& notices) {
    SynthBackend* backend = backendFor(voice);
    std::string problem = backend != nullptr ? backend->load(voice.voice) : "not available";
    if (!problem.empty()) {
        notices.push_back(std::string(variable) + "=" + value + ": " + problem);
    }
    return problem.empty();
}

VoiceRouter::Start VoiceRouter::start(const Settings& settings, std::vector<std::string>& notices) {
    BackendSetup setup{settings.voiceDir, settings.dictionary};
    for (const BackendRegistry::Entry& entry : BackendRegistry::entries()) {
        std::unique_ptr<SynthBackend> backend = entry.create(setup);
        if (!backend && entry.required) {
            return Start::NoData;
        }
        if (backend) {
            m_backends[entry.engine] = std::move(backend);
        }
    }
    SynthBackend* espeak = m_backends[Engine::Espeak].get();
    std::optional<FaultyBackend::Faults> faults = FaultyBackend::Faults::parse(settings.faults);
    if (!faults) {
        notices.push_back("PARLUNE_HELPER_FAULTS=" + settings.faults + ": not a list of faults");
        return Start::NoVoice;
    }
    for (auto& [engine, backend] : m_backends) {
        if (faults->touch(engine)) {
            m_faulty.emplace(engine, std::make_unique<FaultyBackend>(
                                         *backend, faults->fails(engine), faults->slowMs));
        }
    }

    std::optional<VoiceName> main = VoiceName::parse(settings.voice);
    std::optional<VoiceName> japanese =
        settings.japanese.empty() ? kMei : VoiceName::parse(settings.japanese);
    std::optional<VoiceName> english =
        settings.english.empty() ? kRms : VoiceName::parse(settings.english);
    if (!main || !japanese || !english || japanese->engine == Engine::Auto ||
        english->engine == Engine::Auto) {
        notices.push_back("PARLUNE_VOICE=" + settings.voice +
                          ", PARLUNE_VOICE_JA=" + settings.japanese +
                          ", PARLUNE_VOICE_EN=" + settings.english + ": not a voice name");
        return Start::NoVoice;
    }

    // The locale's espeak-ng voice: the first of its candidates espeak-ng has.
    std::string localeVoice = "en";
    for (const std::string& candidate : settings.localeVoices) {
        if (espeak->load(candidate).empty()) {
            localeVoice = candidate;
            break;
        }
    }
    std::string language = languageOf(localeVoice);
    m_hanziAreJapanese = language != "zh" && language != "yue" && language != "cmn";

    if (main->engine == Engine::Espeak) {
        // One voice reads everything, as asked.
        if (!usable(*main, "PARLUNE_VOICE", settings.voice, notices)) {
            return Start::NoVoice;
        }
        m_japanese = m_latin = m_other = *main;
        return Start::Ok;
    }
    // A flite or Open JTalk voice reads only its own script; the rest is
    // routed as under auto (flite cannot read kana, Open JTalk no Latin).
    bool fliteAsked = main->engine == Engine::Flite;
    if (fliteAsked) {
        english = main;
    } else if (main->engine == Engine::OpenJTalk) {
        japanese = main;
    }
    // A Japanese voice that cannot speak here leaves Japanese to espeak-ng.
    if (japanese->engine != Engine::Espeak) {
        SynthBackend* backend = backendFor(*japanese);
        std::string problem = backend != nullptr ? backend->load(japanese->voice) : "not built";
        if (!problem.empty()) {
            notices.push_back("Japanese voice " + japanese->text() + " unavailable: " + problem +
                              "; Japanese is read by espeak-ng ja (kana only)");
            japanese = kEspeakJapanese;
        }
    }
    if (!usable(*japanese, "PARLUNE_VOICE_JA", settings.japanese, notices) ||
        !usable(*english, fliteAsked ? "PARLUNE_VOICE" : "PARLUNE_VOICE_EN",
                fliteAsked ? settings.voice : settings.english, notices)) {
        return Start::NoVoice;
    }
    m_japanese = *japanese;
    // Latin script in a Japanese or English locale is taken for English.
    m_latin = fliteAsked || language == "en" || language == "ja"
                  ? *english
                  : VoiceName{Engine::Espeak, localeVoice};
    m_other = VoiceName{Engine::Espeak, localeVoice};
    return Start::Ok;
}

void VoiceRouter::warmUp() {
    for (const VoiceName* voice : {&m_japanese, &m_latin}) {
        if (voice->engine != Engine::Espeak) {
            backendFor(*voice)->warmUp(voice->voice);
        }
    }
}

SynthBackend* VoiceRouter::backendFor(const VoiceName& voice) {
    auto faulty = m_faulty.find(voice.engine);
    if (faulty != m_faulty.end()) {
        return faulty->second.get();
    }
    auto found = m_backends.find(voice.engine);
    return found != m_backends.end() ? found->second.get() : nullptr;
}

const VoiceName& VoiceRouter::voiceFor(ScriptRouter::Script script) const {
    switch (script) {
        case ScriptRouter::Script::Japanese:
            return m_japanese;
        case ScriptRouter::Script::Latin:
            return m_latin;
        default:
            return m_other;
    }
}

VoiceRouter::Outcome VoiceRouter::speak(std::string_view text, const Prosody& prosody,
                                        bool startsUtterance, PcmOutput& out) {
    return speak(text, prosody, startsUtterance, out, nullptr);
}

VoiceRouter::Outcome VoiceRouter::speak(std::string_view text, const Prosody& prosody,
                                        bool startsUtterance, PcmOutput& out,
                                        const MarkSink* marks) {
    Outcome outcome;
    bool first = startsUtterance;
    MarkBuilder builder(text);
    for (const ScriptRouter::Segment& segment : ScriptRouter::split(text, m_hanziAreJapanese)) {
        const VoiceName& voice = voiceFor(segment.script);
        out.begin(first ? kUtteranceLeadMs : kSentenceLeadMs);
        auto sink = [&out](const int16_t* samples, size_t count, int rate) {
            return out.write(samples, count, rate);
        };
        Prosody how = prosody;
        how.firstSound = first;
        SynthBackend::Result result;
        bool sent = true;
        if (marks != nullptr) {
            MarkedStretch stretch(out, kOutputRate, builder, segment.text, *marks);
            result = backendFor(voice)->speak(
                voice.voice, segment.text, how,
                [&stretch](const int16_t* samples, size_t count, int rate) {
                    return stretch.write(samples, count, rate);
                },
                [&stretch](const SpeechMark& m) { stretch.mark(m); });
            sent = result != SynthBackend::Result::Stopped && out.end() && stretch.finish(result);
        } else {
            result = backendFor(voice)->speak(voice.voice, segment.text, how, sink);
            sent = result != SynthBackend::Result::Stopped && out.end();
        }
        if (!sent) {
            outcome.stopped = true;
            return outcome;
        }
        if (result == SynthBackend::Result::Failed) {
            ++outcome.failed;
            continue;
        }
        ++outcome.spoken;
        first = false;
    }
    return outcome;
}

}  // namespace parlune::helper
