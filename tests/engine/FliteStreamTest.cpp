// flite's CG voices streamed within the sentence (FliteStream.h) against
// flite's own cg_synth: the same samples in the same chunks, at every speed
// and pitch, with no seam where the blocks meet, the same marks, and a stop
// that still stops.
#include <flite/flite.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "FliteBackend.h"
#include "FliteCgSteps.h"
#include "FliteStream.h"

extern "C" {
cst_voice* register_cmu_us_rms(const char* voxdir);
cst_voice* register_cmu_us_slt(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
cst_voice* register_cmu_us_kal16(const char* voxdir);
}

namespace parlune::helper {
namespace {

using CgSynthesis = FliteBackend::CgSynthesis;

// What the streamed sound may differ by: the smoothing's back-substitution
// starts a margin after each block, not at the sentence's end.
constexpr int kMaxSampleDifference = 2;  // of 32767
constexpr double kMinSnrDb = 60.0;

const char* const kSentences[] = {
    "Yes.",
    "Please close the front door.",
    "Turn left.",
    "The battery is at forty two percent.",
    "Stop!",
    "Where is the charging station, and how far is it?",
    "The robot stopped at the second door of the laboratory and waited for the lift.",
    "Good morning, everyone.",
    "I could not find the red box on the table; shall I look in the kitchen?",
    "Obstacle ahead.",
    "After the meeting in room 3.14, bring the two parcels, the letters and the "
    "visitor's badge to the reception desk on the ground floor, then come back here.",
    "Hello world, this is a test of a rather long sentence that goes on for quite a while "
    "without any pause at all so that the first sound really matters.",
};

struct Recording {
    std::vector<int16_t> samples;
    std::vector<size_t> chunks;  // sizes, as handed on
    int rate = 0;
    SynthBackend::Result result = SynthBackend::Result::Failed;
};

// The same rand() sequence for both: the voices' noise comes from it.
Recording record(FliteBackend& flite, const std::string& voice, const std::string& text,
                 const Prosody& prosody, size_t stopAfter = 0) {
    Recording r;
    std::srand(1);
    r.result = flite.speak(voice, text, prosody, [&](const int16_t* s, size_t n, int rate) {
        r.samples.insert(r.samples.end(), s, s + n);
        r.chunks.push_back(n);
        r.rate = rate;
        return stopAfter == 0 || r.chunks.size() < stopAfter;
    });
    return r;
}

struct Difference {
    int maxAbs = 0;
    double snrDb = INFINITY;
    size_t worstAt = 0;
};

Difference compare(const std::vector<int16_t>& reference, const std::vector<int16_t>& got) {
    Difference d;
    double signal = 0;
    double noise = 0;
    for (size_t i = 0; i < reference.size() && i < got.size(); ++i) {
        const int e = std::abs(static_cast<int>(got[i]) - reference[i]);
        if (e > d.maxAbs) {
            d.maxAbs = e;
            d.worstAt = i;
        }
        signal += static_cast<double>(reference[i]) * reference[i];
        noise += static_cast<double>(e) * e;
    }
    if (noise > 0) {
        d.snrDb = 10 * std::log10(signal / noise);
    }
    return d;
}

class FliteStream : public ::testing::Test {
  protected:
    void SetUp() override { flitestream::setOptions(flitestream::Options{}); }
    void TearDown() override { flitestream::setOptions(flitestream::Options{}); }

    FliteBackend m_whole{CgSynthesis::Whole};
    FliteBackend m_streamed{CgSynthesis::Streaming};
};

TEST_F(FliteStream, SamplesAreFlitesOwnAtEverySpeedAndPitch) {
    struct Case {
        const char* voice;
        int speed;
        int pitch;
    };
    const Case cases[] = {{"rms", 100, 100}, {"rms", 200, 100}, {"rms", 100, 150},
                          {"rms", 200, 150}, {"slt", 100, 100}, {"slt", 200, 100},
                          {"slt", 100, 150}, {"slt", 200, 150}};
    Difference worst;
    for (const Case& c : cases) {
        Prosody prosody;
        prosody.speed = c.speed;
        prosody.pitch = c.pitch;
        for (const char* text : kSentences) {
            SCOPED_TRACE(std::string(c.voice) + " speed " + std::to_string(c.speed) + " pitch " +
                         std::to_string(c.pitch) + ": " + text);
            const Recording reference = record(m_whole, c.voice, text, prosody);
            const Recording got = record(m_streamed, c.voice, text, prosody);
            ASSERT_EQ(reference.result, SynthBackend::Result::Spoken);
            ASSERT_EQ(got.result, SynthBackend::Result::Spoken);
            EXPECT_EQ(got.rate, reference.rate);
            EXPECT_EQ(got.chunks, reference.chunks);
            ASSERT_EQ(got.samples.size(), reference.samples.size());
            ASSERT_GT(reference.samples.size(), 1000u);
            const Difference d = compare(reference.samples, got.samples);
            EXPECT_LE(d.maxAbs, kMaxSampleDifference) << "at sample " << d.worstAt;
            EXPECT_GE(d.snrDb, kMinSnrDb);
            worst.maxAbs = std::max(worst.maxAbs, d.maxAbs);
            worst.snrDb = std::min(worst.snrDb, d.snrDb);
        }
    }
    std::printf("flite stream: max abs difference %d, lowest SNR %.1f dB\n", worst.maxAbs,
                worst.snrDb);
}

// The blocks meet without a seam: any block size, down to one frame, gives
// flite's samples at every sample, so at every block boundary too; a
// smoothing cut off near the block (too short a margin) is caught.
TEST_F(FliteStream, BlocksMeetWithoutASeam) {
    struct Case {
        flitestream::Options options;
        bool seamless;
    };
    const Case cases[] = {
        {{1, 1, 100}, true},
        {{3, 7, 100}, true},
        {{20, 40, 100}, true},
        {{5000, 5000, 0}, true},  // one block: the whole sentence at once
        // Too short a margin leaves the smoothing unsettled at each block's
        // end (measured: 0.8 to 52 dB SNR at margins 0 to 10 frames).
        {{5, 5, 0}, false},
        {{20, 40, 2}, false},
        {{20, 40, 10}, false},
    };
    const std::string text = kSentences[6];
    for (const char* voice : {"rms", "slt"}) {
        const Recording reference = record(m_whole, voice, text, Prosody{});
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(voice) + " blocks " + std::to_string(c.options.firstFrames) +
                         "/" + std::to_string(c.options.blockFrames) + " margin " +
                         std::to_string(c.options.marginFrames));
            flitestream::setOptions(c.options);
            const Recording got = record(m_streamed, voice, text, Prosody{});
            ASSERT_EQ(got.samples.size(), reference.samples.size());
            const Difference d = compare(reference.samples, got.samples);
            if (c.seamless) {
                EXPECT_LE(d.maxAbs, kMaxSampleDifference) << "at sample " << d.worstAt;
                EXPECT_GE(d.snrDb, kMinSnrDb);
            } else {
                EXPECT_LT(d.snrDb, kMinSnrDb);
            }
        }
    }
}

TEST_F(FliteStream, MarksAreThoseOfFlitesOwnSynthesis) {
    const auto marksOf = [](FliteBackend& flite, const std::string& voice) {
        std::vector<std::string> out;
        std::srand(1);
        flite.speak(
            voice, "Please close the front door. Then wait.", Prosody{},
            [](const int16_t*, size_t, int) { return true; },
            [&](const SpeechMark& m) {
                out.push_back(m.name + "@" + std::to_string(m.start) + "-" + std::to_string(m.end) +
                              "/" + std::to_string(m.offset));
            });
        return out;
    };
    for (const char* voice : {"rms", "slt"}) {
        SCOPED_TRACE(voice);
        const std::vector<std::string> reference = marksOf(m_whole, voice);
        EXPECT_GT(reference.size(), 20u);
        EXPECT_EQ(marksOf(m_streamed, voice), reference);
    }
}

TEST_F(FliteStream, AStopEndsTheSentenceAndTheNextOneIsWhole) {
    const std::string text = kSentences[6];
    for (const char* voice : {"rms", "slt"}) {
        SCOPED_TRACE(voice);
        const Recording reference = record(m_whole, voice, text, Prosody{});
        for (size_t stopAfter : {1u, 3u, 40u}) {
            const Recording stopped = record(m_streamed, voice, text, Prosody{}, stopAfter);
            EXPECT_EQ(stopped.result, SynthBackend::Result::Stopped);
            EXPECT_EQ(stopped.chunks.size(), stopAfter);  // nothing after the refused chunk
            // What came before the stop is the start of flite's own sound.
            ASSERT_LE(stopped.samples.size(), reference.samples.size());
            EXPECT_TRUE(std::equal(stopped.samples.begin(), stopped.samples.end(),
                                   reference.samples.begin()));
        }
        // Nothing of the stopped one is left over.
        const Recording again = record(m_streamed, voice, text, Prosody{});
        EXPECT_EQ(again.result, SynthBackend::Result::Spoken);
        EXPECT_EQ(again.chunks, reference.chunks);
    }
}

// Texts with little or nothing to say (no frames, one word, symbols only)
// end as flite's own do, whether or not they take the streamed way.
TEST_F(FliteStream, TextsWithLittleToSayEndAsFlitesOwn) {
    const char* const texts[] = {"", " ", "...", "a", "1", "!?", "\x01\x02", "Hm"};
    for (const char* voice : {"rms", "slt"}) {
        for (const char* text : texts) {
            SCOPED_TRACE(std::string(voice) + ": \"" + text + "\"");
            const Recording reference = record(m_whole, voice, text, Prosody{});
            const Recording got = record(m_streamed, voice, text, Prosody{});
            EXPECT_EQ(got.result, reference.result);
            EXPECT_EQ(got.chunks, reference.chunks);
            EXPECT_EQ(got.samples, reference.samples);
        }
    }
}

// flite's voices are one per process: each backend's call chooses its way.
TEST_F(FliteStream, EachBackendSpeaksItsOwnWayAndOnlyCgVoicesStream) {
    struct Case {
        const char* voice;
        cst_voice* (*reg)(const char*);
        bool cg;
    };
    const Case cases[] = {{"rms", register_cmu_us_rms, true},
                          {"slt", register_cmu_us_slt, true},
                          {"awb", register_cmu_us_awb, true},
                          {"kal16", register_cmu_us_kal16, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.voice);
        cst_voice* v = c.reg(nullptr);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(flitestream::supports(v), c.cg);
        const auto synthesis = [v] {
            return val_uttfunc(feat_val(v->features, "wave_synth_func"));
        };
        const cst_uttfunc before = synthesis();
        const Recording streamed = record(m_streamed, c.voice, "Turn left.", Prosody{});
        EXPECT_EQ(streamed.result, SynthBackend::Result::Spoken);
        EXPECT_EQ(synthesis(), c.cg ? &flitestream::stream : before);
        const Recording whole = record(m_whole, c.voice, "Turn left.", Prosody{});
        EXPECT_EQ(synthesis(), c.cg ? &cg_synth : before);
        EXPECT_EQ(streamed.samples, whole.samples);
    }
    EXPECT_FALSE(flitestream::supports(nullptr));
    EXPECT_FALSE(flitestream::choose(nullptr, true));
}

TEST_F(FliteStream, OptionsOutOfRangeAreTakenAsTheNearestSensibleOnes) {
    flitestream::setOptions({0, -3, -1});
    const flitestream::Options o = flitestream::options();
    EXPECT_EQ(o.firstFrames, 1);
    EXPECT_EQ(o.blockFrames, 1);
    EXPECT_EQ(o.marginFrames, 0);
    // And they still make flite's sound, but for the smoothing's margin.
    const Recording got = record(m_streamed, "slt", kSentences[1], Prosody{});
    EXPECT_EQ(got.result, SynthBackend::Result::Spoken);
    EXPECT_EQ(got.samples.size(), record(m_whole, "slt", kSentences[1], Prosody{}).samples.size());
}

}  // namespace
}  // namespace parlune::helper
