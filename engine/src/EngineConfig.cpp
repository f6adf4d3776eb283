#include "EngineConfig.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "TextDecoder.h"
#include "VoiceName.h"

namespace parlune {

namespace {

constexpr const char* kHelperName = "parlune-da-helper";
constexpr size_t kMaxEncodingName = 64;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string named(const char* variable, const std::string& value, const char* problem) {
    return std::string(variable) + "=" + value + ": " + problem;
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

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
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

std::vector<std::string> EngineConfig::localeVoices() {
    std::string name = "C";
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::string value = env(variable);
        if (!value.empty()) {
            name = value;
            break;
        }
    }
    // language[_TERRITORY][.codeset][@modifier]
    std::string base = name.substr(0, name.find_first_of(".@"));
    std::string language = lower(base.substr(0, base.find('_')));
    std::vector<std::string> voices;
    if (language.size() >= 2 && language.size() <= 3 && language != "c" &&
        language.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos) {
        size_t underscore = base.find('_');
        if (underscore != std::string::npos && underscore + 1 < base.size()) {
            voices.push_back(language + "-" + lower(base.substr(underscore + 1)));
        }
        voices.push_back(language);
    }
    if (voices.empty() || voices.back() != "en") {
        voices.push_back("en");
    }
    return voices;
}

std::vector<std::string> EngineConfig::helperArguments() const {
    std::string locale;
    for (const std::string& name : localeVoices()) {
        locale += (locale.empty() ? "" : ",") + name;
    }
    std::vector<std::string> args = {"voice=" + voice, "locale=" + locale,
                                     "timeout=" + std::to_string(helperTimeoutMs)};
    if (!japaneseVoice.empty()) {
        args.push_back("ja=" + japaneseVoice);
    }
    if (!englishVoice.empty()) {
        args.push_back("en=" + englishVoice);
    }
    return args;
}

std::optional<EngineConfig> EngineConfig::fromEnvironment(std::string& error) {
    EngineConfig config;

    std::string audio = env("PARLUNE_AUDIO");
    if (audio.empty() || audio == "pulse") {
        config.output = Output::Pulse;
    } else if (audio == "null") {
        config.output = Output::Null;
    } else if (audio.compare(0, 4, "wav:") == 0) {
        std::string dir = audio.substr(4);
        if (dir.empty() || dir[0] != '/') {
            error = named("PARLUNE_AUDIO", audio, "the WAV directory must be an absolute path");
            return std::nullopt;
        }
        if (!isWritableDirectory(dir)) {
            error = named("PARLUNE_AUDIO", audio, "the WAV directory is not a writable directory");
            return std::nullopt;
        }
        config.output = Output::Wav;
        config.wavDirectory = dir;
    } else {
        error = named("PARLUNE_AUDIO", audio, "expected pulse, null or wav:/absolute/dir");
        return std::nullopt;
    }

    std::string voice = env("PARLUNE_VOICE");
    if (!voice.empty()) {
        if (!VoiceName::parse(voice)) {
            error = named("PARLUNE_VOICE", voice,
                          "expected auto, flite:rms|slt|awb|kal16, openjtalk:mei|m001, "
                          "espeak:VOICE or an espeak-ng voice name");
            return std::nullopt;
        }
        config.voice = voice;
    }
    for (auto [variable, field] : {std::pair{"PARLUNE_VOICE_JA", &config.japaneseVoice},
                                   std::pair{"PARLUNE_VOICE_EN", &config.englishVoice}}) {
        std::string value = env(variable);
        if (value.empty()) {
            continue;
        }
        std::optional<VoiceName> name = VoiceName::parse(value);
        if (!name || name->engine == VoiceName::Engine::Auto) {
            error = named(variable, value,
                          "expected flite:rms|slt|awb|kal16, openjtalk:mei|m001, espeak:VOICE "
                          "or an espeak-ng voice name");
            return std::nullopt;
        }
        *field = value;
    }

    std::string encoding = env("PARLUNE_ENCODING");
    if (encoding.empty()) {
        config.encodings = TextDecoder::localeEncodings();
        if (!TextDecoder::open(config.encodings)) {
            config.encodings = {"ANSI_X3.4-1968"};  // codesets iconv does not know
        }
    } else {
        if (encoding.size() > kMaxEncodingName || !TextDecoder::open({encoding})) {
            error = named("PARLUNE_ENCODING", encoding, "no conversion from it to UTF-8");
            return std::nullopt;
        }
        config.encodings = {encoding};
    }

    std::string helper = env("PARLUNE_HELPER");
    config.helperPath = helper.empty() ? defaultHelperPath() : helper;
    if (config.helperPath.empty() || !isExecutableFile(config.helperPath)) {
        error = named("PARLUNE_HELPER", helper.empty() ? config.helperPath : helper,
                      "the synthesis helper is not an executable file");
        return std::nullopt;
    }

    std::string timeout = env("PARLUNE_HELPER_TIMEOUT_MS");
    if (!timeout.empty()) {
        std::optional<int> ms = parseInt(timeout, 100, 3600000);
        if (!ms) {
            error = named("PARLUNE_HELPER_TIMEOUT_MS", timeout,
                          "expected whole milliseconds, 100..3600000");
            return std::nullopt;
        }
        config.helperTimeoutMs = *ms;
    }
    return config;
}

}  // namespace parlune
