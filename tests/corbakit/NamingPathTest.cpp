// Components and ports named by naming path, as rtctl's command line and the
// manager's rtcname:// addresses give them; malformed text is refused with a
// message, never half-parsed.
#include <corbakit/NamingPath.h>
#include <gtest/gtest.h>

using corbakit::NamingError;
using corbakit::NamingPath;

namespace {
std::string refusal(const std::string& text, bool port) {
    try {
        port ? NamingPath::port(text) : NamingPath::component(text);
    } catch (const NamingError& e) {
        return e.what();
    }
    return "";
}
}  // namespace

TEST(NamingPath, ReadsEveryFormOfComponent) {
    NamingPath bare = NamingPath::component("Parlune0");
    EXPECT_EQ(bare.form(), NamingPath::Form::Bare);
    EXPECT_EQ(bare.segments(), std::vector<std::string>{"Parlune0.rtc"});

    NamingPath relative = NamingPath::component("box.host_cxt/Parlune0.rtc");
    EXPECT_EQ(relative.form(), NamingPath::Form::Relative);
    EXPECT_EQ(relative.segments(), (std::vector<std::string>{"box.host_cxt", "Parlune0.rtc"}));

    NamingPath absolute = NamingPath::component("/localhost:2810/box.host_cxt/Parlune0");
    EXPECT_EQ(absolute.form(), NamingPath::Form::Absolute);
    EXPECT_EQ(absolute.server(), "127.0.0.1:2810");
    EXPECT_EQ(absolute.corbanameUrl(), "corbaname::127.0.0.1:2810#box.host_cxt/Parlune0.rtc");

    // The manager's spelling of the same thing; the default port is filled in.
    NamingPath url = NamingPath::component("rtcname://box/box.host_cxt/Parlune0");
    EXPECT_EQ(url.form(), NamingPath::Form::Absolute);
    EXPECT_EQ(url.corbanameUrl(), "corbaname::box:2809#box.host_cxt/Parlune0.rtc");
    EXPECT_TRUE(corbakit::isRtcName("rtcname://box/Parlune0"));
    EXPECT_FALSE(corbakit::isRtcName("/box/Parlune0"));
}

TEST(NamingPath, SplitsThePortOffTheLastElementOnly) {
    NamingPath dotted = NamingPath::port("ParluneTest0.out");
    EXPECT_EQ(dotted.portName(), "out");
    EXPECT_EQ(dotted.text(), "ParluneTest0");

    NamingPath colon = NamingPath::port("box.host_cxt/ParluneTest0.rtc:out");
    EXPECT_EQ(colon.portName(), "out");
    EXPECT_EQ(colon.segments().back(), "ParluneTest0.rtc");

    // The ':' of "host:port" in front is not a port separator.
    NamingPath url = NamingPath::port("rtcname://box:2810/box.host_cxt/Parlune0.in");
    EXPECT_EQ(url.portName(), "in");
    EXPECT_EQ(url.server(), "box:2810");
    EXPECT_EQ(url.text(), "rtcname://box:2810/box.host_cxt/Parlune0");
    EXPECT_EQ(url.segments().back(), "Parlune0.rtc");
}

TEST(NamingPath, RefusesMalformedNamesWithAReason) {
    EXPECT_NE(refusal("", false).find("names no component"), std::string::npos);
    EXPECT_NE(refusal("/", false).find("names no component"), std::string::npos);
    EXPECT_NE(refusal("/box:2809", false).find("after the naming service"), std::string::npos);
    EXPECT_NE(refusal("rtcname://box", false).find("after the naming service"), std::string::npos);
    EXPECT_NE(refusal("a//Parlune0", false).find("empty path element"), std::string::npos);
    EXPECT_NE(refusal("ctx/Parlune0.", false).find("not a valid component name"),
              std::string::npos);
    EXPECT_NE(refusal("Parlune0", true).find("names no port"), std::string::npos);
    EXPECT_NE(refusal("Parlune0.", true).find("empty port name"), std::string::npos);
    EXPECT_NE(refusal("box:2809/Parlune0", true).find("names no port"), std::string::npos);
    // A NUL byte would cut the naming service name short.
    EXPECT_NE(refusal(std::string("box.host_cxt/P\0x.rtc", 20), false).find("NUL byte"),
              std::string::npos);
    EXPECT_NE(refusal(std::string("Parlune0.i\0n", 12), true).find("NUL byte"), std::string::npos);
    EXPECT_THROW(corbakit::namingAddress(std::string("box\0evil:2809", 13)), NamingError);
}

TEST(NamingPath, ChecksNamingServiceAddresses) {
    EXPECT_EQ(corbakit::namingAddress("box"), "box:2809");
    EXPECT_EQ(corbakit::namingAddress("localhost:2810"), "127.0.0.1:2810");
    EXPECT_EQ(corbakit::namingAddress("box:02810"), "box:2810");
    for (const char* bad : {"", ":2809", "box:", "box:0", "box:65536", "box:12a", "box:123456",
                            "a b:2809", "a/b:2809", "rtcname://box/x/y:9"}) {
        EXPECT_THROW(corbakit::namingAddress(bad), NamingError) << bad;
    }
    EXPECT_THROW(NamingPath::component("/box:99999/Parlune0"), NamingError);
}

TEST(NamingPath, ConvertsToAndFromNamingServiceNames) {
    CosNaming::Name name = corbakit::toCosName({"box.host_cxt", "Parlune0.rtc", "plain"});
    ASSERT_EQ(name.length(), 3u);
    EXPECT_STREQ(name[0].id, "box");
    EXPECT_STREQ(name[0].kind, "host_cxt");
    EXPECT_STREQ(name[2].id, "plain");
    EXPECT_STREQ(name[2].kind, "");
    // Only the last '.' starts the kind.
    CosNaming::Name dotted = corbakit::toCosName({"a.b.rtc"});
    EXPECT_STREQ(dotted[0].id, "a.b");
    EXPECT_EQ(corbakit::toText(name[1]), "Parlune0.rtc");
    EXPECT_EQ(corbakit::toText(name[2]), "plain");
    EXPECT_FALSE(corbakit::localHostName().empty());
}
