#include "Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "Wait.h"

extern char** environ;

namespace testsupport {

namespace {

// An anonymous file the program writes into and the test reads at any time
// (unlike a pipe, it never blocks a program that writes a lot).
int captureFile() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/parlune-out-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot create a capture file: " + pattern);
    ::unlink(pattern.c_str());
    return fd;
}

std::string readAll(int fd) {
    std::string text;
    if (fd < 0) return text;
    char buffer[8192];
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    return text;
}

bool removed(const std::string& entry, const std::vector<std::string>& unset) {
    const std::string name = entry.substr(0, entry.find('='));
    for (const std::string& u : unset) {
        if (!u.empty() && u.back() == '*') {
            if (name.compare(0, u.size() - 1, u, 0, u.size() - 1) == 0) return true;
        } else if (name == u) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> environmentFor(const Launch& launch) {
    std::vector<std::string> unset = launch.unset;
    // A name set by the launch replaces the test's own.
    for (const std::string& e : launch.env) unset.push_back(e.substr(0, e.find('=')));
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (!removed(*e, unset)) env.push_back(*e);
    }
    env.insert(env.end(), launch.env.begin(), launch.env.end());
    return env;
}

std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

}  // namespace

Process::Process(const std::vector<std::string>& argv, const std::string& dir,
                 const std::vector<std::string>& extra_env) {
    Launch launch;
    launch.dir = dir;
    launch.env = extra_env;
    start(argv, launch);
}

Process::Process(const std::vector<std::string>& argv, const Launch& launch) {
    start(argv, launch);
}

void Process::start(const std::vector<std::string>& argv, const Launch& launch) {
    if (argv.empty()) throw std::invalid_argument("Process: no program given");
    m_outFd = launch.outFile.empty()
                  ? captureFile()
                  : ::open(launch.outFile.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_outFd < 0) throw std::runtime_error("cannot create " + launch.outFile);
    m_errFd = captureFile();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!launch.dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, launch.dir.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, m_outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, m_errFd, 2);
    const std::vector<std::string> env = environmentFor(launch);
    std::vector<char*> cargv = pointers(argv);
    std::vector<char*> cenv = pointers(env);
    pid_t pid = -1;
    if (posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data()) == 0) {
        m_pid = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
}

Process::~Process() {
    if (m_pid > 0 && !m_ended) {
        ::kill(m_pid, SIGKILL);
        reap(0);
    }
    if (m_outFd >= 0) ::close(m_outFd);
    if (m_errFd >= 0) ::close(m_errFd);
}

std::string Process::out() const { return readAll(m_outFd); }

std::string Process::err() const { return readAll(m_errFd); }

bool Process::waitForOutput(const std::string& text, int timeout_ms, bool in_stderr) const {
    const int fd = in_stderr ? m_errFd : m_outFd;
    auto found = [&] { return readAll(fd).find(text) != std::string::npos; };
    // A program that has ended writes nothing more: stop waiting then.
    auto ended = [&] {
        if (m_ended || m_pid <= 0) return true;
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == m_pid;
    };
    waitUntil([&] { return found() || ended(); }, std::chrono::milliseconds(timeout_ms));
    return found();
}

void Process::signal(int sig) const {
    // Never signal a pid that was reaped: it may belong to another process by now.
    if (m_pid > 0 && !m_ended) ::kill(m_pid, sig);
}

bool Process::reap(int flags) {
    if (m_ended) return true;
    for (;;) {
        const pid_t r = ::waitpid(m_pid, &m_status, flags);
        if (r == m_pid) {
            m_ended = true;
            return true;
        }
        if (r < 0 && errno == EINTR) continue;
        return false;
    }
}

bool Process::running() { return m_pid > 0 && !reap(WNOHANG); }

bool Process::wait(int timeout_ms) {
    if (m_pid <= 0) return false;
    if (m_ended) return true;
    // A pidfd becomes readable when the program ends: no polling needed.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            const int n = ::poll(&p, 1, static_cast<int>(std::max<long>(0, left.count())));
            if (n > 0 || left.count() <= 0) break;
            if (n < 0 && errno != EINTR) break;
        }
        ::close(pidfd);
        if (reap(WNOHANG)) return true;
    } else if (waitUntil([this] { return reap(WNOHANG); }, std::chrono::milliseconds(timeout_ms))) {
        return true;
    }
    ::kill(m_pid, SIGKILL);
    reap(0);
    return false;
}

bool Process::exitedWith(int code) const { return exitCode() == code; }

bool Process::killedBy(int sig) const { return termSignal() == sig; }

int Process::exitCode() const {
    return m_ended && WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
}

int Process::termSignal() const {
    return m_ended && WIFSIGNALED(m_status) ? WTERMSIG(m_status) : 0;
}

std::vector<std::string> RunResult::errLines() const { return splitLines(err); }

RunResult run(const std::vector<std::string>& argv, const Launch& launch,
              std::chrono::milliseconds timeout) {
    Process p(argv, launch);
    RunResult r;
    r.started = p.started();
    if (r.started) r.timedOut = !p.wait(static_cast<int>(timeout.count()));
    r.status = p.exitCode();
    r.signal = p.termSignal();
    r.out = p.out();
    r.err = p.err();
    return r;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace testsupport
