// Runs a program from a test and reads what it printed, as a user would:
// stdout, stderr and how it ended.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

// A private temporary directory, removed with its contents.
class TempDir {
  public:
    TempDir() {
        char tmpl[] = "/tmp/parlune-test-XXXXXX";
        const char* d = mkdtemp(tmpl);
        m_path = d ? d : "/tmp";
    }
    ~TempDir() {
        if (m_path != "/tmp") {
            std::string cmd = "rm -rf '" + m_path + "'";
            int r = std::system(cmd.c_str());
            (void)r;
        }
    }
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name)) << text;
    }

  private:
    std::string m_path;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Process {
  public:
    // Starts argv[0] with the given arguments in dir; extra_env entries are
    // "NAME=value" added to this process's environment.
    Process(const std::vector<std::string>& argv, const std::string& dir,
            const std::vector<std::string>& extra_env = {})
        : m_id(counter()),
          m_out(dir + "/stdout." + std::to_string(m_id)),
          m_err(dir + "/stderr." + std::to_string(m_id)) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) env.push_back(*e);
        for (const auto& e : extra_env) env.push_back(e);
        std::vector<char*> cargv, cenv;
        for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
        cargv.push_back(nullptr);
        for (const auto& e : env) cenv.push_back(const_cast<char*>(e.c_str()));
        cenv.push_back(nullptr);
        if (posix_spawn(&m_pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process() {
        if (m_pid > 0 && !m_ended) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    std::string out() const { return readFile(m_out); }
    std::string err() const { return readFile(m_err); }

    // Waits until stdout (or stderr) contains text.
    bool waitForOutput(const std::string& text, int timeout_ms = 10000,
                       bool in_stderr = false) const {
        for (int i = 0; i < timeout_ms / 10; ++i) {
            if ((in_stderr ? err() : out()).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void signal(int sig) const {
        if (m_pid > 0) kill(m_pid, sig);
    }
    // Waits for the end; false on time-out (the process is then killed).
    bool wait(int timeout_ms = 15000) {
        if (m_pid <= 0) return false;
        for (int i = 0; i < timeout_ms; ++i) {
            pid_t r = waitpid(m_pid, &m_status, WNOHANG);
            if (r == m_pid) {
                m_ended = true;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &m_status, 0);
        m_ended = true;
        return false;
    }
    bool exitedWith(int code) const {
        return m_ended && WIFEXITED(m_status) && WEXITSTATUS(m_status) == code;
    }
    bool killedBy(int sig) const {
        return m_ended && WIFSIGNALED(m_status) && WTERMSIG(m_status) == sig;
    }
    int status() const { return m_status; }

  private:
    static int counter() {
        static int n = 0;
        return n++;
    }
    int m_id;
    pid_t m_pid = -1;
    int m_status = 0;
    bool m_ended = false;
    std::string m_out;
    std::string m_err;
};

}  // namespace testsupport
