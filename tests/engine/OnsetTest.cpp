// The first sound of an utterance is the start of its first word: the soft
// onset flite makes before a "th", an "h", an "f" or an "s" (amplitudes of
// tens to hundreds, under -40 dBFS) reaches the WAV file as flite made it,
// not cut away with the silence before it.
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

Onset onsetOf(const std::vector<int16_t>& s, int rate) {
    Onset onset;
    size_t sound = 0;
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

// flite's own output for `text` with the voice the engine uses for English.
std::vector<int16_t> fliteOwn(const std::string& text, int& rate) {
    static cst_voice* voice = [] {
        flite_init();
        flite_add_lang("eng", usenglish_init, cmu_lex_init);
        return register_cmu_us_rms(nullptr);
    }();
    cst_wave* wave = flite_text_to_wave(text.c_str(), voice);
    if (wave == nullptr) return {};
    rate = wave->sample_rate;
    std::vector<int16_t> samples(wave->samples, wave->samples + wave->num_samples);
    delete_wave(wave);
    return samples;
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
    ::setenv("PARLUNE_VOICE", "flite:rms", 1);
    std::vector<WavFile> wavs = spoken(texts);
    ASSERT_EQ(wavs.size(), texts.size());
    // flite's output depends on what it spoke before in the process: the
    // helper's warm-up sentence first, then the texts in the same order.
    int rate = 0;
    fliteOwn("Ready.", rate);
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::vector<int16_t> own = fliteOwn(texts[i], rate);
        ASSERT_GT(rate, 0) << texts[i];
        const Onset expected = onsetOf(own, rate);
        const Onset got = onsetOf(wavs[i].samples(), wavs[i].sampleRate());
        ASSERT_GT(expected.softMs, 5.0) << texts[i] << ": no soft onset to keep";
        ASSERT_GE(got.softMs, 0.0) << texts[i] << ": nothing loud in the WAV file";
        EXPECT_NEAR(got.softMs, expected.softMs, 10.0) << texts[i];
        // The same first 100 ms: a cut into the onset brings louder sound
        // into them (4 to 13 times the energy for the "h" sentences).
        EXPECT_NEAR(std::log(got.energy / expected.energy), 0.0, std::log(1.5)) << texts[i];
        // Silence before the first sound is still cut to a short look-back.
        EXPECT_LT(1000.0 * static_cast<double>(got.firstSound) / wavs[i].sampleRate(), 30.0)
            << texts[i];
    }
}

}  // namespace
}  // namespace parlune::test
