#pragma once

#include <omniORB4/CORBA.h>

#include <string>
#include <vector>

// The program's one ORB. Anything it serves listens on 127.0.0.1 only.
class OrbSession {
  public:
    // `options` are extra "-ORB..." arguments from the command line.
    explicit OrbSession(const std::vector<std::string>& options);
    ~OrbSession();
    OrbSession(const OrbSession&) = delete;
    OrbSession& operator=(const OrbSession&) = delete;

    CORBA::ORB_ptr orb() const;
    // The root POA, with its manager active (starts the listener).
    PortableServer::POA_ptr rootPoa();

  private:
    CORBA::ORB_var m_orb;
    PortableServer::POA_var m_poa;
};
