#include "PreStartActions.h"

#include <coil/stringutil.h>
#include <rtm/PeriodicExecutionContext.h>

#include <cctype>
#include <vector>

namespace RTC {

namespace {

std::string portKey(const std::string& key) {
    return key.find('.') == std::string::npos ? "dataport." + key : key;
}

}  // namespace

PreStartActions::PreStartActions(Manager& manager, NetworkLayer* remote)
    : m_manager(manager), m_remote(remote), rtclog("manager") {}

void PreStartActions::precreate(const std::string& list) {
    for (const std::string& args : listEntries(list)) {
        if (m_manager.createComponent(args.c_str()) == nullptr)
            RTC_ERROR(("precreate of %s failed", args.c_str()));
    }
}

std::vector<std::string> PreStartActions::listEntries(const std::string& list) {
    // Commas inside parentheses separate an entry's options, not entries.
    std::vector<std::string> entries;
    int depth = 0;
    std::string::size_type start = 0;
    for (std::string::size_type i = 0; i <= list.size(); ++i) {
        const char c = i < list.size() ? list[i] : ',';
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if (c != ',' || (depth > 0 && i < list.size())) continue;
        const std::string entry = coil::eraseBothEndsBlank(list.substr(start, i - start));
        if (!entry.empty()) entries.push_back(entry);
        start = i + 1;
        depth = 0;
    }
    return entries;
}

std::string::size_type PreStartActions::pairSeparator(const std::string& ports) {
    // From the first '.', past the ':' of "rtcname://" and of a naming
    // service's "host:port/", both of which a remote port name may hold.
    const auto dot = ports.find('.');
    if (dot == std::string::npos) return std::string::npos;
    for (auto c = ports.find(':', dot); c != std::string::npos; c = ports.find(':', c + 1)) {
        if (ports.compare(c, 3, "://") == 0) continue;
        auto d = c + 1;
        while (d < ports.size() && std::isdigit(static_cast<unsigned char>(ports[d]))) ++d;
        const bool port_number = d > c + 1 && d < ports.size() && ports[d] == '/';
        // A naming service's host follows "//" or the name's leading '/'.
        const auto slash = ports.rfind('/', c);
        const bool server = slash != std::string::npos && (slash == 0 || ports[slash - 1] == '/');
        if (port_number && server) continue;
        return c;
    }
    return std::string::npos;
}

bool PreStartActions::parseConnection(const std::string& entry, std::string& out_port,
                                      std::string& in_port, coil::Properties& prop) {
    out_port.clear();
    in_port.clear();
    auto option = [&prop](const std::string& kv, std::string* port) {
        const auto eq = kv.find('=');
        const std::string key = coil::eraseBothEndsBlank(kv.substr(0, eq));
        const std::string val =
            eq == std::string::npos ? "" : coil::eraseBothEndsBlank(kv.substr(eq + 1));
        if (key.empty()) return;
        if (port != nullptr && key == "port") {
            *port = val;
        } else {
            prop.setProperty(portKey(key), val);
        }
    };
    const auto q = entry.find('?');
    if (q != std::string::npos) {
        out_port = coil::eraseBothEndsBlank(entry.substr(0, q));
        for (const std::string& kv : coil::split(entry.substr(q + 1), "&", true))
            option(kv, &in_port);
    } else {
        const auto paren = entry.find('(');
        std::string ports = entry.substr(0, paren);
        if (paren != std::string::npos) {
            std::string opts = entry.substr(paren + 1);
            if (!opts.empty() && opts.back() == ')') opts.pop_back();
            for (const std::string& kv : coil::split(opts, ",", true)) option(kv, nullptr);
        }
        const auto colon = pairSeparator(ports);
        out_port = coil::eraseBothEndsBlank(ports.substr(0, colon));
        in_port =
            colon == std::string::npos ? "" : coil::eraseBothEndsBlank(ports.substr(colon + 1));
    }
    return !out_port.empty() && !in_port.empty();
}

void PreStartActions::preconnect(const std::string& list) {
    for (const std::string& item : listEntries(list)) {
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
    for (const std::string& name : listEntries(list)) {
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
