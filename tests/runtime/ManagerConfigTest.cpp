// The manager's command line and configuration text read in-process: what is
// kept, what each bad word or line is called, and how many lines that takes.
#include <gtest/gtest.h>

#include <sstream>

#include "rtm/ManagerConfig.h"

namespace {

using RTC::ManagerConfig;

ManagerConfig::Arguments readWords(ManagerConfig& config, std::vector<std::string> words) {
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    return config.readArgs(static_cast<int>(words.size()), argv.data());
}

TEST(ManagerConfigArgs, GoodWordsAreKeptAndBadOnesNamedOnce) {
    ManagerConfig config;
    std::ostringstream messages;
    config.setMessageStream(messages);
    const ManagerConfig::Arguments args =
        readWords(config, {"/usr/bin/prog", "-o", "naming.enable: NO", "-ologger.enable:NO", "-o",
                           "nocolon", "-o", "a=b", "-o", " :v", "-f", "my.conf", "-a", "-p", "2810",
                           "-o", "naming.formats:%h.host_cxt/%n.rtc:x", "stray", "-h"});
    EXPECT_EQ("my.conf", args.configFile);
    EXPECT_TRUE(args.help);
    // The key ends at the first ':'; the value may hold more of them.
    EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{
                  {"naming.enable", "NO"},
                  {"logger.enable", "NO"},
                  {"naming.formats", "%h.host_cxt/%n.rtc:x"}}),
              args.overrides);
    const std::vector<std::string> expected = {
        "option -o needs KEY:VALUE, got 'nocolon'; ignored",
        "option -o needs KEY:VALUE, got 'a=b'; ignored",
        "option -o needs KEY:VALUE, got ' :v'; ignored",
        "unknown argument 'stray' ignored (see -h)",
    };
    EXPECT_EQ(expected, config.warnings());
    std::string written;
    for (const auto& line : expected) written += "prog: " + line + "\n";
    EXPECT_EQ(written, messages.str());
}

TEST(ManagerConfigArgs, WordsThatCannotBeEntriesOrEchoedWhole) {
    ManagerConfig config;
    std::ostringstream messages;
    config.setMessageStream(messages);
    std::string deep = "k";
    for (int i = 0; i < 40; ++i) deep += ".k";
    const ManagerConfig::Arguments args = readWords(
        config, {"prog", "-o", "caf\xe9:1", "-o", deep + ":v", std::string(5000, '\x01'), "-o"});
    EXPECT_TRUE(args.overrides.empty());
    ASSERT_EQ(4u, config.warnings().size());
    EXPECT_EQ("option -o 'caf\\xe9:1': key is not UTF-8; ignored", config.warnings()[0]);
    EXPECT_NE(std::string::npos, config.warnings()[1].find("deeper than 32 levels; ignored"));
    EXPECT_LE(config.warnings()[1].size(), 2 * ManagerConfig::kMaxEcho);
    EXPECT_EQ(0u, config.warnings()[2].find("unknown argument '\\x01\\x01"));
    EXPECT_NE(std::string::npos, config.warnings()[2].find("...' ignored"));
    EXPECT_LE(config.warnings()[2].size(), 2 * ManagerConfig::kMaxEcho);
    EXPECT_EQ("option -o needs a value; ignored", config.warnings()[3]);
}

TEST(ManagerConfigText, BadLinesPastFiveAreCountedAndGoodOnesApply) {
    ManagerConfig config;
    std::ostringstream messages;
    config.setMessageStream(messages);
    std::string text = "exec_cxt.periodic.rate: 7\n";
    for (int i = 0; i < 8; ++i) text += "\xff: v\n";
    text += "naming.enable: NO\n";
    std::istringstream in(text);
    config.loadText(in, "site.conf");
    config.finishWarnings();
    ASSERT_EQ(6u, config.warnings().size());
    EXPECT_EQ("site.conf:2: key is not UTF-8, line skipped", config.warnings()[0]);
    EXPECT_EQ("site.conf:6: key is not UTF-8, line skipped", config.warnings()[4]);
    EXPECT_EQ("3 more configuration problems not shown", config.warnings()[5]);
    EXPECT_EQ("7", config.config().getProperty("exec_cxt.periodic.rate"));
    EXPECT_EQ("NO", config.setByUser().getProperty("naming.enable"));
    // The defaults are still there beside what the file set.
    EXPECT_EQ("YES", config.config().getProperty("logger.enable"));

    ManagerConfig binary;
    binary.setMessageStream(messages);
    std::istringstream bytes(
        std::string("naming.enable: NO\n\x7f"
                    "ELF\0\0",
                    24));
    binary.loadText(bytes, "a.out");
    ASSERT_EQ(1u, binary.warnings().size());
    EXPECT_EQ(
        "cannot read configuration file 'a.out': line 2 contains a NUL byte: not a text file; "
        "using defaults",
        binary.warnings()[0]);
    EXPECT_EQ("YES", binary.config().getProperty("naming.enable"));
}

}  // namespace
