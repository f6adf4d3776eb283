#include "ProcessProbe.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "WavFile.h"

namespace parlune::test {

namespace {

size_t countEntries(const std::string& path) {
    size_t count = 0;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') {
                ++count;
            }
        }
        ::closedir(dir);
    }
    return count;
}

}  // namespace

size_t ProcessProbe::threadCount() { return countEntries("/proc/self/task"); }

size_t ProcessProbe::openFdCount() {
    // The directory stream itself holds one descriptor while counting.
    return countEntries("/proc/self/fd") - 1;
}

long ProcessProbe::residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

std::vector<ProcessProbe::Child> ProcessProbe::children() { return childrenOf(::getpid()); }

std::vector<ProcessProbe::Child> ProcessProbe::childrenOf(pid_t parent) {
    std::vector<Child> result;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return result;
    }
    while (dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') {
            continue;
        }
        std::string stat = readFile(std::string("/proc/") + entry->d_name + "/stat");
        // pid (comm) state ppid ...; comm may hold spaces and parentheses.
        size_t open = stat.find('(');
        size_t close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 > stat.size()) {
            continue;
        }
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent) {
            result.push_back(Child{static_cast<pid_t>(std::atoi(entry->d_name)), state,
                                   stat.substr(open + 1, close - open - 1)});
        }
    }
    ::closedir(proc);
    return result;
}

std::vector<pid_t> ProcessProbe::helpers() {
    std::vector<pid_t> result;
    for (const Child& child : children()) {
        if (child.state != 'Z' && child.comm == "parlune-da-help") {
            result.push_back(child.pid);
        }
    }
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<int> ProcessProbe::fdsOf(pid_t pid) {
    std::vector<int> result;
    std::string path = "/proc/" + std::to_string(pid) + "/fd";
    if (DIR* dir = ::opendir(path.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') {
                result.push_back(std::atoi(entry->d_name));
            }
        }
        ::closedir(dir);
    }
    std::sort(result.begin(), result.end());
    return result;
}

}  // namespace parlune::test
