#include "PreStartActions.h"

#include <coil/stringutil.h>
#include <rtm/PeriodicExecutionContext.h>

#include <vector>

namespace RTC {

namespace {

std::string portKey(const std::string& key) {
    return key.find('.') == std::string::npos ? "dataport." + key : key;
}

}  // namespace

PreStartActions::PreStartActions(Manager& manager, Manager::Observer* remote)
    : m_manager(manager), m_remote(remote), rtclog("manager") {}

void PreStartActions::precreate(const std::string& list) {
    for (const std::string& args : coil::split(list, ",", true)) {
        if (m_manager.createComponent(args.c_str()) == nullptr)
            RTC_ERROR(("precreate of %s failed", args.c_str()));
    }
}

bool PreStartActions::parseConnection(const std::string& entry, std::string& out_port,
                                      std::string& in_port, coil::Properties& prop) {
    out_port.clear();
    in_port.clear();
    const auto q = entry.find('?');
    if (q != std::string::npos) {
        out_port = entry.substr(0, q);
        for (const std::string& kv : coil::split(entry.substr(q + 1), "&", true)) {
            const auto eq = kv.find('=');
            const std::string key = kv.substr(0, eq);
            const std::string val = eq == std::string::npos ? "" : kv.substr(eq + 1);
            if (key == "port") {
                in_port = val;
            } else {
                prop.setProperty(portKey(key), val);
            }
        }
    } else {
        const auto paren = entry.find('(');
        std::string ports = entry.substr(0, paren);
        if (paren != std::string::npos) {
            std::string opts = entry.substr(paren + 1);
            if (!opts.empty() && opts.back() == ')') opts.pop_back();
            for (const std::string& kv : coil::split(opts, ",", true)) {
                const auto eq = kv.find('=');
                prop.setProperty(portKey(kv.substr(0, eq)),
                                 eq == std::string::npos ? "" : kv.substr(eq + 1));
            }
        }
        // Split at the ':' that separates two port names (rtcname:// targets contain ':' too).
        const auto colon = ports.find(':', ports.find('.'));
        out_port = coil::eraseBothEndsBlank(ports.substr(0, colon));
        in_port =
            colon == std::string::npos ? "" : coil::eraseBothEndsBlank(ports.substr(colon + 1));
    }
    return !out_port.empty() && !in_port.empty();
}

void PreStartActions::preconnect(const std::string& list) {
    for (const std::string& item : coil::split(list, ",", true)) {
        std::string out_port, in_port;
        coil::Properties prop;
        if (!parseConnection(item, out_port, in_port, prop)) {
            RTC_ERROR(("preconnect entry '%s' names no pair of ports", item.c_str()));
            continue;
        }
        if (m_manager.connectPorts(out_port, in_port, prop) != RTC_OK) {
            RTC_ERROR(("preconnect %s -> %s failed", out_port.c_str(), in_port.c_str()));
        }
    }
}

void PreStartActions::preactivate(const std::string& list) {
    for (const std::string& name : coil::split(list, ",", true)) {
        if (name.find("://") != std::string::npos) {
            if (m_remote == nullptr || !m_remote->activateRemote(name))
                RTC_ERROR(("preactivation of %s failed", name.c_str()));
            continue;
        }
        RTObject_impl* comp = m_manager.getComponent(name.c_str());
        if (comp == nullptr || comp->getOwnedExecutionContext() == nullptr) {
            RTC_ERROR(("preactivation: no component %s", name.c_str()));
            continue;
        }
        ReturnCode_t r = comp->getOwnedExecutionContext()->activate_component();
        if (r != RTC_OK)
            RTC_ERROR(("preactivation of %s failed (%d)", name.c_str(), static_cast<int>(r)));
    }
}

}  // namespace RTC
