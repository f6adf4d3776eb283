#pragma once

#include <omniORB4/CORBA.h>

#include <string>
#include <vector>

namespace rtctl {

class CommandLine;

// The program's one ORB. What it serves listens where --endpoint says
// (127.0.0.1 by default); with --ca/--key it speaks TLS with that key.
class OrbSession {
  public:
    // Throws ToolError when TLS cannot be set up or the ORB refuses options.
    explicit OrbSession(const CommandLine& line);
    ~OrbSession();
    OrbSession(const OrbSession&) = delete;
    OrbSession& operator=(const OrbSession&) = delete;

    CORBA::ORB_ptr orb() const;
    // The root POA, with its manager active (starts the listener).
    PortableServer::POA_ptr rootPoa();

  private:
    std::vector<std::string> tlsOptions(const CommandLine& line);

    CORBA::ORB_var m_orb;
    PortableServer::POA_var m_poa;
    // Key and certificate joined into one file when given apart.
    std::string m_joinedKey;
};

}  // namespace rtctl
