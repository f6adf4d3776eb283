#include "EspeakBackend.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Utf8.h"
#include "Viseme.h"

namespace parlune::helper {

namespace {

// espeak-ng's normal rate; speed 100 maps onto it, proportionally.
constexpr int kNormalWordsPerMinute = 175;

// espeak-ng's pitch setting (0..100, normal 50) is neither linear nor a
// percentage: the median F0 it gives, in percent of the normal one, measured
// every 10 steps with a pitch tracker (the same for en, de and ja).
constexpr int kPitchSteps = 11;
constexpr double kMedianPercentAt[kPitchSteps] = {71.7,  75.4,  77.9,  83.3,  90.9, 100.0,
                                                  110.0, 122.3, 135.8, 151.5, 167.2};

// The setting whose median F0 is nearest `percent` of the normal one; the
// ends where the voice reaches no further.
int pitchSetting(int percent) {
    if (percent <= kMedianPercentAt[0]) {
        return 0;
    }
    for (int i = 1; i < kPitchSteps; ++i) {
        if (percent <= kMedianPercentAt[i]) {
            const double low = kMedianPercentAt[i - 1];
            const double part = (percent - low) / (kMedianPercentAt[i] - low);
            return static_cast<int>(10.0 * (i - 1 + part) + 0.5);
        }
    }
    return 100;
}

// The synthesis callback has no argument of ours; one engine per process.
struct Current {
    const SynthBackend::PcmCallback* out = nullptr;
    int rate = 0;
    bool stopped = false;
    const SynthBackend::MarkCallback* marks = nullptr;
    std::vector<size_t> byteAt;  // byte offset of each character of the text, and its end
    size_t written = 0;          // samples passed on
    size_t sentenceStart = 0;    // the first sample of the sentence being made
};
Current g_current;

// A character position of espeak-ng's (from 1) as a byte offset.
size_t byteOf(int position) {
    const std::vector<size_t>& at = g_current.byteAt;
    const size_t index = position > 0 ? static_cast<size_t>(position - 1) : 0;
    return at.empty() ? 0 : at[std::min(index, at.size() - 1)];
}

// The words and phonemes of a buffer, timed from the start of the text.
void passMarks(const espeak_EVENT* events) {
    for (const espeak_EVENT* e = events; e != nullptr && e->type != espeakEVENT_LIST_TERMINATED;
         ++e) {
        SpeechMark mark;
        mark.start =
            static_cast<size_t>(e->audio_position) * static_cast<size_t>(g_current.rate) / 1000;
        if (e->type == espeakEVENT_SENTENCE && g_current.written > g_current.sentenceStart) {
            // A sentence starts with a buffer of its own: the one before is
            // complete, up to here.
            mark.kind = SpeechMark::Kind::Sentence;
            mark.start = g_current.sentenceStart;
            mark.end = g_current.written;
            g_current.sentenceStart = g_current.written;
        } else if (e->type == espeakEVENT_WORD) {
            mark.kind = SpeechMark::Kind::Word;
            mark.offset = byteOf(e->text_position);
            mark.length = byteOf(e->text_position + e->length) - mark.offset;
        } else if (e->type == espeakEVENT_PHONEME) {
            mark.kind = SpeechMark::Kind::Phoneme;
            mark.name.assign(e->id.string, strnlen(e->id.string, sizeof e->id.string));
            mark.viseme = Viseme::fromIpa(mark.name);
        } else {
            continue;
        }
        (*g_current.marks)(mark);
    }
}

int onSamples(short* samples, int count, espeak_EVENT* events) {
    if (g_current.stopped || g_current.out == nullptr) {
        return 1;
    }
    if (g_current.marks != nullptr) {
        passMarks(events);
    }
    if (samples != nullptr && count > 0 &&
        !(*g_current.out)(samples, static_cast<size_t>(count), g_current.rate)) {
        g_current.stopped = true;
        return 1;  // abort synthesis
    }
    g_current.written += samples != nullptr && count > 0 ? static_cast<size_t>(count) : 0;
    return 0;
}

}  // namespace

std::unique_ptr<EspeakBackend> EspeakBackend::create() {
    int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 20, nullptr,
                                 espeakINITIALIZE_DONT_EXIT | espeakINITIALIZE_PHONEME_EVENTS |
                                     espeakINITIALIZE_PHONEME_IPA);
    if (rate <= 0) {
        return nullptr;
    }
    espeak_SetSynthCallback(onSamples);
    return std::unique_ptr<EspeakBackend>(new EspeakBackend(rate));
}

bool EspeakBackend::select(const std::string& voice) {
    if (voice == m_voice) {
        return true;
    }
    if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
        m_voice.clear();
        return false;
    }
    m_voice = voice;
    return true;
}

std::string EspeakBackend::load(const std::string& voice) {
    return select(voice) ? std::string() : "espeak-ng has no such voice";
}

SynthBackend::Result EspeakBackend::speak(const std::string& voice, std::string_view text,
                                          const Prosody& prosody, const PcmCallback& out) {
    return speak(voice, text, prosody, out, MarkCallback());
}

SynthBackend::Result EspeakBackend::speak(const std::string& voice, std::string_view text,
                                          const Prosody& prosody, const PcmCallback& out,
                                          const MarkCallback& marks) {
    const int speed = prosody.speed;
    if (!select(voice)) {
        return Result::Failed;
    }
    std::string terminated(text);
    int wordsPerMinute = (kNormalWordsPerMinute * speed + 50) / 100;
    espeak_SetParameter(espeakRATE, wordsPerMinute, 0);
    espeak_SetParameter(espeakPITCH, pitchSetting(prosody.pitch), 0);
    g_current = Current{&out, m_rate, false, marks ? &marks : nullptr, {}, 0, 0};
    if (marks) {
        size_t pos = 0;
        while (pos < text.size()) {
            g_current.byteAt.push_back(pos);
            utf8::next(text, pos);
        }
        g_current.byteAt.push_back(text.size());
    }
    espeak_ERROR err = espeak_Synth(terminated.c_str(), terminated.size() + 1, 0, POS_CHARACTER, 0,
                                    espeakCHARS_UTF8, nullptr, nullptr);
    bool stopped = g_current.stopped;
    g_current = Current{};
    if (stopped) {
        return Result::Stopped;
    }
    return err == EE_OK ? Result::Spoken : Result::Failed;
}

}  // namespace parlune::helper
