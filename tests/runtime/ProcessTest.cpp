// The manager seen from outside: a program's output, its error stream and
// how it ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>

#include "support/Process.h"
#include "support/TempDir.h"

using testsupport::Process;
using testsupport::TempDir;

namespace {

const std::string kQuiet = "logger.enable:NO";

struct ProbeRun {
    TempDir dir;
    std::unique_ptr<Process> p;
    std::string out;
    // Starts the probe, waits until it is ready, stops it with SIGINT.
    void run(std::vector<std::string> args, std::vector<std::string> env = {}) {
        args.insert(args.begin(), {PROBE, "-o", "naming.enable:NO"});
        p.reset(new Process(args, dir.path(), env));
        ASSERT_TRUE(p->started());
        ASSERT_TRUE(p->waitForOutput("ready")) << p->out() << p->err();
        p->signal(SIGINT);
        ASSERT_TRUE(p->wait());
        out = p->out();
    }
    std::string rate() {
        auto at = out.find("rate=");
        return at == std::string::npos ? "" : out.substr(at + 5, out.find('\n', at) - at - 5);
    }
};

TEST(ManagerProcess, SigtermAndSigintShutDownCleanly) {
    for (int sig : {SIGTERM, SIGINT}) {
        TempDir dir;
        Process p({PROBE, "-o", kQuiet, "-o", "naming.enable:NO"}, dir.path());
        ASSERT_TRUE(p.waitForOutput("ready"));
        p.signal(sig);
        ASSERT_TRUE(p.wait()) << "did not end after signal " << sig;
        EXPECT_TRUE(p.exitedWith(0)) << "status " << p.status();
        // The active component is deactivated, shut down, finalized and deleted, in that order.
        const std::string out = p.out();
        const auto at = out.find("ready");
        EXPECT_EQ("\nonDeactivated\nonShutdown\nonFinalize\ndeleted\nexit\n", out.substr(at + 5))
            << out;
        EXPECT_EQ("", p.err());
    }
}

TEST(ManagerProcess, AComponentExitingDuringShutdownIsDeletedBeforeTheProcessEnds) {
    // exit() from its own callback, and a shutdown request in the same cycle:
    // the deletion runs on the manager's thread, and shutdown waits for it.
    for (int run = 0; run < 5; ++run) {
        TempDir dir;
        Process p({PROBE, "-o", kQuiet, "-o", "naming.enable:NO"}, dir.path(),
                  {"PROBE_EXIT_IN_EXECUTE=1"});
        ASSERT_TRUE(p.wait()) << "run " << run << " did not end";
        EXPECT_TRUE(p.exitedWith(0)) << "run " << run << ", status " << p.status();
        const std::string out = p.out();
        const auto at = out.find("ready");
        ASSERT_NE(std::string::npos, at) << out;
        EXPECT_EQ("\nonDeactivated\nonShutdown\nonFinalize\ndeleted\nexit\n", out.substr(at + 5))
            << "run " << run << ": " << out;
        EXPECT_EQ("", p.err());
    }
}

TEST(ManagerProcess, ShutdownFinalizesInCreationOrder) {
    TempDir dir;
    // Probe0 comes from the module init, Probe1 and Probe2 from precreate.
    Process p({PROBE, "-o", kQuiet, "-o", "naming.enable:NO", "-o",
               "manager.components.precreate:Probe,Probe"},
              dir.path(), {"PROBE_NAMES=1"});
    ASSERT_TRUE(p.waitForOutput("ready"));
    p.signal(SIGINT);
    ASSERT_TRUE(p.wait());
    EXPECT_TRUE(p.exitedWith(0)) << "status " << p.status();
    const std::string out = p.out();
    const auto f0 = out.find("onFinalize Probe0"), f1 = out.find("onFinalize Probe1"),
               f2 = out.find("onFinalize Probe2");
    ASSERT_NE(std::string::npos, f0) << out;
    ASSERT_NE(std::string::npos, f1) << out;
    ASSERT_NE(std::string::npos, f2) << out;
    EXPECT_LT(f0, f1) << out;
    EXPECT_LT(f1, f2) << out;
    // Each is gone before the next one is finalized.
    EXPECT_LT(out.find("deleted Probe0"), f1) << out;
    EXPECT_LT(out.find("deleted Probe1"), f2) << out;
    EXPECT_EQ("", p.err());
}

TEST(ManagerProcess, RatePrecedence) {
    ProbeRun builtin;
    builtin.run({"-o", kQuiet});
    EXPECT_EQ("1000", builtin.rate());

    ProbeRun profile;
    profile.run({"-o", kQuiet}, {"PROBE_PROFILE_RATE=20"});
    EXPECT_EQ("20", profile.rate());

    ProbeRun option;
    option.run({"-o", kQuiet, "-o", "exec_cxt.periodic.rate:30"}, {"PROBE_PROFILE_RATE=20"});
    EXPECT_EQ("30", option.rate());

    ProbeRun conf;
    conf.dir.write("rtc.conf", "logger.enable: NO\nexec_cxt.periodic.rate: 40\n");
    conf.run({}, {"PROBE_PROFILE_RATE=20"});
    EXPECT_EQ("40", conf.rate());

    ProbeRun file;
    file.dir.write("probe.conf", "exec_cxt.periodic.rate: 50\n");
    file.run({"-o", kQuiet, "-o", "exec_cxt.periodic.rate:30", "-o",
              "Test.Probe.config_file:probe.conf"},
             {"PROBE_PROFILE_RATE=20"});
    EXPECT_EQ("50", file.rate());

    ProbeRun named;
    named.dir.write("other.conf", "logger.enable: NO\nexec_cxt.periodic.rate: 60\n");
    named.dir.write("rtc.conf", "exec_cxt.periodic.rate: 40\n");
    named.run({"-f", "other.conf"});
    EXPECT_EQ("60", named.rate());

    // Unusable values fall back to the next lower source.
    ProbeRun bad;
    bad.run({"-o", kQuiet, "-o", "exec_cxt.periodic.rate:fast"}, {"PROBE_PROFILE_RATE=-3"});
    EXPECT_EQ("1000", bad.rate());
}

TEST(ManagerProcess, BadArgumentsGetAMessageAndTheDefaults) {
    ProbeRun r;
    r.run({"-o", kQuiet, "-x", "stray", "-o", ":novalue", "-f", "missing.conf", "-o"});
    EXPECT_TRUE(r.p->exitedWith(0));
    const std::string err = r.p->err();
    EXPECT_NE(std::string::npos, err.find("unknown argument '-x'")) << err;
    EXPECT_NE(std::string::npos, err.find("unknown argument 'stray'")) << err;
    EXPECT_NE(std::string::npos, err.find("needs KEY:VALUE")) << err;
    EXPECT_NE(std::string::npos, err.find("cannot read configuration file 'missing.conf'")) << err;
    EXPECT_NE(std::string::npos, err.find("option -o needs a value")) << err;
    EXPECT_EQ("1000", r.rate());
}

TEST(ManagerProcess, HelpPrintsUsageAndExits) {
    TempDir dir;
    Process p({PROBE, "-h"}, dir.path());
    ASSERT_TRUE(p.wait());
    EXPECT_TRUE(p.exitedWith(0));
    EXPECT_NE(std::string::npos, p.out().find("-o KEY:VALUE"));
    EXPECT_EQ(std::string::npos, p.out().find("ready"));
}

TEST(ManagerProcess, LoggerWritesWhereConfigured) {
    ProbeRun r;
    r.run({"-o", "logger.file_name:probe-%p.log", "-o", "logger.log_level:INFO"});
    const std::string log =
        testsupport::readFile(r.dir.file("probe-" + std::to_string(r.p->pid()) + ".log"));
    EXPECT_NE(std::string::npos, log.find("INFO: Probe0: state INACTIVE -> ACTIVE")) << log;
    EXPECT_NE(std::string::npos, log.find("INFO: manager: shutdown complete")) << log;

    ProbeRun quiet;
    quiet.run({"-o", "logger.file_name:stderr", "-o", "logger.log_level:ERROR"});
    EXPECT_EQ("", quiet.p->err());

    ProbeRun loud;
    loud.run({"-o", "logger.file_name:stderr", "-o", "logger.log_level:PARANOID"});
    EXPECT_NE(std::string::npos, loud.p->err().find("component Probe0 created (1000 Hz)"));
}

TEST(ManagerProcess, PreloadPrecreatePreconnectPreactivate) {
    TempDir dir;
    dir.write(
        "rtc.conf",
        "logger.file_name: stdout\n"
        "naming.enable: NO\n"
        "manager.modules.preload: " SAMPLE_MODULE
        "\n"
        "manager.components.precreate: SampleEcho, SampleEcho\n"
        "manager.components.preconnect: SampleEcho0.out?port=SampleEcho1.in&dataflow_type=push\n"
        "manager.components.preactivation: SampleEcho0, SampleEcho1\n");
    Process p({PROBE}, dir.path());
    ASSERT_TRUE(p.waitForOutput("SampleEcho1: state INACTIVE -> ACTIVE")) << p.out() << p.err();
    ASSERT_TRUE(p.waitForOutput("SampleEcho0: state INACTIVE -> ACTIVE")) << p.out() << p.err();
    EXPECT_NE(std::string::npos, p.out().find("SampleEcho0: state INACTIVE -> ACTIVE"));
    EXPECT_EQ(std::string::npos, p.out().find("ERROR")) << p.out();
    p.signal(SIGTERM);
    ASSERT_TRUE(p.wait());
    EXPECT_TRUE(p.exitedWith(0));
}

TEST(ManagerProcess, SampleLauncherRunsAndStops) {
    TempDir dir;
    Process p({SAMPLE_LAUNCHER, "-o", "naming.enable:NO", "-o", "logger.file_name:stdout", "-o",
               "manager.components.preactivation:SampleEcho0"},
              dir.path());
    ASSERT_TRUE(p.waitForOutput("SampleEcho0: state INACTIVE -> ACTIVE")) << p.out() << p.err();
    p.signal(SIGINT);
    ASSERT_TRUE(p.wait());
    EXPECT_TRUE(p.exitedWith(0));
    EXPECT_NE(std::string::npos, p.out().find("SampleEcho0: deactivated after 0 strings"));
}

TEST(ManagerProcess, BrokenPreloadEntriesAreReportedNotFatal) {
    TempDir dir;
    dir.write("rtc.conf",
              "logger.file_name: stdout\n"
              "naming.enable: NO\n"
              "manager.modules.preload: nosuchmodule.so, " SAMPLE_MODULE
              "(NoSuchInit)\n"
              "manager.components.precreate: Unknown\n"
              "manager.components.preconnect: A0.out?port=B0.in, justone\n"
              "manager.components.preactivation: Nobody0\n");
    Process p({PROBE}, dir.path());
    // Preactivation is the last step of activation.
    ASSERT_TRUE(p.waitForOutput("preactivation: no component Nobody0")) << p.out() << p.err();
    const std::string out = p.out();
    EXPECT_NE(std::string::npos, out.find("cannot load module nosuchmodule.so"));
    EXPECT_NE(std::string::npos, out.find("has no function NoSuchInit"));
    EXPECT_NE(std::string::npos, out.find("precreate of Unknown failed"));
    EXPECT_NE(std::string::npos, out.find("preconnect A0.out -> B0.in failed"));
    EXPECT_NE(std::string::npos, out.find("names no pair of ports"));
    EXPECT_NE(std::string::npos, out.find("preactivation: no component Nobody0"));
    p.signal(SIGTERM);
    ASSERT_TRUE(p.wait());
    EXPECT_TRUE(p.exitedWith(0));
}

}  // namespace
