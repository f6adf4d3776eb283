// The mailbox as the operator fills it and GetString empties it.
#include "OpenWindow.h"

#include <gtest/gtest.h>

#include <thread>

namespace guitest {
namespace {

TEST(NoWindow, FetchReturnsZeroAndLeavesTheBufferAlone) {
    Fetched f = fetch();
    EXPECT_EQ(f.result, 0);
    EXPECT_TRUE(f.untouched);
    EXPECT_TRUE(f.guardIntact);
}

TEST(NoWindow, StopDoesNothing) {
    stopGUI();
    stopGUI();
    EXPECT_EQ(fetch().result, 0);
}

using Submit = OpenWindow;

TEST_F(Submit, NothingPendingFetchesZeroAndLeavesTheBufferAlone) {
    for (int i = 0; i < 3; ++i) {
        Fetched f = fetch();
        EXPECT_EQ(f.result, 0);
        EXPECT_TRUE(f.untouched);
    }
}

TEST_F(Submit, FiveLettersGiveSixBytesOnceThenNothing) {
    submit("hello");
    Fetched f = fetch();
    EXPECT_EQ(f.result, 6);
    EXPECT_EQ(f.bytes, std::string("hello\0", 6));
    EXPECT_TRUE(f.guardIntact);
    Fetched again = fetch();
    EXPECT_EQ(again.result, 0);
    EXPECT_TRUE(again.untouched);
}

TEST_F(Submit, EmptyFieldGivesOneZeroByte) {
    press({"space"});  // the button has the focus when the window opens
    Fetched f = fetch();
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.bytes, std::string("\0", 1));
}

TEST_F(Submit, TwoPressesBetweenFetchesDeliverOnlyTheSecond) {
    submit("first");
    submit("second");
    Fetched f = fetch();
    EXPECT_EQ(f.result, 7);
    EXPECT_EQ(f.text, "second");
    EXPECT_EQ(fetch().result, 0);
}

TEST_F(Submit, TextIsTakenAtThePressNotAtTheFetch) {
    submit("kept");
    press({"Tab", "End"});
    typeText("-edited");
    Fetched f = fetch();
    EXPECT_EQ(f.text, "kept");
    // The field keeps its (now edited) text; a new press sends that.
    press({"alt+s"});
    EXPECT_EQ(fetch().text, "kept-edited");
}

TEST_F(Submit, FieldKeepsItsTextSoPressingAgainSendsItAgain) {
    submit("again");
    EXPECT_EQ(fetch().text, "again");
    press({"alt+s"});
    EXPECT_EQ(fetch().text, "again");
    press({"space"});
    EXPECT_EQ(fetch().text, "again");
}

TEST_F(Submit, UnicodeTextArrivesAsUtf8UnderAUtf8Locale) {
    submit("\xC3\xA9\xC3\xA9\xC3\xA9");  // "ééé": 6 bytes and the terminator
    Fetched f = fetch();
    EXPECT_EQ(f.result, 7);
    EXPECT_EQ(f.text, "\xC3\xA9\xC3\xA9\xC3\xA9");
    submit("\xE3\x81\x82\xE3\x81\x84");  // two 3-byte characters
    EXPECT_EQ(fetch().result, 7);
}

TEST_F(Submit, BadBufferArgumentsReturnZeroAndKeepTheTextPending) {
    submit("pending");
    EXPECT_EQ(GetString(nullptr, 256), 0);
    char one[1] = {'\x7f'};
    EXPECT_EQ(GetString(one, 0), 0);
    EXPECT_EQ(GetString(one, -5), 0);
    EXPECT_EQ(one[0], '\x7f');
    EXPECT_EQ(fetch().text, "pending");
}

TEST_F(Submit, OneByteBufferGetsTheEmptyStringAndTheTextIsConsumed) {
    submit("abc");
    Fetched f = fetch(1);
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.bytes, std::string("\0", 1));
    EXPECT_TRUE(f.guardIntact);
    EXPECT_EQ(fetch().result, 0);
}

TEST_F(Submit, FetchesFromAnotherThreadSeeTheSameMailbox) {
    submit("shared");
    Fetched f;
    std::thread other([&] { f = fetch(); });
    other.join();
    EXPECT_EQ(f.text, "shared");
    EXPECT_EQ(fetch().result, 0);
}

}  // namespace
}  // namespace guitest
