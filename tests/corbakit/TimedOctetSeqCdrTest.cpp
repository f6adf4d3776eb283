// The corba_cdr form of TimedOctetSeq: the layout audio readers expect, both
// byte orders, and samples that must be refused.
#include <gtest/gtest.h>

#include <corbakit/TimedOctetSeqCdr.h>

namespace {
using corbakit::TimedOctetSeqCdr;
using Bytes = std::vector<std::uint8_t>;

TimedOctetSeqCdr::Sample sample(std::uint32_t sec, std::uint32_t nsec, const Bytes& data) {
    TimedOctetSeqCdr::Sample s;
    s.sec = sec;
    s.nsec = nsec;
    s.data = data;
    return s;
}
}  // namespace

TEST(TimedOctetSeqCdr, EncodesTimeLengthAndOctetsInEitherOrder) {
    const Bytes little = {0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05,
                          0x03, 0x00, 0x00, 0x00, 0x00, 0xff, 0x7f};
    EXPECT_EQ(TimedOctetSeqCdr::encode(sample(0x01020304, 0x05060708, {0, 0xff, 0x7f}), true),
              little);
    const Bytes big = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0, 0, 0, 3, 0, 0xff, 0x7f};
    EXPECT_EQ(TimedOctetSeqCdr::encode(sample(0x01020304, 0x05060708, {0, 0xff, 0x7f}), false),
              big);
    const Bytes empty = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(TimedOctetSeqCdr::encode(sample(0, 0, {}), true), empty);
}

TEST(TimedOctetSeqCdr, RoundTripsEveryOctetAndRejectsMalformedSamples) {
    Bytes all(256 * 4);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i);
    for (bool little : {true, false}) {
        Bytes bytes = TimedOctetSeqCdr::encode(sample(7, 999999999, all), little);
        auto back = TimedOctetSeqCdr::decode(bytes.data(), bytes.size(), little);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->sec, 7u);
        EXPECT_EQ(back->nsec, 999999999u);
        EXPECT_EQ(back->data, all);
    }
    const Bytes good = {0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1, 2};
    EXPECT_TRUE(TimedOctetSeqCdr::decode(good.data(), good.size(), true));
    EXPECT_FALSE(TimedOctetSeqCdr::decode(nullptr, 0, true));
    EXPECT_FALSE(TimedOctetSeqCdr::decode(good.data(), 11, true));
    // A length beyond the data, also when read in the wrong byte order.
    EXPECT_FALSE(TimedOctetSeqCdr::decode(good.data(), good.size() - 1, true));
    EXPECT_FALSE(TimedOctetSeqCdr::decode(good.data(), good.size(), false));
    const Bytes huge = {0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0x7f, 1};
    EXPECT_FALSE(TimedOctetSeqCdr::decode(huge.data(), huge.size(), true));
}
