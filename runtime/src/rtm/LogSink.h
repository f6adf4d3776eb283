// The process-wide destination of framework log lines.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace RTC {

class LogSink {
  public:
    static LogSink& instance();

    // file_names: comma separated; "stdout", "stderr" or paths ("%p" = pid).
    // Returns the names that could not be opened, each with the reason.
    std::vector<std::pair<std::string, std::string>> configure(bool enable,
                                                               const std::string& file_names,
                                                               int level);
    bool enabled(int level) const {
        return level != 0 && level <= m_level.load(std::memory_order_relaxed);
    }
    void write(int level, const std::string& name, const std::string& message);
    void close();

  private:
    LogSink();
    std::mutex m_mutex;
    std::atomic<int> m_level;
    std::vector<std::FILE*> m_files;
    std::vector<bool> m_owned;
};

}  // namespace RTC
