// The lists the manager reads before it starts: connection entries in both
// forms, remote port names among them, and how a list is cut into entries.
#include <gtest/gtest.h>

#include "rtm/PreStartActions.h"

namespace {

using RTC::PreStartActions;

struct Parsed {
    bool ok = false;
    std::string out, in;
    coil::Properties prop;
};

Parsed parse(const std::string& entry) {
    Parsed p;
    p.ok = PreStartActions::parseConnection(entry, p.out, p.in, p.prop);
    return p;
}

TEST(PreStartLists, BothConnectionFormsNameThePairAndItsOptions) {
    const Parsed current = parse("A0.out?port=B0.in&dataflow_type=push&dataport.x=1");
    ASSERT_TRUE(current.ok);
    EXPECT_EQ("A0.out", current.out);
    EXPECT_EQ("B0.in", current.in);
    EXPECT_EQ("push", current.prop.getProperty("dataport.dataflow_type"));
    EXPECT_EQ("1", current.prop.getProperty("dataport.x"));

    const Parsed older = parse("A0.out:B0.in(dataflow_type=push,subscription_type=flush)");
    ASSERT_TRUE(older.ok);
    EXPECT_EQ("A0.out", older.out);
    EXPECT_EQ("B0.in", older.in);
    EXPECT_EQ("push", older.prop.getProperty("dataport.dataflow_type"));
    EXPECT_EQ("flush", older.prop.getProperty("dataport.subscription_type"));

    // Blanks around names, keys and values are not part of them.
    const Parsed spaced = parse("A0.out ?port= B0.in & dataflow_type = push");
    ASSERT_TRUE(spaced.ok);
    EXPECT_EQ("A0.out", spaced.out);
    EXPECT_EQ("B0.in", spaced.in);
    EXPECT_EQ("push", spaced.prop.getProperty("dataport.dataflow_type"));

    for (const char* bad : {"", "A0.out", "A0.out?dataflow_type=push", "?port=B0.in", "A0:B0",
                            "A0.out:", "A0.out?port="}) {
        EXPECT_FALSE(parse(bad).ok) << bad;
    }
}

TEST(PreStartLists, RemotePortsInTheOlderFormKeepTheirNamingServiceAddress) {
    const Parsed numeric =
        parse("rtcname://127.0.0.1:2809/box.host_cxt/A0.out:rtcname://box:2810/ctx/B0.in");
    ASSERT_TRUE(numeric.ok);
    EXPECT_EQ("rtcname://127.0.0.1:2809/box.host_cxt/A0.out", numeric.out);
    EXPECT_EQ("rtcname://box:2810/ctx/B0.in", numeric.in);

    const Parsed absolute = parse("/10.0.0.2:2809/ctx/A0.out:B0.in");
    ASSERT_TRUE(absolute.ok);
    EXPECT_EQ("/10.0.0.2:2809/ctx/A0.out", absolute.out);
    EXPECT_EQ("B0.in", absolute.in);

    // A relative path whose first element is a number is no naming service.
    const Parsed relative = parse("A0.out:5/ctx/B0.in");
    ASSERT_TRUE(relative.ok);
    EXPECT_EQ("A0.out", relative.out);
    EXPECT_EQ("5/ctx/B0.in", relative.in);
}

TEST(PreStartLists, AListIsCutAtCommasOutsideAnEntrysOptions) {
    EXPECT_EQ((std::vector<std::string>{"A0.out:B0.in(dataflow_type=push,subscription_type=new)",
                                        "C0.out?port=D0.in"}),
              PreStartActions::listEntries(
                  " A0.out:B0.in(dataflow_type=push,subscription_type=new) ,, C0.out?port=D0.in,"));
    EXPECT_EQ((std::vector<std::string>{"Parlune0", "rtcname://box/ctx/ParluneTest0"}),
              PreStartActions::listEntries("Parlune0,\trtcname://box/ctx/ParluneTest0 "));
    EXPECT_TRUE(PreStartActions::listEntries(" , ,").empty());

    const Parsed second = parse(PreStartActions::listEntries("A0.out:B0.in(a=1,b=2)")[0]);
    ASSERT_TRUE(second.ok);
    EXPECT_EQ("2", second.prop.getProperty("dataport.b"));
}

}  // namespace
