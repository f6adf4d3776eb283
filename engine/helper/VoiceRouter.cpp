#include "VoiceRouter.h"

#include <algorithm>
#include <optional>

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
    bool ok = true;
    if (voice.engine == Engine::Espeak) {
        ok = m_espeak->hasVoice(voice.voice);
        if (!ok) {
            notices.push_back(std::string(variable) + "=" + value +
                              ": espeak-ng has no such voice");
        }
    } else if (voice.engine == Engine::Flite) {
        ok = m_flite->load(voice.voice);
        if (!ok) {
            notices.push_back(std::string(variable) + "=" + value + ": flite has no such voice");
        } else if (m_warmUp.empty()) {
            m_warmUp = voice.voice;
        }
    }
    return ok;
}

VoiceRouter::Start VoiceRouter::start(const Settings& settings, std::vector<std::string>& notices) {
    m_espeak = EspeakBackend::create();
    if (!m_espeak) {
        return Start::NoData;
    }
    m_flite = std::make_unique<FliteBackend>();
    OpenJTalkBackend::Setup setup{settings.openJTalk, settings.dictionary, settings.voiceDir,
                                  std::max(100, settings.timeoutMs)};
    m_openJTalk = std::make_unique<OpenJTalkBackend>(setup);
    std::optional<FaultyBackend::Faults> faults = FaultyBackend::Faults::parse(settings.faults);
    if (!faults) {
        notices.push_back("PARLUNE_HELPER_FAULTS=" + settings.faults + ": not a list of faults");
        return Start::NoVoice;
    }
    for (Engine engine : {Engine::Espeak, Engine::Flite, Engine::OpenJTalk}) {
        if (faults->touch(engine)) {
            SynthBackend* real = backendFor(VoiceName{engine, ""});
            m_faulty.emplace(engine, std::make_unique<FaultyBackend>(*real, faults->fails(engine),
                                                                     faults->slowMs));
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
        if (m_espeak->hasVoice(candidate)) {
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
    if (!usable(*japanese, "PARLUNE_VOICE_JA", settings.japanese, notices) ||
        !usable(*english, fliteAsked ? "PARLUNE_VOICE" : "PARLUNE_VOICE_EN",
                fliteAsked ? settings.voice : settings.english, notices)) {
        return Start::NoVoice;
    }
    if (japanese->engine == Engine::OpenJTalk) {
        std::string problem = m_openJTalk->check(japanese->voice);
        if (!problem.empty()) {
            notices.push_back("Japanese voice " + japanese->text() + " unavailable: " + problem +
                              "; Japanese is read by espeak-ng ja (kana only)");
            japanese = kEspeakJapanese;
        }
    }
    m_japanese = *japanese;
    if (m_japanese.engine == Engine::OpenJTalk) {
        m_openJTalk->prepare(m_japanese.voice, Prosody{});
    }
    // Latin script in a Japanese or English locale is taken for English.
    m_latin = fliteAsked || language == "en" || language == "ja"
                  ? *english
                  : VoiceName{Engine::Espeak, localeVoice};
    m_other = VoiceName{Engine::Espeak, localeVoice};
    return Start::Ok;
}

void VoiceRouter::warmUp() {
    // flite sets up its lexicon on first use; do that now, not on the first text.
    if (!m_warmUp.empty()) {
        m_flite->speak(m_warmUp, "Ready.", Prosody{},
                       [](const int16_t*, size_t, int) { return true; });
        m_warmUp.clear();
    }
}

SynthBackend* VoiceRouter::backendFor(const VoiceName& voice) {
    auto faulty = m_faulty.find(voice.engine);
    if (faulty != m_faulty.end()) {
        return faulty->second.get();
    }
    switch (voice.engine) {
        case Engine::Flite:
            return m_flite.get();
        case Engine::OpenJTalk:
            return m_openJTalk.get();
        default:
            return m_espeak.get();
    }
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
    Outcome outcome;
    bool first = startsUtterance;
    for (const ScriptRouter::Segment& segment : ScriptRouter::split(text, m_hanziAreJapanese)) {
        const VoiceName& voice = voiceFor(segment.script);
        out.begin(first ? kUtteranceLeadMs : kSentenceLeadMs);
        auto sink = [&out](const int16_t* samples, size_t count, int rate) {
            return out.write(samples, count, rate);
        };
        SynthBackend::Result result =
            backendFor(voice)->speak(voice.voice, segment.text, prosody, sink);
        if (result == SynthBackend::Result::Stopped || !out.end()) {
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
