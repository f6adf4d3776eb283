// Both launchers given configuration they cannot use: a broken rtc.conf in
// the working directory, a -f that names no text file, bad -o words and
// absurd arguments. Each problem is one line on stderr (and a warning in the
// log), the component is still created and the process still stops cleanly.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Wait.h"

using testsupport::Process;
using testsupport::TempDir;

namespace {

struct Launcher {
    std::string path;
    std::string prog;       // how it names itself in messages
    std::string component;  // its component's instance name
    std::vector<std::string> env;
};

std::vector<Launcher> launchers() {
    std::vector<Launcher> all = {
        {SPEECH_LAUNCHER, "ParluneRTCComp", "Parlune0", {"PARLUNE_AUDIO=null"}}};
#ifdef TEST_LAUNCHER
    all.push_back({TEST_LAUNCHER, "ParluneTestComp", "ParluneTest0", {"DISPLAY="}});
#endif
    return all;
}

struct Outcome {
    bool started = false;
    bool created = false;
    bool stopped = false;
    int exitCode = -1;
    std::vector<std::string> errLines;
    std::string log;
};

// Runs the launcher in dir until its component is created, then stops it
// with SIGTERM. Naming is off and the log goes to dir/launcher.log.
Outcome runLauncher(const Launcher& l, const TempDir& dir, std::vector<std::string> args,
                    std::vector<std::string> env = {}) {
    std::vector<std::string> argv = {l.path, "-o", "naming.enable:NO", "-o",
                                     "logger.file_name:launcher.log"};
    argv.insert(argv.end(), args.begin(), args.end());
    env.insert(env.end(), l.env.begin(), l.env.end());
    // Only this run's log counts.
    std::remove(dir.file("launcher.log").c_str());
    Process p(argv, dir.path(), env);
    Outcome o;
    o.started = p.started();
    const std::string created = "component " + l.component + " created";
    o.created = testsupport::waitUntil(
        [&] {
            return testsupport::readFile(dir.file("launcher.log")).find(created) !=
                   std::string::npos;
        },
        std::chrono::seconds(10));
    p.signal(SIGTERM);
    o.stopped = p.wait();
    o.exitCode = p.exitCode();
    o.errLines = testsupport::splitLines(p.err());
    o.log = testsupport::readFile(dir.file("launcher.log"));
    return o;
}

std::vector<std::string> prefixed(const std::string& prog, const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines) out.push_back(prog + ": " + line);
    return out;
}

// The process went on as if the bad input had not been there.
void expectRanNormally(const Outcome& o) {
    ASSERT_TRUE(o.started);
    EXPECT_TRUE(o.created) << o.log;
    EXPECT_TRUE(o.stopped);
    EXPECT_EQ(0, o.exitCode);
    for (const std::string& line : o.errLines) EXPECT_EQ(std::string::npos, line.find("failed"));
}

// Every message is also a warning in the framework's log.
void expectLogged(const Outcome& o, const std::vector<std::string>& messages) {
    for (const std::string& message : messages) {
        EXPECT_NE(std::string::npos, o.log.find("WARNING: manager: " + message)) << message << "\n"
                                                                                 << o.log;
    }
}

std::string deepKey(std::size_t parts) {
    std::string key = "k";
    for (std::size_t i = 1; i < parts; ++i) key += ".k";
    return key;
}

TEST(LauncherConfig, EachBadLineOfRtcConfIsNamedAndTheGoodOnesApply) {
    const std::vector<std::string> messages = {
        "rtc.conf:2: key is not UTF-8, line skipped",
        "rtc.conf:3: value is not UTF-8, line skipped",
        "rtc.conf:4: key nested deeper than 32 levels, line skipped",
        "rtc.conf:5: no key, line skipped",
        "rtc.conf:7: line longer than 65536 bytes, line skipped",
    };
    for (const Launcher& l : launchers()) {
        SCOPED_TRACE(l.prog);
        TempDir dir;
        dir.write("rtc.conf",
                  "# bad lines among good ones\n"
                  "\xff\xfe: v\n"
                  "greeting: caf\xe9\n" +
                      deepKey(40) +
                      ": v\n"
                      ": orphan value\n"
                      "exec_cxt.periodic.rate: 7\n" +
                      std::string(70000, 'x') + ": v\n");
        const Outcome o = runLauncher(l, dir, {});
        expectRanNormally(o);
        EXPECT_EQ(prefixed(l.prog, messages), o.errLines);
        expectLogged(o, messages);
        // The line after the bad ones was used.
        EXPECT_NE(std::string::npos, o.log.find("component " + l.component + " created (7 Hz)"))
            << o.log;
    }
}

TEST(LauncherConfig, ManyBadLinesGiveFiveLinesAndACount) {
    for (const Launcher& l : launchers()) {
        SCOPED_TRACE(l.prog);
        TempDir dir;
        std::string conf;
        for (int i = 0; i < 250; ++i) conf += "bad\xc0\xafkey: v\n";
        dir.write("rtc.conf", conf);
        const Outcome o = runLauncher(l, dir, {"-o", "exec_cxt.periodic.rate:9"});
        expectRanNormally(o);
        std::vector<std::string> messages;
        for (int i = 1; i <= 5; ++i)
            messages.push_back("rtc.conf:" + std::to_string(i) +
                               ": key is not UTF-8, line skipped");
        messages.push_back("245 more configuration problems not shown");
        EXPECT_EQ(prefixed(l.prog, messages), o.errLines);
        expectLogged(o, messages);
        EXPECT_NE(std::string::npos, o.log.find("created (9 Hz)")) << o.log;
    }
}

TEST(LauncherConfig, AFileThatIsNoConfigurationIsNamedOnceAndTheDefaultsUsed) {
    for (const Launcher& l : launchers()) {
        SCOPED_TRACE(l.prog);
        {
            // The key that used to end both launchers with SIGSEGV, read automatically.
            TempDir dir;
            dir.write("rtc.conf", std::string("exec_cxt.periodic.rate: 7\na\0b: v\n", 32));
            const Outcome o = runLauncher(l, dir, {});
            expectRanNormally(o);
            const std::string message =
                "cannot read configuration file 'rtc.conf': line 2 contains a NUL byte: not a "
                "text file; using defaults";
            EXPECT_EQ(prefixed(l.prog, {message}), o.errLines);
            expectLogged(o, {message});
            // Nothing of a file that is not text is used.
            EXPECT_EQ(std::string::npos, o.log.find("(7 Hz)")) << o.log;
        }
        {
            // A program given as configuration file.
            TempDir dir;
            const std::string program = testsupport::readFile(l.path).substr(0, 8192);
            ASSERT_FALSE(program.empty());
            dir.write("program.bin", program);
            const Outcome o = runLauncher(l, dir, {"-f", "program.bin"});
            expectRanNormally(o);
            EXPECT_EQ(prefixed(l.prog, {"cannot read configuration file 'program.bin': line 1 "
                                        "contains a NUL byte: not a text file; using defaults"}),
                      o.errLines);
        }
        {
            TempDir dir;
            ASSERT_EQ(0, mkdir(dir.file("conf.d").c_str(), 0755));
            const Outcome o = runLauncher(l, dir, {"-f", "conf.d"});
            expectRanNormally(o);
            EXPECT_EQ(prefixed(l.prog, {"cannot read configuration file 'conf.d': is a "
                                        "directory; using defaults"}),
                      o.errLines);
        }
        {
            // The file named by the environment, and ./rtc.conf, are checked alike.
            TempDir dir;
            ASSERT_EQ(0, mkdir(dir.file("rtc.conf").c_str(), 0755));
            const Outcome by_default = runLauncher(l, dir, {});
            expectRanNormally(by_default);
            EXPECT_EQ(prefixed(l.prog, {"cannot read configuration file 'rtc.conf': is a "
                                        "directory; using defaults"}),
                      by_default.errLines);
            TempDir other;
            const Outcome by_env =
                runLauncher(l, other, {}, {"RTC_MANAGER_CONFIG=" + dir.file("rtc.conf")});
            expectRanNormally(by_env);
            ASSERT_EQ(1u, by_env.errLines.size());
            EXPECT_NE(std::string::npos, by_env.errLines[0].find("is a directory; using defaults"))
                << by_env.errLines[0];
        }
        {
            // -f wins over ./rtc.conf even when it names nothing.
            TempDir dir;
            dir.write("rtc.conf", "exec_cxt.periodic.rate: 7\n");
            const Outcome o = runLauncher(l, dir, {"-f", "missing.conf"});
            expectRanNormally(o);
            EXPECT_EQ(prefixed(l.prog, {"cannot read configuration file 'missing.conf': No such "
                                        "file or directory; using defaults"}),
                      o.errLines);
            EXPECT_EQ(std::string::npos, o.log.find("(7 Hz)")) << o.log;
        }
    }
}

TEST(LauncherConfig, BadWordsOnTheCommandLineAreNamedCutShortAndSkipped) {
    for (const Launcher& l : launchers()) {
        SCOPED_TRACE(l.prog);
        TempDir dir;
        const std::string huge = "--" + std::string(130000, 'x');
        const Outcome o = runLauncher(
            l, dir,
            {"-o", "nocolon", "-o", "\xff:1", huge, "-o", "exec_cxt.periodic.rate:8", "-f"});
        expectRanNormally(o);
        ASSERT_EQ(4u, o.errLines.size()) << testing::PrintToString(o.errLines);
        EXPECT_EQ(l.prog + ": option -o needs KEY:VALUE, got 'nocolon'; ignored", o.errLines[0]);
        EXPECT_EQ(l.prog + ": option -o '\\xff:1': key is not UTF-8; ignored", o.errLines[1]);
        // The long word is echoed cut short, its cut marked.
        EXPECT_EQ(0u, o.errLines[2].find(l.prog + ": unknown argument '--xxxx")) << o.errLines[2];
        EXPECT_NE(std::string::npos, o.errLines[2].find("...' ignored (see -h)"));
        EXPECT_LT(o.errLines[2].size(), 160u);
        EXPECT_EQ(l.prog + ": option -f needs a value; ignored", o.errLines[3]);
        expectLogged(o, {"option -o needs KEY:VALUE, got 'nocolon'; ignored"});
        // The good option among them applies.
        EXPECT_NE(std::string::npos, o.log.find("created (8 Hz)")) << o.log;
    }
}

TEST(LauncherConfig, AnUnknownLogLevelOrAnUnopenableLogFileIsNamedAndTheRestLogs) {
    for (const Launcher& l : launchers()) {
        SCOPED_TRACE(l.prog);
        TempDir dir;
        const Outcome o = runLauncher(l, dir,
                                      {"-o", "logger.log_level:LOUD", "-o",
                                       "logger.file_name:launcher.log, no-such-dir/x.log"});
        expectRanNormally(o);
        ASSERT_EQ(2u, o.errLines.size()) << testing::PrintToString(o.errLines);
        const std::string level = "logger.log_level: unknown level 'LOUD'; INFO used";
        EXPECT_EQ(l.prog + ": " + level, o.errLines[0]);
        // The reason is the system's own text (in the C locale here).
        const std::string file = "logger.file_name: cannot open 'no-such-dir/x.log': ";
        EXPECT_EQ(0u, o.errLines[1].find(l.prog + ": " + file)) << o.errLines[1];
        EXPECT_NE(std::string::npos, o.errLines[1].find("; not logged there"));
        // The file that could be opened has both, at the level used instead.
        expectLogged(o, {level, file});
    }
}

}  // namespace
