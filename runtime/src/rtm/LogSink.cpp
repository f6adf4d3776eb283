#include "LogSink.h"

#include <coil/stringutil.h>
#include <rtm/SystemLogger.h>

#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace RTC {

LogSink& LogSink::instance() {
    // Never destroyed: loggers may write during static destruction.
    static LogSink* sink = new LogSink();
    return *sink;
}

LogSink::LogSink() : m_level(0) {}

std::vector<std::pair<std::string, std::string>> LogSink::configure(bool enable,
                                                                    const std::string& file_names,
                                                                    int level) {
    std::vector<std::pair<std::string, std::string>> failed;
    close();
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!enable || level <= Logger::RTL_SILENT) return failed;
    for (std::string name : coil::split(file_names, ",", true)) {
        name = coil::replaceString(name, "%p", std::to_string(getpid()));
        if (coil::normalize(name) == "stdout") {
            m_files.push_back(stdout);
            m_owned.push_back(false);
        } else if (coil::normalize(name) == "stderr") {
            m_files.push_back(stderr);
            m_owned.push_back(false);
        } else if (std::FILE* f = std::fopen(name.c_str(), "ae")) {
            m_files.push_back(f);
            m_owned.push_back(true);
        } else {
            failed.emplace_back(name, std::strerror(errno));
        }
    }
    if (!m_files.empty()) m_level = level;
    return failed;
}

void LogSink::write(int level, const std::string& name, const std::string& message) {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm parts;
    localtime_r(&tv.tv_sec, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%b %d %H:%M:%S", &parts);
    std::lock_guard<std::mutex> guard(m_mutex);
    for (std::FILE* f : m_files) {
        std::fprintf(f, "%s.%03d %s: %s: %s\n", stamp, static_cast<int>(tv.tv_usec / 1000),
                     Logger::logLevelName(level), name.c_str(), message.c_str());
        std::fflush(f);
    }
}

void LogSink::close() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_level = 0;
    for (size_t i = 0; i < m_files.size(); ++i) {
        if (m_owned[i]) std::fclose(m_files[i]);
    }
    m_files.clear();
    m_owned.clear();
}

}  // namespace RTC
