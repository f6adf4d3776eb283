// The corba_cdr form of TimedString, checked against bytes taken from the
// framework's own traffic.
#include <gtest/gtest.h>

#include <corbakit/TimedStringCdr.h>

namespace {
using corbakit::TimedStringCdr;
using Bytes = std::vector<std::uint8_t>;

TimedStringCdr::Sample sample(std::uint32_t sec, std::uint32_t nsec, const std::string& data) {
    TimedStringCdr::Sample s;
    s.sec = sec;
    s.nsec = nsec;
    s.data = data;
    return s;
}
}  // namespace

TEST(TimedStringCdr, EncodesAsTheFrameworkDoes) {
    const Bytes little = {0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05,
                          0x04, 0x00, 0x00, 0x00, 'H',  'i',  '!',  0x00};
    EXPECT_EQ(TimedStringCdr::encode(sample(0x01020304, 0x05060708, "Hi!"), true), little);
    const Bytes hello = {0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', 0};
    EXPECT_EQ(TimedStringCdr::encode(sample(0, 0, "hello"), true), hello);
    const Bytes big = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                       0,    0,    0,    4,    'H',  'i',  '!',  0};
    EXPECT_EQ(TimedStringCdr::encode(sample(0x01020304, 0x05060708, "Hi!"), false), big);
}

TEST(TimedStringCdr, EmptyStringStillCarriesItsTerminator) {
    const Bytes empty = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(TimedStringCdr::encode(sample(0, 0, ""), true), empty);
    auto back = TimedStringCdr::decode(empty.data(), empty.size(), true);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->data, "");
}

TEST(TimedStringCdr, BytesPassUnchangedBothWays) {
    // Latin-1 and UTF-8 bytes alike: no transcoding.
    const std::string text = "caf\xe9 \xe3\x81\x82\x7f";
    for (bool little : {true, false}) {
        Bytes bytes = TimedStringCdr::encode(sample(7, 999999999, text), little);
        auto back = TimedStringCdr::decode(bytes.data(), bytes.size(), little);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->sec, 7u);
        EXPECT_EQ(back->nsec, 999999999u);
        EXPECT_EQ(back->data, text);
    }
}

TEST(TimedStringCdr, EncodingStopsAtAnEmbeddedNul) {
    Bytes bytes = TimedStringCdr::encode(sample(0, 0, std::string("ab\0cd", 5)), true);
    EXPECT_EQ(bytes.size(), 12u + 3u);
    EXPECT_EQ(bytes[8], 3u);
}

TEST(TimedStringCdr, RejectsMalformedSamples) {
    const Bytes good = {0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 'o', 'k', 0};
    EXPECT_TRUE(TimedStringCdr::decode(good.data(), good.size(), true));
    EXPECT_FALSE(TimedStringCdr::decode(nullptr, 0, true));
    EXPECT_FALSE(TimedStringCdr::decode(good.data(), 11, true));
    // Length beyond the data, zero length, missing terminator, huge length.
    EXPECT_FALSE(TimedStringCdr::decode(good.data(), good.size() - 1, true));
    const Bytes zero = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(TimedStringCdr::decode(zero.data(), zero.size(), true));
    const Bytes unterminated = {0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'n', 'o'};
    EXPECT_FALSE(TimedStringCdr::decode(unterminated.data(), unterminated.size(), true));
    const Bytes huge = {0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 'x', 0};
    EXPECT_FALSE(TimedStringCdr::decode(huge.data(), huge.size(), true));
    // The right bytes read with the wrong byte order give a length beyond the data.
    EXPECT_FALSE(TimedStringCdr::decode(good.data(), good.size(), false));
}
