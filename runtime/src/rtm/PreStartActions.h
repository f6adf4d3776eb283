// What the configuration asks the manager to do before it runs:
// manager.components.precreate, .preconnect and .preactivation.
#pragma once

#include <coil/Properties.h>
#include <rtm/Manager.h>

#include <string>
#include <vector>

#include "NetworkLayer.h"

namespace RTC {

class PreStartActions {
  public:
    // remote: the network layer, for ports and components in other
    // processes (may be null).
    PreStartActions(Manager& manager, NetworkLayer* remote);

    // Each takes the comma separated list of its configuration key; an entry
    // that fails is logged and the next one runs.
    void precreate(const std::string& list);
    void preconnect(const std::string& list);
    void preactivate(const std::string& list);

    // The entries of a comma separated list, trimmed, empty ones left out.
    static std::vector<std::string> listEntries(const std::string& list);
    // "A0.out?port=B0.in&key=value" (current form) or
    // "A0.out:B0.in(key=value,...)" (older form); port names may be
    // rtcname:// paths. Names, keys and values are trimmed; keys without a
    // dot get the "dataport." prefix. False when the entry names no pair of
    // ports.
    static bool parseConnection(const std::string& entry, std::string& out_port,
                                std::string& in_port, coil::Properties& prop);
    // Where the older form "A0.out:B0.in" splits its two names; npos for none.
    static std::string::size_type pairSeparator(const std::string& ports);

  private:
    Manager& m_manager;
    NetworkLayer* m_remote;
    Logger rtclog;
};

}  // namespace RTC
