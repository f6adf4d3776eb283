// Which voice speaks what: Japanese read by its words, not spelled out;
// English by the clearer English voice; mixed texts by both in order; every
// voice name; texts that trouble a synthesiser cost only themselves; a
// missing voice file costs Japanese its best voice, never its speech.
#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "ProcessProbe.h"
#include "WavFile.h"

namespace parlune::test {
namespace {

// A voice made at 16 kHz has nothing above 7.5 kHz once converted; the 22
// and 48 kHz voices keep a few thousandths of their energy there.
constexpr double kHighBand = 7500.0;
constexpr double kSixteenKhzMost = 0.0003;
constexpr double kWideBandLeast = 0.0015;

struct KanjiAndKana {
    const char* kanji;
    const char* kana;
};

// Everyday sentences with kanji, numbers, a date and Latin letters, and the
// same sentences written as they are read.
const std::vector<KanjiAndKana> kSentences = {
    {"今日は良い天気です。", "きょうはよいてんきです。"},
    {"東京駅で会議があります。", "とーきょーえきでかいぎがあります。"},
    {"2024年12月8日に出発します。", "にせんにじゅうよねんじゅうにがつようかにしゅっぱつします。"},
    {"充電が終わりました。", "じゅうでんがおわりました。"},
    {"前方に障害物があります。", "ぜんぽうにしょうがいぶつがあります。"},
    {"RTCを起動しました。", "あーるてぃーしーをきどうしました。"},
    {"会議室には100人います。", "かいぎしつにはひゃくにんいます。"},
};

const std::string kEnglish = "The quick brown fox jumps over the lazy dog.";

class Voices : public EngineFixture {
  protected:
    double secondsOf(const std::string& text, int speed = 100) {
        std::vector<WavFile> wavs = spoken({text}, speed);
        return wavs.size() == 1 ? wavs[0].seconds() : 0.0;
    }
};

TEST_F(Voices, JapaneseWithKanjiIsReadAsItsWordsNotSpelled) {
    std::vector<std::string> texts;
    for (const KanjiAndKana& s : kSentences) {
        texts.push_back(s.kanji);
        texts.push_back(s.kana);
    }
    std::vector<WavFile> wavs = spoken(texts);
    ASSERT_EQ(wavs.size(), texts.size());
    for (size_t i = 0; i < kSentences.size(); ++i) {
        double kanji = wavs[2 * i].seconds();
        double kana = wavs[2 * i + 1].seconds();
        EXPECT_GT(kana, 0.5) << kSentences[i].kana;
        EXPECT_NEAR(kanji, kana, 0.25 * kana) << kSentences[i].kanji;
    }

    // The check tells reading from spelling: a voice that names each kanji
    // is far off.
    ::setenv("PARLUNE_VOICE", "ja", 1);
    std::vector<WavFile> spelled = spoken({kSentences[0].kanji, kSentences[0].kana});
    ASSERT_EQ(spelled.size(), 2u);
    EXPECT_GT(spelled[0].seconds(), 1.5 * spelled[1].seconds());
}

TEST_F(Voices, EnglishIsSpokenByFliteUnlessAnotherVoiceIsNamed) {
    std::vector<WavFile> byDefault = spoken({kEnglish});
    ::setenv("PARLUNE_VOICE", "flite:rms", 1);
    std::vector<WavFile> rms = spoken({kEnglish});
    ::setenv("PARLUNE_VOICE", "en", 1);
    std::vector<WavFile> espeak = spoken({kEnglish});
    ASSERT_EQ(byDefault.size(), 1u);
    ASSERT_EQ(rms.size(), 1u);
    ASSERT_EQ(espeak.size(), 1u);
    EXPECT_GT(byDefault[0].seconds(), 1.0);
    EXPECT_NEAR(byDefault[0].seconds(), rms[0].seconds(), 0.1 * rms[0].seconds());
    EXPECT_LT(byDefault[0].energyAbove(kHighBand), kSixteenKhzMost);
    EXPECT_GT(espeak[0].energyAbove(kHighBand), kWideBandLeast);
    // One rate for every voice: the library's stream never changes.
    EXPECT_EQ(byDefault[0].sampleRate(), espeak[0].sampleRate());
}

TEST_F(Voices, AMixedTextIsOneUtteranceWithBothVoicesInOrder) {
    const std::string english = "The robot has reached the charging station.";
    const std::string japanese = "充電が終わりました。";
    std::vector<WavFile> wavs = spoken({english, japanese, english + " " + japanese});
    ASSERT_EQ(wavs.size(), 3u);
    double first = wavs[0].seconds();
    double second = wavs[1].seconds();
    const WavFile& mixed = wavs[2];
    EXPECT_NEAR(mixed.seconds(), first + second, 0.25 * (first + second));
    // English first (nothing above 8 kHz), then the Japanese voice.
    EXPECT_LT(mixed.energyAbove(kHighBand, 0.0, 0.9 * first), kSixteenKhzMost);
    EXPECT_GT(mixed.energyAbove(kHighBand, first + 0.1), kWideBandLeast);
    EXPECT_GT(wavs[1].energyAbove(kHighBand), kWideBandLeast);
}

TEST_F(Voices, EveryVoiceNameSpeaksAndBadNamesAreRefused) {
    struct Named {
        const char* variable;
        const char* value;
        std::string text;
    };
    const std::vector<Named> good = {
        {"PARLUNE_VOICE", "auto", kEnglish},
        {"PARLUNE_VOICE", "flite:rms", kEnglish},
        {"PARLUNE_VOICE", "flite:slt", kEnglish},
        {"PARLUNE_VOICE", "flite:awb", kEnglish},
        {"PARLUNE_VOICE", "flite:kal16", kEnglish},
        // flite reads no kana or kanji: those still go to the Japanese voice.
        {"PARLUNE_VOICE", "flite:slt", kSentences[0].kanji},
        {"PARLUNE_VOICE", "openjtalk:mei", kSentences[0].kanji},
        {"PARLUNE_VOICE", "openjtalk:m001", kSentences[0].kanji},
        {"PARLUNE_VOICE", "espeak:de", "Guten Morgen."},
        {"PARLUNE_VOICE", "en-us", kEnglish},
        {"PARLUNE_VOICE_JA", "openjtalk:m001", kSentences[1].kanji},
        {"PARLUNE_VOICE_JA", "espeak:ja", "こんにちは。"},
        {"PARLUNE_VOICE_EN", "flite:slt", kEnglish},
        {"PARLUNE_VOICE_EN", "espeak:en-us", kEnglish},
    };
    for (const Named& n : good) {
        ::setenv(n.variable, n.value, 1);
        ParluneDaHandle h = create();
        ASSERT_NE(h, nullptr) << n.variable << "=" << n.value << ": " << ParluneDa_CreateError();
        EXPECT_STREQ(ParluneDa_CreateWarning(), "") << n.value;
        ASSERT_EQ(ParluneDa_Play(h, n.text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
        std::string base = waitForUtterance(n.text);
        ASSERT_FALSE(base.empty()) << n.value;
        WavFile wav(m_wavDir.file(base + ".wav"));
        EXPECT_GT(wav.seconds(), 0.5) << n.value;
        EXPECT_GT(wav.rms(), 300.0) << n.value;
        EXPECT_EQ(ParluneDa_SkippedTexts(h), 0) << n.value;
        release(h);
        ::unsetenv(n.variable);
        for (const std::string& name : m_wavDir.namesEndingIn("")) {
            ::unlink(m_wavDir.file(name).c_str());
        }
    }

    const std::vector<Named> bad = {
        {"PARLUNE_VOICE", "flite:kal", ""},
        {"PARLUNE_VOICE", "flite:", ""},
        {"PARLUNE_VOICE", "openjtalk:mei_happy", ""},
        {"PARLUNE_VOICE", "festival:slt", ""},
        {"PARLUNE_VOICE", "espeak:", ""},
        {"PARLUNE_VOICE", "en us", ""},
        {"PARLUNE_VOICE", "espeak:no-such-voice", ""},
        {"PARLUNE_VOICE_JA", "auto", ""},
        {"PARLUNE_VOICE_JA", "openjtalk:x", ""},
        {"PARLUNE_VOICE_EN", "flite:nope", ""},
        {"PARLUNE_VOICE_EN", "no-such-voice", ""},
    };
    for (const Named& n : bad) {
        ::setenv(n.variable, n.value, 1);
        EXPECT_EQ(ParluneDa_Create(), nullptr) << n.variable << "=" << n.value;
        const std::string reason = ParluneDa_CreateError();
        EXPECT_NE(reason.find(std::string(n.variable) + "=" + n.value), std::string::npos)
            << reason;
        ::unsetenv(n.variable);
    }
    EXPECT_TRUE(ProcessProbe::children().empty()) << "a refused voice left a process";
}

TEST_F(Voices, TextsThatTroubleASynthesiserCostOnlyThemselves) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    const std::string good = "その後の文です。";
    std::string longAscii = "ログ：";
    for (int i = 0; i < 60; ++i) {
        longAscii += "abcdefg ";  // 480 ASCII characters in one Japanese line
    }
    longAscii += "以上です。";
    std::string interleaved;
    for (int i = 0; i < 200; ++i) {
        interleaved += "あab";  // many short ASCII runs, 400 in all
    }
    std::string banana;
    for (int i = 0; i < 50; ++i) {
        banana += "banana";
    }
    const std::vector<std::string> hazards = {
        longAscii,
        interleaved,
        "\x01\x02こんにちは\x7f\x1b[0m、\x08さようなら。",
        "😀😀😀",
        "。。。！？",
        "\xe3\x80\x80\xe3\x80\x80\t \n",  // ideographic spaces, tab, line end
        banana,                           // one enormous word
    };
    for (const std::string& hazard : hazards) {
        ASSERT_EQ(ParluneDa_Play(h, hazard.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
        ASSERT_EQ(ParluneDa_Play(h, good.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    }
    std::vector<std::string> wavs = waitForWavs(2 * hazards.size(), 120);
    ASSERT_EQ(wavs.size(), 2 * hazards.size());
    for (size_t i = 0; i < hazards.size(); ++i) {
        EXPECT_EQ(readFile(m_wavDir.file(wavs[2 * i].substr(0, 6) + ".txt")), hazards[i]);
        WavFile after(m_wavDir.file(wavs[2 * i + 1]));
        EXPECT_GT(after.seconds(), 0.5) << "after hazard " << i;
    }
    // The Japanese around the long ASCII line is spoken too.
    EXPECT_GT(WavFile(m_wavDir.file(wavs[0])).seconds(), 5.0);
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 0);

    // A NUL ends the text: what follows it is not part of it.
    const char withNul[] = "前半です。\0後半です。";
    ASSERT_EQ(ParluneDa_Play(h, withNul, 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("前半です。").empty());

    // A megabyte of Japanese on one line is taken, and Release still ends
    // it; the next engine speaks.
    std::string megabyte;
    while (megabyte.size() < (1u << 20)) {
        megabyte += "東京駅で会議があります";
    }
    ASSERT_EQ(ParluneDa_Play(h, megabyte.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    release(h);
    EXPECT_TRUE(ProcessProbe::children().empty());
    h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, good.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_EQ(utterancesOf(megabyte).size(), 0u);
    EXPECT_EQ(waitForWavs(2 * hazards.size() + 2).size(), 2 * hazards.size() + 2);
}

TEST_F(Voices, AMissingOrDamagedVoiceFileLeavesJapaneseToTheKanaVoice) {
    const std::string text = "こんにちは、さようなら。";
    ::setenv("PARLUNE_VOICE", "ja", 1);
    double kanaVoice = secondsOf(text);
    ::unsetenv("PARLUNE_VOICE");
    ASSERT_GT(kanaVoice, 0.5);

    TempDir empty;
    TempDir damaged;
    std::string whole = readFile(std::string(PARLUNE_VOICE_DIR) + "/mei_normal.htsvoice");
    ASSERT_GT(whole.size(), 100000u) << "the voice files are not installed";
    std::ofstream(damaged.file("mei_normal.htsvoice"), std::ios::binary)
        << whole.substr(0, whole.size() / 2);

    struct Case {
        std::string dir;
        const char* voice;
        std::string named;
    };
    const std::vector<Case> cases = {
        {empty.path(), "auto", empty.file("mei_normal.htsvoice")},
        {empty.path(), "openjtalk:m001", empty.file("nitech_jp_atr503_m001.htsvoice")},
        {damaged.path(), "auto", damaged.file("mei_normal.htsvoice") + " is damaged"},
    };
    for (const Case& c : cases) {
        ::setenv("PARLUNE_VOICE_DIR", c.dir.c_str(), 1);
        ::setenv("PARLUNE_VOICE", c.voice, 1);
        ParluneDaHandle h = create();
        ASSERT_NE(h, nullptr) << ParluneDa_CreateError();
        const std::string warning = ParluneDa_CreateWarning();
        EXPECT_NE(warning.find(c.named), std::string::npos) << warning;
        EXPECT_STREQ(ParluneDa_CreateError(), "");
        release(h);
        double seconds = secondsOf(text);
        EXPECT_NEAR(seconds, kanaVoice, 0.1 * kanaVoice) << c.dir << " " << c.voice;
        // English is untouched.
        EXPECT_GT(secondsOf(kEnglish), 1.0);
    }
}

TEST_F(Voices, SpeedScalesEveryVoice) {
    struct Voice {
        const char* name;
        std::string text;
    };
    const std::vector<Voice> voices = {
        {"flite:rms", kEnglish},
        {"openjtalk:mei", kSentences[4].kanji},
        {"espeak:en", kEnglish},
    };
    for (const Voice& v : voices) {
        ::setenv("PARLUNE_VOICE", v.name, 1);
        std::vector<WavFile> normal = spoken({v.text}, 100);
        std::vector<WavFile> fast = spoken({v.text}, 200);
        std::vector<WavFile> slow = spoken({v.text}, 50);
        ASSERT_EQ(normal.size() + fast.size() + slow.size(), 3u) << v.name;
        double n = normal[0].seconds();
        EXPECT_NEAR(fast[0].seconds(), n / 2, 0.25 * n / 2) << v.name;
        EXPECT_NEAR(slow[0].seconds(), 2 * n, 0.25 * 2 * n) << v.name;
    }
}

}  // namespace
}  // namespace parlune::test
