#include "LogSink.h"

#include <rtm/SystemLogger.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace RTC {

Logger::Logger(const char* name) : m_name(name ? name : "") {}

Logger::~Logger() {}

bool Logger::isValid(int level) const { return LogSink::instance().enabled(level); }

void Logger::write(int level, const std::string& message) const {
    LogSink::instance().write(level, m_name, message);
}

int Logger::strToLogLevel(const std::string& level) {
    static const char* const names[] = {"SILENT", "FATAL", "ERROR",   "WARN",    "INFO",
                                        "DEBUG",  "TRACE", "VERBOSE", "PARANOID"};
    std::string upper;
    for (char c : level) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    for (int i = RTL_SILENT; i <= RTL_PARANOID; ++i) {
        if (upper == names[i]) return i;
    }
    if (upper == "WARNING") return RTL_WARN;
    return -1;
}

const char* Logger::logLevelName(int level) {
    static const char* const names[] = {"SILENT", "FATAL", "ERROR",   "WARNING", "INFO",
                                        "DEBUG",  "TRACE", "VERBOSE", "PARANOID"};
    if (level < RTL_SILENT || level > RTL_PARANOID) return "UNKNOWN";
    return names[level];
}

std::string logFormat(const char* fmt, ...) {
    char small[256];
    va_list args;
    va_start(args, fmt);
    int n = std::vsnprintf(small, sizeof small, fmt, args);
    va_end(args);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, n);
    std::vector<char> big(static_cast<size_t>(n) + 1);
    va_start(args, fmt);
    std::vsnprintf(big.data(), big.size(), fmt, args);
    va_end(args);
    return std::string(big.data(), n);
}

}  // namespace RTC
