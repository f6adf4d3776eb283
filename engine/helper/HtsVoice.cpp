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
    HTS_Engine_set_speed(hts, prosody.speed / 100.0);
    HTS_Engine_add_half_tone(hts, 12.0 * std::log2(prosody.pitch / 100.0));
    HTS_Engine_set_volume(hts, kGainDb);
    std::vector<char*> lines;
    for (const std::string& label : labels) {
        lines.push_back(const_cast<char*>(label.c_str()));
    }
    // Durations and parameters are made for the whole sentence, as the
    // program makes them; only the waveform is made as it is handed on.
    SynthBackend::Result result = SynthBackend::Result::Failed;
    if (HTS_Engine_generate_state_sequence_from_strings(hts, lines.data(), lines.size()) &&
        HTS_Engine_generate_parameter_sequence(hts)) {
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

SynthBackend::Result HtsVoice::vocode(const SynthBackend::PcmCallback& out) {
    HTS_Engine* hts = &m_engine->hts;
    const HTS_Condition& c = hts->condition;
    const HTS_PStreamSet& pss = hts->pss;
    // Spectrum, log F0 and, in some voices, low-pass filter coefficients,
    // as the engine's own waveform stage requires them.
    if (pss.nstream < 2 || pss.nstream > 3 || pss.pstream[1].vector_length != 1 ||
        (pss.nstream == 3 && pss.pstream[2].vector_length % 2 == 0) || c.fperiod == 0) {
        return SynthBackend::Result::Failed;
    }
    const size_t order = pss.pstream[0].vector_length - 1;
    std::vector<std::vector<double>> frame(pss.nstream);
    std::vector<size_t> voicedFrame(pss.nstream, 0);
    for (size_t i = 0; i < pss.nstream; ++i) {
        frame[i].resize(pss.pstream[i].vector_length);
    }
    const size_t nlpf = pss.nstream == 3 ? frame[2].size() : 0;
    const int rate = static_cast<int>(c.sampling_frequency);

    Vocoder vocoder(order, c);
    std::vector<double> wave(c.fperiod);
    std::vector<int16_t> chunk;
    size_t chunkFrames = kFirstChunkFrames;
    for (size_t t = 0; t < pss.total_frame; ++t) {
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
        if (chunk.size() >= chunkFrames * c.fperiod || t + 1 == pss.total_frame) {
            if (!out(chunk.data(), chunk.size(), rate)) {
                return SynthBackend::Result::Stopped;
            }
            chunk.clear();
            chunkFrames = kChunkFrames;
        }
    }
    return SynthBackend::Result::Spoken;
}

}  // namespace parlune::helper
