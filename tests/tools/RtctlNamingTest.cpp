// rtctl against a private naming service (run under tests/support/with-naming)
// holding entries that are not working components: missing, stale, not a
// component at all, or ambiguous. Every case is one clear line, never a crash.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <omniORB4/CORBA.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <omniORB4/Naming.hh>

#include "support/Process.h"

namespace {
using testsupport::RunResult;

std::string namingAddress() {
    const char* address = std::getenv("PARLUNE_NAMING");
    return address != nullptr ? address : "";
}

int deadPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    socklen_t len = sizeof(addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

std::string hostName() {
    char buffer[256] = {};
    gethostname(buffer, sizeof(buffer) - 1);
    return buffer;
}

CosNaming::Name name(const std::vector<std::pair<std::string, std::string>>& parts) {
    CosNaming::Name n;
    n.length(static_cast<CORBA::ULong>(parts.size()));
    for (CORBA::ULong i = 0; i < n.length(); ++i) {
        n[i].id = CORBA::string_dup(parts[i].first.c_str());
        n[i].kind = CORBA::string_dup(parts[i].second.c_str());
    }
    return n;
}

class RtctlNaming : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        int argc = 1;
        char arg0[] = "rtctl_tests";
        char* argv[] = {arg0, nullptr};
        s_orb = CORBA::ORB_init(argc, argv);
    }

    static void TearDownTestSuite() {
        s_orb->destroy();
        s_orb = CORBA::ORB::_nil();
    }

    void SetUp() override {
        m_address = namingAddress();
        ASSERT_FALSE(m_address.empty()) << "run this under tests/support/with-naming";
        CORBA::Object_var object =
            s_orb->string_to_object(("corbaloc:iiop:" + m_address + "/NameService").c_str());
        m_root = CosNaming::NamingContext::_narrow(object);
        ASSERT_FALSE(CORBA::is_nil(m_root));
        clear(m_root);
    }

    // Leaves the service empty for the next test.
    static void clear(CosNaming::NamingContext_ptr context) {
        CosNaming::BindingList_var list;
        CosNaming::BindingIterator_var rest;
        context->list(1000, list.out(), rest.out());
        for (CORBA::ULong i = 0; i < list->length(); ++i) {
            if (list[i].binding_type == CosNaming::ncontext) {
                CORBA::Object_var object = context->resolve(list[i].binding_name);
                CosNaming::NamingContext_var child = CosNaming::NamingContext::_narrow(object);
                clear(child);
                context->unbind(list[i].binding_name);
                child->destroy();
            } else {
                context->unbind(list[i].binding_name);
            }
        }
    }

    // A context under the root, created when missing.
    CosNaming::NamingContext_var context(const std::string& id, const std::string& kind) {
        CosNaming::Name n = name({{id, kind}});
        try {
            CORBA::Object_var object = m_root->resolve(n);
            return CosNaming::NamingContext::_narrow(object);
        } catch (const CosNaming::NamingContext::NotFound&) {
            return m_root->bind_new_context(n);
        }
    }

    // An object reference whose server is not running, as a stale entry left
    // behind by a process that was killed.
    void bindStale(const std::string& contextId, const std::string& id) {
        std::string location = "corbaloc:iiop:127.0.0.1:" + std::to_string(deadPort()) + "/gone";
        CORBA::Object_var object = s_orb->string_to_object(location.c_str());
        context(contextId, "host_cxt")->rebind(name({{id, "rtc"}}), object);
    }

    RunResult rtctl(std::vector<std::string> args) {
        args.insert(args.begin(), {RTCTL_PATH, "-n", m_address});
        return testsupport::run(args);
    }

    void expectFailure(const std::vector<std::string>& args, const std::string& fragment) {
        RunResult run = rtctl(args);
        EXPECT_EQ(run.signal, 0) << run.err;
        EXPECT_EQ(run.status, 1) << args[0] << "\n" << run.err;
        EXPECT_EQ(run.out, "") << args[0];
        ASSERT_EQ(run.errLines().size(), 1u) << args[0] << "\n" << run.err;
        EXPECT_EQ(run.err.rfind("rtctl: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(fragment), std::string::npos) << args[0] << "\n" << run.err;
    }

    static CORBA::ORB_var s_orb;
    std::string m_address;
    CosNaming::NamingContext_var m_root;
};

CORBA::ORB_var RtctlNaming::s_orb;
}  // namespace

TEST_F(RtctlNaming, EmptyServiceListsNothing) {
    for (const char* flag : {"", "-l"}) {
        RunResult run = std::string(flag).empty() ? rtctl({"ls"}) : rtctl({"ls", flag});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(RtctlNaming, UnknownComponentIsNamedInTheError) {
    expectFailure({"state", "Missing0"},
                  "no component 'Missing0' in the naming service at " + m_address);
    expectFailure({"activate", hostName() + ".host_cxt/Missing0.rtc"}, "no component");
    expectFailure({"connect", "Missing0.out", "Other0.in"}, "no component 'Missing0'");
    expectFailure({"inject", "Missing0.in", "hello"}, "no component 'Missing0'");
    expectFailure({"print", "Missing0.out", "-n", "1"}, "no component 'Missing0'");
    expectFailure({"conf", "Missing0"}, "no component 'Missing0'");
    expectFailure({"disconnect", "Missing0.out", "0123-abcd"}, "no component 'Missing0'");
}

TEST_F(RtctlNaming, StaleEntriesAreListedAndReportedUnreachable) {
    bindStale(hostName(), "Dead0");
    RunResult names = rtctl({"ls"});
    EXPECT_EQ(names.status, 0) << names.err;
    EXPECT_EQ(names.out, hostName() + ".host_cxt/Dead0.rtc\n");

    RunResult details = rtctl({"ls", "-l"});
    EXPECT_EQ(details.status, 0) << details.err;
    EXPECT_EQ(details.out.rfind(hostName() + ".host_cxt/Dead0.rtc  (is not reachable", 0), 0u)
        << details.out;
    EXPECT_EQ(details.err, "");

    expectFailure({"state", "Dead0"}, "component 'Dead0' is not reachable");
    expectFailure({"deactivate", "Dead0"}, "is not reachable");
    expectFailure({"conf", "Dead0", "get", "speed"}, "is not reachable");
    expectFailure({"connect", "Dead0.out", "Dead0.in"}, "is not reachable");
    expectFailure({"inject", "Dead0.in", "hello"}, "is not reachable");
    expectFailure({"print", "Dead0.out"}, "is not reachable");
}

TEST_F(RtctlNaming, EntryThatIsNoComponent) {
    // A naming context bound where a component is expected.
    context(hostName(), "host_cxt")->bind_new_context(name({{"Odd0", "rtc"}}));
    expectFailure({"state", "Odd0"}, "'Odd0' is not an RT component");
    expectFailure({"inject", "Odd0.in", "x"}, "is not an RT component");
}

TEST_F(RtctlNaming, BareNameFoundOnceAnywhereOrReportedAmbiguous) {
    bindStale("elsewhere", "Far0");
    // Found under another host's context: the failure is about reaching it.
    expectFailure({"state", "Far0"}, "component 'Far0' is not reachable");

    bindStale("first", "Dup0");
    bindStale("second", "Dup0");
    expectFailure({"state", "Dup0"},
                  "ambiguous; give one of: first.host_cxt/Dup0.rtc, second.host_cxt/Dup0.rtc");
    // A path picks one.
    expectFailure({"state", "second.host_cxt/Dup0.rtc"}, "is not reachable");
    expectFailure({"state", "second.host_cxt/Dup0"}, "is not reachable");
    expectFailure({"state", "/" + m_address + "/first.host_cxt/Dup0.rtc"}, "is not reachable");
    expectFailure({"state", "third.host_cxt/Dup0.rtc"}, "no component 'third.host_cxt/Dup0.rtc'");
}

TEST_F(RtctlNaming, HostContextOfThisMachineComesFirst) {
    bindStale("elsewhere", "Both0");
    // The local one is chosen without an ambiguity error.
    context(hostName(), "host_cxt")->bind_new_context(name({{"Both0", "rtc"}}));
    expectFailure({"state", "Both0"}, "is not an RT component");
}
