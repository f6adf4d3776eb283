// The bytes delivered under a non-UTF-8 locale of the environment, typed for
// real. Each test runs in a process of its own and names the locale it needs
// in LC_ALL before anything reads the environment's locale (LOCPATH points at
// the locales generated into the build tree); it is skipped when that locale
// could not be generated.
#include "NarrowConverter.h"
#include "OpenWindow.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <clocale>

namespace guitest {
namespace {

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

class LatinOne : public OpenWindow {
  protected:
    void SetUp() override {
        ::setenv("LC_ALL", "fr_FR.ISO-8859-1", 1);
        if (StringOut::NarrowConverter::environmentCodeset() != "ISO-8859-1") {
            GTEST_SKIP() << "no ISO-8859-1 locale in the environment";
        }
        OpenWindow::SetUp();
    }
};

TEST_F(LatinOne, AccentedLettersTakeOneByteOthersBecomeQuestionMarks) {
    submit("\xC3\xA9\xC3\xA9\xC3\xA9");  // ééé
    Fetched f = fetch();
    EXPECT_EQ(f.result, 4);
    EXPECT_EQ(f.bytes, std::string("\xE9\xE9\xE9\0", 4));
    submit("\xC3\xA9\xE2\x82\xAC\xE3\x81\x82x");  // é € あ x
    EXPECT_EQ(fetch().bytes, std::string("\xE9??x\0", 5));
    // The host's own locale is left as it was.
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
}

TEST_F(LatinOne, LongTextCountsLatinOneBytes) {
    submit(repeat("\xC3\xA9", 260));  // 520 UTF-8 bytes, 260 Latin-1 bytes
    Fetched f = fetch();
    EXPECT_EQ(f.result, 256);
    EXPECT_EQ(f.text, std::string(255, '\xE9'));
    EXPECT_TRUE(f.guardIntact);
}

class EucJp : public OpenWindow {
  protected:
    void SetUp() override {
        ::setenv("LC_ALL", "ja_JP.EUC-JP", 1);
        if (StringOut::NarrowConverter::environmentCodeset() != "EUC-JP") {
            GTEST_SKIP() << "no EUC-JP locale in the environment";
        }
        OpenWindow::SetUp();
    }
};

TEST_F(EucJp, KanaTakeTwoBytesEachAndAreNotSplit) {
    submit("\xE3\x81\x82\xE3\x81\x84");  // あい
    EXPECT_EQ(fetch().bytes, std::string("\xA4\xA2\xA4\xA4\0", 5));
    submit("a" + repeat("\xE3\x81\x82", 130));
    Fetched f = fetch();
    EXPECT_EQ(f.result, 256);  // 1 + 127 * 2 bytes and the terminator
    EXPECT_EQ(f.text, "a" + repeat("\xA4\xA2", 127));
    submit("ab" + repeat("\xE3\x81\x82", 130));
    EXPECT_EQ(fetch().result, 255);  // the 128th kana would need byte 256
}

}  // namespace
}  // namespace guitest
