// The parts behind the timing marks: phonemes to visemes for each back end's
// symbols, a back end's marks moved onto the samples sent, each sentence's
// marks sent before its samples (held no longer), and the bounded queue the
// caller drains.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "MarkBuilder.h"
#include "MarkQueue.h"
#include "MarkedStretch.h"
#include "Viseme.h"

namespace parlune::helper {
namespace {

namespace proto = protocol;

TEST(Visemes, EachBackEndsSymbolsMapOntoTheSharedSet) {
    struct Case {
        const char* (*map)(std::string_view);
        const char* symbol;
        const char* viseme;
    };
    const Case cases[] = {
        {Viseme::fromIpa, "p", "PP"},         {Viseme::fromIpa, "ˈaɪ", "aa"},  // stress, diphthong
        {Viseme::fromIpa, "tʃ", "CH"},        {Viseme::fromIpa, "t", "DD"},    // affricate first
        {Viseme::fromIpa, "ɹ", "RR"},         {Viseme::fromIpa, "ɯ", "ou"},
        {Viseme::fromIpa, "_:", "sil"},       {Viseme::fromIpa, "", "sil"},   // pauses
        {Viseme::fromIpa, "\xff", "sil"},     {Viseme::fromIpa, "ˈ", "sil"},  // nothing usable
        {Viseme::fromFlite, "dh", "TH"},      {Viseme::fromFlite, "ng", "kk"},
        {Viseme::fromFlite, "uw", "ou"},      {Viseme::fromFlite, "pau", "sil"},
        {Viseme::fromFlite, "xx", "sil"},     {Viseme::fromOpenJTalk, "N", "nn"},
        {Viseme::fromOpenJTalk, "ch", "CH"},  {Viseme::fromOpenJTalk, "U", "ou"},
        {Viseme::fromOpenJTalk, "cl", "sil"}, {Viseme::fromOpenJTalk, "f", "PP"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.map(c.symbol), c.viseme) << c.symbol;
    }
}

SpeechMark phoneme(size_t start, size_t end, const char* name, const char* viseme) {
    SpeechMark m;
    m.kind = SpeechMark::Kind::Phoneme;
    m.start = start;
    m.end = end;
    m.name = name;
    m.viseme = viseme;
    return m;
}

SpeechMark word(size_t start, size_t offset, size_t length) {
    SpeechMark m;
    m.start = start;
    m.offset = offset;
    m.length = length;
    return m;
}

TEST(MarkBuilding, TimesFollowTheCutAndTheRateAndVisemesCoverTheSound) {
    // 2000 samples at 16 kHz, the first 500 cut as silence, 1500 kept and
    // made into 2067 at 22.05 kHz. Samples 0..600 of the back end are silent.
    PcmOutput::Counts counts{2000, 1500, 16000, 2067};
    MarkBuilder builder("\x01 Hi you. Hi");
    std::vector<SpeechMark> marks = {
        phoneme(1000, 1400, "ay", "aa"),
        phoneme(0, 600, "pau", "sil"),
        phoneme(600, 1000, "hh", "kk"),
        phoneme(1400, 1500, "y", "ih"),
        word(1400, 3, 3),
        word(600, 0, 2),  // "Hi", "you" of "Hi you."
    };
    const std::vector<proto::MarkRecord> out = builder.sentence("Hi you.", marks, counts);
    std::vector<std::string> lines;
    for (const proto::MarkRecord& r : out) {
        static const char* const kinds[] = {"", "sentence", "word", "viseme", "phoneme"};
        lines.push_back(std::string(kinds[r.kind]) + " " + std::to_string(r.start) + " " +
                        std::to_string(r.end) + " " +
                        (r.kind <= proto::kMarkWord
                             ? std::to_string(r.offset) + "+" + std::to_string(r.length)
                             : std::string(r.name)));
    }
    // (600 - 500) * 2067 / 1500 = 138; the words sit at bytes 2 and 5 of
    // the piece; "you" ends with its last sounding phoneme.
    const std::vector<std::string> expected = {
        "sentence 0 2067 2+6", "viseme 0 138 sil",    "phoneme 0 138 pau",   "word 138 1240 2+2",
        "viseme 138 689 kk",   "phoneme 138 689 hh",  "viseme 689 1240 aa",  "phoneme 689 1240 ay",
        "word 1240 1378 5+3",  "viseme 1240 1378 ih", "phoneme 1240 1378 y", "viseme 1378 2067 sil",
    };
    EXPECT_EQ(lines, expected);
    // The next sentence's word is looked for after the last one found.
    const std::vector<proto::MarkRecord> next =
        builder.sentence("Hi", {word(0, 0, 2)}, PcmOutput::Counts{100, 100, 16000, 100});
    ASSERT_EQ(next.size(), 3u);  // sentence, word, one sil viseme
    EXPECT_EQ(next[1].offset, 10u);
    EXPECT_STREQ(next[2].name, "sil");
    EXPECT_EQ(next[2].end, 100u);
    // Nothing kept (all silence): every mark at 0.
    const std::vector<proto::MarkRecord> silent =
        builder.sentence("x", {phoneme(0, 50, "x", "SS")}, PcmOutput::Counts{50, 0, 16000, 0});
    for (const proto::MarkRecord& r : silent) EXPECT_EQ(r.end, 0u);
}

TEST(MarkBuilding, WordsRunTogetherGetTheirOwnShareOfTheRun) {
    // "on the" came as one word over four phonemes; "It" without its "'s".
    MarkBuilder builder("on the way. It's");
    const PcmOutput::Counts same{1600, 1600, 16000, 1600};
    std::vector<SpeechMark> marks = {
        word(0, 0, 2),
        phoneme(0, 200, "ɒ", "oh"),
        phoneme(200, 400, "n", "nn"),
        phoneme(400, 500, "ð", "TH"),
        phoneme(500, 600, "ə", "E"),
        word(600, 7, 3),
        phoneme(600, 1000, "weɪ", "ou"),
        phoneme(1000, 1200, "_", "sil"),
        word(1200, 12, 2),
        phoneme(1200, 1600, "ɪt", "ih"),
    };
    std::vector<std::string> words;
    for (const proto::MarkRecord& r : builder.sentence("on the way. It's", marks, same)) {
        if (r.kind == proto::kMarkWord) {
            words.push_back(std::to_string(r.start) + "-" + std::to_string(r.end) + " " +
                            std::to_string(r.offset) + "+" + std::to_string(r.length));
        }
    }
    const std::vector<std::string> expected = {"0-400 0+2", "400-600 3+3", "600-1000 7+3",
                                               "1200-1600 12+4"};
    EXPECT_EQ(words, expected);
}

// What a back end does in a speak call, step by step.
struct Step {
    enum What { Marks, Sound, Quiet } what;
    size_t start = 0;  // Marks: a sentence start..end with one phoneme; "end" 0: no sentence
    size_t end = 0;    // Sound, Quiet: samples
};

struct StretchCase {
    const char* name;
    std::vector<Step> steps;
    SynthBackend::Result result;
    size_t samples;          // marks samples sent
    size_t soundBeforeLast;  // at least this much sound sent before the last marks sample
    size_t soundBeforeEnd;   // at least this much sound sent before the call returned
};

// One marks sample or some samples, as the library receives them.
struct Received {
    bool marks = false;
    size_t samples = 0;  // the samples sent before it
    long start = 0;      // marks: the sentence's first and last sample, from the stretch's start
    long end = 0;
};

TEST(MarkedStretching, EachSentencesMarksComeBeforeItsSamplesWhichWaitNoLonger) {
    constexpr int kRate = 22050;
    using R = SynthBackend::Result;
    const StretchCase cases[] = {
        // flite, Open JTalk: a sentence's marks whole before its first chunk.
        {"marks first",
         {{Step::Marks, 0, 2205},
          {Step::Quiet, 441},
          {Step::Sound, 1764},
          {Step::Marks, 2205, 4410},
          {Step::Sound, 2205}},
         R::Spoken,
         2,
         1764,
         3969},
        // espeak-ng: each sentence's marks after its samples.
        {"marks after",
         {{Step::Marks, 0, 0},
          {Step::Sound, 2205},
          {Step::Marks, 0, 2205},
          {Step::Marks, 2205, 0},
          {Step::Sound, 2205}},
         R::Spoken,
         2,
         2205,
         2205},
        // A first chunk of silence: held until the sound tells the cut.
        {"silence first",
         {{Step::Marks, 0, 4410}, {Step::Quiet, 2205}, {Step::Sound, 2205}},
         R::Spoken,
         1,
         0,
         2205},
        // A back end that cuts no sentences: one at the end, all held.
        {"no sentences",
         {{Step::Marks, 0, 0}, {Step::Sound, 2205}, {Step::Sound, 2205}},
         R::Spoken,
         1,
         0,
         0},
        // A failure midway: what was marked stays, the rest goes unmarked.
        {"failed",
         {{Step::Marks, 0, 2205}, {Step::Sound, 2205}, {Step::Marks, 2205, 0}, {Step::Sound, 100}},
         R::Failed,
         1,
         0,
         2205},
        // Nothing but silence: still one sentence.
        {"silent", {{Step::Quiet, 2205}}, R::Spoken, 1, 0, 0},
    };
    for (const StretchCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Received> got;
        size_t sentSoFar = 0;
        PcmOutput out(kRate, [&](const int16_t*, size_t count) {
            sentSoFar += count;
            return true;
        });
        const MarkedStretch::Sink sink = [&](const std::vector<proto::MarkRecord>& records) {
            Received r{true, sentSoFar, -1, -1};
            for (const proto::MarkRecord& m : records) {
                if (m.kind == proto::kMarkSentence) {
                    r.start = static_cast<long>(sentSoFar + m.start);
                    r.end = static_cast<long>(sentSoFar + m.end);
                }
            }
            got.push_back(r);
            return true;
        };
        MarkBuilder builder("One. Two.");
        out.begin(10);
        MarkedStretch stretch(out, kRate, builder, "One. Two.", sink);
        const std::vector<int16_t> loud(4410, 3000), quiet(4410, 0);
        for (const Step& step : c.steps) {
            if (step.what == Step::Marks) {
                stretch.mark(phoneme(step.start, step.start + 100, "w", "ou"));
                if (step.end != 0) {
                    SpeechMark whole;
                    whole.kind = SpeechMark::Kind::Sentence;
                    whole.start = step.start;
                    whole.end = step.end;
                    stretch.mark(whole);
                }
            } else {
                EXPECT_TRUE(stretch.write((step.what == Step::Sound ? loud : quiet).data(),
                                          step.start, kRate));
            }
        }
        const size_t beforeEnd = sentSoFar;
        ASSERT_TRUE(out.end());
        EXPECT_TRUE(stretch.finish(c.result));
        ASSERT_EQ(got.size(), c.samples);
        EXPECT_GE(got.back().samples, c.soundBeforeLast);
        EXPECT_GE(beforeEnd, c.soundBeforeEnd);
        long previousEnd = 0;
        for (const Received& r : got) {
            // No sample of a sentence before its marks, none overlapping.
            ASSERT_GE(r.start, 0);
            EXPECT_LE(static_cast<long>(r.samples), r.start);
            EXPECT_GE(r.start, previousEnd);
            EXPECT_LE(r.start, r.end);
            previousEnd = r.end;
        }
        // The marks end where the sound sent does (within the converter's rounding).
        if (c.result == R::Spoken) {
            EXPECT_NEAR(static_cast<double>(previousEnd), sentSoFar, 2.0);
        }
    }
}

TEST(MarkedStretching, AReceiverGoneStopsTheBackEnd) {
    size_t sent = 0;
    PcmOutput out(22050, [&](const int16_t*, size_t count) {
        sent += count;
        return true;
    });
    const MarkedStretch::Sink refuse = [](const std::vector<proto::MarkRecord>&) { return false; };
    MarkBuilder builder("Go.");
    out.begin(10);
    MarkedStretch stretch(out, 22050, builder, "Go.", refuse);
    SpeechMark whole;
    whole.kind = SpeechMark::Kind::Sentence;
    whole.end = 2205;
    stretch.mark(whole);
    const std::vector<int16_t> loud(2205, 3000);
    EXPECT_FALSE(stretch.write(loud.data(), loud.size(), 22050));
    EXPECT_FALSE(stretch.write(loud.data(), loud.size(), 22050));
    ASSERT_TRUE(out.end());
    EXPECT_FALSE(stretch.finish(SynthBackend::Result::Spoken));
    // A stretch stopped while holding leaves the next, unmarked, unheld.
    out.hold();
    EXPECT_TRUE(out.write(loud.data(), loud.size(), 22050));
    const size_t before = sent;
    out.begin(10);
    EXPECT_TRUE(out.write(loud.data(), loud.size(), 22050));
    EXPECT_EQ(sent, before + loud.size());
}

TEST(MarkQueueing, BoundedOldestDroppedAndASmallBufferTakesNothing) {
    MarkQueue queue(2, 1000);
    EXPECT_FALSE(queue.push(1, "off"));  // not enabled: nothing kept
    queue.enable();
    EXPECT_TRUE(queue.push(1, "first"));
    EXPECT_TRUE(queue.push(1, "second"));
    EXPECT_TRUE(queue.push(2, "third"));
    EXPECT_FALSE(queue.push(2, std::string(1001, 'x')));  // over the byte limit alone
    EXPECT_EQ(queue.overflowed(), 1u);
    char buffer[8];
    uint64_t text = 0;
    EXPECT_EQ(queue.pop(text, buffer, 6), 6u);  // "second" needs 7 bytes
    EXPECT_EQ(queue.pop(text, buffer, sizeof buffer), 6u);
    EXPECT_STREQ(buffer, "second");
    EXPECT_EQ(text, 1u);
    EXPECT_EQ(queue.pop(text, buffer, sizeof buffer), 5u);
    EXPECT_EQ(text, 2u);
    EXPECT_EQ(queue.pop(text, buffer, sizeof buffer), 0u);
}

}  // namespace
}  // namespace parlune::helper
