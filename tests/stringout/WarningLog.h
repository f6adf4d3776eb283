// Collects what the window side reports through its warning sink.
#pragma once

#include "GuiWarning.h"

#include <mutex>
#include <string>
#include <vector>

namespace guitest {

class WarningLog {
  public:
    WarningLog() {
        StringOut::setWarningSink(&WarningLog::record);
        clear();
    }
    ~WarningLog() { StringOut::setWarningSink(nullptr); }
    WarningLog(const WarningLog&) = delete;
    WarningLog& operator=(const WarningLog&) = delete;

    std::vector<std::string> messages() const {
        std::lock_guard<std::mutex> lock(mutex());
        return lines();
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex());
        lines().clear();
    }

  private:
    static void record(const char* message) {
        std::lock_guard<std::mutex> lock(mutex());
        lines().push_back(message);
    }
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string>& lines() {
        static std::vector<std::string> l;
        return l;
    }
};

}  // namespace guitest
