// Hosts made for one test: each a network namespace with its own host name,
// joined by a bridge in a namespace of its own. Host i (1-based) has the
// address 10.77.0.i/24 on its interface eth0; the addresses exist only
// inside the lab, and everything is removed with the lab. Making a lab
// needs root (CI runs as root); ok() tells why it could not be made.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

class NetLab {
  public:
    explicit NetLab(int hosts);
    // Removes the namespaces; programs started in them must have ended.
    ~NetLab();
    NetLab(const NetLab&) = delete;
    NetLab& operator=(const NetLab&) = delete;

    bool ok() const { return m_ok; }
    const std::string& why() const { return m_why; }

    std::string address(int host) const;
    std::string hostName(int host) const;
    // argv that runs `argv` on the host, under the host's own name.
    std::vector<std::string> on(int host, const std::vector<std::string>& argv) const;
    // The same under another host name (two hosts may share one).
    std::vector<std::string> on(int host, const std::vector<std::string>& argv,
                                const std::string& host_name) const;
    // Takes the host's interface down or up again (its cable pulled, plugged).
    bool linkDown(int host) const;
    bool linkUp(int host) const;

  private:
    std::string ns(int host) const;
    bool ip(const std::string& args, std::string& error) const;

    bool m_ok = false;
    std::string m_why;
    std::string m_prefix;
    int m_hosts = 0;
    bool m_bridge = false;
};

}  // namespace testsupport
