#include "HtsVoice.h"

#include <HTS_engine.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

// The engine's vocoder, frame by frame: libHTSEngine 1.10 exports these but
// its installed header does not declare them (they are in the library's own
// HTS_hidden.h, with the same signatures). The vocoder's state is opaque to
// us and lives in Vocoder's storage below.
extern "C" {
typedef struct _HTS_Vocoder HTS_Vocoder;
void HTS_Vocoder_initialize(HTS_Vocoder* v, size_t m, size_t stage, HTS_Boolean use_log_gain,
                            size_t rate, size_t fperiod);
void HTS_Vocoder_synthesize(HTS_Vocoder* v, size_t m, double lf0, double* spectrum, size_t nlpf,
                            double* lpf, double alpha, double beta, double volume, double* rawdata,
                            HTS_Audio* audio);
void HTS_Vocoder_clear(HTS_Vocoder* v);
}

namespace parlune::helper {

namespace {

// The vocoder's state: 31 words in 1.10; room for far more.
constexpr size_t kVocoderBytes = 1024;
// Frames per chunk handed on: the first chunk small, so that it is soon
// there; the rest larger, for fewer calls.
constexpr size_t kFirstChunkFrames = 4;
constexpr size_t kChunkFrames = 20;
// Frames of a sentence's leading silence voiced before its first sound (the
// rest is silent anyway): 40 ms at the voices' 5 ms frames.
constexpr size_t kLeadInFrames = 8;

class Vocoder {
  public:
    Vocoder(size_t order, const HTS_Condition& c) {
        HTS_Vocoder_initialize(get(), order, c.stage, c.use_log_gain, c.sampling_frequency,
                               c.fperiod);
    }
    ~Vocoder() { HTS_Vocoder_clear(get()); }
    Vocoder(const Vocoder&) = delete;
    Vocoder& operator=(const Vocoder&) = delete;
    HTS_Vocoder* get() { return reinterpret_cast<HTS_Vocoder*>(m_storage); }

  private:
    alignas(std::max_align_t) unsigned char m_storage[kVocoderBytes] = {};
};

// Mei clips now and then at full gain; -3 dB does not.
constexpr double kGainDb = -3.0;

int16_t toSample(double x) {
    // As the engine writes its own WAV files: clamped, then truncated.
    if (x > 32767.0) {
        return 32767;
    }
    if (x < -32768.0) {
        return -32768;
    }
    return static_cast<int16_t>(x);
}

// Spectrum, log F0 and, in some voices, low-pass filter coefficients, as
// the engine's own waveform stage requires them.
bool vocodable(const HTS_Engine& hts) {
    const HTS_PStreamSet& pss = hts.pss;
    return pss.nstream >= 2 && pss.nstream <= 3 && pss.pstream[1].vector_length == 1 &&
           (pss.nstream == 2 || pss.pstream[2].vector_length % 2 == 1) && hts.condition.fperiod > 0;
}

size_t orderOf(const HTS_Engine& hts) { return hts.pss.pstream[0].vector_length - 1; }

// Frames of labels [first, last) in the state sequence made.
size_t framesOf(HTS_Engine& hts, size_t first, size_t last) {
    const size_t states = HTS_Engine_get_nstate(&hts);
    size_t frames = 0;
    for (size_t i = first * states; i < last * states; ++i) {
        frames += HTS_Engine_get_state_duration(&hts, i);
    }
    return frames;
}

size_t framesOf(HTS_Engine& hts, size_t label) { return framesOf(hts, label, label + 1); }

// The frame in the middle of label `label`.
size_t middleOf(HTS_Engine& hts, size_t label) {
    return framesOf(hts, 0, label) + framesOf(hts, label) / 2;
}

// Frames [from, to) of the parameters made, through `vocoder`, into `out`
// in chunks: the first small, so that it is soon there.
SynthBackend::Result vocodeFrames(HTS_Engine& hts, Vocoder& vocoder, size_t from, size_t to,
                                  const SynthBackend::PcmCallback& out) {
    const HTS_Condition& c = hts.condition;
    const HTS_PStreamSet& pss = hts.pss;
    const size_t order = orderOf(hts);
    std::vector<std::vector<double>> frame(pss.nstream);
    std::vector<size_t> voicedFrame(pss.nstream, 0);
    for (size_t i = 0; i < pss.nstream; ++i) {
        frame[i].resize(pss.pstream[i].vector_length);
        // A multi-space stream's parameters are counted in voiced frames.
        for (size_t t = 0; t < from && pss.pstream[i].msd_flag != nullptr; ++t) {
            voicedFrame[i] += pss.pstream[i].msd_flag[t] ? 1 : 0;
        }
    }
    const size_t nlpf = pss.nstream == 3 ? frame[2].size() : 0;
    const int rate = static_cast<int>(c.sampling_frequency);

    std::vector<double> wave(c.fperiod);
    std::vector<int16_t> chunk;
    size_t chunkFrames = kFirstChunkFrames;
    to = std::min(to, pss.total_frame);
    for (size_t t = from; t < to; ++t) {
        for (size_t i = 0; i < pss.nstream; ++i) {
            const HTS_PStream& stream = pss.pstream[i];
            // A multi-space stream (log F0) has parameters for its voiced frames only.
            const double* par = nullptr;
            if (stream.msd_flag == nullptr) {
                par = stream.par[t];
            } else if (stream.msd_flag[t]) {
                par = stream.par[voicedFrame[i]++];
            }
            for (size_t k = 0; k < frame[i].size(); ++k) {
                frame[i][k] = par != nullptr ? par[k] : HTS_NODATA;
            }
        }
        std::fill(wave.begin(), wave.end(), 0.0);
        HTS_Vocoder_synthesize(vocoder.get(), order, frame[1][0], frame[0].data(), nlpf,
                               nlpf > 0 ? frame[2].data() : nullptr, c.alpha, c.beta, c.volume,
                               wave.data(), nullptr);
        for (double x : wave) {
            chunk.push_back(toSample(x));
        }
        if (chunk.size() >= chunkFrames * c.fperiod || t + 1 == to) {
            if (!out(chunk.data(), chunk.size(), rate)) {
                return SynthBackend::Result::Stopped;
            }
            chunk.clear();
            chunkFrames = kChunkFrames;
        }
    }
    return SynthBackend::Result::Spoken;
}

}  // namespace

struct HtsVoice::Engine {
    HTS_Engine hts;
};

HtsVoice::HtsVoice() : m_engine(std::make_unique<Engine>()) {
    HTS_Engine_initialize(&m_engine->hts);
}

HtsVoice::~HtsVoice() { HTS_Engine_clear(&m_engine->hts); }

bool HtsVoice::load(const std::string& file) {
    if (m_loaded) {
        return true;
    }
    char* files[] = {const_cast<char*>(file.c_str())};
    if (HTS_Engine_load(&m_engine->hts, files, 1) != TRUE) {
        HTS_Engine_clear(&m_engine->hts);
        HTS_Engine_initialize(&m_engine->hts);
        return false;
    }
    const char* format = HTS_Engine_get_fullcontext_label_format(&m_engine->hts);
    m_loaded = format != nullptr && std::strcmp(format, "HTS_TTS_JPN") == 0;
    return m_loaded;
}

SynthBackend::Result HtsVoice::speak(const std::vector<std::string>& labels, const Prosody& prosody,
                                     const SynthBackend::PcmCallback& out,
                                     std::vector<size_t>* ends) {
    if (!m_loaded || labels.size() < 3) {
        return SynthBackend::Result::Failed;
    }
    HTS_Engine* hts = &m_engine->hts;
    setProsody(prosody);
    // Durations and parameters are made for the whole sentence, as the
    // program makes them; only the waveform is made as it is handed on.
    SynthBackend::Result result = SynthBackend::Result::Failed;
    if (generate(labels, labels.size())) {
        if (ends != nullptr) {
            phonemeEnds(*ends);
        }
        result = vocode(out);
    }
    HTS_Engine_refresh(hts);
    return result;
}

void HtsVoice::phonemeEnds(std::vector<size_t>& ends) {
    HTS_Engine* hts = &m_engine->hts;
    const size_t states = HTS_Engine_get_nstate(hts);
    const size_t period = HTS_Engine_get_fperiod(hts);
    size_t frames = 0;
    ends.clear();
    for (size_t i = 0; states > 0 && i < HTS_Engine_get_total_state(hts); ++i) {
        frames += HTS_Engine_get_state_duration(hts, i);
        if ((i + 1) % states == 0) {
            ends.push_back(frames * period);
        }
    }
}

SynthBackend::Result HtsVoice::speakSoon(const std::vector<std::string>& labels, size_t pause,
                                         const Prosody& prosody,
                                         const SynthBackend::PcmCallback& out) {
    if (!m_loaded || labels.size() < 3 || pause + 1 >= labels.size()) {
        return SynthBackend::Result::Failed;
    }
    HTS_Engine* hts = &m_engine->hts;
    setProsody(prosody);
    // With a pause, the head up to and with it is made on its own and voiced
    // up to the pause's middle: the first sound waits only for its parameters.
    const bool cut = pause > 0;
    if (!generate(labels, cut ? pause + 1 : labels.size()) || !vocodable(*hts)) {
        HTS_Engine_refresh(hts);
        return SynthBackend::Result::Failed;
    }
    const size_t order = orderOf(*hts);
    Vocoder vocoder(order, hts->condition);
    // The leading silence is handed on as zeros but for its last frames,
    // which the vocoder needs to settle before the first sound.
    const size_t silence = framesOf(*hts, 0);
    const size_t start = silence > kLeadInFrames ? silence - kLeadInFrames : 0;
    const size_t end = cut ? middleOf(*hts, pause) : hts->pss.total_frame;
    std::vector<int16_t> zeros(start * hts->condition.fperiod, 0);
    SynthBackend::Result result = SynthBackend::Result::Spoken;
    if (!zeros.empty() &&
        !out(zeros.data(), zeros.size(), static_cast<int>(hts->condition.sampling_frequency))) {
        result = SynthBackend::Result::Stopped;
    }
    if (result == SynthBackend::Result::Spoken) {
        result = vocodeFrames(*hts, vocoder, start, end, out);
    }
    HTS_Engine_refresh(hts);
    if (!cut || result != SynthBackend::Result::Spoken) {
        return result;
    }
    // Then the whole sentence as speak() makes it, voiced on from the same
    // pause's middle by the same vocoder, so that nothing jumps there.
    result = SynthBackend::Result::Failed;
    if (generate(labels, labels.size()) && vocodable(*hts) && orderOf(*hts) == order) {
        result = vocodeFrames(*hts, vocoder, middleOf(*hts, pause), hts->pss.total_frame, out);
    }
    HTS_Engine_refresh(hts);
    return result;
}

void HtsVoice::setProsody(const Prosody& prosody) {
    HTS_Engine* hts = &m_engine->hts;
    HTS_Engine_set_speed(hts, prosody.speed / 100.0);
    HTS_Engine_add_half_tone(hts, 12.0 * std::log2(prosody.pitch / 100.0));
    HTS_Engine_set_volume(hts, kGainDb);
}

bool HtsVoice::generate(const std::vector<std::string>& labels, size_t count) {
    std::vector<char*> lines;
    for (size_t i = 0; i < count && i < labels.size(); ++i) {
        lines.push_back(const_cast<char*>(labels[i].c_str()));
    }
    HTS_Engine* hts = &m_engine->hts;
    return HTS_Engine_generate_state_sequence_from_strings(hts, lines.data(), lines.size()) &&
           HTS_Engine_generate_parameter_sequence(hts);
}

SynthBackend::Result HtsVoice::vocode(const SynthBackend::PcmCallback& out) {
    HTS_Engine* hts = &m_engine->hts;
    if (!vocodable(*hts)) {
        return SynthBackend::Result::Failed;
    }
    Vocoder vocoder(orderOf(*hts), hts->condition);
    return vocodeFrames(*hts, vocoder, 0, hts->pss.total_frame, out);
}

}  // namespace parlune::helper
