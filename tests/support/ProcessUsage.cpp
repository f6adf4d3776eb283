#include "ProcessUsage.h"

#include <dirent.h>

#include <fstream>
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

}  // namespace testsupport
