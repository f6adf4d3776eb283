#include "ProgramRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

extern char** environ;

namespace {
std::string slurp(int fd) {
    std::string text;
    lseek(fd, 0, SEEK_SET);
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

int tempFile() {
    char name[] = "/tmp/programrun.XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    unlink(name);
    return fd;
}
}  // namespace

ProgramRun::ProgramRun(const std::string& program, const std::vector<std::string>& args) {
    int outFd = tempFile();
    int errFd = tempFile();
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(&arg[0]);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc == 0) {
        int wstatus = 0;
        pid_t done = 0;
        do done = waitpid(pid, &wstatus, 0);
        while (done < 0 && errno == EINTR);
        if (done < 0)
            m_status = -1;
        else if (WIFEXITED(wstatus))
            m_status = WEXITSTATUS(wstatus);
        else if (WIFSIGNALED(wstatus))
            m_signal = WTERMSIG(wstatus);
    }
    m_out = slurp(outFd);
    m_err = slurp(errFd);
    close(outFd);
    close(errFd);
    if (rc != 0) throw std::runtime_error("cannot start " + program);
}

int ProgramRun::status() const { return m_status; }

int ProgramRun::signal() const { return m_signal; }

const std::string& ProgramRun::out() const { return m_out; }

const std::string& ProgramRun::err() const { return m_err; }

std::vector<std::string> ProgramRun::errLines() const {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < m_err.size()) {
        std::string::size_type end = m_err.find('\n', start);
        if (end == std::string::npos) end = m_err.size();
        lines.push_back(m_err.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}
