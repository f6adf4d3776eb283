#include "GuiWarning.h"

#include <atomic>

namespace StringOut {

namespace {
std::atomic<WarningSink> g_sink{nullptr};
}

WarningSink setWarningSink(WarningSink sink) { return g_sink.exchange(sink); }

void warn(const char* message) {
    WarningSink sink = g_sink.load();
    if (sink != nullptr && message != nullptr) sink(message);
}

}  // namespace StringOut
