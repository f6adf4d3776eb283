#include "IncomingGuard.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <omniORB4/CORBA.h>
#include <omniORB4/omniInterceptors.h>
#include <pthread.h>
#include <rtm/SystemLogger.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>
#include <set>
#include <vector>

namespace RTC {
namespace corba {

namespace {

// "giop:tcp:10.0.0.2:7000" -> "10.0.0.2:7000"; empty for a transport
// without a TCP socket of its own (unix).
std::string tcpPart(const char* address) {
    if (address == nullptr) return "";
    const std::string a(address);
    for (const char* prefix : {"giop:tcp:", "giop:ssl:"}) {
        const std::string p(prefix);
        if (a.compare(0, p.size(), p) == 0) return a.substr(p.size());
    }
    return "";
}

}  // namespace

// The interceptor is a plain function; it reaches the one guard.
struct IncomingGuardHooks {
    static CORBA::Boolean request(omni::omniInterceptors::serverReceiveRequest_T::info_T& info) {
        const std::string peer = tcpPart(info.peeraddress());
        if (!peer.empty()) IncomingGuard::instance().served(peer);
        return true;
    }
};

IncomingGuard& IncomingGuard::instance() {
    // Never destroyed: the ORB's threads may call the interceptor late.
    static IncomingGuard* guard = new IncomingGuard;
    return *guard;
}

void IncomingGuard::start(std::chrono::milliseconds limit) {
    static std::once_flag hooked;
    std::call_once(hooked, [] {
        omniORB::getInterceptors()->serverReceiveRequest.add(&IncomingGuardHooks::request);
    });
    IncomingGuard& g = instance();
    std::lock_guard<std::mutex> lock(g.m_mutex);
    g.m_limit = limit;
    if (g.m_running) return;
    g.m_running = true;
    g.m_stop = false;
    g.m_thread = std::thread(&IncomingGuard::run, &g);
}

void IncomingGuard::stop() {
    IncomingGuard& g = instance();
    std::thread ending;
    {
        std::lock_guard<std::mutex> lock(g.m_mutex);
        if (!g.m_running) return;
        g.m_stop = true;
        g.m_running = false;
        ending.swap(g.m_thread);
    }
    g.m_wake.notify_all();
    if (ending.joinable()) ending.join();
    std::lock_guard<std::mutex> lock(g.m_mutex);
    g.m_seen.clear();
    g.m_served.clear();
    g.m_fresh.clear();
}

void IncomingGuard::served(const std::string& peer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_running && m_fresh.size() < 4096) m_fresh.insert(peer);
}

void IncomingGuard::run() {
    pthread_setname_np(pthread_self(), "incoming-guard");
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        m_wake.wait_for(lock, std::chrono::seconds(1), [this] { return m_stop; });
        if (m_stop) return;
        const long long limit = static_cast<long long>(m_limit.count());
        lock.unlock();
        const int closed = scan(std::chrono::steady_clock::now());
        if (closed > 0) {
            Logger rtclog("manager");
            RTC_WARN(("closed %d incoming connection(s) that sent no whole request within %lld ms",
                      closed, limit));
        }
        lock.lock();
    }
}

int IncomingGuard::scan(std::chrono::steady_clock::time_point now) {
    // The ORB does not hand out its sockets: they are found by their ends.
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return 0;
    std::vector<int> sockets;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        struct stat st;
        if (end == entry->d_name || *end != '\0' || fd == dirfd(dir)) continue;
        if (fstat(int(fd), &st) == 0 && S_ISSOCK(st.st_mode)) sockets.push_back(int(fd));
    }
    closedir(dir);
    // Our listeners' ports; a connection to one of them came in.
    std::set<std::string> ports;
    for (int fd : sockets) {
        int listening = 0;
        socklen_t length = sizeof listening;
        if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0 || !listening)
            continue;
        const std::string mine = socketAddress(fd, false);
        if (!mine.empty()) ports.insert(mine.substr(mine.rfind(':')));
    }
    std::map<std::string, int> incoming;  // peer -> descriptor
    for (int fd : sockets) {
        const std::string mine = socketAddress(fd, false);
        if (mine.empty() || ports.count(mine.substr(mine.rfind(':'))) == 0) continue;
        const std::string peer = socketAddress(fd, true);
        if (!peer.empty()) incoming[peer] = fd;
    }
    std::vector<std::pair<int, std::string>> overdue;  // descriptor, peer
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::map<std::string, std::chrono::steady_clock::time_point> seen;
        // Served since the last look (perhaps after the sockets were listed).
        std::set<std::string> served;
        served.swap(m_fresh);
        for (const auto& connection : incoming) {
            const std::string& peer = connection.first;
            if (m_served.count(peer) != 0 || served.count(peer) != 0) {
                served.insert(peer);
                continue;
            }
            const auto first = m_seen.find(peer);
            const auto since = first == m_seen.end() ? now : first->second;
            if (now - since >= m_limit) {
                overdue.emplace_back(connection.second, peer);
            } else {
                seen[peer] = since;
            }
        }
        // What is gone is forgotten.
        m_seen.swap(seen);
        m_served.swap(served);
    }
    int closed = 0;
    for (const auto& [fd, peer] : overdue) {
        // The ORB may have closed it since and the number been taken again.
        if (socketAddress(fd, true) != peer) continue;
        if (::shutdown(fd, SHUT_RDWR) == 0) ++closed;
    }
    return closed;
}

std::string IncomingGuard::socketAddress(int fd, bool peer) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    sockaddr* a = reinterpret_cast<sockaddr*>(&address);
    if ((peer ? getpeername(fd, a, &length) : getsockname(fd, a, &length)) != 0) return "";
    char text[INET6_ADDRSTRLEN] = {0};
    if (address.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr) return "";
        return std::string(text) + ":" + std::to_string(ntohs(in->sin_port));
    }
    if (address.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&address);
        if (inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text) == nullptr) return "";
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(in6->sin6_port));
    }
    return "";
}

}  // namespace corba
}  // namespace RTC
