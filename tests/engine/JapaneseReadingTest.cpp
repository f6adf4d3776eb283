// The resident Japanese voice reads as Open JTalk's own program does: the
// same full-context labels (readings, accents, pauses) for kanji sentences,
// the same phonemes as their kana readings, and sentences of the same length
// within 5%, made phrase by phrase.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

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
};

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
            out.labels.push_back(line.substr(line.find(' ', line.find(' ') + 1) + 1));
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

TEST_F(JapaneseReading, SamplesAreTheProgramsAndTheFirstComeEarly) {
    OpenJTalkBackend backend({kDictionary, kVoiceDir});
    ASSERT_EQ(backend.load("mei"), "");
    for (const KanjiAndKana& s : kSentences) {
        std::vector<int16_t> samples;
        size_t first = 0;
        auto result = backend.speak("mei", s.kanji, Prosody{},
                                    [&](const int16_t* chunk, size_t count, int rate) {
                                        EXPECT_EQ(rate, 48000);
                                        first = first == 0 ? count : first;
                                        samples.insert(samples.end(), chunk, chunk + count);
                                        return true;
                                    });
        ASSERT_EQ(result, SynthBackend::Result::Spoken) << s.kanji;
        EXPECT_TRUE(samples == runProgram(s.kanji).samples) << s.kanji;
        // A few frames, not the sentence.
        EXPECT_LE(first, 48000u / 20) << s.kanji;
    }
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
