// The helper's parts on their own: how a text is cut and sorted for the
// voices, what each synthesiser is spared, the silence trimmer, the rate
// converter and the voice file check.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "FaultyBackend.h"
#include "FliteBackend.h"
#include "OpenJTalkBackend.h"
#include "Resampler.h"
#include "ScriptRouter.h"
#include "SilenceTrimmer.h"
#include "VoiceName.h"

namespace parlune::helper {
namespace {

using Script = ScriptRouter::Script;

std::string describe(const std::vector<ScriptRouter::Segment>& segments) {
    std::string out;
    for (const ScriptRouter::Segment& s : segments) {
        out += s.script == Script::Japanese ? "J[" : s.script == Script::Latin ? "L[" : "O[";
        out += s.text + "]";
    }
    return out;
}

TEST(ScriptRouter, SentencesGoToTheVoiceOfTheirScriptInOrder) {
    EXPECT_EQ(describe(ScriptRouter::split("The robot has started. 充電が終わりました。Done.")),
              "L[The robot has started.]J[充電が終わりました。]L[Done.]");
    // Latin letters and digits inside Japanese stay with it.
    EXPECT_EQ(describe(ScriptRouter::split("RTCを2024年12月8日に起動しました。")),
              "J[RTCを2024年12月8日に起動しました。]");
    // Neighbouring non-Japanese sentences are spoken in one go; Japanese one
    // sentence at a time, also at line ends.
    EXPECT_EQ(describe(ScriptRouter::split("One. Two!\nThree?")), "L[One. Two! Three?]");
    EXPECT_EQ(describe(ScriptRouter::split("一つ目です。二つ目です！\n三つ目")),
              "J[一つ目です。]J[二つ目です！]J[三つ目]");
    // Closing brackets stay with their sentence; 3.14 is no sentence end.
    EXPECT_EQ(describe(ScriptRouter::split("「はい。」と言った。Pi is 3.14 today.")),
              "J[「はい。」]J[と言った。]L[Pi is 3.14 today.]");
    EXPECT_EQ(describe(ScriptRouter::split("Привет, мир. Hello.")), "O[Привет, мир.]L[Hello.]");
    // Ideographs without kana are Chinese when the operator's language is.
    EXPECT_EQ(describe(ScriptRouter::split("你好世界。", false)), "O[你好世界。]");
    EXPECT_EQ(describe(ScriptRouter::split("東京駅。", true)), "J[東京駅。]");
}

TEST(ScriptRouter, NothingSpeakableLeavesNothing) {
    EXPECT_EQ(describe(ScriptRouter::split("")), "");
    EXPECT_EQ(describe(ScriptRouter::split(" \t\n\n\xe3\x80\x80")), "");
    EXPECT_EQ(describe(ScriptRouter::split("\x01\x02\x7f\xc2\x85\xef\xbb\xbf")), "");
    // Emoji and punctuation go to the voice that copes with anything.
    EXPECT_EQ(describe(ScriptRouter::split("😀😀")), "O[😀😀]");
}

TEST(ScriptRouter, ControlCharactersAndBrokenBytesAreRemoved) {
    EXPECT_EQ(describe(ScriptRouter::split("\x01こん\x1bにち\x7fは\xff。")), "J[こんにちは。]");
    EXPECT_EQ(describe(ScriptRouter::split("a\x00b", false)), "L[a]");
    EXPECT_EQ(describe(ScriptRouter::split("Tab\there\r\nnext")), "L[Tab\there next]");
}

TEST(ScriptRouter, JapaneseIsCutToWhatItsSynthesiserTakesSafely) {
    ScriptRouter::Limits limits;
    // A long ASCII run leaves the Japanese sentence for the Latin voice.
    std::string run(200, 'x');
    EXPECT_EQ(describe(ScriptRouter::split("ログ：" + run + "以上です。")),
              "J[ログ：]L[" + run + "]J[以上です。]");
    // No Japanese segment holds an ASCII-only run, too many bytes or too
    // many ASCII characters, however the input is made.
    std::vector<std::string> inputs;
    std::string interleaved;
    for (int i = 0; i < 500; ++i) {
        interleaved += "あab ";
    }
    inputs.push_back(interleaved);
    std::string commas;
    for (int i = 0; i < 300; ++i) {
        commas += "東京、";
    }
    inputs.push_back(commas);
    std::string megabyte;
    while (megabyte.size() < (1u << 20)) {
        megabyte += "東京駅で会議があります";
    }
    inputs.push_back(megabyte);
    for (const std::string& input : inputs) {
        size_t total = 0;
        std::vector<ScriptRouter::Segment> segments = ScriptRouter::split(input);
        ASSERT_FALSE(segments.empty());
        for (const ScriptRouter::Segment& s : segments) {
            total += s.text.size();
            if (s.script != Script::Japanese) {
                continue;
            }
            EXPECT_LE(s.text.size(), limits.japaneseBytes);
            size_t ascii = 0;
            for (char c : s.text) {
                ascii += static_cast<unsigned char>(c) < 0x80 ? 1 : 0;
            }
            EXPECT_LE(ascii, limits.japaneseAscii);
            EXPECT_LT(ascii, s.text.size()) << "an ASCII-only Japanese segment";
            EXPECT_EQ(s.text.find('\n'), std::string::npos);
        }
        // Cut, not lost: only spaces at the cuts go.
        EXPECT_GE(total + segments.size() * 2, input.size() - input.size() / 4);
    }
    // Long sentences are cut at a pause (、) when there is one.
    std::vector<ScriptRouter::Segment> cut = ScriptRouter::split(commas);
    ASSERT_GT(cut.size(), 1u);
    EXPECT_EQ(cut[0].text.substr(cut[0].text.size() - 3), "、");
}

TEST(FliteBackend, TextIsFoldedToWhatFliteReadsAndLongWordsAreCut) {
    EXPECT_EQ(FliteBackend::prepare("Café “naïve” — don’t"), "Cafe \"naive\" - don't");
    EXPECT_EQ(FliteBackend::prepare("a\x01"
                                    "b 東京"),
              "a b   ");
    EXPECT_EQ(FliteBackend::prepare(";;;;;;;;;;\\\\\\\\ ok... !!"), ";;;\\\\\\ ok... !!");
    std::string word(100, 'x');
    std::string prepared = FliteBackend::prepare(word);
    EXPECT_EQ(prepared, std::string(24, 'x') + " " + std::string(24, 'x') + " " +
                            std::string(24, 'x') + " " + std::string(24, 'x') + " " +
                            std::string(4, 'x'));
}

TEST(FliteBackend, EverySentenceIsSpokenAndAStopStartsNoFurtherOne) {
    FliteBackend flite;
    ASSERT_EQ(flite.load("rms"), "");
    const std::string text = "The first door is open. The second one is shut! Is the third?";
    size_t whole = 0;
    EXPECT_EQ(flite.speak("rms", text, Prosody{},
                          [&](const int16_t*, size_t count, int rate) {
                              EXPECT_EQ(rate, 16000);
                              whole += count;
                              return true;
                          }),
              SynthBackend::Result::Spoken);
    EXPECT_GT(whole, 16000u * 3);  // three sentences, over a second each

    // Asked to stop at the first chunk: no other chunk is offered.
    int chunks = 0;
    EXPECT_EQ(flite.speak("rms", text, Prosody{},
                          [&](const int16_t*, size_t, int) {
                              ++chunks;
                              return false;
                          }),
              SynthBackend::Result::Stopped);
    EXPECT_EQ(chunks, 1);
}

TEST(SilenceTrimmer, KeepsOnlyTheAskedLeadAndEverythingAfterTheFirstSound) {
    std::vector<int16_t> in(1000, 5);
    in.push_back(2000);
    in.insert(in.end(), 50, 0);  // a pause inside speech stays
    in.push_back(-3000);
    SilenceTrimmer trimmer;
    std::vector<int16_t> out;
    trimmer.reset(100);
    // Fed in pieces, as a synthesiser hands it on.
    trimmer.process(in.data(), 400, out);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(trimmer.heardSound());
    trimmer.process(in.data() + 400, in.size() - 400, out);
    ASSERT_EQ(out.size(), 100u + 1 + 50 + 1);
    EXPECT_EQ(out[100], 2000);
    EXPECT_EQ(out.back(), -3000);
    EXPECT_TRUE(trimmer.heardSound());

    // A soft first sound (-58 dBFS, an "h" starting) is sound, not silence.
    trimmer.reset(2);
    out.clear();
    const int16_t soft[] = {4, -5, 3, -40, 12, 300};
    trimmer.process(soft, 6, out);
    EXPECT_EQ(out, (std::vector<int16_t>{-5, 3, -40, 12, 300}));

    // All silence: nothing comes out.
    trimmer.reset(0);
    out.clear();
    trimmer.process(in.data(), 1000, out);
    EXPECT_TRUE(out.empty());
}

// Counts sign changes: twice the frequency times the duration.
size_t crossings(const std::vector<int16_t>& s) {
    size_t n = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        n += (s[i - 1] < 0) != (s[i] < 0) ? 1 : 0;
    }
    return n;
}

TEST(Resampler, KeepsDurationAndPitchAcrossRates) {
    for (int rate : {16000, 48000, 22050}) {
        std::vector<int16_t> tone(static_cast<size_t>(rate));  // one second of 440 Hz
        for (size_t i = 0; i < tone.size(); ++i) {
            tone[i] = static_cast<int16_t>(10000 * std::sin(2 * M_PI * 440.0 * i / rate));
        }
        Resampler resampler(rate, 22050);
        ASSERT_TRUE(resampler.valid());
        std::vector<int16_t> out;
        // In uneven pieces, as chunks arrive.
        size_t at = 0;
        for (size_t piece = 1; at < tone.size(); piece = piece * 3 + 7) {
            size_t n = std::min(piece, tone.size() - at);
            resampler.process(tone.data() + at, n, out);
            at += n;
        }
        resampler.flush(out);
        EXPECT_NEAR(static_cast<double>(out.size()), 22050.0, 120.0) << rate;
        EXPECT_NEAR(static_cast<double>(crossings(out)), 880.0, 6.0) << rate;
    }
    Resampler refused(0, 22050);
    EXPECT_FALSE(refused.valid());
}

std::string installedVoice() {
    std::ifstream in(std::string(PARLUNE_VOICE_DIR) + "/mei_normal.htsvoice", std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

TEST(OpenJTalkBackend, AVoiceFileMustBeWhole) {
    std::string voice = installedVoice();
    ASSERT_GT(voice.size(), 100000u) << "the voice files are not installed";
    EXPECT_TRUE(OpenJTalkBackend::isVoiceData(voice));
    EXPECT_FALSE(OpenJTalkBackend::isVoiceData(voice.substr(0, voice.size() - 1000)));
    EXPECT_FALSE(OpenJTalkBackend::isVoiceData(voice.substr(0, 2000)));
    EXPECT_FALSE(OpenJTalkBackend::isVoiceData("[GLOBAL]\n[POSITION]\n[DATA]\n"));
    EXPECT_FALSE(OpenJTalkBackend::isVoiceData(""));
    EXPECT_FALSE(OpenJTalkBackend::isVoiceData(std::string(1000, '\0')));
}

TEST(FaultyBackend, FaultListsAreReadWholeOrNotAtAll) {
    using Engine = VoiceName::Engine;
    using Faults = FaultyBackend::Faults;
    std::optional<Faults> none = Faults::parse("");
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->touch(Engine::Espeak) || none->touch(Engine::Flite));
    std::optional<Faults> some = Faults::parse("fail=openjtalk,fail=flite,slow=250");
    ASSERT_TRUE(some);
    EXPECT_TRUE(some->fails(Engine::OpenJTalk) && some->fails(Engine::Flite));
    EXPECT_FALSE(some->fails(Engine::Espeak));
    EXPECT_TRUE(some->touch(Engine::Espeak)) << "slowness is every back end's";
    EXPECT_EQ(some->slowMs, 250);
    for (const char* bad : {"fail=", "fail=auto", "fail=OpenJTalk", "slow=", "slow=-1", "slow=1s",
                            "slow=99999999", "fail=flite,,", "fail=flite;slow=1", "crash"}) {
        EXPECT_FALSE(Faults::parse(bad)) << bad;
    }
}

TEST(VoiceName, NamesOfEveryEngineAndNothingElse) {
    for (const char* good :
         {"auto", "flite:rms", "flite:slt", "flite:awb", "flite:kal16", "openjtalk:mei",
          "openjtalk:m001", "espeak:de", "en", "en-us", "mb/mb-en1", "en+f3"}) {
        EXPECT_TRUE(VoiceName::parse(good)) << good;
    }
    for (const char* bad : {"", "flite:", "flite:kal", "openjtalk:", "openjtalk:mei_happy",
                            "espeak:", "espeak:a b", "festival:slt", "en us", ":rms", "auto:rms"}) {
        EXPECT_FALSE(VoiceName::parse(bad)) << bad;
    }
    EXPECT_FALSE(VoiceName::parse(std::string(65, 'a')));
    EXPECT_EQ(VoiceName::parse("de")->text(), "espeak:de");
    EXPECT_EQ(VoiceName::parse("openjtalk:m001")->engine, VoiceName::Engine::OpenJTalk);
}

}  // namespace
}  // namespace parlune::helper
