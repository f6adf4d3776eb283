// The launchers from outside: what they print, and how they end.
#include <gtest/gtest.h>
#include <signal.h>

#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Wait.h"

using testsupport::Process;
using testsupport::TempDir;

namespace {

const std::string kNotice =
    "This library uses Parlune.dll. See https://github.com/espeak-ng/espeak-ng\n";
const std::vector<std::string> kNullAudio = {"PARLUNE_AUDIO=null"};

TEST(SpeechLauncher, PrintsTheNoticeOnceAndStopsCleanlyOnSigterm) {
    TempDir dir;
    Process p({SPEECH_LAUNCHER, "-o", "naming.enable:NO", "-o", "logger.file_name:launcher.log",
               "-o", "manager.components.preactivation:Parlune0"},
              dir.path(), kNullAudio);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            return testsupport::readFile(dir.file("launcher.log")).find("INACTIVE -> ACTIVE") !=
                   std::string::npos;
        },
        std::chrono::seconds(10)))
        << p.err();
    p.signal(SIGTERM);
    ASSERT_TRUE(p.wait());
    EXPECT_TRUE(p.exitedWith(0)) << p.status();
    EXPECT_EQ(kNotice, p.out());
    EXPECT_EQ("", p.err());
    const std::string log = testsupport::readFile(dir.file("launcher.log"));
    EXPECT_NE(std::string::npos, log.find("state ACTIVE -> INACTIVE")) << log;
    EXPECT_NE(std::string::npos, log.find("component Parlune0 deleted")) << log;
}

// Runs the speech launcher with `env` until its component is active, stops
// it, and checks that the log names `reason` once, on a WARNING line.
void expectOneWarning(const std::vector<std::string>& env, const std::string& reason) {
    TempDir dir;
    Process p({SPEECH_LAUNCHER, "-o", "naming.enable:NO", "-o", "logger.file_name:launcher.log",
               "-o", "manager.components.preactivation:Parlune0"},
              dir.path(), env);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            return testsupport::readFile(dir.file("launcher.log")).find("INACTIVE -> ACTIVE") !=
                   std::string::npos;
        },
        std::chrono::seconds(10)))
        << p.err();
    p.signal(SIGTERM);
    ASSERT_TRUE(p.wait());
    EXPECT_TRUE(p.exitedWith(0)) << p.status();
    const std::string log = testsupport::readFile(dir.file("launcher.log"));
    size_t at = log.find(reason);
    ASSERT_NE(std::string::npos, at) << log;
    EXPECT_EQ(std::string::npos, log.find(reason, at + 1)) << log;
    size_t lineStart = log.rfind('\n', at);
    std::string line = log.substr(lineStart + 1, log.find('\n', at) - lineStart - 1);
    EXPECT_NE(std::string::npos, line.find("WARN")) << line;
    EXPECT_NE(std::string::npos, log.find("INACTIVE -> ACTIVE")) << log;
    EXPECT_EQ("", p.err());
}

TEST(SpeechLauncher, AnEngineThatCannotStartIsLoggedOnceAsAWarning) {
    // Names the variable and its value; the component is still active.
    expectOneWarning({"PARLUNE_AUDIO=wav:relative/dir"}, "PARLUNE_AUDIO=wav:relative/dir");
}

TEST(SpeechLauncher, AMissingJapaneseVoiceIsLoggedOnceAsAWarning) {
    // The engine starts without it; the warning names the file.
    expectOneWarning({"PARLUNE_AUDIO=null", "PARLUNE_VOICE_DIR=/nonexistent/voices"},
                     "/nonexistent/voices/mei_normal.htsvoice");
}

TEST(SpeechLauncher, ArgumentsGoToTheManagerUnchanged) {
    TempDir dir;
    // Every argument is seen, in its place: the first and the last name the
    // log file (the later wins), the middle ones turn naming off for an
    // unreachable naming service, and words the manager does not know are
    // warned about one by one, in order.
    Process p({SPEECH_LAUNCHER, "-o", "logger.file_name:early.log", "--bogus", "a", "-o",
               "corba.nameservers:127.0.0.1:1", "-o", "naming.enable:NO", "b", "c", "-o",
               "logger.file_name:late.log"},
              dir.path(), kNullAudio);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            return testsupport::readFile(dir.file("late.log")).find("component Parlune0 created") !=
                   std::string::npos;
        },
        std::chrono::seconds(10)))
        << p.err();
    p.signal(SIGINT);
    ASSERT_TRUE(p.wait());
    EXPECT_TRUE(p.exitedWith(0)) << p.status();
    EXPECT_EQ(kNotice, p.out());
    EXPECT_EQ(
        "ParluneRTCComp: unknown argument '--bogus' ignored (see -h)\n"
        "ParluneRTCComp: unknown argument 'a' ignored (see -h)\n"
        "ParluneRTCComp: unknown argument 'b' ignored (see -h)\n"
        "ParluneRTCComp: unknown argument 'c' ignored (see -h)\n",
        p.err());
    EXPECT_EQ(std::vector<std::string>{"late.log"}, dir.names());
    const std::string log = testsupport::readFile(dir.file("late.log"));
    EXPECT_EQ(std::string::npos, log.find("naming service")) << log;
}

TEST(SpeechLauncher, NameMismatchPrintsOneLineAndAborts) {
    TempDir dir;
    Process p({WRONG_LAUNCHER, "-o", "naming.enable:NO", "-o", "logger.enable:NO"}, dir.path(),
              kNullAudio);
    ASSERT_TRUE(p.wait());
    EXPECT_TRUE(p.killedBy(SIGABRT)) << p.status();
    EXPECT_EQ("Component create failed.\n", p.err());
    // The module's own notice is all there is on stdout.
    EXPECT_EQ(kNotice, p.out());
}

#ifdef TEST_LAUNCHER
TEST(TestLauncher, StartsWithoutDisplayAndStopsCleanly) {
    TempDir dir;
    Process p({TEST_LAUNCHER, "-o", "naming.enable:NO", "-o", "logger.file_name:launcher.log"},
              dir.path(), {"DISPLAY="});
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            return testsupport::readFile(dir.file("launcher.log"))
                       .find("component ParluneTest0 created") != std::string::npos;
        },
        std::chrono::seconds(10)))
        << p.err();
    const std::string log = testsupport::readFile(dir.file("launcher.log"));
    EXPECT_NE(std::string::npos, log.find("component ParluneTest0 created (10 Hz)")) << log;
    p.signal(SIGTERM);
    ASSERT_TRUE(p.wait());
    EXPECT_TRUE(p.exitedWith(0));
    EXPECT_EQ("", p.out());
    EXPECT_EQ("", p.err());
}
#endif

}  // namespace
