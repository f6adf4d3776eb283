#include "FliteBackend.h"

#include <flite/flite.h>

#include <cctype>

#include "Utf8.h"

extern "C" {
cst_voice* register_cmu_us_rms(const char* voxdir);
cst_voice* register_cmu_us_slt(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
cst_voice* register_cmu_us_kal16(const char* voxdir);
void usenglish_init(cst_voice* v);
cst_lexicon* cmu_lex_init(void);
}

namespace parlune::helper {

namespace {

// U+00C0..U+00FF folded to ASCII; '\0' where there is nothing sensible.
constexpr char kLatin1Fold[] =
    "AAAAAAACEEEEIIII"
    "DNOOOOO\0OUUUUYTs"
    "aaaaaaaceeeeiiii"
    "dnooooo\0ouuuuyty";

struct Streaming {
    const SynthBackend::PcmCallback* out = nullptr;
    bool stopped = false;
    int ratePercent = 100;  // of the voice's sample rate, as the samples are passed on
    cst_tokenstream* text = nullptr;
};
Streaming g_streaming;

int onChunk(const cst_wave* w, int start, int size, int, cst_audio_streaming_info*) {
    if (!g_streaming.stopped && g_streaming.out != nullptr &&
        (size <= 0 || (*g_streaming.out)(w->samples + start, static_cast<size_t>(size),
                                         w->sample_rate * g_streaming.ratePercent / 100))) {
        return CST_AUDIO_STREAM_CONT;
    }
    g_streaming.stopped = true;
    if (g_streaming.text != nullptr) {
        g_streaming.text->eof_flag = 1;  // no further sentence is started
    }
    return CST_AUDIO_STREAM_STOP;
}

char fold(char32_t cp) {
    if (cp < 0x80) {
        return static_cast<char>(cp);
    }
    if (cp >= 0xC0 && cp <= 0xFF) {
        return kLatin1Fold[cp - 0xC0];
    }
    switch (cp) {
        case 0x2018:
        case 0x2019:
        case 0x2032:
            return '\'';
        case 0x201C:
        case 0x201D:
            return '"';
        case 0x2013:
        case 0x2014:
            return '-';
        default:
            return '\0';
    }
}

}  // namespace

FliteBackend::FliteBackend() {
    flite_init();
    flite_add_lang("eng", usenglish_init, cmu_lex_init);
    flite_add_lang("usenglish", usenglish_init, cmu_lex_init);
}

std::string FliteBackend::load(const std::string& voice) {
    if (m_voices.count(voice) != 0) {
        return std::string();
    }
    cst_voice* v = nullptr;
    if (voice == "rms") {
        v = register_cmu_us_rms(nullptr);
    } else if (voice == "slt") {
        v = register_cmu_us_slt(nullptr);
    } else if (voice == "awb") {
        v = register_cmu_us_awb(nullptr);
    } else if (voice == "kal16") {
        v = register_cmu_us_kal16(nullptr);
    }
    if (v == nullptr) {
        return "flite has no such voice";
    }
    cst_audio_streaming_info* asi = new_audio_streaming_info();
    asi->asc = onChunk;
    feat_set(v->features, "streaming_info", audio_streaming_info_val(asi));
    m_voices[voice] = v;
    return std::string();
}

void FliteBackend::warmUp(const std::string& voice) {
    speak(voice, "Ready.", Prosody{}, [](const int16_t*, size_t, int) { return true; });
}

std::string FliteBackend::prepare(std::string_view text) {
    std::string out;
    size_t word = 0;
    size_t repeats = 0;  // of the last symbol
    size_t pos = 0;
    while (pos < text.size()) {
        char c = fold(utf8::next(text, pos));
        if (c == '\0' || static_cast<unsigned char>(c) < 0x20) {
            c = ' ';
        }
        // flite names every symbol of a run ("semicolon semicolon ..."): keep three.
        bool symbol = c != ' ' && !std::isalnum(static_cast<unsigned char>(c));
        repeats = symbol && !out.empty() && out.back() == c ? repeats + 1 : 0;
        if (repeats >= 3) {
            continue;
        }
        if (c == ' ') {
            word = 0;
        } else if (++word > kMaxWordBytes) {
            out += ' ';
            word = 1;
        }
        out += c;
    }
    return out;
}

SynthBackend::Result FliteBackend::speak(const std::string& voice, std::string_view text,
                                         const Prosody& prosody, const PcmCallback& out) {
    if (!load(voice).empty()) {
        return Result::Failed;
    }
    cst_voice* v = m_voices[voice];
    float stretch = 100.0f / static_cast<float>(prosody.speed);
    const float shift = static_cast<float>(prosody.pitch) / 100.0f;
    int ratePercent = 100;
    if (voice == "rms") {
        // This voice's F0 model takes no shift: it is made slower by the
        // factor and played faster by it, which raises every frequency.
        stretch *= shift;
        ratePercent = prosody.pitch;
        feat_set_float(v->features, "f0_shift", 1.0f);
    } else {
        feat_set_float(v->features, "f0_shift", shift);
    }
    feat_set_float(v->features, "duration_stretch", stretch);
    std::string prepared = prepare(text);
    // Sentence by sentence, as flite reads a file: its first chunk comes
    // after the first sentence's analysis, not the whole text's (a 60-word
    // text as one utterance waited 4 times longer than its first sentence),
    // and the receiver can stop it between sentences.
    const auto param = [v](const char* name) {
        return get_param_string(v->features, name, nullptr);
    };
    cst_tokenstream* ts =
        ts_open_string(prepared.c_str(), param("text_whitespace"), param("text_singlecharsymbols"),
                       param("text_prepunctuation"), param("text_postpunctuation"));
    if (ts == nullptr) {
        return Result::Failed;
    }
    g_streaming = Streaming{&out, false, ratePercent, ts};
    flite_ts_to_speech(ts, v, "none");  // closes the stream
    bool stopped = g_streaming.stopped;
    g_streaming = Streaming{};
    return stopped ? Result::Stopped : Result::Spoken;
}

}  // namespace parlune::helper
