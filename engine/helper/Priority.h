// Keeps the helper responsive on a busy machine, with what the process is
// allowed to do: a session of its own (the kernel's autogroup scheduling
// then gives it a share of the processors equal to any other session's,
// however many busy processes those run), and a lower nice value where the
// user may set one (CAP_SYS_NICE or RLIMIT_NICE; root, or a limits.conf
// entry). Nothing here needs privileges; what is refused is left as it was.
#pragma once

namespace parlune::helper {

class Priority {
  public:
    // The nice value asked for where it is allowed (PulseAudio's own is -11).
    static constexpr int kNice = -10;

    // Applies both measures to this process, each as far as it is allowed
    // (/proc/PID/stat and /proc/PID/autogroup show what was granted).
    static void raise();
};

}  // namespace parlune::helper
