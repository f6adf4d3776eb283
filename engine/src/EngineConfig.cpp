#include "EngineConfig.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace parlune {

namespace {

constexpr const char* kHelperName = "parlune-da-helper";
constexpr size_t kMaxVoiceName = 64;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool isWritableDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

// Parses a whole decimal number within [low, high].
std::optional<int> parseInt(const std::string& text, int low, int high) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

}  // namespace

std::string EngineConfig::defaultHelperPath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&EngineConfig::defaultHelperPath), &info) == 0 ||
        info.dli_fname == nullptr) {
        return std::string();
    }
    std::string binary = info.dli_fname;
    size_t slash = binary.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : binary.substr(0, slash);
    return dir + "/" + kHelperName;
}

std::optional<EngineConfig> EngineConfig::fromEnvironment() {
    EngineConfig config;

    std::string audio = env("PARLUNE_AUDIO");
    if (audio.empty() || audio == "pulse") {
        config.output = Output::Pulse;
    } else if (audio == "null") {
        config.output = Output::Null;
    } else if (audio.compare(0, 4, "wav:") == 0 && isWritableDirectory(audio.substr(4))) {
        config.output = Output::Wav;
        config.wavDirectory = audio.substr(4);
    } else {
        return std::nullopt;
    }

    std::string voice = env("PARLUNE_VOICE");
    if (!voice.empty()) {
        if (voice.size() > kMaxVoiceName) {
            return std::nullopt;
        }
        config.voice = voice;
    }

    std::string helper = env("PARLUNE_HELPER");
    config.helperPath = helper.empty() ? defaultHelperPath() : helper;
    if (config.helperPath.empty() || !isExecutableFile(config.helperPath)) {
        return std::nullopt;
    }

    std::string timeout = env("PARLUNE_HELPER_TIMEOUT_MS");
    if (!timeout.empty()) {
        std::optional<int> ms = parseInt(timeout, 100, 3600000);
        if (!ms) {
            return std::nullopt;
        }
        config.helperTimeoutMs = *ms;
    }
    return config;
}

}  // namespace parlune
