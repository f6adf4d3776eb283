// rtctl's command line: every mistake is one line on standard error and exit
// status 2, found before anything is contacted; and an unreachable naming
// service is one line and exit status 1.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/Process.h"

namespace {
using testsupport::RunResult;

RunResult rtctl(std::vector<std::string> args) {
    args.insert(args.begin(), RTCTL_PATH);
    return testsupport::run(args);
}

// A loopback port with nothing listening on it.
int deadPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    socklen_t len = sizeof(addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

void expectUsageError(const std::vector<std::string>& args, const std::string& fragment) {
    // A naming service that does not exist: a usage error must win over it.
    std::vector<std::string> all = {"-n", "127.0.0.1:" + std::to_string(deadPort())};
    all.insert(all.end(), args.begin(), args.end());
    RunResult run = rtctl(all);
    std::string shown;
    for (const std::string& arg : args) shown += " [" + arg + "]";
    EXPECT_EQ(run.status, 2) << shown << "\n" << run.err;
    EXPECT_EQ(run.out, "") << shown;
    ASSERT_EQ(run.errLines().size(), 1u) << shown << "\n" << run.err;
    EXPECT_EQ(run.err.rfind("rtctl: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(fragment), std::string::npos) << shown << "\n" << run.err;
}
}  // namespace

TEST(RtctlCommandLine, HelpGoesToStandardOutput) {
    for (const char* flag : {"-h", "--help"}) {
        RunResult run = rtctl({flag});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind("usage: rtctl", 0), 0u);
        EXPECT_NE(run.out.find("inject"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }
}

TEST(RtctlCommandLine, MissingOrUnknownCommand) {
    expectUsageError({}, "no command given");
    expectUsageError({"frobnicate"}, "unknown command 'frobnicate'");
    expectUsageError({"--verbose", "ls"}, "unknown option '--verbose'");
    expectUsageError({"-ORBtraceLevel"}, "needs a value");
    expectUsageError({"-ORBnoSuchOption", "1", "ls"}, "the ORB rejected the -ORB options");
}

TEST(RtctlCommandLine, BadNamingServiceAddress) {
    for (const char* address : {":2809", "host:", "host:0", "host:65536", "host:12x", "a b:2809"}) {
        RunResult run = rtctl({"-n", address, "ls"});
        EXPECT_EQ(run.status, 2) << address;
        EXPECT_EQ(run.errLines().size(), 1u) << address;
    }
    RunResult missing = rtctl({"ls", "-n"});
    EXPECT_EQ(missing.status, 2);
    expectUsageError({"-n"}, "needs a value");
}

TEST(RtctlCommandLine, WrongNumberOfOperands) {
    expectUsageError({"ls", "extra"}, "unexpected operand 'extra'");
    expectUsageError({"state"}, "missing operand");
    expectUsageError({"activate", "A0", "B0"}, "unexpected operand 'B0'");
    expectUsageError({"connect", "A0.out"}, "missing operand");
    expectUsageError({"connect", "A0.out", "B0.in", "C0.in"}, "unexpected operand");
    expectUsageError({"disconnect"}, "missing operand");
    expectUsageError({"inject", "A0.in"}, "missing operand");
    expectUsageError({"print"}, "missing operand");
    expectUsageError({"conf"}, "missing operand");
    expectUsageError({"conf", "A0", "get"}, "missing operand");
    expectUsageError({"conf", "A0", "set", "speed"}, "missing operand");
    expectUsageError({"conf", "A0", "get", "speed", "more"}, "unexpected operand");
    expectUsageError({"conf", "A0", "frob", "speed"}, "unknown action 'frob'");
}

TEST(RtctlCommandLine, BadOptionValues) {
    expectUsageError({"print", "A0.out", "-n", "0"}, "positive whole number");
    expectUsageError({"print", "A0.out", "-n", "ten"}, "positive whole number");
    expectUsageError({"print", "A0.out", "-n", "-3"}, "positive whole number");
    expectUsageError({"print", "A0.out", "-t", "99999999999"}, "positive whole number");
    expectUsageError({"print", "A0.out", "-x"}, "unknown option '-x'");
    expectUsageError({"ls", "-n", "5"}, "unknown option '-n'");
    expectUsageError({"inject", "-w", "soon", "A0.in", "text"}, "number of seconds");
    expectUsageError({"inject", "-w", "-1", "A0.in", "text"}, "number of seconds");
    expectUsageError({"inject", "--force", "A0.in", "text"}, "unknown option '--force'");
    expectUsageError({"connect", "A0.out", "B0.in", "-p", "novalue"}, "not KEY=VALUE");
    expectUsageError({"connect", "A0.out", "B0.in", "-p", "=x"}, "not KEY=VALUE");
    expectUsageError({"connect", "A0.out", "B0.in", "--name"}, "needs a value");
}

TEST(RtctlCommandLine, MalformedNames) {
    expectUsageError({"state", ""}, "names no component");
    expectUsageError({"state", "/"}, "names no component");
    expectUsageError({"state", "/127.0.0.1:2809"}, "names no component after the naming service");
    expectUsageError({"state", "/127.0.0.1:2809/"}, "names no component after the naming service");
    expectUsageError({"state", "ctx//A0.rtc"}, "empty path element");
    expectUsageError({"state", "/127.0.0.1:99999/A0.rtc"}, "invalid port");
    expectUsageError({"state", "A0."}, "not a valid component name");
    expectUsageError({"connect", "A0", "B0.in"}, "names no port");
    expectUsageError({"connect", "A0.out", "B0."}, "empty port name");
    expectUsageError({"print", ".out"}, "names no component");
    expectUsageError({"inject", "host.host_cxt/A0.rtc:", "x"}, "empty port name");
    expectUsageError({"disconnect", "A0.out", "B0."}, "empty port name");
}

TEST(RtctlNoNaming, EveryCommandReportsTheUnreachableService) {
    const std::string address = "127.0.0.1:" + std::to_string(deadPort());
    const std::vector<std::vector<std::string>> commands = {
        {"ls"},
        {"ls", "-l"},
        {"state", "A0"},
        {"activate", "A0"},
        {"connect", "A0.out", "B0.in"},
        {"disconnect", "A0.out"},
        {"conf", "A0", "set", "speed", "1"},
        {"inject", "A0.in", "hello"},
        {"print", "A0.out", "-n", "1"},
    };
    for (const std::vector<std::string>& command : commands) {
        std::vector<std::string> args = {"-n", address};
        args.insert(args.end(), command.begin(), command.end());
        RunResult run = rtctl(args);
        EXPECT_EQ(run.status, 1) << command[0] << "\n" << run.err;
        EXPECT_EQ(run.out, "") << command[0];
        ASSERT_EQ(run.errLines().size(), 1u) << command[0] << "\n" << run.err;
        EXPECT_EQ(
            run.errLines()[0].rfind("rtctl: naming service at " + address + " is not reachable", 0),
            0u)
            << run.err;
    }
}

TEST(RtctlNoNaming, AbsolutePathNamesItsOwnService) {
    const std::string address = "127.0.0.1:" + std::to_string(deadPort());
    // -n points elsewhere (also dead); the path's own service is the one reported.
    RunResult run = rtctl({"-n", "127.0.0.1:" + std::to_string(deadPort()), "state",
                           "/" + address + "/x.host_cxt/A0.rtc"});
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.errLines().size(), 1u) << run.err;
    EXPECT_NE(run.err.find("naming service at " + address + " is not reachable"), std::string::npos)
        << run.err;
    RunResult local = rtctl({"-n", "127.0.0.1:" + std::to_string(deadPort()), "state",
                             "/localhost:" + address.substr(10) + "/A0"});
    EXPECT_EQ(local.status, 1);
    EXPECT_NE(local.err.find("naming service at " + address + " is not reachable"),
              std::string::npos)
        << local.err;
}
