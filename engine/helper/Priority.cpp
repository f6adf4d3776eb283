#include "Priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>

namespace parlune::helper {

void Priority::raise() {
    // A new session is a new autogroup: the busy processes of the session
    // that started us no longer share our slice. It fails only for a process
    // group leader, which the library's posix_spawn never makes.
    ::setsid();
    // The lowest nice value the soft RLIMIT_NICE allows (20 - limit); with
    // CAP_SYS_NICE the call succeeds whatever the limit says.
    rlimit limit{};
    int target = kNice;
    if (::getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        target = std::max(kNice, 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40)));
    }
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, 0);
    if (errno != 0) {
        return;
    }
    for (int nice : {kNice, target}) {
        if (nice < current && ::setpriority(PRIO_PROCESS, 0, nice) == 0) {
            // Under autogroup scheduling the group's nice value weighs
            // against other sessions, the process's own only within the
            // group; a kernel without autogroups has no such file.
            std::ofstream("/proc/self/autogroup") << nice << std::flush;
            return;
        }
    }
}

}  // namespace parlune::helper
