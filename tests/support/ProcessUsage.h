// What a running process holds, read from /proc: threads, open descriptors
// and resident memory. For watching a process over a long run.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

struct ProcessUsage {
    int threads = -1;       // -1 when /proc could not be read
    int descriptors = -1;   // -1 when /proc could not be read
    long residentKiB = -1;  // -1 when /proc could not be read
    bool ok() const { return threads >= 0 && descriptors >= 0 && residentKiB >= 0; }
};

// The usage of process pid (this process when pid is 0).
ProcessUsage usageOf(pid_t pid = 0);

// One process watched over a long run: its usage at the first sample, the
// highest seen since, and the latest.
struct UsageWatch {
    ProcessUsage first;
    ProcessUsage peak;
    ProcessUsage last;
    // Reads the usage of pid (this process when 0) now.
    void sample(pid_t pid = 0);
    // "threads 3 -> 3 (peak 4), descriptors 18 -> 18 (peak 19), RSS 9000 -> 9100 KiB"
    std::string summary() const;
};

// Processes whose parent is pid, zombies included.
std::vector<pid_t> childrenOf(pid_t pid);

// The command name of a running process (at most 15 characters), "" when
// there is no such process.
std::string commandOf(pid_t pid);

}  // namespace testsupport
