#pragma once

#include <omniORB4/CORBA.h>

#include <omniORB4/Naming.hh>
#include <string>
#include <vector>

#include <corbakit/NamingPath.h>

namespace rtctl {

// Looks components up in one naming service.
class NamingBrowser {
  public:
    struct Entry {
        // Path from the root, e.g. "host.host_cxt/Name0.rtc".
        std::string path;
        CORBA::Object_var object;
    };

    // Throws ToolError when no naming service answers at `address` ("host:port").
    NamingBrowser(CORBA::ORB_ptr orb, const std::string& address);

    const std::string& address() const;
    // Every binding of kind "rtc" below the root, sorted by path.
    std::vector<Entry> components();
    // The component `path` names; its form decides where to look (see
    // corbakit::NamingPath). Throws ToolError when there is none or several.
    Entry find(const corbakit::NamingPath& path);

  private:
    // Nil when nothing is bound under `segments`.
    CORBA::Object_ptr resolve(const std::vector<std::string>& segments);
    void walk(CosNaming::NamingContext_ptr context, const std::string& prefix, int depth,
              std::vector<Entry>& out);

    std::string m_address;
    CosNaming::NamingContext_var m_root;
};

}  // namespace rtctl
