// The engine's text preparation on its own: what the synthesiser is given
// for the bytes a sender wrote, and how long texts are cut.
#include <gtest/gtest.h>

#include <string>

#include "SentenceSplitter.h"
#include "TextDecoder.h"

namespace parlune {
namespace {

const std::string kUtf8 =
    "\xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf";  // こんにちは
const std::string kReplacement = "\xef\xbf\xbd";

std::string decode(const std::string& encoding, const std::string& bytes) {
    std::unique_ptr<TextDecoder> decoder = TextDecoder::open(encoding);
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
    EXPECT_FALSE(TextDecoder::open("NO-SUCH-CHARSET"));
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
