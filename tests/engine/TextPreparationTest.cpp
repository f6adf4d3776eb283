// The engine's text preparation on its own: what the synthesiser is given
// for the bytes a sender wrote, and how long texts are cut.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "SentenceSplitter.h"
#include "TextDecoder.h"

namespace parlune {
namespace {

const std::string kUtf8 =
    "\xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf";  // こんにちは
const std::string kReplacement = "\xef\xbf\xbd";

std::string decode(const std::string& encoding, const std::string& bytes) {
    std::unique_ptr<TextDecoder> decoder = TextDecoder::open({encoding});
    EXPECT_TRUE(decoder) << encoding;
    return decoder ? decoder->toUtf8(bytes) : std::string();
}

TEST(TextDecoder, NarrowEncodingsBecomeTheSameUtf8Characters) {
    EXPECT_EQ(decode("EUC-JP", "\xa4\xb3\xa4\xf3\xa4\xcb\xa4\xc1\xa4\xcf"), kUtf8);
    EXPECT_EQ(decode("CP932", "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd"), kUtf8);
    EXPECT_EQ(decode("CP1252", "caf\xe9 \x80"), "caf\xc3\xa9 \xe2\x82\xac");
    // Valid UTF-8 is never reinterpreted, whatever the encoding.
    EXPECT_EQ(decode("EUC-JP", kUtf8), kUtf8);
    EXPECT_EQ(decode("CP1252", "caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(decode("EUC-JP", ""), "");
}

TEST(TextDecoder, UndecodableBytesBecomeOneReplacementEach) {
    EXPECT_EQ(decode("EUC-JP",
                     "a\xff"
                     "b"),
              "a" + kReplacement + "b");
    EXPECT_EQ(decode("EUC-JP", "ab\xa4"), "ab" + kReplacement);  // cut short
    EXPECT_EQ(decode("ANSI_X3.4-1968", "caf\xe9"), "caf" + kReplacement);
    EXPECT_EQ(
        decode("UTF-8", "\xc0\xaf\xed\xa0\x80"),
        std::string() + kReplacement + kReplacement + kReplacement + kReplacement + kReplacement);
    EXPECT_FALSE(TextDecoder::open({"NO-SUCH-CHARSET"}));
}

// A Japanese peer sends CP932 (Windows) or EUC-JP (older Unix machines); each
// is read as the characters typed, even where the other code page would
// decode the same bytes without error.
TEST(TextDecoder, JapaneseCodePagesAreToldApart) {
    std::unique_ptr<TextDecoder> decoder = TextDecoder::open({"CP932", "EUC-JP"});
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->toUtf8("\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd"), kUtf8);
    EXPECT_EQ(decoder->toUtf8("\xa4\xb3\xa4\xf3\xa4\xcb\xa4\xc1\xa4\xcf"), kUtf8);
    // はい、そうです。 in EUC-JP is also valid CP932: half-width katakana.
    EXPECT_EQ(decoder->toUtf8("\xa4\xcf\xa4\xa4\xa1\xa2\xa4\xbd\xa4\xa6\xa4\xc7\xa4\xb9\xa1\xa3"),
              "\xe3\x81\xaf\xe3\x81\x84\xe3\x80\x81\xe3\x81\x9d\xe3\x81\x86\xe3\x81\xa7\xe3\x81"
              "\x99\xe3\x80\x82");
    // ｺﾝﾆﾁﾊ typed in half-width katakana is CP932 and not EUC-JP.
    EXPECT_EQ(decoder->toUtf8("\xba\xdd\xc6\xc1\xca"),
              "\xef\xbd\xba\xef\xbe\x9d\xef\xbe\x86\xef\xbe\x81\xef\xbe\x8a");
    // Bytes neither reads: one replacement each, the rest as typed.
    EXPECT_EQ(decoder->toUtf8("\x82\xb1\xff"), "\xe3\x81\x93" + kReplacement);
    EXPECT_EQ(decoder->toUtf8("\xff\xfe"), kReplacement + kReplacement);
    EXPECT_EQ(decoder->toUtf8(kUtf8), kUtf8);
}

TEST(TextDecoder, EncodingsIconvDoesNotKnowAreLeftOut) {
    std::unique_ptr<TextDecoder> decoder = TextDecoder::open({"NO-SUCH-CHARSET", "CP1252"});
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->toUtf8("caf\xe9"), "caf\xc3\xa9");
    EXPECT_FALSE(TextDecoder::open({"NO-SUCH-CHARSET", "NOR-THIS-ONE"}));
    EXPECT_FALSE(TextDecoder::open({}));
}

// Sets LANG or LC_ALL for one scope and puts the previous values back.
class LocaleNames {
  public:
    LocaleNames() {
        for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(
                name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
    }
    ~LocaleNames() {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    std::vector<std::string> encodingsUnder(const char* lang, const char* all = nullptr) {
        ::setenv("LANG", lang, 1);
        if (all != nullptr) {
            ::setenv("LC_ALL", all, 1);
        } else {
            ::unsetenv("LC_ALL");
        }
        return TextDecoder::localeEncodings();
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

using Encodings = std::vector<std::string>;

// Under a UTF-8 locale a text that is not UTF-8 comes from a peer typing in
// the locale's language on Windows; other locales keep their own codeset.
TEST(TextDecoder, UnderUtf8LocalesTheLanguageChoosesTheCodePage) {
    LocaleNames locale;
    EXPECT_EQ(locale.encodingsUnder("ja_JP.UTF-8"), (Encodings{"CP932", "EUC-JP"}));
    EXPECT_EQ(locale.encodingsUnder("zh_CN.UTF-8"), Encodings{"GB18030"});
    EXPECT_EQ(locale.encodingsUnder("zh_SG.utf8"), Encodings{"GB18030"});
    EXPECT_EQ(locale.encodingsUnder("zh_TW.UTF-8"), Encodings{"BIG5"});
    EXPECT_EQ(locale.encodingsUnder("zh_HK.UTF-8@stroke"), Encodings{"BIG5"});
    EXPECT_EQ(locale.encodingsUnder("ko_KR.UTF-8"), Encodings{"CP949"});
    EXPECT_EQ(locale.encodingsUnder("de_DE.UTF-8"), Encodings{"CP1252"});
    EXPECT_EQ(locale.encodingsUnder("C.UTF-8"), Encodings{"CP1252"});
    EXPECT_EQ(locale.encodingsUnder("ru_RU.UTF-8"), Encodings{"CP1251"});
    EXPECT_EQ(locale.encodingsUnder("pl_PL.UTF-8"), Encodings{"CP1250"});
    EXPECT_EQ(locale.encodingsUnder("th_TH.UTF-8"), Encodings{"CP874"});
    // LC_ALL names the locale before LANG.
    EXPECT_EQ(locale.encodingsUnder("de_DE.UTF-8", "ja_JP.UTF-8"), (Encodings{"CP932", "EUC-JP"}));
    // Not a UTF-8 locale: its own character set alone.
    EXPECT_EQ(locale.encodingsUnder("C"), Encodings{"ANSI_X3.4-1968"});
    EXPECT_EQ(locale.encodingsUnder("xx_XX.ISO-8859-15"), Encodings{"ISO-8859-15"});
    // Every code page named here is one iconv converts.
    for (const char* lang : {"ja_JP.UTF-8", "zh_CN.UTF-8", "zh_TW.UTF-8", "ko_KR.UTF-8"}) {
        Encodings encodings = locale.encodingsUnder(lang);
        for (const std::string& encoding : encodings) {
            EXPECT_TRUE(TextDecoder::open({encoding})) << encoding;
        }
    }
}

TEST(TextDecoder, Utf8ValidityFollowsTheStandard) {
    EXPECT_TRUE(TextDecoder::isValidUtf8("plain"));
    EXPECT_TRUE(TextDecoder::isValidUtf8(kUtf8 + "\xf0\x9f\x98\x80"));
    EXPECT_FALSE(TextDecoder::isValidUtf8("\xc0\x80"));          // overlong
    EXPECT_FALSE(TextDecoder::isValidUtf8("\xed\xa0\x80"));      // surrogate
    EXPECT_FALSE(TextDecoder::isValidUtf8("\xf4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(TextDecoder::isValidUtf8("\xe3\x81"));          // cut short
    EXPECT_FALSE(TextDecoder::isValidUtf8("caf\xe9"));
}

std::string joined(const std::vector<std::string_view>& pieces) {
    std::string all;
    for (std::string_view piece : pieces) {
        all += piece;
    }
    return all;
}

TEST(SentenceSplitter, CutsAtSentencesThenSpacesThenCharacters) {
    EXPECT_EQ(SentenceSplitter::split("").size(), 1u);
    EXPECT_EQ(SentenceSplitter::split("Short. Text.").size(), 1u);

    std::string prose;
    while (prose.size() < 20000) {
        prose += "This is a sentence of prose. ";
    }
    std::vector<std::string_view> pieces = SentenceSplitter::split(prose, 1000);
    EXPECT_EQ(joined(pieces), prose);
    for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        EXPECT_LE(pieces[i].size(), 1000u);
        EXPECT_EQ(pieces[i].back(), '.') << i;
    }

    std::string words(5000, 'w');
    for (size_t i = 7; i < words.size(); i += 8) {
        words[i] = ' ';
    }
    pieces = SentenceSplitter::split(words, 1000);
    EXPECT_EQ(joined(pieces), words);
    EXPECT_EQ(pieces.front().back(), ' ');

    // Kana only, no spaces: cut between characters, never inside one.
    std::string kana;
    while (kana.size() < 5000) {
        kana += kUtf8;
    }
    kana += "\xe3\x80\x82";  // 。
    pieces = SentenceSplitter::split(kana, 1000);
    EXPECT_EQ(joined(pieces), kana);
    for (std::string_view piece : pieces) {
        EXPECT_TRUE(TextDecoder::isValidUtf8(std::string(piece)));
        EXPECT_LE(piece.size(), 1000u);
    }
}

}  // namespace
}  // namespace parlune
