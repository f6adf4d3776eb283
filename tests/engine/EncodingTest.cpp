// Text from senders whose narrow encoding is not UTF-8 reaches the
// synthesiser as the characters that were typed: decoded from the locale's
// character set (under a UTF-8 locale, the code page a Windows peer in the
// locale's language sends) or from PARLUNE_ENCODING. The voice can follow the
// locale.
#include <stdlib.h>

#include <memory>

#include "EngineFixture.h"
#include "WavFile.h"
#include "support/PrivateLocale.h"

namespace parlune::test {
namespace {

// "こんにちは、さようなら。" in three encodings.
const std::string kUtf8 =
    "\xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf\xe3\x80\x81\xe3\x81\x95\xe3\x82"
    "\x88\xe3\x81\x86\xe3\x81\xaa\xe3\x82\x89\xe3\x80\x82";
const std::string kEucJp =
    "\xa4\xb3\xa4\xf3\xa4\xcb\xa4\xc1\xa4\xcf\xa1\xa2\xa4\xb5\xa4\xe8\xa4\xa6\xa4\xca\xa4\xe9\xa1"
    "\xa3";
const std::string kCp932 =
    "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81\x41\x82\xb3\x82\xe6\x82\xa4\x82\xc8\x82\xe7\x81"
    "\x42";
// "はい、そうです。": EUC-JP bytes that are also valid CP932 (half-width kana).
const std::string kUtf8Yes =
    "\xe3\x81\xaf\xe3\x81\x84\xe3\x80\x81\xe3\x81\x9d\xe3\x81\x86\xe3\x81\xa7\xe3\x81\x99"
    "\xe3\x80\x82";
const std::string kEucJpYes = "\xa4\xcf\xa4\xa4\xa1\xa2\xa4\xbd\xa4\xa6\xa4\xc7\xa4\xb9\xa1\xa3";

class Encoding : public EngineFixture {
  protected:
    // ja_JP.eucJP and ja_JP.UTF-8, built once into private directories
    // (LOCPATH), so the test needs nothing installed beyond the locale sources.
    static void SetUpTestSuite() {
        s_locale = std::make_unique<testsupport::PrivateLocale>("ja_JP", "EUC-JP", "ja_JP.eucJP");
        s_utf8Locale =
            std::make_unique<testsupport::PrivateLocale>("ja_JP", "UTF-8", "ja_JP.UTF-8");
    }
    static void TearDownTestSuite() {
        s_locale.reset();
        s_utf8Locale.reset();
    }

    void useLocale(const std::string& name) {
        ::unsetenv("LC_ALL");
        ::unsetenv("LC_CTYPE");
        ::unsetenv("LC_MESSAGES");
        ::setenv("LANG", name.c_str(), 1);
    }

    // Speaks each text on one fresh handle; returns the WAV durations.
    std::vector<double> durations(const std::vector<std::string>& texts) {
        std::vector<double> seconds;
        for (const WavFile& wav : spoken(texts)) {
            seconds.push_back(wav.seconds());
        }
        return seconds;
    }

    static std::unique_ptr<testsupport::PrivateLocale> s_locale;
    static std::unique_ptr<testsupport::PrivateLocale> s_utf8Locale;
};

std::unique_ptr<testsupport::PrivateLocale> Encoding::s_locale;
std::unique_ptr<testsupport::PrivateLocale> Encoding::s_utf8Locale;

// Same characters, same speech: durations agree closely (espeak-ng is not
// bit-exact from run to run, but its timing is).
void expectSameSpeech(double a, double b) { EXPECT_NEAR(a, b, 0.03 * a + 0.01); }

TEST_F(Encoding, EucJpUnderAnEucJpLocaleIsSpokenAsItsCharacters) {
    ASSERT_TRUE(s_locale->built()) << s_locale->error();
    s_locale->use();
    useLocale("ja_JP.eucJP");
    ::setenv("PARLUNE_VOICE", "ja", 1);
    std::vector<double> s = durations({kUtf8, kEucJp, kUtf8});
    ASSERT_EQ(s.size(), 3u);
    EXPECT_GT(s[0], 1.0);
    expectSameSpeech(s[0], s[1]);
    expectSameSpeech(s[0], s[2]);  // valid UTF-8 stays UTF-8 under any locale

    // The same bytes read as Latin-1 are other characters, other speech.
    ::setenv("PARLUNE_ENCODING", "ISO-8859-1", 1);
    std::vector<double> latin1 = durations({kEucJp});
    ASSERT_EQ(latin1.size(), 1u);
    EXPECT_GT(std::abs(latin1[0] - s[0]), 0.2 * s[0]);
}

TEST_F(Encoding, ShiftJisFromAnotherMachineIsDecodedAsPARLUNE_ENCODINGSays) {
    useLocale("C");
    ::setenv("PARLUNE_VOICE", "ja", 1);
    ::setenv("PARLUNE_ENCODING", "CP932", 1);
    std::vector<double> s = durations({kUtf8, kCp932});
    ASSERT_EQ(s.size(), 2u);
    expectSameSpeech(s[0], s[1]);

    // The variable wins over the locale.
    ASSERT_TRUE(s_locale->built()) << s_locale->error();
    s_locale->use();
    useLocale("ja_JP.eucJP");
    std::vector<double> again = durations({kCp932});
    ASSERT_EQ(again.size(), 1u);
    expectSameSpeech(s[0], again[0]);
}

// Under ja_JP.UTF-8 a peer's CP932 (Windows) or EUC-JP text is spoken as
// the characters typed, not as replacement characters.
TEST_F(Encoding, JapaneseCodePagesUnderAJapaneseUtf8LocaleAreSpokenAsTheirCharacters) {
    ASSERT_TRUE(s_utf8Locale->built()) << s_utf8Locale->error();
    s_utf8Locale->use();
    useLocale("ja_JP.UTF-8");
    ::setenv("PARLUNE_VOICE", "ja", 1);
    std::vector<double> s =
        durations({kUtf8, kCp932, kEucJp, kCp932 + "\xff", kUtf8Yes, kEucJpYes, kUtf8});
    ASSERT_EQ(s.size(), 7u);
    EXPECT_GT(s[0], 1.0);
    expectSameSpeech(s[0], s[1]);
    expectSameSpeech(s[0], s[2]);
    expectSameSpeech(s[0], s[3]);  // the stray byte is left out
    expectSameSpeech(s[4], s[5]);  // EUC-JP, though it is also valid CP932
    expectSameSpeech(s[0], s[6]);
}

// Under de_DE.UTF-8 (named, not installed) a Windows peer's umlauts are kept.
TEST_F(Encoding, Cp1252UnderAGermanUtf8LocaleKeepsItsUmlauts) {
    useLocale("de_DE.utf8");
    ::setenv("PARLUNE_VOICE", "de", 1);
    // "Die Umlaute Ä, Ö und Ü, das ß: schöne Grüße."
    const std::string utf8 =
        "Die Umlaute \xc3\x84, \xc3\x96 und \xc3\x9c, das \xc3\x9f: sch\xc3\xb6ne "
        "Gr\xc3\xbc\xc3\x9f"
        "e.";
    const std::string cp1252 =
        "Die Umlaute \xc4, \xd6 und \xdc, das \xdf: sch\xf6ne Gr\xfc\xdf"
        "e.";
    std::vector<double> s = durations({utf8, cp1252, cp1252 + "\x81"});
    ASSERT_EQ(s.size(), 3u);
    EXPECT_GT(s[0], 1.0);
    expectSameSpeech(s[0], s[1]);
    expectSameSpeech(s[0], s[2]);  // 0x81 is no CP1252 character: left out
}

// PARLUNE_ENCODING is read as it says under a UTF-8 locale too: no Windows
// code page is tried beside it.
TEST_F(Encoding, ExplicitEncodingWinsOverTheUtf8LocalesCodePage) {
    ASSERT_TRUE(s_utf8Locale->built()) << s_utf8Locale->error();
    s_utf8Locale->use();
    useLocale("ja_JP.UTF-8");
    ::setenv("PARLUNE_VOICE", "ja", 1);
    ::setenv("PARLUNE_ENCODING", "EUC-JP", 1);
    std::vector<double> s = durations({kUtf8, kEucJp, kCp932});
    ASSERT_EQ(s.size(), 3u);
    expectSameSpeech(s[0], s[1]);
    EXPECT_LT(s[2], 0.8 * s[0]);  // CP932 bytes are mostly not EUC-JP
}

TEST_F(Encoding, BytesThatDoNotDecodeAreSilentAndTheRestIsSpoken) {
    useLocale("C");
    ::setenv("PARLUNE_ENCODING", "EUC-JP", 1);
    // \xff and a lone lead byte at the end are not EUC-JP.
    std::vector<double> s =
        durations({"Hello there world.", "Hello there \xff world.", "Hello there world.\xa4"});
    ASSERT_EQ(s.size(), 3u);
    expectSameSpeech(s[0], s[1]);
    expectSameSpeech(s[0], s[2]);
}

TEST_F(Encoding, AutoVoiceFollowsTheLocaleLanguageAndFallsBackToEnglish) {
    // Latin script in a German locale: espeak-ng's German voice.
    const std::string german = "Guten Morgen, wie geht es dir heute?";
    useLocale("de_DE.UTF-8");
    ::setenv("PARLUNE_VOICE", "de", 1);
    std::vector<double> de = durations({german});
    ::setenv("PARLUNE_VOICE", "auto", 1);
    std::vector<double> autoDe = durations({german});
    ASSERT_EQ(de.size(), 1u);
    ASSERT_EQ(autoDe.size(), 1u);
    expectSameSpeech(de[0], autoDe[0]);

    // No voice for this language: English, as without the variable.
    const std::string english = "Spoken in English.";
    useLocale("zz_ZZ.UTF-8");
    std::vector<double> fallback = durations({english});
    ::unsetenv("PARLUNE_VOICE");
    std::vector<double> plain = durations({english});
    ASSERT_EQ(fallback.size(), 1u);
    ASSERT_EQ(plain.size(), 1u);
    expectSameSpeech(plain[0], fallback[0]);
}

}  // namespace
}  // namespace parlune::test
