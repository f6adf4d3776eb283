// The resident Japanese voice reads as Open JTalk's own program does: the
// same full-context labels (readings, accents, pauses) for kanji sentences,
// the same phonemes as their kana readings, and sentences of the same length
// within 5%, made phrase by phrase.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "HtsVoice.h"
#include "JapaneseAnalysis.h"
#include "OpenJTalkBackend.h"
#include "support/Files.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace parlune::helper {
namespace {

const std::string kDictionary = PARLUNE_OPEN_JTALK_DICTIONARY;
const std::string kVoiceDir = PARLUNE_VOICE_DIR;

struct KanjiAndKana {
    const char* kanji;
    const char* kana;
};

// Numbers, dates, counters, Latin letters, a pause, a question, long vowels.
const std::vector<KanjiAndKana> kSentences = {
    {"明日の天気は雨のち曇りです。", "あしたのてんきわあめのちくもりです。"},
    {"三番目の部屋に荷物を運びます。", "さんばんめのへやににもつをはこびます。"},
    {"2025年3月14日、午後3時に集合してください。",
     "にせんにじゅうごねんさんがつじゅうよっか、ごごさんじにしゅうごうしてください。"},
    {"バッテリー残量は20パーセントです。", "ばってりーざんりょうわにじゅっぱーせんとです。"},
    {"右へ曲がると、大きな図書館が見えます。", "みぎへまがると、おおきなとしょかんがみえます。"},
    {"お客様、本日はご来店ありがとうございます。",
     "おきゃくさま、ほんじつはごらいてんありがとうございます。"},
    {"ロボットが台所まで移動しました。", "ろぼっとがだいどころまでいどうしました。"},
    {"会議は何時に始まりますか？", "かいぎはなんじにはじまりますか？"},
    {"USBケーブルを接続してください。", "ゆーえすびーけーぶるをせつぞくしてください。"},
    {"駅から歩いて五分の距離です。", "えきからあるいてごふんのきょりです。"},
    {"危ないので、近づかないでください。", "あぶないので、ちかづかないでください。"},
    {"温度が急に上昇しています。", "おんどがきゅうにじょうしょうしています。"},
};

// What the program says for a text: its labels and its samples at 48 kHz.
struct ProgramOutput {
    std::vector<std::string> labels;
    std::vector<int16_t> samples;
    size_t pauseMiddle = 0;  // the sample in the middle of the first pause; 0: none
};

constexpr int kRate = 48000;
constexpr int kAudible = 33;  // -60 dBFS

ProgramOutput runProgram(const std::string& text) {
    testsupport::TempDir dir;
    std::ofstream(dir.file("in.txt")) << text << "\n";
    testsupport::RunResult r = testsupport::run(
        {"open_jtalk", "-x", kDictionary, "-m", kVoiceDir + "/mei_normal.htsvoice", "-g", "-3",
         "-ow", dir.file("out.wav"), "-ot", dir.file("trace.txt"), dir.file("in.txt")});
    ProgramOutput out;
    EXPECT_EQ(r.status, 0) << r.err;
    std::ifstream trace(dir.file("trace.txt"));
    std::string line;
    bool inLabels = false;
    // "[Output label]" is followed by "start end label" lines up to a blank one.
    while (std::getline(trace, line)) {
        if (line == "[Output label]") {
            inLabels = true;
        } else if (inLabels && line.empty()) {
            break;
        } else if (inLabels) {
            // Times in 100 ns.
            std::istringstream fields(line);
            unsigned long long start = 0;
            unsigned long long end = 0;
            std::string label;
            fields >> start >> end >> label;
            out.labels.push_back(label);
            if (out.pauseMiddle == 0 && JapaneseAnalysis::phonemeOf(label) == "pau") {
                out.pauseMiddle = static_cast<size_t>((start + end) / 2 * kRate / 10000000ULL);
            }
        }
    }
    // The program writes a plain 44-byte header.
    std::string wav = testsupport::readFile(dir.file("out.wav"));
    EXPECT_GT(wav.size(), 44u);
    if (wav.size() > 44) {
        out.samples.resize((wav.size() - 44) / 2);
        std::memcpy(out.samples.data(), wav.data() + 44, out.samples.size() * 2);
    }
    return out;
}

std::vector<int16_t> spoken(
    const std::function<SynthBackend::Result(const SynthBackend::PcmCallback&)>& speak) {
    std::vector<int16_t> samples;
    EXPECT_EQ(speak([&](const int16_t* chunk, size_t count, int rate) {
                  EXPECT_EQ(rate, kRate);
                  samples.insert(samples.end(), chunk, chunk + count);
                  return true;
              }),
              SynthBackend::Result::Spoken);
    return samples;
}

size_t firstAbove(const std::vector<int16_t>& samples, int level) {
    size_t i = 0;
    while (i < samples.size() && std::abs(samples[i]) <= level) {
        ++i;
    }
    return i;
}

int peak(const std::vector<int16_t>& samples, size_t from, size_t to) {
    int most = 0;
    for (size_t i = from; i < to && i < samples.size(); ++i) {
        most = std::max(most, std::abs(static_cast<int>(samples[i])));
    }
    return most;
}

// The mean difference in dB of the level of two sounds, over the 10 ms
// blocks where the second is loud (above -40 dBFS).
double levelDifferenceDb(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    const size_t block = kRate / 100;
    double sum = 0;
    size_t loud = 0;
    for (size_t i = 0; i + block <= std::min(a.size(), b.size()); i += block) {
        double ea = 1;
        double eb = 1;
        for (size_t k = i; k < i + block; ++k) {
            ea += static_cast<double>(a[k]) * a[k];
            eb += static_cast<double>(b[k]) * b[k];
        }
        if (eb / block > 328.0 * 328.0) {
            sum += std::abs(10 * std::log10(ea / eb));
            ++loud;
        }
    }
    return loud > 0 ? sum / static_cast<double>(loud) : 99;
}

std::vector<std::string> phonemes(const std::vector<std::string>& labels) {
    std::vector<std::string> out;
    for (const std::string& label : labels) {
        out.emplace_back(JapaneseAnalysis::phonemeOf(label));
    }
    return out;
}

class JapaneseReading : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_analysis.load(kDictionary)) << kDictionary; }
    JapaneseAnalysis m_analysis;
};

TEST_F(JapaneseReading, LabelsAreTheProgramsAndKanjiReadAsTheirKana) {
    for (const KanjiAndKana& s : kSentences) {
        std::vector<std::string> kanji = m_analysis.labels(s.kanji);
        EXPECT_EQ(kanji, runProgram(s.kanji).labels) << s.kanji;
        EXPECT_EQ(phonemes(kanji), phonemes(m_analysis.labels(s.kana))) << s.kanji;
    }
}

TEST_F(JapaneseReading, SamplesAreTheProgramsAndTheFirstSoundComesEarly) {
    HtsVoice voice;
    ASSERT_TRUE(voice.load(kVoiceDir + "/mei_normal.htsvoice"));
    OpenJTalkBackend backend({kDictionary, kVoiceDir});
    ASSERT_EQ(backend.load("mei"), "");
    for (const KanjiAndKana& s : kSentences) {
        std::vector<std::string> labels = m_analysis.labels(s.kanji);
        std::vector<int16_t> whole = spoken([&](const SynthBackend::PcmCallback& out) {
            return voice.speak(labels, Prosody{}, out);
        });
        EXPECT_TRUE(whole == runProgram(s.kanji).samples) << s.kanji;
        // The first chunk that holds any sound is a few frames, not the sentence.
        size_t first = 0;
        backend.speak("mei", s.kanji, Prosody{}, [&](const int16_t* chunk, size_t count, int) {
            bool sound = std::any_of(chunk, chunk + count, [](int16_t x) { return x != 0; });
            first = first == 0 && sound ? count : first;
            return true;
        });
        EXPECT_GT(first, 0u) << s.kanji;
        EXPECT_LE(first, static_cast<size_t>(kRate / 20)) << s.kanji;
    }
}

// The back end hands on the silence before a sentence's first sound without
// voicing it, and an utterance's first sentence up to its first pause
// before the rest is made; the sentence is still the whole one's: the same
// length, the same sounds at the same level, its first sound no later,
// and the seam inside the pause as quiet as the pause.
TEST_F(JapaneseReading, FirstSoundsComeSoonerAndTheSentenceIsTheSame) {
    HtsVoice voice;
    ASSERT_TRUE(voice.load(kVoiceDir + "/mei_normal.htsvoice"));
    OpenJTalkBackend backend({kDictionary, kVoiceDir});
    ASSERT_EQ(backend.load("mei"), "");
    std::vector<std::string> texts;
    for (const KanjiAndKana& s : kSentences) {
        texts.push_back(s.kanji);
    }
    // A long first sentence with its pause late, and one with two pauses.
    texts.push_back("ロボットは研究室の二番目のドアの前で止まり、エレベーターを待ちました。");
    texts.push_back("はい、わかりました、すぐに行きます。");
    size_t cut = 0;
    for (const std::string& text : texts) {
        std::vector<int16_t> whole = spoken([&](const SynthBackend::PcmCallback& out) {
            return voice.speak(m_analysis.labels(text), Prosody{}, out);
        });
        size_t pauseMiddle = runProgram(text).pauseMiddle;
        for (bool firstSound : {false, true}) {
            SCOPED_TRACE(text + (firstSound ? " (first sound)" : " (later sentence)"));
            Prosody prosody;
            prosody.firstSound = firstSound;
            std::vector<int16_t> soon = spoken([&](const SynthBackend::PcmCallback& out) {
                return backend.speak("mei", text, prosody, out);
            });
            ASSERT_EQ(soon.size(), whole.size());
            // At another rate too, nothing is lost or stretched.
            prosody.speed = 300;
            size_t fast = spoken([&](const SynthBackend::PcmCallback& out) {
                              return backend.speak("mei", text, prosody, out);
                          }).size();
            EXPECT_EQ(fast, spoken([&](const SynthBackend::PcmCallback& out) {
                                return voice.speak(m_analysis.labels(text), prosody, out);
                            }).size());
            size_t voiced = firstAbove(soon, 0);
            EXPECT_LE(peak(whole, 0, voiced), kAudible);
            EXPECT_LE(firstAbove(soon, kAudible), firstAbove(whole, kAudible) + kRate / 100);
            // A head made on its own has its own pitch range and level:
            // 0.5 to 1.5 dB off on average, a shifted stretch far more.
            EXPECT_LT(levelDifferenceDb(soon, whole), firstSound ? 2.0 : 0.5);
            if (firstSound && pauseMiddle > 0) {
                ++cut;
                size_t from = pauseMiddle - kRate / 100;
                size_t to = pauseMiddle + kRate / 100;
                EXPECT_LE(peak(soon, from, to), 2 * peak(whole, from, to) + kAudible);
            }
        }
    }
    EXPECT_GE(cut, 6u);
}

struct WordCase {
    const char* text;
    std::vector<const char*> words;  // the bytes of the text its words say, in order
};

// Each word is tied to the bytes it says: kanji, kana, digits read out,
// Latin letters (read in full width), half-width kana, text around spaces
// and symbols. The words' phonemes are every phoneme but the pauses, once.
TEST_F(JapaneseReading, WordsSayTheirOwnBytesInOrder) {
    const std::vector<WordCase> cases = {
        {"今日はとても良い天気です。", {"今日", "は", "とても", "良い", "天気", "です"}},
        {"10時に会いましょう。", {"10", "時", "に", "会い", "ましょう"}},
        {"2025年3月14日、午後3時に集合。",
         {"2025", "年", "3月", "14日", "午後", "3", "時", "集合"}},
        {"USBケーブルを接続して。", {"USB", "ケーブル", "を", "接続", "し", "て"}},
        {"ｶﾞｲﾄﾞ を 見て", {"ｶﾞｲﾄﾞ", "を", "見", "て"}},
        {"「はい」、わかりました！", {"はい", "わかり", "まし", "た"}},
    };
    for (const WordCase& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string text = c.text;
        std::vector<JapaneseAnalysis::Word> words;
        const std::vector<std::string> labels = m_analysis.labels(text, &words);
        ASSERT_FALSE(words.empty());
        std::vector<std::string> said;
        std::vector<int> owner(labels.size(), -1);
        size_t end = 0;
        for (size_t i = 0; i < words.size(); ++i) {
            const JapaneseAnalysis::Word& w = words[i];
            ASSERT_LE(w.offset + w.length, text.size());
            ASSERT_GT(w.length, 0u);
            // In order: after the last word, or the same digits again.
            const bool same =
                i > 0 && w.offset == words[i - 1].offset && w.length == words[i - 1].length;
            EXPECT_TRUE(same || w.offset >= end) << w.offset;
            end = w.offset + w.length;
            if (!same) said.push_back(text.substr(w.offset, w.length));
            ASSERT_GE(w.first, 1u);
            ASSERT_LE(w.first, w.last);
            ASSERT_LT(w.last, labels.size() - 1);
            for (size_t l = w.first; l <= w.last; ++l) {
                EXPECT_EQ(owner[l], -1) << "label " << l << " in two words";
                owner[l] = static_cast<int>(i);
            }
        }
        for (size_t l = 1; l + 1 < labels.size(); ++l) {
            const std::string_view p = JapaneseAnalysis::phonemeOf(labels[l]);
            EXPECT_EQ(owner[l] == -1, p == "pau") << l << " " << p;
        }
        std::string all;
        for (const std::string& w : said) all += w + "|";
        // The expected words appear in order among those said.
        auto next = said.begin();
        for (const char* e : c.words) {
            next = std::find(next, said.end(), e);
            ASSERT_NE(next, said.end()) << "no word " << e << " in order among " << all;
        }
    }
}

TEST_F(JapaneseReading, TextsWithoutWordsGiveNone) {
    for (const std::string& text : {std::string(), std::string("   "), std::string("\x01\x02"),
                                    std::string("😀😀"), std::string("、。")}) {
        std::vector<JapaneseAnalysis::Word> words(1);
        m_analysis.labels(text, &words);
        EXPECT_TRUE(words.empty()) << text;
    }
    // A character cut short at the end is not read past.
    std::vector<JapaneseAnalysis::Word> cut;
    const std::string shortened = std::string("天気です") + "\xe6\x97";
    ASSERT_FALSE(m_analysis.labels(shortened, &cut).empty());
    for (const JapaneseAnalysis::Word& w : cut) EXPECT_LE(w.offset + w.length, shortened.size());
    // A control character inside is left out; the words around keep their bytes.
    std::vector<JapaneseAnalysis::Word> words;
    const std::string text = "天気\x01です";
    ASSERT_FALSE(m_analysis.labels(text, &words).empty());
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(text.substr(words[0].offset, words[0].length), "天気");
    EXPECT_EQ(text.substr(words[1].offset, words[1].length), "です");
}

TEST_F(JapaneseReading, TextsWithNothingToSayFailAndTheNextIsSpoken) {
    OpenJTalkBackend backend({kDictionary, kVoiceDir});
    ASSERT_EQ(backend.load("mei"), "");
    auto sink = [](const int16_t*, size_t, int) { return true; };
    const std::string nul("\0\0", 2);
    for (const std::string& text :
         {std::string(), std::string("   "), std::string("\x01\x02"), std::string("😀😀"), nul}) {
        EXPECT_EQ(backend.speak("mei", text, Prosody{}, sink), SynthBackend::Result::Failed)
            << text;
    }
    // A run of ASCII that aborts the program (345 or more on its line).
    EXPECT_EQ(backend.speak("mei", std::string(360, '.') + "です。", Prosody{}, sink),
              SynthBackend::Result::Spoken);
    EXPECT_EQ(backend.speak("mei", kSentences[0].kanji, Prosody{}, sink),
              SynthBackend::Result::Spoken);
    // The callback stops it; a missing voice file is named.
    EXPECT_EQ(backend.speak("mei", kSentences[4].kanji, Prosody{},
                            [](const int16_t*, size_t, int) { return false; }),
              SynthBackend::Result::Stopped);
    OpenJTalkBackend elsewhere({kDictionary, "/nonexistent"});
    EXPECT_NE(elsewhere.load("m001").find("/nonexistent/nitech_jp_atr503_m001.htsvoice"),
              std::string::npos);
}

}  // namespace
}  // namespace parlune::helper
