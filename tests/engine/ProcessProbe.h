// What /proc tells about this process and its children.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace parlune::test {

class ProcessProbe {
  public:
    static size_t threadCount();
    static size_t openFdCount();
    static long residentKb();

    struct Child {
        pid_t pid;
        char state;        // 'Z' for a zombie
        std::string comm;  // command name, at most 15 characters
    };
    // Processes whose parent is this process, or `parent`.
    static std::vector<Child> children();
    static std::vector<Child> childrenOf(pid_t parent);
    // Children running parlune-da-helper (not zombies).
    static std::vector<pid_t> helpers();
    // Descriptor numbers open in process `pid`.
    static std::vector<int> fdsOf(pid_t pid);
};

}  // namespace parlune::test
