// The framework's logger: one process-wide sink configured by the manager
// (logger.enable, logger.file_name, logger.log_level), named loggers on top.
// Use as RTC_WARN(("format %d", value)) with a Logger named rtclog in scope.
#pragma once

#include <string>

namespace RTC {

class Logger {
  public:
    enum {
        RTL_SILENT,
        RTL_FATAL,
        RTL_ERROR,
        RTL_WARN,
        RTL_INFO,
        RTL_DEBUG,
        RTL_TRACE,
        RTL_VERBOSE,
        RTL_PARANOID
    };

    explicit Logger(const char* name = "");
    virtual ~Logger();

    void setName(const char* name) { m_name = name ? name : ""; }
    const std::string& getName() const { return m_name; }
    // True when a message of this level would be written anywhere.
    bool isValid(int level) const;
    void write(int level, const std::string& message) const;

    // Level names as the configuration spells them ("INFO", ...); unknown -> -1.
    static int strToLogLevel(const std::string& level);
    static const char* logLevelName(int level);

  private:
    std::string m_name;
};

// printf-style formatting into a std::string.
std::string logFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace RTC

#define RTC_LOG(LV, fmt)                            \
    do {                                            \
        if (rtclog.isValid(LV)) {                   \
            rtclog.write(LV, ::RTC::logFormat fmt); \
        }                                           \
    } while (0)
#define RTC_LOG_STR(LV, str)                             \
    do {                                                 \
        if (rtclog.isValid(LV)) rtclog.write(LV, (str)); \
    } while (0)

#define RTC_FATAL(fmt) RTC_LOG(::RTC::Logger::RTL_FATAL, fmt)
#define RTC_FATAL_STR(str) RTC_LOG_STR(::RTC::Logger::RTL_FATAL, str)
#define RTC_ERROR(fmt) RTC_LOG(::RTC::Logger::RTL_ERROR, fmt)
#define RTC_ERROR_STR(str) RTC_LOG_STR(::RTC::Logger::RTL_ERROR, str)
#define RTC_WARN(fmt) RTC_LOG(::RTC::Logger::RTL_WARN, fmt)
#define RTC_WARN_STR(str) RTC_LOG_STR(::RTC::Logger::RTL_WARN, str)
#define RTC_INFO(fmt) RTC_LOG(::RTC::Logger::RTL_INFO, fmt)
#define RTC_INFO_STR(str) RTC_LOG_STR(::RTC::Logger::RTL_INFO, str)
#define RTC_DEBUG(fmt) RTC_LOG(::RTC::Logger::RTL_DEBUG, fmt)
#define RTC_DEBUG_STR(str) RTC_LOG_STR(::RTC::Logger::RTL_DEBUG, str)
#define RTC_TRACE(fmt) RTC_LOG(::RTC::Logger::RTL_TRACE, fmt)
#define RTC_TRACE_STR(str) RTC_LOG_STR(::RTC::Logger::RTL_TRACE, str)
#define RTC_VERBOSE(fmt) RTC_LOG(::RTC::Logger::RTL_VERBOSE, fmt)
#define RTC_VERBOSE_STR(str) RTC_LOG_STR(::RTC::Logger::RTL_VERBOSE, str)
#define RTC_PARANOID(fmt) RTC_LOG(::RTC::Logger::RTL_PARANOID, fmt)
#define RTC_PARANOID_STR(str) RTC_LOG_STR(::RTC::Logger::RTL_PARANOID, str)
