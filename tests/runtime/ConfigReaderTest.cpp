// Configuration text that is not what it should be: binary bytes, lines
// without end, text in another encoding, absurdly nested keys. Good lines
// beside bad ones must survive; nothing may crash.
#include <coil/Properties.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "coil/ConfigReader.h"
#include "support/TempDir.h"

namespace {

using coil::ConfigReader;

std::string deepKey(std::size_t parts) {
    std::string key = "k";
    for (std::size_t i = 1; i < parts; ++i) key += ".k";
    return key;
}

TEST(ConfigReader, NulByteMeansNotTextAndNothingIsUsed) {
    // The key that used to crash both launchers, after a good line.
    std::istringstream in(std::string("logger.enable: NO\na\0b: v\nlater: x\n", 33));
    coil::Properties p;
    p.setProperty("kept", "1");
    ConfigReader reader;
    EXPECT_FALSE(reader.read(in, p));
    ASSERT_EQ(1u, reader.problems().size());
    EXPECT_EQ(2, reader.problems()[0].line);
    EXPECT_NE(std::string::npos, reader.problems()[0].reason.find("NUL"));
    EXPECT_EQ("", p.getProperty("logger.enable"));
    EXPECT_EQ("1", p.getProperty("kept"));
    EXPECT_EQ(1, p.size());
}

TEST(ConfigReader, BadLinesAreSkippedAndTheirNeighboursKept) {
    const std::string long_value(ConfigReader::kMaxLine + 10, 'x');
    std::istringstream in(
        "first: 1\n"
        "latin1.key\xe9: v\n"
        "latin1.value: caf\xe9\n"
        "utf8.value: caf\xc3\xa9\n"
        "overlong: \xc0\xaf\n"
        "surrogate: \xed\xa0\x80\n"
        "long: " +
        long_value +
        "\n"
        "after.long: 2\n"
        ": no key\n"
        "# comment in latin-1 is fine: \xe9\n" +
        deepKey(ConfigReader::kMaxDepth + 1) + ": deep\n" + deepKey(ConfigReader::kMaxDepth) +
        ": deep enough\n");
    coil::Properties p;
    ConfigReader reader;
    ASSERT_TRUE(reader.read(in, p));
    EXPECT_EQ("1", p.getProperty("first"));
    EXPECT_EQ("caf\xc3\xa9", p.getProperty("utf8.value"));
    EXPECT_EQ("2", p.getProperty("after.long"));
    EXPECT_EQ("deep enough", p.getProperty(deepKey(ConfigReader::kMaxDepth)));
    EXPECT_EQ("", p.getProperty("latin1.value"));
    EXPECT_EQ("", p.getProperty("long"));
    EXPECT_EQ(nullptr, p.findNode(deepKey(ConfigReader::kMaxDepth + 1)));

    std::vector<int> lines;
    for (const auto& problem : reader.problems()) lines.push_back(problem.line);
    EXPECT_EQ((std::vector<int>{2, 3, 5, 6, 7, 9, 11}), lines);
    ASSERT_EQ(7u, reader.problems().size());
    EXPECT_NE(std::string::npos, reader.problems()[0].reason.find("key is not UTF-8"));
    EXPECT_NE(std::string::npos, reader.problems()[1].reason.find("value is not UTF-8"));
    EXPECT_NE(std::string::npos, reader.problems()[4].reason.find("longer than 65536"));
    EXPECT_NE(std::string::npos, reader.problems()[5].reason.find("no key"));
    EXPECT_NE(std::string::npos, reader.problems()[6].reason.find("deeper than 32"));
}

TEST(ConfigReader, AFileOfBadLinesIsCountedNotKeptLineByLine) {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "\xff: v\n";
    text += "good: 1\n";
    std::istringstream in(text);
    coil::Properties p;
    ConfigReader reader;
    ASSERT_TRUE(reader.read(in, p));
    EXPECT_EQ("1", p.getProperty("good"));
    EXPECT_EQ(5000u, reader.problemCount());
    ASSERT_EQ(ConfigReader::kMaxProblems, reader.problems().size());
    EXPECT_EQ(1, reader.problems().front().line);
    EXPECT_EQ(static_cast<int>(ConfigReader::kMaxProblems), reader.problems().back().line);
}

TEST(ConfigReader, ContinuationsAreJoinedUpToTheLimit) {
    const std::string half(ConfigReader::kMaxLine / 2 + 1, 'y');
    std::istringstream in(
        "joined: a \\\n   b\n"
        "too.long: " +
        half + "\\\n" + half +
        "\n"
        "next: 3\n"
        "last: open \\");
    coil::Properties p;
    ConfigReader reader;
    ASSERT_TRUE(reader.read(in, p));
    EXPECT_EQ("a b", p.getProperty("joined"));
    EXPECT_EQ("", p.getProperty("too.long"));
    EXPECT_EQ("3", p.getProperty("next"));
    EXPECT_EQ("open", p.getProperty("last"));
    ASSERT_EQ(1u, reader.problems().size());
    EXPECT_EQ(3, reader.problems()[0].line);
}

TEST(ConfigReader, FilesThatAreNoConfiguration) {
    testsupport::TempDir dir;
    coil::Properties p;
    ConfigReader as_dir;
    EXPECT_FALSE(as_dir.readFile(dir.path(), p));
    ASSERT_EQ(1u, as_dir.problems().size());
    EXPECT_EQ("is a directory", as_dir.problems()[0].reason);

    ConfigReader missing;
    EXPECT_FALSE(missing.readFile(dir.file("absent.conf"), p));
    ASSERT_EQ(1u, missing.problems().size());
    EXPECT_EQ(0, missing.problems()[0].line);

    // /dev/zero never ends: the first NUL byte stops the read.
    ConfigReader zero;
    EXPECT_FALSE(zero.readFile("/dev/zero", p));

    ASSERT_TRUE(dir.write("good.conf", "a.b: c\n"));
    ConfigReader good;
    EXPECT_TRUE(good.readFile(dir.file("good.conf"), p));
    EXPECT_TRUE(good.problems().empty());
    EXPECT_EQ("c", p.getProperty("a.b"));
}

TEST(ConfigReader, EntriesFromElsewhereAreCheckedAlike) {
    EXPECT_EQ("", ConfigReader::checkEntry("naming.enable", "NO"));
    EXPECT_EQ("no key", ConfigReader::checkEntry("", "v"));
    EXPECT_EQ("key contains a NUL byte", ConfigReader::checkEntry(std::string("a\0b", 3), "v"));
    EXPECT_EQ("value contains a NUL byte", ConfigReader::checkEntry("a", std::string("\0", 1)));
    EXPECT_EQ("value is not UTF-8", ConfigReader::checkEntry("a", "\xff"));
    EXPECT_NE("", ConfigReader::checkEntry(deepKey(33), "v"));
    EXPECT_TRUE(ConfigReader::isUtf8("\xf0\x9f\x98\x80 \xe2\x82\xac"));
    EXPECT_FALSE(ConfigReader::isUtf8("\xf4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(ConfigReader::isUtf8("\xe2\x82"));          // cut short
}

TEST(ConfigReader, PrintableEscapesAndCuts) {
    EXPECT_EQ("plain -o x:y", ConfigReader::printable("plain -o x:y"));
    EXPECT_EQ("a\\x00b\\x1b[1m\\xc3\\xa9\\x5c",
              ConfigReader::printable(std::string("a\0b\x1b[1m\xc3\xa9\\", 10)));
    const std::string cut = ConfigReader::printable(std::string(131072, 'z'), 40);
    EXPECT_EQ(std::string(40, 'z') + "...", cut);
}

TEST(Properties, NulInsideAKeyIsAnOrdinaryByte) {
    // Through the API a key may hold any byte; the node must be found again.
    coil::Properties p;
    const std::string key("a\0b.c", 5);
    p.setProperty(key, "v");
    EXPECT_EQ("v", p.getProperty(key));
    EXPECT_EQ("", p.getProperty("a"));
    EXPECT_EQ(1, p.size());
}

TEST(Properties, LoadSurvivesWhatTheReaderRejects) {
    std::istringstream binary(std::string("x: 1\n\0\0\0\xff\xfe", 10));
    coil::Properties p;
    p.load(binary);
    EXPECT_EQ(0, p.size());
    std::istringstream text("x: 1\n" + deepKey(100000) + ": v\nbad: \xff\ny: 2\n");
    p.load(text);
    EXPECT_EQ("1", p.getProperty("x"));
    EXPECT_EQ("2", p.getProperty("y"));
    EXPECT_EQ(2, p.size());
}

}  // namespace
