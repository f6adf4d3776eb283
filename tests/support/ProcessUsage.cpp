#include "ProcessUsage.h"

#include <dirent.h>

#include <algorithm>

#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

namespace {

// Entries of a /proc directory, without "." and ".."; -1 when it cannot be read.
int entriesIn(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return -1;
    int n = 0;
    while (dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
    ::closedir(d);
    return n;
}

}  // namespace

ProcessUsage usageOf(pid_t pid) {
    const std::string base = pid == 0 ? "/proc/self" : "/proc/" + std::to_string(pid);
    ProcessUsage usage;
    usage.threads = entriesIn(base + "/task");
    usage.descriptors = entriesIn(base + "/fd");
    // The descriptor opendir held while reading our own list.
    if (pid == 0 && usage.descriptors > 0) --usage.descriptors;
    std::ifstream status(base + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> usage.residentKiB;
            break;
        }
        status.ignore(4096, '\n');
    }
    return usage;
}

std::vector<pid_t> childrenOf(pid_t pid) {
    std::vector<pid_t> children;
    DIR* d = ::opendir("/proc");
    if (d == nullptr) return children;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        // "pid (comm) state ppid ...": comm may hold spaces and parentheses.
        std::ifstream stat("/proc/" + name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        long parent = 0;
        if (rest >> state >> parent && parent == pid) children.push_back(std::stoi(name));
    }
    ::closedir(d);
    return children;
}

std::string commandOf(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

void UsageWatch::sample(pid_t pid) {
    last = usageOf(pid);
    if (!first.ok()) {
        first = peak = last;
        return;
    }
    peak.threads = std::max(peak.threads, last.threads);
    peak.descriptors = std::max(peak.descriptors, last.descriptors);
    peak.residentKiB = std::max(peak.residentKiB, last.residentKiB);
}

std::string UsageWatch::summary() const {
    std::ostringstream text;
    text << "threads " << first.threads << " -> " << last.threads << " (peak " << peak.threads
         << "), descriptors " << first.descriptors << " -> " << last.descriptors << " (peak "
         << peak.descriptors << "), RSS " << first.residentKiB << " -> " << last.residentKiB
         << " KiB";
    return text.str();
}

}  // namespace testsupport
