// The bytes delivered under a non-UTF-8 locale, typed for real. Each test
// runs in a process of its own, compiles the locale it needs into a private
// directory (LOCPATH) and names it in LC_ALL before anything reads the
// environment's locale; a locale that cannot be compiled is a failure.
#include "NarrowConverter.h"
#include "OpenWindow.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <clocale>
#include <memory>

#include "support/PrivateLocale.h"

namespace guitest {
namespace {

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// Opens the window under `locale` once it is compiled and in use.
class InLocale : public OpenWindow {
  protected:
    void openUnder(const testsupport::PrivateLocale& locale, const std::string& codeset) {
        ASSERT_TRUE(locale.built()) << locale.error();
        locale.use();
        ::setenv("LC_ALL", locale.name().c_str(), 1);
        ASSERT_EQ(codeset, StringOut::NarrowConverter::environmentCodeset());
        OpenWindow::SetUp();
    }
};

class LatinOne : public InLocale {
  protected:
    static void SetUpTestSuite() {
        s_locale =
            std::make_unique<testsupport::PrivateLocale>("fr_FR", "ISO-8859-1", "fr_FR.ISO-8859-1");
    }
    static void TearDownTestSuite() { s_locale.reset(); }
    void SetUp() override { openUnder(*s_locale, "ISO-8859-1"); }
    static std::unique_ptr<testsupport::PrivateLocale> s_locale;
};
std::unique_ptr<testsupport::PrivateLocale> LatinOne::s_locale;

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

class EucJp : public InLocale {
  protected:
    static void SetUpTestSuite() {
        s_locale = std::make_unique<testsupport::PrivateLocale>("ja_JP", "EUC-JP", "ja_JP.EUC-JP");
    }
    static void TearDownTestSuite() { s_locale.reset(); }
    void SetUp() override { openUnder(*s_locale, "EUC-JP"); }
    static std::unique_ptr<testsupport::PrivateLocale> s_locale;
};
std::unique_ptr<testsupport::PrivateLocale> EucJp::s_locale;

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
