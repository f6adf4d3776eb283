// The first sound of an utterance is the start of its first word: the soft
// onset flite makes before a "th", an "h", an "f" or an "s" (amplitudes of
// tens to hundreds, under -40 dBFS) reaches the WAV file as flite made it,
// not cut away with the silence before it; and the pause before the word is
// not played, even from a voice that fills it with faint noise.
#include <flite/flite.h>
#include <stdlib.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "WavFile.h"

extern "C" {
cst_voice* register_cmu_us_rms(const char* voxdir);
cst_voice* register_cmu_us_slt(const char* voxdir);
void usenglish_init(cst_voice* v);
cst_lexicon* cmu_lex_init(void);
}

namespace parlune::test {
namespace {

// -60 dBFS: below it only the synthesiser's noise floor; -40 dBFS: where the
// soft onset has become a voiced or loud sound.
constexpr int kSoundLevel = 33;
constexpr int kLoudLevel = 328;
constexpr double kCompareMs = 100.0;

struct Onset {
    double softMs = -1;     // first sample above -60 dBFS to the first above -40 dBFS
    double energy = 0;      // mean square of the first 100 ms from the first sound
    size_t firstSound = 0;  // sample index
};

// The onset in `s` looked for from sample `from` on.
Onset onsetOf(const std::vector<int16_t>& s, int rate, size_t from = 0) {
    Onset onset;
    size_t sound = from;
    while (sound < s.size() && std::abs(s[sound]) <= kSoundLevel) ++sound;
    size_t loud = sound;
    while (loud < s.size() && std::abs(s[loud]) <= kLoudLevel) ++loud;
    if (loud == s.size()) return onset;
    onset.firstSound = sound;
    onset.softMs = 1000.0 * static_cast<double>(loud - sound) / rate;
    const size_t end = std::min(s.size(), sound + static_cast<size_t>(rate * kCompareMs / 1000));
    for (size_t i = sound; i < end; ++i) onset.energy += static_cast<double>(s[i]) * s[i];
    onset.energy /= static_cast<double>(end - sound);
    return onset;
}

struct Own {
    std::vector<int16_t> samples;
    int rate = 0;
    size_t firstPhone = 0;  // sample where the leading pause ends
};

// flite's own output for `text` with `voice`.
Own fliteOwn(const std::string& text, cst_voice* voice) {
    Own own;
    cst_utterance* utt = flite_synth_text(text.c_str(), voice);
    const cst_wave* wave = utt != nullptr ? utt_wave(utt) : nullptr;
    if (wave != nullptr) {
        own.rate = wave->sample_rate;
        own.samples.assign(wave->samples, wave->samples + wave->num_samples);
        const cst_item* first = relation_head(utt_relation(utt, "Segment"));
        if (first != nullptr && std::string(item_feat_string(first, "name")) == "pau") {
            own.firstPhone = static_cast<size_t>(item_feat_float(first, "end") * own.rate);
        }
    }
    if (utt != nullptr) delete_utterance(utt);
    return own;
}

class Onsets : public EngineFixture {};

TEST_F(Onsets, ASoftFirstSoundIsKeptAsTheSynthesiserMadeIt) {
    // Each starts with a soft sound; the first two with one longer than the
    // 10 ms kept before the first sound, which a -40 dBFS cut lost.
    const std::vector<std::string> texts = {
        "Hop over the fence.",          "Her purse was full of useless trash.",
        "The house is quiet.",          "Four hours of steady work faced us.",
        "She sells shells by the sea.",
    };
    flite_init();
    flite_add_lang("eng", usenglish_init, cmu_lex_init);
    // rms: pauses at the noise floor (about 5); slt: pauses of noise up to
    // -52 dBFS, above the silence threshold.
    // The onset itself is compared where the pause is quiet: in noise the
    // first sample above -60 dBFS falls anywhere in the look-back.
    const struct {
        const char* name;
        cst_voice* (*registered)(const char*);
        bool quietPauses;
    } voices[] = {{"rms", register_cmu_us_rms, true}, {"slt", register_cmu_us_slt, false}};
    for (const auto& voice : voices) {
        SCOPED_TRACE(voice.name);
        ::setenv("PARLUNE_VOICE", (std::string("flite:") + voice.name).c_str(), 1);
        std::vector<WavFile> wavs = spoken(texts);
        ASSERT_EQ(wavs.size(), texts.size());
        // flite's output depends on what it spoke before in the process: the
        // helper's warm-up sentence first, then the texts in the same order.
        cst_voice* own = voice.registered(nullptr);
        fliteOwn("Ready.", own);
        for (size_t i = 0; i < texts.size(); ++i) {
            const Own made = fliteOwn(texts[i], own);
            ASSERT_GT(made.rate, 0) << texts[i];
            // The look-back before the first phone is all of the pause that is kept.
            const size_t lookBack = made.rate / 50;
            const Onset expected =
                onsetOf(made.samples, made.rate,
                        made.firstPhone > lookBack ? made.firstPhone - lookBack : 0);
            const Onset got = onsetOf(wavs[i].samples(), wavs[i].sampleRate());
            ASSERT_GT(expected.softMs, 5.0) << texts[i] << ": no soft onset to keep";
            ASSERT_GE(got.softMs, 0.0) << texts[i] << ": nothing loud in the WAV file";
            if (voice.quietPauses) {
                EXPECT_NEAR(got.softMs, expected.softMs, 10.0) << texts[i];
                // The same first 100 ms: a cut into the onset brings louder sound
                // into them (4 to 13 times the energy for the "h" sentences).
                EXPECT_NEAR(std::log(got.energy / expected.energy), 0.0, std::log(1.5)) << texts[i];
            }
            // Silence before the first sound is still cut to a short look-back,
            // and so is the pause before the first word.
            const double rate = wavs[i].sampleRate();
            EXPECT_LT(1000.0 * static_cast<double>(got.firstSound) / rate, 30.0) << texts[i];
            const double ownLoudMs =
                1000.0 *
                    static_cast<double>(expected.firstSound -
                                        std::min(expected.firstSound, made.firstPhone)) /
                    made.rate +
                expected.softMs;
            EXPECT_LT(1000.0 * static_cast<double>(got.firstSound) / rate + got.softMs,
                      ownLoudMs + 30.0)
                << texts[i] << ": the pause before the first word is played";
        }
    }
}

}  // namespace
}  // namespace parlune::test
