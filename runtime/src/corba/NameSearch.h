// Looks for live components of a given instance name in a naming service,
// as the framework's instance numbering policies do: anywhere under the
// root ("ns_unique"), or only in one context such as this host's
// "<host>.host_cxt" ("node_unique"). Entries whose object no longer
// answers do not count.
#pragma once

#include <omniORB4/Naming.hh>

#include <string>

namespace RTC {
namespace corba {

class NameSearch {
  public:
    // context: "" for the whole tree, else one first-level context ("id.kind").
    static bool liveComponentNamed(CosNaming::NamingContext_ptr root, const std::string& name,
                                   const std::string& context);

  private:
    static bool search(CosNaming::NamingContext_ptr ctx, const std::string& name, int depth,
                       int& budget);
    static bool alive(CORBA::Object_ptr obj);
};

}  // namespace corba
}  // namespace RTC
