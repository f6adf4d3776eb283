#include "OrbSession.h"

#include <corbakit/TlsTransport.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "CommandLine.h"
#include "ToolError.h"

namespace rtctl {

OrbSession::OrbSession(const CommandLine& line) {
    std::vector<std::string> args = {
        "rtctl",
        "-ORBendPoint",
        line.endpoint(),
        // A dead host must not stall a command for minutes.
        "-ORBclientConnectTimeOutPeriod",
        "3000",
        // Activation replies take one execution period; leave room for slow rates.
        "-ORBclientCallTimeOutPeriod",
        "30000",
        // The ORB's own log lines only on request (-ORBtraceLevel N).
        "-ORBtraceLevel",
        "0",
    };
    // "all" listens everywhere; the callbacks need an address peers can reach.
    if (line.endpoint() == "giop:tcp::")
        args.insert(args.end(), {"-ORBendPointPublish", "all(addr)"});
    const std::vector<std::string> tls = tlsOptions(line);
    args.insert(args.end(), tls.begin(), tls.end());
    args.insert(args.end(), line.orbOptions().begin(), line.orbOptions().end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    int argc = static_cast<int>(args.size());
    try {
        m_orb = CORBA::ORB_init(argc, argv.data());
    } catch (const CORBA::INITIALIZE&) {
        throw ToolError("the ORB rejected the -ORB options or the endpoint given",
                        ToolError::kUsage);
    }
}

std::vector<std::string> OrbSession::tlsOptions(const CommandLine& line) {
    if (!line.tls()) return {};
    std::string why;
    if (!corbakit::TlsTransport::checkFiles(line.caFile(), line.keyFile(), why) ||
        (!line.certFile().empty() && access(line.certFile().c_str(), R_OK) != 0)) {
        throw ToolError(why.empty() ? "cannot read " + line.certFile() : why, ToolError::kUsage);
    }
    if (!corbakit::TlsTransport::load(why)) throw ToolError(why, ToolError::kFailure);
    std::string key = line.keyFile();
    if (!line.certFile().empty() && line.certFile() != key) {
        // The transport reads the key and its certificate from one file.
        char name[] = "/tmp/rtctl-key-XXXXXX";
        const int fd = mkstemp(name);  // mode 0600
        if (fd < 0) throw ToolError("cannot make a temporary key file", ToolError::kFailure);
        close(fd);
        m_joinedKey = name;
        std::ofstream out(m_joinedKey);
        out << std::ifstream(line.keyFile()).rdbuf() << "\n"
            << std::ifstream(line.certFile()).rdbuf();
        if (!out) throw ToolError("cannot write " + m_joinedKey, ToolError::kFailure);
        key = m_joinedKey;
    }
    return corbakit::TlsTransport::orbArgs(line.caFile(), key, line.keyPassword());
}

OrbSession::~OrbSession() {
    try {
        if (!CORBA::is_nil(m_orb)) m_orb->destroy();
    } catch (const CORBA::Exception&) {
        // Nothing useful is left to do at exit.
    }
    if (!m_joinedKey.empty()) unlink(m_joinedKey.c_str());
}

CORBA::ORB_ptr OrbSession::orb() const { return m_orb.in(); }

PortableServer::POA_ptr OrbSession::rootPoa() {
    if (CORBA::is_nil(m_poa)) {
        CORBA::Object_var object = m_orb->resolve_initial_references("RootPOA");
        m_poa = PortableServer::POA::_narrow(object);
        PortableServer::POAManager_var manager = m_poa->the_POAManager();
        manager->activate();
    }
    return m_poa.in();
}

}  // namespace rtctl
