#include "FliteStream.h"

#include <flite/flite.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "FliteCgSteps.h"

extern "C" cst_utterance* cst_spamf0(cst_utterance* utt);  // libflite, not in its headers

namespace parlune::helper::flitestream {

namespace {

Options g_options;

constexpr const char* kLocalGain =
    "R:mcep_link.parent.R:segstate.parent.R:SylStructure.parent.parent.R:Token.parent.local_gain";
constexpr const char* kFirstFrame =
    "R:SylStructure.daughter1.R:segstate.daughter1.R:mcep_link.daughter1.frame_number";
constexpr const char* kLastFrame =
    "R:SylStructure.daughtern.R:segstate.daughtern.R:mcep_link.daughtern.frame_number";
constexpr const char* kNextFirstFrame =
    "n.R:SylStructure.daughter1.R:segstate.daughter1.R:mcep_link.daughter1.frame_number";
constexpr const char* kNextLastFrame =
    "n.R:SylStructure.daughtern.R:segstate.daughtern.R:mcep_link.daughtern.frame_number";
// mlpg's stand-in for a variance whose running determinant reaches zero.
constexpr double kMagicVariance = 0.0962;

struct TrackDeleter {
    void operator()(cst_track* t) const { delete_track(t); }
};
using TrackPtr = std::unique_ptr<cst_track, TrackDeleter>;
struct WaveDeleter {
    void operator()(cst_wave* w) const { delete_wave(w); }
};
using WavePtr = std::unique_ptr<cst_wave, WaveDeleter>;
struct VocoderDeleter {
    void operator()(parlune_cg_vocoder* v) const { parlune_cg_vocoder_delete(v); }
};
using VocoderPtr = std::unique_ptr<parlune_cg_vocoder, VocoderDeleter>;

// flite's mlpg for every static coefficient: the banded system
// (W'U^-1 W) c = W'U^-1 m over the sentence's frames, solved by Cholesky.
// Row t of the factor and of the forward pass needs only frames up to
// t + 1, so both grow with the frames predicted and match flite's exactly.
// The backward pass needs the sentence's end: it starts from the last row
// known as flite starts from the last frame.
class Smoother {
  public:
    Smoother(const cst_cg_db* db, int frames, int statics)
        : m_frames(frames),
          m_statics(statics),
          m_dims(2 * statics),
          m_window{db->dynwin[0], db->dynwin[1], db->dynwin[2]},
          m_means(static_cast<size_t>(frames) * m_dims),
          m_precisions(static_cast<size_t>(frames) * m_dims),
          m_band(static_cast<size_t>(statics) * frames * kWidth),
          m_right(static_cast<size_t>(statics) * frames),
          m_forward(static_cast<size_t>(statics) * frames) {}

    // The next frame's Gaussians from its predicted row: means and
    // standard deviations in pairs from channel 2, statics then deltas.
    void add(const float* row) {
        const size_t t = static_cast<size_t>(m_known++);
        double det = 1.0;
        for (int k = 0; k < m_dims; ++k) {
            const float sd = row[(k + 1) * 2 + 1];
            const double variance = sd * sd;  // a float product, as in mlpg
            double precision;
            det *= variance;
            if (det > 0.0) {
                precision = 1.0 / variance;
            } else {
                precision = 1.0 / kMagicVariance;
                det = std::pow(kMagicVariance, k + 1);
            }
            m_precisions[t * m_dims + k] = precision;
            m_means[t * m_dims + k] = precision * static_cast<double>(row[(k + 1) * 2]);
        }
    }

    // Rows whose every neighbour is known; all of them at the end.
    int exactRows() const { return m_known == m_frames ? m_frames : std::max(0, m_known - 1); }

    // Static coefficients of frames [from, to) into out's channels 1..,
    // solved back from the last exact row.
    void solve(int from, int to, cst_track* out) {
        const int rows = exactRows();
        for (; m_factored < rows; ++m_factored) {
            for (int m = 0; m < m_statics; ++m) {
                factorRow(m, m_factored);
            }
        }
        const int last = rows - 1;
        std::vector<double> c(static_cast<size_t>(last - from + 1));
        for (int m = 0; m < m_statics; ++m) {
            const double* band = &m_band[static_cast<size_t>(m) * m_frames * kWidth];
            const double* g = &m_forward[static_cast<size_t>(m) * m_frames];
            c[last - from] = g[last] / band[last * kWidth];
            for (int t = last - 1; t >= from; --t) {
                const double* row = band + static_cast<size_t>(t) * kWidth;
                double hold = 0.0;
                for (int j = 1; j < kWidth; ++j) {
                    if (t + j <= last && row[j] != 0.0) {
                        hold += row[j] * c[t + j - from];
                    }
                }
                c[t - from] = (g[t] - hold) / row[0];
            }
            for (int t = from; t < to; ++t) {
                out->frames[t][m + 1] = static_cast<float>(c[t - from]);
            }
        }
    }

  private:
    static constexpr int kWidth = 3;  // the band: a delta window of three

    double window(int n) const { return m_window[n + 1]; }

    // Row i of coefficient m: built as mlpg's calc_R_and_r does, then
    // factored and carried forward as its Choleski steps do.
    void factorRow(int m, int i) {
        double* band = &m_band[static_cast<size_t>(m) * m_frames * kWidth];
        double* r = &m_right[static_cast<size_t>(m) * m_frames];
        double* g = &m_forward[static_cast<size_t>(m) * m_frames];
        double* row = band + static_cast<size_t>(i) * kWidth;
        const int delta = m_statics + m;
        r[i] = m_means[static_cast<size_t>(i) * m_dims + m];
        row[0] = m_precisions[static_cast<size_t>(i) * m_dims + m];
        for (int j = 1; j < kWidth; ++j) {
            row[j] = 0.0;
        }
        for (int k = -1; k <= 1; ++k) {
            const int n = i + k;
            if (n < 0 || n >= m_frames || window(-k) == 0.0) {
                continue;
            }
            r[i] += window(-k) * m_means[static_cast<size_t>(n) * m_dims + delta];
            const double wu = window(-k) * m_precisions[static_cast<size_t>(n) * m_dims + delta];
            for (int l = 0; l < kWidth; ++l) {
                const int w = l - k;
                if (w <= 1 && i + l < m_frames && window(w) != 0.0) {
                    row[l] += wu * window(w);
                }
            }
        }
        if (i == 0) {
            row[0] = std::sqrt(row[0]);
            for (int j = 1; j < kWidth; ++j) {
                row[j] /= row[0];
            }
            g[0] = r[0] / row[0];
            return;
        }
        for (int j = 1; j < kWidth; ++j) {
            if (i - j >= 0) {
                const double above = band[static_cast<size_t>(i - j) * kWidth + j];
                row[0] -= above * above;
            }
        }
        row[0] = std::sqrt(row[0]);
        const double* previous = row - kWidth;
        for (int j = 1; j < kWidth; ++j) {
            if (j != kWidth - 1) {
                row[j] -= previous[j] * previous[j + 1];
            }
            row[j] /= row[0];
        }
        double hold = 0.0;
        for (int j = 1; j < kWidth; ++j) {
            if (i - j >= 0) {
                const double above = band[static_cast<size_t>(i - j) * kWidth + j];
                if (above != 0.0) {
                    hold += above * g[i - j];
                }
            }
        }
        g[i] = (r[i] - hold) / row[0];
    }

    const int m_frames;
    const int m_statics;
    const int m_dims;
    const double m_window[3];
    int m_known = 0;
    int m_factored = 0;
    std::vector<double> m_means;       // [frame][dim]: precision * mean
    std::vector<double> m_precisions;  // [frame][dim]
    std::vector<double> m_band;        // [static][frame][kWidth]: the factor's rows
    std::vector<double> m_right;       // [static][frame]
    std::vector<double> m_forward;     // [static][frame]
};

// One syllable's step of flite's F0 spline: the frames it reads and writes.
struct SyllableStep {
    int start = 0;
    int mid = 0;
    int end = 0;
    int nextMid = 0;
    bool hasNext = false;
    int needs = 0;  // frames predicted before the step can run
};

class Sentence {
  public:
    Sentence(cst_utterance* utt, cst_cg_db* db, std::vector<cst_item*> frames)
        : m_utt(utt),
          m_db(db),
          m_items(std::move(frames)),
          m_count(static_cast<int>(m_items.size())) {}

    // The F0 spline's steps and, for each frame, the last step touching it;
    // false when a syllable's frames are out of the track.
    bool planSyllables() {
        if (m_db->spamf0) {
            return true;
        }
        m_lastStep.assign(static_cast<size_t>(m_count), -1);
        for (cst_item* syl = utt_rel_head(m_utt, "Syllable"); syl != nullptr;
             syl = item_next(syl)) {
            SyllableStep s;
            s.start = ffeature_int(syl, kFirstFrame);
            s.end = ffeature_int(syl, kLastFrame);
            if (s.end <= s.start) {
                continue;  // flite leaves it out too
            }
            s.mid = static_cast<int>((s.start + s.end) / 2.0);
            s.hasNext = item_next(syl) != nullptr;
            if (s.hasNext) {
                const int first = ffeature_int(syl, kNextFirstFrame);
                const int last = ffeature_int(syl, kNextLastFrame);
                s.nextMid = static_cast<int>((first + last) / 2.0);
            }
            const int lowest = s.hasNext ? std::min(s.start, s.nextMid) : s.start;
            const int highest = s.hasNext ? std::max(s.end, s.nextMid) : s.end;
            if (lowest < 0 || highest >= m_count) {
                return false;
            }
            s.needs = highest + 1;
            const int step = static_cast<int>(m_steps.size());
            for (int i = s.start; i <= s.end; ++i) {
                m_lastStep[i] = step;
            }
            if (s.hasNext) {
                m_lastStep[s.nextMid] = std::max(m_lastStep[s.nextMid], step);
            }
            m_steps.push_back(s);
        }
        return true;
    }

    void run() {
        const int extra = 1 + (m_db->mixed_excitation ? 5 : 0);  // voicing, strengths
        cst_track* params = new_track();
        cst_track_resize(params, m_count, m_db->num_channels[0] - 2 * extra);
        // The utterance owns the tracks, as after flite's own synthesis.
        utt_set_feat(m_utt, "param_track", track_val(params));
        m_params = params;
        if (m_db->mixed_excitation) {
            cst_track* strengths = new_track();
            cst_track_resize(strengths, m_count, 5);
            utt_set_feat(m_utt, "str_track", track_val(strengths));
            m_strengths = strengths;
        }
        for (int i = 0; i < m_count; ++i) {
            m_params->times[i] = static_cast<float>(i) * m_db->frame_advance;
        }
        if (m_db->spamf0) {
            // Its contour comes from the structure alone and replaces the
            // predicted F0 of every frame.
            cst_spamf0(m_utt);
            m_spamF0.resize(static_cast<size_t>(m_count));
            for (int i = 0; i < m_count; ++i) {
                m_spamF0[i] = m_params->frames[i][0];
            }
        }
        m_meanF0 = get_param_float(m_utt->features, "int_f0_target_mean", m_db->f0_mean);
        m_meanF0 *= get_param_float(m_utt->features, "f0_shift", 1.0);
        m_stddevF0 = get_param_float(m_utt->features, "int_f0_target_stddev", m_db->f0_stddev);
        int longest = 0;
        for (int pm = 0; pm < m_db->num_param_models; ++pm) {
            longest = std::max(longest, m_db->num_channels[pm]);
        }
        m_unpacked.resize(static_cast<size_t>(longest));

        const int statics = (m_params->num_channels / 2 - 1) / 2;
        Smoother smoother(m_db, m_count, statics);
        TrackPtr smoothed(new_track());
        cst_track_resize(smoothed.get(), m_count, statics + 1);
        for (int i = 0; i < m_count; ++i) {
            smoothed->times[i] = m_params->times[i];
        }

        const float shift = m_params->times[1] - m_params->times[0];
        const double rate = m_db->sample_rate;
        const int frameLength = static_cast<int>(0.5 + (1000.0 * shift * rate / 1000.0));
        int order = smoothed->num_channels - 1;
        const int fewer = get_param_int(m_utt->features, "mlsa_speed_param", 0);
        if (order > fewer && order - fewer > 4) {
            order -= fewer;
        }
        VocoderPtr vocoder(
            parlune_cg_vocoder_new(m_db, rate, frameLength, order, m_strengths != nullptr));
        WavePtr wave(new_wave());
        if (!vocoder || !wave) {
            utt_set_feat_int(m_utt, "Interrupted", 1);
            utt_set_wave(m_utt, new_wave());
            return;
        }
        cst_wave_resize(wave.get(), m_count * frameLength, 1);
        wave->sample_rate = m_db->sample_rate;
        cst_audio_streaming_info* asi = nullptr;
        if (const cst_val* info = get_param_val(m_utt->features, "streaming_info", nullptr)) {
            asi = val_audio_streaming_info(info);
            asi->utt = m_utt;
        }

        const Options options = g_options;
        std::vector<double> mcep(static_cast<size_t>(order) + 1);
        long pos = 0;
        long mark = 0;
        int rc = CST_AUDIO_STREAM_CONT;
        int vocoded = 0;
        while (vocoded < m_count && rc == CST_AUDIO_STREAM_CONT) {
            const int goal = std::min(
                m_count, vocoded + (vocoded == 0 ? options.firstFrames : options.blockFrames));
            while (m_predicted < m_count && ready(smoother, options.marginFrames) < goal) {
                predict(m_predicted);
                smoother.add(m_params->frames[m_predicted]);
                ++m_predicted;
                settleF0();
            }
            smoother.solve(vocoded, goal, smoothed.get());
            for (int t = vocoded; t < goal && rc == CST_AUDIO_STREAM_CONT; ++t) {
                smoothed->frames[t][0] = m_params->frames[t][0];
                for (int i = 1; i <= order; ++i) {
                    mcep[i - 1] = smoothed->frames[t][i];
                }
                mcep[order] = 0;
                parlune_cg_vocoder_frame(vocoder.get(), m_db, smoothed->frames[t][0], mcep.data(),
                                         m_strengths ? m_strengths->frames[t] : nullptr, order,
                                         wave.get(), &pos);
                // Chunks where flite's own loop cuts them.
                if (asi != nullptr && pos - mark > asi->min_buffsize) {
                    rc = (*asi->asc)(wave.get(), static_cast<int>(mark),
                                     static_cast<int>(pos - mark), 0, asi);
                    mark = pos;
                }
            }
            vocoded = goal;
        }
        wave->num_samples = static_cast<int>(pos);
        if (asi != nullptr && rc == CST_AUDIO_STREAM_CONT) {
            (*asi->asc)(wave.get(), static_cast<int>(mark), static_cast<int>(pos - mark), 1, asi);
        }
        if (rc == CST_AUDIO_STREAM_STOP) {
            utt_set_feat_int(m_utt, "Interrupted", 1);
            utt_set_wave(m_utt, new_wave());
            return;
        }
        utt_set_wave(m_utt, wave.release());
    }

  private:
    // Frames whose F0 is final and whose smoothed coefficients have settled.
    int ready(const Smoother& smoother, int margin) const {
        const int rows = smoother.exactRows();
        const int settled = rows == m_count ? m_count : std::max(0, rows - margin);
        return std::min(m_finalF0, settled);
    }

    // Frame i's F0, spectrum and strengths from the voice's trees, as
    // flite's cg_predict_params makes them.
    void predict(int i) {
        cst_item* frame = m_items[i];
        const char* name = item_feat_string(frame, "name");
        float localGain = ffeature_float(frame, kLocalGain);
        if (localGain == 0.0) {
            localGain = 1.0;
        }
        if (name != m_lastName) {
            m_lastName = name;
            m_type = 0;
            for (int p = 0; m_db->types[p] != nullptr; ++p) {
                if (cst_streq(name, m_db->types[p])) {
                    m_type = p;
                    break;
                }
            }
        }
        const int p = m_type;
        float* row = m_params->frames[i];
        float f0 = 0;
        for (int pm = 0; pm < m_db->num_f0_models; ++pm) {
            f0 += val_float(cart_interpret(frame, m_db->f0_trees[pm][p]));
        }
        row[0] = f0 / m_db->num_f0_models;
        if (row[0] < 50.0) {
            row[0] = 0.0;
        }
        const float models = static_cast<float>(m_db->num_param_models);
        float voicing = 0.0;
        for (int pm = 0; pm < m_db->num_param_models; ++pm) {
            const int f = val_int(cart_interpret(frame, m_db->param_trees[pm][p]));
            item_set_int(frame, "clustergen_param_frame", f);
            parlune_cg_unpack(m_db, pm, f, m_unpacked.data());
            int j = 2;
            for (; j < m_params->num_channels; ++j) {
                if (pm == 0) {
                    row[j] = 0.0;
                }
                row[j] += m_unpacked[j] / models;
            }
            if (m_strengths != nullptr) {
                const int o = j;
                for (int k = 0; k < 5; ++k) {
                    if (pm == 0) {
                        m_strengths->frames[i][k] = 0.0;
                    }
                    m_strengths->frames[i][k] += m_unpacked[o + 2 * k] / models;
                }
            }
            voicing /= static_cast<float>(pm + 1);
            voicing += m_unpacked[m_db->num_channels[pm] - 2] / static_cast<float>(pm + 1);
        }
        item_set_float(frame, "voicing", voicing);
        row[2] *= localGain;
    }

    // Runs the spline steps whose frames are predicted, then makes final
    // the F0 of frames no later step touches.
    void settleF0() {
        if (m_db->spamf0) {
            for (; m_finalF0 < m_predicted; ++m_finalF0) {
                m_params->frames[m_finalF0][0] = m_spamF0[m_finalF0];
            }
            return;
        }
        while (m_nextStep < static_cast<int>(m_steps.size()) &&
               m_steps[m_nextStep].needs <= m_predicted) {
            spline(m_steps[m_nextStep++]);
        }
        for (; m_finalF0 < m_predicted && m_lastStep[m_finalF0] < m_nextStep; ++m_finalF0) {
            float* row = m_params->frames[m_finalF0];
            if (parlune_cg_voiced(m_items[m_finalF0])) {
                row[0] = (((row[0] - m_db->f0_mean) / m_db->f0_stddev) * m_stddevF0) + m_meanF0;
                row[0] = std::clamp(row[0], 50.0f, 700.0f);
            } else {
                row[0] = 0.0;
            }
        }
    }

    // One syllable of flite's F0 interpolation, carrying its F0 at the
    // syllable's end on to the next.
    void spline(const SyllableStep& s) {
        float** f = m_params->frames;
        float start = f[s.start][0];
        if (m_endF0 > 0.0) {
            start = m_endF0;
        }
        const float previousMid = m_midF0 < 0.0 ? start : m_midF0;
        m_midF0 = f[s.mid][0];
        if (s.hasNext) {
            m_endF0 = (f[s.end - 1][0] + f[s.end][0]) / 2.0;
        } else {
            m_endF0 = f[s.end - 1][0];
        }
        float nextMid = m_endF0;
        if (s.hasNext) {
            nextMid = f[s.nextMid][0];
        }
        if (s.mid > s.start) {
            const float m = 1.0 / (s.mid - s.start);
            for (int i = 0; s.start + i < s.mid; ++i) {
                f[s.start + i][0] = parlune_cg_spline(i * m, previousMid, start, m_midF0, m_endF0);
            }
        }
        const float m = 1.0 / (s.end - s.mid);  // end > mid: a syllable's frames are two or more
        for (int i = 0; s.mid + i < s.end; ++i) {
            f[s.mid + i][0] = parlune_cg_spline(i * m, start, m_midF0, m_endF0, nextMid);
        }
    }

    cst_utterance* const m_utt;
    cst_cg_db* const m_db;
    const std::vector<cst_item*> m_items;
    const int m_count;
    cst_track* m_params = nullptr;     // owned by the utterance
    cst_track* m_strengths = nullptr;  // owned by the utterance
    std::vector<float> m_unpacked;
    std::vector<float> m_spamF0;
    std::vector<SyllableStep> m_steps;
    std::vector<int> m_lastStep;  // per frame: the last spline step reading or writing it
    const char* m_lastName = nullptr;
    int m_type = 0;
    int m_predicted = 0;
    int m_nextStep = 0;
    int m_finalF0 = 0;
    float m_meanF0 = 0;
    float m_stddevF0 = 0;
    float m_midF0 = -1.0;
    float m_endF0 = -1.0;
};

}  // namespace

bool supports(const cst_voice_struct* voice) {
    const cst_val* v = voice != nullptr ? feat_val(voice->features, "cg_db") : nullptr;
    if (v == nullptr) {
        return false;
    }
    const cst_cg_db* db = val_cg_db(v);
    return db->do_mlpg && db->dynwin != nullptr && db->dynwinsize == 3 && db->num_f0_models > 0 &&
           db->num_param_models > 0 && (!db->mixed_excitation || db->ME_num == 5);
}

bool choose(cst_voice_struct* voice, bool streamed) {
    if (!supports(voice)) {
        return false;
    }
    feat_set(voice->features, "wave_synth_func", uttfunc_val(streamed ? &stream : &cg_synth));
    return true;
}

void setOptions(const Options& options) {
    g_options.firstFrames = std::max(1, options.firstFrames);
    g_options.blockFrames = std::max(1, options.blockFrames);
    g_options.marginFrames = std::max(0, options.marginFrames);
}

Options options() { return g_options; }

cst_utterance* stream(cst_utterance* utt) {
    cst_cg_db* db = val_cg_db(utt_feat_val(utt, "cg_db"));
    parlune_cg_make_frames(utt);
    const int count = utt_feat_int(utt, "param_track_num_frames");
    std::vector<cst_item*> frames;
    for (cst_item* f = utt_rel_head(utt, "mcep"); f != nullptr; f = item_next(f)) {
        frames.push_back(f);
    }
    Sentence sentence(utt, db, frames);
    if (count < 2 || static_cast<int>(frames.size()) != count || !sentence.planSyllables()) {
        parlune_cg_finish(utt);  // flite's own way, whole
        return utt;
    }
    sentence.run();
    return utt;
}

}  // namespace parlune::helper::flitestream
