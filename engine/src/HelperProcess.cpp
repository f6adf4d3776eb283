#include "HelperProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace parlune {

namespace proto = protocol;

namespace {

// waitid's id type for a pidfd (Linux 5.4), which this libc does not name.
const idtype_t kByPidfd = static_cast<idtype_t>(3);

// Spawn attributes and file actions, destroyed with the scope.
class SpawnSetup {
  public:
    SpawnSetup() {
        m_ok = posix_spawnattr_init(&m_attr) == 0;
        m_ok = posix_spawn_file_actions_init(&m_actions) == 0 && m_ok;
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // The helper gets `childFd` as descriptor 3, /dev/null as 0..2 and no
    // other descriptor; default signal handling, nothing blocked; a session
    // of its own (no controlling terminal to write crash reports on).
    bool prepare(int childFd) {
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        return m_ok && posix_spawnattr_setsigmask(&m_attr, &none) == 0 &&
               posix_spawnattr_setsigdefault(&m_attr, &all) == 0 &&
               posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                     POSIX_SPAWN_SETSID) == 0 &&
               posix_spawn_file_actions_addopen(&m_actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
               posix_spawn_file_actions_addopen(&m_actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
               posix_spawn_file_actions_addopen(&m_actions, 2, "/dev/null", O_WRONLY, 0) == 0 &&
               posix_spawn_file_actions_adddup2(&m_actions, childFd, proto::kHelperFd) == 0 &&
               posix_spawn_file_actions_addclosefrom_np(&m_actions, proto::kHelperFd + 1) == 0;
    }

    const posix_spawnattr_t* attr() const { return &m_attr; }
    const posix_spawn_file_actions_t* actions() const { return &m_actions; }

  private:
    posix_spawnattr_t m_attr;
    posix_spawn_file_actions_t m_actions;
    bool m_ok = false;
};

}  // namespace

std::unique_ptr<HelperProcess> HelperProcess::spawn(const std::string& path,
                                                    const std::vector<std::string>& arguments) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        return nullptr;
    }
    UniqueFd ours(fds[0]);
    UniqueFd theirs(fds[1]);
    if (::fcntl(ours.get(), F_SETFL, O_NONBLOCK) != 0) {
        return nullptr;
    }
    SpawnSetup setup;
    if (!setup.prepare(theirs.get())) {
        return nullptr;
    }
    std::vector<std::string> args;
    args.push_back(path);
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), setup.actions(), setup.attr(), argv.data(), environ) != 0) {
        return nullptr;
    }
    theirs.reset();
    // The helper cannot have been reaped yet unless it already ended; a
    // descriptor that is not our child is refused below.
    UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (pidfd.valid()) {
        siginfo_t info{};
        if (::waitid(kByPidfd, static_cast<id_t>(pidfd.get()), &info,
                     WEXITED | WNOHANG | WNOWAIT) != 0) {
            pidfd.reset();  // reaped elsewhere: nothing of ours to signal
            pid = -1;
        }
    }
    return std::unique_ptr<HelperProcess>(
        new HelperProcess(pid, std::move(pidfd), std::move(ours)));
}

HelperProcess::HelperProcess(pid_t pid, UniqueFd pidfd, UniqueFd socket)
    : m_pid(pid), m_pidfd(std::move(pidfd)), m_socket(std::move(socket)) {}

HelperProcess::~HelperProcess() {
    m_socket.reset();
    if (m_pidfd.valid()) {
        ::syscall(SYS_pidfd_send_signal, m_pidfd.get(), SIGKILL, nullptr, 0);
        siginfo_t info{};
        // ECHILD: the host process reaps children itself (SIGCHLD ignored).
        while (::waitid(kByPidfd, static_cast<id_t>(m_pidfd.get()), &info, WEXITED) != 0 &&
               errno == EINTR) {
        }
    } else if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0) {
        // Old kernel: the number is still our unreaped child, so it is ours.
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

bool HelperProcess::ended() const {
    pollfd p{exitFd(), POLLIN, 0};
    return p.fd >= 0 && ::poll(&p, 1, 0) > 0;
}

bool HelperProcess::sendSpeak(int32_t speed, uint32_t flags, std::string_view text, int32_t volume,
                              int32_t pitch) {
    proto::SpeakHeader speak{speed, flags, volume, pitch};
    proto::FrameHeader head{proto::kSpeak, static_cast<uint32_t>(sizeof speak + text.size())};
    std::vector<char> message(sizeof head + sizeof speak + text.size());
    std::memcpy(message.data(), &head, sizeof head);
    std::memcpy(message.data() + sizeof head, &speak, sizeof speak);
    std::memcpy(message.data() + sizeof head + sizeof speak, text.data(), text.size());
    return sendMessage(message);
}

bool HelperProcess::sendCancel() {
    proto::FrameHeader head{proto::kCancel, 0};
    std::vector<char> message(sizeof head);
    std::memcpy(message.data(), &head, sizeof head);
    return sendMessage(message);
}

bool HelperProcess::sendMessage(const std::vector<char>& message) {
    // A request is far smaller than the socket buffer, which holds nothing
    // else: waiting for room only happens with a helper that stopped reading.
    size_t sent = 0;
    while (sent < message.size()) {
        ssize_t n =
            ::send(m_socket.get(), message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{m_socket.get(), POLLOUT, 0};
            int ready = ::poll(&p, 1, 1000);
            if (ready == 0 || (ready < 0 && errno != EINTR)) {
                return false;  // a helper that stopped reading for a second
            }
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

bool HelperProcess::receive() {
    // Drop consumed bytes before reading more.
    if (m_inputStart > 0) {
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(m_inputStart));
        m_inputStart = 0;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::recv(m_socket.get(), buffer, sizeof buffer, 0);
        if (n > 0) {
            m_input.insert(m_input.end(), buffer, buffer + n);
            if (m_input.size() > sizeof(proto::FrameHeader) + proto::kMaxPcmBytes + sizeof buffer) {
                return true;  // enough to work on; the rest stays in the socket
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        return false;  // end of file or error
    }
}

HelperProcess::Frame HelperProcess::nextFrame(proto::FrameHeader& header,
                                              std::vector<char>& payload) {
    size_t available = m_input.size() - m_inputStart;
    if (available < sizeof header) {
        return Frame::Incomplete;
    }
    std::memcpy(&header, m_input.data() + m_inputStart, sizeof header);
    if (header.size > proto::kMaxPcmBytes) {
        return Frame::Malformed;
    }
    if (available - sizeof header < header.size) {
        return Frame::Incomplete;
    }
    const char* body = m_input.data() + m_inputStart + sizeof header;
    payload.assign(body, body + header.size);
    m_inputStart += sizeof header + header.size;
    return Frame::Complete;
}

}  // namespace parlune
