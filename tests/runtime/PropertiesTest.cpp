#include <coil/Properties.h>
#include <coil/stringutil.h>
#include <gtest/gtest.h>

#include <sstream>

namespace {

// clang-format off
const char* profile[] = {
    "implementation_id", "Sample",
    "type_name",         "Sample",
    "conf.default.speed", "100",
    "",
    "after_terminator",  "never read",
};
// clang-format on

TEST(Properties, TableStopsAtTheEmptyKey) {
    coil::Properties p(profile, 2147483647);
    EXPECT_EQ("Sample", p.getProperty("implementation_id"));
    EXPECT_EQ("100", p.getProperty("conf.default.speed"));
    EXPECT_EQ("", p.getProperty("after_terminator"));
    EXPECT_EQ(3, p.size());
}

TEST(Properties, TableStopsAtTheCount) {
    coil::Properties p(profile, 2);
    EXPECT_EQ("Sample", p.getProperty("implementation_id"));
    EXPECT_EQ("", p.getProperty("type_name"));
}

TEST(Properties, DottedKeysFormATree) {
    coil::Properties p;
    p.setProperty("conf.default.speed", "150");
    p.setProperty("conf.fast.speed", "300");
    ASSERT_NE(nullptr, p.findNode("conf.default"));
    EXPECT_EQ(nullptr, p.findNode("conf.slow"));
    EXPECT_EQ("150", p.getNode("conf").getProperty("default.speed"));
    EXPECT_EQ(2u, p.getNode("conf").getLeaf().size());
    std::vector<std::string> names = p.propertyNames();
    EXPECT_EQ((std::vector<std::string>{"conf.default.speed", "conf.fast.speed"}), names);
}

TEST(Properties, ValueWinsOverDefaultAndOldValueIsReturned) {
    coil::Properties p;
    p.setDefault("a.b", "def");
    EXPECT_EQ("def", p.getProperty("a.b"));
    EXPECT_EQ("", p.setProperty("a.b", "val"));
    EXPECT_EQ("val", p.getProperty("a.b"));
    EXPECT_EQ("def", p.getDefault("a.b"));
    EXPECT_EQ("val", p.setProperty("a.b", "other"));
    EXPECT_EQ("fallback", p.getProperty("missing", "fallback"));
}

TEST(Properties, BracketOperatorCreatesAndAssigns) {
    coil::Properties p;
    p["x.y"] = "1";
    EXPECT_EQ("1", p.getProperty("x.y"));
    const coil::Properties& cp = p;
    EXPECT_EQ("1", cp["x.y"]);
    EXPECT_EQ("", cp["x.z"]);
    EXPECT_EQ(nullptr, p.findNode("x.z"));
}

TEST(Properties, CopyIsDeepAndMergeOverwrites) {
    coil::Properties a;
    a.setProperty("k.one", "1");
    coil::Properties b(a);
    b.setProperty("k.one", "changed");
    EXPECT_EQ("1", a.getProperty("k.one"));
    coil::Properties c;
    c.setProperty("k.one", "x");
    c.setProperty("k.two", "2");
    c << b;
    EXPECT_EQ("changed", c.getProperty("k.one"));
    EXPECT_EQ("2", c.getProperty("k.two"));
    coil::Properties d;
    d = c;
    d = d;
    EXPECT_EQ("2", d.getProperty("k.two"));
}

TEST(Properties, LoadsConfigurationText) {
    std::istringstream in(
        "# comment\n"
        "! another comment\n"
        "\n"
        "logger.enable: NO\n"
        "  exec_cxt.periodic.rate = 10.0  \n"
        "corba.nameservers: localhost:2809\n"
        "long.value: one \\\n"
        "   two\n"
        "windows.line: x\r\n");
    coil::Properties p;
    p.load(in);
    EXPECT_EQ("NO", p.getProperty("logger.enable"));
    EXPECT_EQ("10.0", p.getProperty("exec_cxt.periodic.rate"));
    EXPECT_EQ("localhost:2809", p.getProperty("corba.nameservers"));
    EXPECT_EQ("one two", p.getProperty("long.value"));
    EXPECT_EQ("x", p.getProperty("windows.line"));
    std::ostringstream out;
    p.store(out);
    coil::Properties q;
    std::istringstream back(out.str());
    q.load(back);
    EXPECT_EQ(p.propertyNames(), q.propertyNames());
}

TEST(Properties, RemoveNodeDetachesAndDestructorCleansUp) {
    coil::Properties p;
    p.setProperty("a.b.c", "1");
    coil::Properties* a = p.removeNode("a");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(nullptr, p.findNode("a.b.c"));
    EXPECT_EQ("1", a->getProperty("b.c"));
    delete a;
    EXPECT_EQ(nullptr, p.removeNode("a"));
    EXPECT_EQ(nullptr, p.removeNode(nullptr));
}

TEST(Properties, KeysTooDeepToWalkAreNotStored) {
    // As a peer's connector profile may name one: a million parts.
    std::string huge = "a";
    for (int i = 0; i < 1000000; ++i) huge += ".a";
    std::string deepest = "k";
    for (std::size_t i = 1; i < coil::Properties::kMaxDepth; ++i) deepest += ".k";

    coil::Properties p;
    p.setProperty("kept", "1");
    EXPECT_EQ("", p.setProperty(huge, "v"));
    EXPECT_EQ("", p.setDefault(huge, "d"));
    p[huge] = "lost";
    EXPECT_EQ("", p.getProperty(huge));
    EXPECT_EQ(nullptr, p.findNode(huge));
    EXPECT_EQ(std::vector<std::string>{"kept"}, p.propertyNames());
    // Nothing went into the root either.
    EXPECT_STREQ("", p.getValue());

    p.setProperty(deepest, "deep");
    EXPECT_EQ("deep", p.getProperty(deepest));
    coil::Properties copy(p);
    EXPECT_EQ("deep", copy.getProperty(deepest));
    EXPECT_EQ(2, copy.size());
}

TEST(StringTo, IntegersTakeTheLeadingNumber) {
    int v = -1;
    EXPECT_TRUE(coil::stringTo(v, "150"));
    EXPECT_EQ(150, v);
    EXPECT_TRUE(coil::stringTo(v, "120abc"));
    EXPECT_EQ(120, v);
    EXPECT_TRUE(coil::stringTo(v, "  -7"));
    EXPECT_EQ(-7, v);
    v = 42;
    EXPECT_FALSE(coil::stringTo(v, "abc"));
    EXPECT_FALSE(coil::stringTo(v, ""));
    EXPECT_FALSE(coil::stringTo(v, nullptr));
    EXPECT_FALSE(coil::stringTo(v, "99999999999"));
    EXPECT_EQ(42, v);
}

TEST(StringTo, OtherTypes) {
    double d = 0;
    EXPECT_TRUE(coil::stringTo(d, "10.5Hz"));
    EXPECT_DOUBLE_EQ(10.5, d);
    std::string s;
    EXPECT_TRUE(coil::stringTo(s, " keep blanks "));
    EXPECT_EQ(" keep blanks ", s);
    bool b = false;
    EXPECT_TRUE(coil::stringTo(b, "YES"));
    EXPECT_TRUE(b);
    EXPECT_TRUE(coil::stringTo(b, "false"));
    EXPECT_FALSE(b);
    EXPECT_FALSE(coil::stringTo(b, "maybe"));
}

TEST(StringUtil, SplitTrimsFields) {
    EXPECT_EQ((coil::vstring{"a", "b", "", "c"}), coil::split(" a , b ,, c ", ","));
    EXPECT_EQ((coil::vstring{"a", "b", "c"}), coil::split(" a , b ,, c ", ",", true));
    EXPECT_TRUE(coil::split("", ",").empty());
    EXPECT_EQ("pid-%q", coil::replaceString("pid-%p", "%p", "%q"));
    EXPECT_TRUE(coil::toBool(" yes ", "YES", "NO", false));
    EXPECT_FALSE(coil::toBool("no", "YES", "NO", true));
    EXPECT_TRUE(coil::toBool("other", "YES", "NO", true));
}

}  // namespace
