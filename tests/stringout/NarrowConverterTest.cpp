// The conversion from the toolkit's UTF-8 into the locale's narrow encoding,
// and where it cuts text that does not fit.
#include "NarrowConverter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

namespace {

using StringOut::NarrowConverter;

// Converts into a buffer of size bytes followed by guard bytes; returns the
// written bytes (terminator excluded) and checks the terminator and guard.
std::string convert(NarrowConverter& c, const std::string& text, std::size_t size) {
    std::vector<char> buf(size + 16, '\x7f');
    const std::size_t n = c.convert(text.data(), text.size(), buf.data(), size);
    EXPECT_LT(n, size);
    EXPECT_EQ(buf[n], '\0');
    for (std::size_t i = size; i < buf.size(); ++i)
        EXPECT_EQ(buf[i], '\x7f') << "byte " << i << " written";
    return std::string(buf.data(), n);
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

const std::string kE = "\xC3\xA9";          // é, 2 bytes in UTF-8
const std::string kA = "\xE3\x81\x82";      // あ, 3 bytes
const std::string kG = "\xF0\x9F\x98\x80";  // an emoji, 4 bytes
const std::string kEuro = "\xE2\x82\xAC";   // €, not in Latin-1

TEST(ToUtf8, TextThatFitsIsCopiedUnchanged) {
    NarrowConverter c("UTF-8");
    EXPECT_EQ(convert(c, "hello", 256), "hello");
    EXPECT_EQ(convert(c, kE + kE + kE, 256), kE + kE + kE);
    EXPECT_EQ(convert(c, kA + kG, 256), kA + kG);
    EXPECT_EQ(convert(c, "", 256), "");
}

TEST(ToUtf8, LongAsciiIsCutToSizeMinusOne) {
    NarrowConverter c("UTF-8");
    EXPECT_EQ(convert(c, std::string(300, 'a'), 256), std::string(255, 'a'));
    EXPECT_EQ(convert(c, std::string(255, 'a'), 256), std::string(255, 'a'));
    EXPECT_EQ(convert(c, std::string(256, 'a'), 256), std::string(255, 'a'));
}

TEST(ToUtf8, MultibyteCharactersAreNeverSplitAtTheEdge) {
    NarrowConverter c("UTF-8");
    // 2-byte: 1 + 2*127 = 255 fits exactly; one more byte in front drops one character.
    EXPECT_EQ(convert(c, "a" + repeat(kE, 130), 256), "a" + repeat(kE, 127));
    EXPECT_EQ(convert(c, "ab" + repeat(kE, 130), 256), "ab" + repeat(kE, 126));
    // 3-byte: 85 * 3 = 255 fits; with one byte in front only 84 do.
    EXPECT_EQ(convert(c, repeat(kA, 90), 256), repeat(kA, 85));
    EXPECT_EQ(convert(c, "a" + repeat(kA, 90), 256), "a" + repeat(kA, 84));
    EXPECT_EQ(convert(c, "ab" + repeat(kA, 90), 256), "ab" + repeat(kA, 84));
    // 4-byte.
    EXPECT_EQ(convert(c, repeat(kG, 70), 256), repeat(kG, 63));
    EXPECT_EQ(convert(c, "abc" + repeat(kG, 70), 256), "abc" + repeat(kG, 63));
}

TEST(ToUtf8, TinyBuffers) {
    NarrowConverter c("UTF-8");
    EXPECT_EQ(convert(c, "abc", 1), "");
    EXPECT_EQ(convert(c, kA, 3), "");
    EXPECT_EQ(convert(c, kA, 4), kA);
    EXPECT_EQ(convert(c, kE + "x", 3), kE);
}

TEST(ToUtf8, BytesThatAreNotUtf8BecomeQuestionMarks) {
    NarrowConverter c("UTF-8");
    EXPECT_EQ(convert(c,
                      "a\xFF"
                      "b",
                      256),
              "a?b");
    EXPECT_EQ(convert(c, "a\xC3", 256), "a?");  // cut sequence at the end
    EXPECT_EQ(convert(c,
                      "\xE3\x81"
                      "x",
                      256),
              "??x");                                 // incomplete sequence
    EXPECT_EQ(convert(c, "\xC0\xAF", 256), "??");     // overlong form
    EXPECT_EQ(convert(c, "\xED\xA0\x80", 256), "?");  // surrogate
}

TEST(ToLatin1, RepresentableCharactersTakeOneByte) {
    NarrowConverter c("ISO-8859-1");
    EXPECT_EQ(convert(c, kE + kE + kE, 256), "\xE9\xE9\xE9");
    EXPECT_EQ(convert(c, "caf" + kE, 256), "caf\xE9");
}

TEST(ToLatin1, OtherCharactersBecomeQuestionMarks) {
    NarrowConverter c("ISO-8859-1");
    EXPECT_EQ(convert(c, kEuro + kA + kG + "x", 256), "???x");
}

TEST(ToLatin1, CapacityCountsConvertedBytes) {
    NarrowConverter c("ISO-8859-1");
    // 300 two-byte UTF-8 characters are 300 Latin-1 bytes: 255 fit.
    EXPECT_EQ(convert(c, repeat(kE, 300), 256), std::string(255, '\xE9'));
}

TEST(ToEucJp, KanaTakeTwoBytesAndAreNotSplit) {
    NarrowConverter c("EUC-JP");
    EXPECT_EQ(convert(c, kA, 256), "\xA4\xA2");
    // 2 bytes each: 127 fit in 255, with one byte in front still 127.
    EXPECT_EQ(convert(c, repeat(kA, 200), 256).size(), 254u);
    EXPECT_EQ(convert(c, "a" + repeat(kA, 200), 256), "a" + repeat("\xA4\xA2", 127));
    EXPECT_EQ(convert(c, "ab" + repeat(kA, 200), 256), "ab" + repeat("\xA4\xA2", 126));
}

TEST(ToEucJp, ThreeByteCharactersAreNotSplit) {
    NarrowConverter c("EUC-JP");
    // é is a 3-byte JIS X 0212 character in EUC-JP.
    EXPECT_EQ(convert(c, kE, 256), "\x8F\xAB\xB1");
    EXPECT_EQ(convert(c, "a" + kE, 4), "a");
    EXPECT_EQ(convert(c, "a" + kE, 5), "a\x8F\xAB\xB1");
    EXPECT_EQ(convert(c, kEuro, 256), "?");
}

TEST(UnknownEncoding, FallsBackToAscii) {
    NarrowConverter c("NO-SUCH-ENCODING");
    EXPECT_EQ(c.codeset(), "ANSI_X3.4-1968");
    EXPECT_EQ(convert(c, "ok " + kE, 256), "ok ?");
}

TEST(Environment, TheEnvironmentsLocaleIsUsedWithoutChangingTheProcessLocale) {
    // The tests run with LC_ALL=C.UTF-8 and never call setlocale.
    const std::string before = std::setlocale(LC_CTYPE, nullptr);
    NarrowConverter c;
    EXPECT_EQ(c.codeset(), "UTF-8");
    EXPECT_EQ(convert(c, kE, 256), kE);
    EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), before);
    EXPECT_EQ(before, "C");
}

}  // namespace
