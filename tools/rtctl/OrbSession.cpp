#include "OrbSession.h"

#include "ToolError.h"

OrbSession::OrbSession(const std::vector<std::string>& options) {
    std::vector<std::string> args = {
        "rtctl",
        "-ORBendPoint",
        "giop:tcp:127.0.0.1:",
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
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    int argc = static_cast<int>(args.size());
    try {
        m_orb = CORBA::ORB_init(argc, argv.data());
    } catch (const CORBA::INITIALIZE&) {
        throw ToolError("the ORB rejected the -ORB options given", ToolError::kUsage);
    }
}

OrbSession::~OrbSession() {
    try {
        m_orb->destroy();
    } catch (const CORBA::Exception&) {
        // Nothing useful is left to do at exit.
    }
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
