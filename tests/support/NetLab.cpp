#include "NetLab.h"

#include <unistd.h>

#include <atomic>
#include <sstream>

#include "Process.h"

namespace testsupport {

namespace {

// Runs ip with the words of args; its status and the first line it printed.
int runIp(const std::string& args, std::string& output) {
    std::vector<std::string> argv = {"ip"};
    std::istringstream words(args);
    for (std::string word; words >> word;) argv.push_back(word);
    const RunResult r = run(argv);
    const std::vector<std::string> lines = splitLines(r.out + r.err);
    output = lines.empty() ? "" : lines.front();
    return r.status;
}

}  // namespace

NetLab::NetLab(int hosts) {
    if (geteuid() != 0) {
        m_why = "network namespaces need root; the lab tests run as root in CI";
        return;
    }
    std::string out;
    if (runIp("-V", out) != 0) {
        m_why = "the ip command (iproute2) is not installed";
        return;
    }
    static std::atomic<int> counter{0};
    m_prefix = "parlune" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    std::string error;
    if (!ip("netns add " + ns(0), error)) {
        m_why = "cannot make a network namespace (" + error + ")";
        return;
    }
    m_bridge = true;
    bool made = ip("-n " + ns(0) + " link add br0 type bridge", error) &&
                ip("-n " + ns(0) + " link set br0 up", error);
    for (int i = 1; made && i <= hosts; ++i) {
        const std::string h = ns(i), port = "p" + std::to_string(i);
        made = ip("netns add " + h, error);
        if (made) m_hosts = i;
        made = made &&
               ip("-n " + ns(0) + " link add " + port + " type veth peer name eth0 netns " + h,
                  error) &&
               ip("-n " + ns(0) + " link set " + port + " master br0 up", error) &&
               ip("-n " + h + " addr add " + address(i) + "/24 dev eth0", error) &&
               ip("-n " + h + " link set eth0 up", error) &&
               ip("-n " + h + " link set lo up", error);
    }
    if (!made) {
        m_why = "cannot set up the lab's network (" + error + ")";
        return;
    }
    m_ok = true;
}

NetLab::~NetLab() {
    std::string error;
    for (int i = m_hosts; i >= 1; --i) ip("netns del " + ns(i), error);
    if (m_bridge) ip("netns del " + ns(0), error);
}

std::string NetLab::ns(int host) const {
    return m_prefix + (host == 0 ? "-br" : "-h" + std::to_string(host));
}

bool NetLab::ip(const std::string& args, std::string& error) const {
    std::string out;
    if (runIp(args, out) == 0) return true;
    error = "ip " + args + ": " + out;
    return false;
}

std::string NetLab::address(int host) const { return "10.77.0." + std::to_string(host); }

std::string NetLab::hostName(int host) const { return "labhost" + std::to_string(host); }

std::vector<std::string> NetLab::on(int host, const std::vector<std::string>& argv) const {
    return on(host, argv, hostName(host));
}

std::vector<std::string> NetLab::on(int host, const std::vector<std::string>& argv,
                                    const std::string& host_name) const {
    // ip and unshare replace themselves with the program: its pid stays the one started.
    std::vector<std::string> full = {"ip",      "netns",   "exec",
                                     ns(host),  "unshare", "--uts",
                                     "/bin/sh", "-c",      "hostname \"$0\" && exec \"$@\"",
                                     host_name};
    full.insert(full.end(), argv.begin(), argv.end());
    return full;
}

bool NetLab::linkDown(int host) const {
    std::string error;
    return ip("-n " + ns(host) + " link set eth0 down", error);
}

bool NetLab::linkUp(int host) const {
    std::string error;
    return ip("-n " + ns(host) + " link set eth0 up", error);
}

}  // namespace testsupport
