// Text longer than the caller's buffer, typed for real: cut at a character
// boundary, zero-terminated, nothing written behind the buffer.
#include "OpenWindow.h"

#include <gtest/gtest.h>

namespace guitest {
namespace {

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

using LongText = OpenWindow;

TEST_F(LongText, AsciiIsCutTo255BytesAndTheTerminator) {
    submit(std::string(300, 'x'));
    Fetched f = fetch();
    EXPECT_EQ(f.result, 256);
    EXPECT_EQ(f.text, std::string(255, 'x'));
    EXPECT_TRUE(f.guardIntact);
    EXPECT_EQ(fetch().result, 0);
}

TEST_F(LongText, TwoByteCharacterAtTheEdgeIsLeftOut) {
    const std::string e = "\xC3\xA9";
    submit("ab" + repeat(e, 128));  // 258 bytes
    Fetched f = fetch();
    EXPECT_EQ(f.result, 255);
    EXPECT_EQ(f.text, "ab" + repeat(e, 126));
    EXPECT_TRUE(f.guardIntact);
}

TEST_F(LongText, ThreeByteCharacterAtTheEdgeIsLeftOut) {
    const std::string a = "\xE3\x81\x82";
    submit("a" + repeat(a, 85));  // 256 bytes
    Fetched f = fetch();
    EXPECT_EQ(f.result, 254);
    EXPECT_EQ(f.text, "a" + repeat(a, 84));
    EXPECT_TRUE(f.guardIntact);
}

TEST_F(LongText, SmallBufferGetsTheBeginning) {
    submit("abcdef");
    Fetched f = fetch(4);
    EXPECT_EQ(f.result, 4);
    EXPECT_EQ(f.bytes, std::string("abc\0", 4));
    EXPECT_TRUE(f.guardIntact);
}

}  // namespace
}  // namespace guitest
