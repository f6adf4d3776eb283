// What this process holds right now, read from /proc: threads, open
// descriptors and resident memory.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace guitest {

inline int countEntries(const char* dir) {
    DIR* d = opendir(dir);
    if (d == nullptr) return -1;
    int n = 0;
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
    return n - 1 * (std::string(dir) == "/proc/self/fd");  // the descriptor opendir holds
}

struct ProcessResources {
    int threads = 0;
    int descriptors = 0;
    long residentKiB = 0;

    static ProcessResources now() {
        ProcessResources r;
        r.threads = countEntries("/proc/self/task");
        r.descriptors = countEntries("/proc/self/fd");
        long size = 0;
        long resident = 0;
        std::ifstream statm("/proc/self/statm");
        statm >> size >> resident;
        r.residentKiB = resident * (sysconf(_SC_PAGESIZE) / 1024);
        return r;
    }
};

}  // namespace guitest
