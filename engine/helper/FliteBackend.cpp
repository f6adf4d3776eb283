#include "FliteBackend.h"

#include <flite/flite.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "FliteStream.h"
#include "Utf8.h"
#include "Viseme.h"

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
    // Marks: where they go, samples passed on so far and where the
    // utterance being made started, what flite was given and where each of
    // its bytes came from, how far its tokens were found.
    const SynthBackend::MarkCallback* marks = nullptr;
    size_t sent = 0;
    size_t utteranceStart = 0;
    const std::string* prepared = nullptr;
    const std::vector<size_t>* origin = nullptr;
    size_t cursor = 0;
    // Samples of the utterance being made that belong to its leading pause
    // and are passed on as silence.
    size_t quietUntil = 0;
    std::vector<int16_t> quieted;
};
Streaming g_streaming;

size_t toSample(float seconds, int rate) {
    return seconds > 0 ? static_cast<size_t>(seconds * static_cast<float>(rate) + 0.5f) : 0;
}

// Of an utterance's leading pause this much before its first phone is passed
// on as made: the rise of a soft first consonant may start in it.
constexpr float kPauseLookBackSeconds = 0.02f;

// Where the utterance's leading pause ends, less the look-back, in samples;
// 0 when it starts with a phone. Some voices (slt) fill their pauses with
// noise of up to -52 dBFS, which the silence trimmer rightly takes for sound:
// that pause would then be played, delaying the first word by 200 ms.
size_t leadingPauseOf(const cst_utterance* utt, int rate) {
    const cst_item* first = relation_head(utt_relation(utt, "Segment"));
    if (first == nullptr || std::string(item_feat_string(first, "name")) != "pau") {
        return 0;
    }
    return toSample(item_feat_float(first, "end") - kPauseLookBackSeconds, rate);
}

// The phones and words of an utterance whose first samples are about to be
// passed on, timed from the start of the speak call.
void passMarks(const cst_utterance* utt, int rate, size_t samples) {
    const size_t base = g_streaming.utteranceStart;
    float previous = 0;
    for (const cst_item* s = relation_head(utt_relation(utt, "Segment")); s != nullptr;
         s = item_next(s)) {
        SpeechMark mark;
        mark.kind = SpeechMark::Kind::Phoneme;
        mark.name = item_feat_string(s, "name");
        mark.viseme = Viseme::fromFlite(mark.name);
        const float end = item_feat_float(s, "end");
        mark.start = base + toSample(previous, rate);
        mark.end = base + toSample(end, rate);
        previous = end;
        (*g_streaming.marks)(mark);
    }
    const std::string& prepared = *g_streaming.prepared;
    const std::vector<size_t>& origin = *g_streaming.origin;
    for (const cst_item* w = relation_head(utt_relation(utt, "Word")); w != nullptr;
         w = item_next(w)) {
        SpeechMark mark;
        mark.kind = SpeechMark::Kind::Word;
        // The words of one token ("21": "twenty one") share its bytes.
        const cst_item* token = item_parent(item_as(w, "Token"));
        const std::string name = token != nullptr ? item_feat_string(token, "name") : "";
        size_t at = name.empty() ? std::string::npos : prepared.find(name, g_streaming.cursor);
        if (at == std::string::npos) {
            continue;
        }
        if (item_next(w) == nullptr || item_parent(item_as(item_next(w), "Token")) != token) {
            g_streaming.cursor = at + name.size();
        }
        mark.offset = origin[at];
        const size_t last = at + name.size() - 1;
        // Through the last byte of the character the token ends in.
        mark.length =
            (last + 1 < origin.size() ? origin[last + 1] : origin.back() + 1) - mark.offset;
        mark.start =
            base +
            toSample(ffeature_float(w, "R:SylStructure.daughter1.daughter1.R:Segment.p.end"), rate);
        mark.end =
            base +
            toSample(ffeature_float(w, "R:SylStructure.daughtern.daughtern.R:Segment.end"), rate);
        (*g_streaming.marks)(mark);
    }
    // The utterance ends with its last phone; its wave, as long from the
    // first chunk on, loses its last frame (5 ms) when it is finished.
    SpeechMark whole;
    whole.kind = SpeechMark::Kind::Sentence;
    whole.start = base;
    whole.end = base + std::min(samples - std::min(samples, static_cast<size_t>(rate / 200)),
                                toSample(previous, rate));
    (*g_streaming.marks)(whole);
}

int onChunk(const cst_wave* w, int start, int size, int, cst_audio_streaming_info* asi) {
    if (start == 0 && asi->utt != nullptr) {
        g_streaming.quietUntil = leadingPauseOf(asi->utt, w->sample_rate);
        if (g_streaming.marks != nullptr) {
            g_streaming.utteranceStart = g_streaming.sent;
            passMarks(asi->utt, w->sample_rate,
                      w->num_samples > 0 ? static_cast<size_t>(w->num_samples) : 0);
        }
    }
    const int16_t* samples = w->samples + start;
    if (size > 0 && static_cast<size_t>(start) < g_streaming.quietUntil) {
        g_streaming.quieted.assign(samples, samples + size);
        const size_t quiet = std::min(g_streaming.quietUntil - static_cast<size_t>(start),
                                      static_cast<size_t>(size));
        std::fill_n(g_streaming.quieted.begin(), quiet, int16_t{0});
        samples = g_streaming.quieted.data();
    }
    g_streaming.sent += size > 0 ? static_cast<size_t>(size) : 0;
    if (!g_streaming.stopped && g_streaming.out != nullptr &&
        (size <= 0 || (*g_streaming.out)(samples, static_cast<size_t>(size),
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

FliteBackend::FliteBackend(CgSynthesis synthesis) : m_synthesis(synthesis) {
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

std::string FliteBackend::prepare(std::string_view text, std::vector<size_t>* origin) {
    std::string out;
    size_t word = 0;
    size_t repeats = 0;  // of the last symbol
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t from = pos;
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
            if (origin != nullptr) {
                origin->push_back(from);
            }
        }
        out += c;
        if (origin != nullptr) {
            origin->push_back(from);
        }
    }
    if (origin != nullptr) {
        origin->push_back(text.size());  // the end, for the byte after the last
    }
    return out;
}

SynthBackend::Result FliteBackend::speak(const std::string& voice, std::string_view text,
                                         const Prosody& prosody, const PcmCallback& out) {
    return speak(voice, text, prosody, out, MarkCallback());
}

SynthBackend::Result FliteBackend::speak(const std::string& voice, std::string_view text,
                                         const Prosody& prosody, const PcmCallback& out,
                                         const MarkCallback& marks) {
    if (!load(voice).empty()) {
        return Result::Failed;
    }
    cst_voice* v = m_voices[voice];
    // The voice is the process's, maybe another backend's choice too; the
    // diphone voice (kal16) is left as flite made it.
    flitestream::choose(v, m_synthesis == CgSynthesis::Streaming);
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
    std::vector<size_t> origin;
    std::string prepared = prepare(text, marks ? &origin : nullptr);
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
    g_streaming = Streaming{};
    g_streaming.out = &out;
    g_streaming.ratePercent = ratePercent;
    g_streaming.text = ts;
    if (marks) {
        g_streaming.marks = &marks;
        g_streaming.prepared = &prepared;
        g_streaming.origin = &origin;
    }
    flite_ts_to_speech(ts, v, "none");  // closes the stream
    bool stopped = g_streaming.stopped;
    g_streaming = Streaming{};
    return stopped ? Result::Stopped : Result::Spoken;
}

}  // namespace parlune::helper
