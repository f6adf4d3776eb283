// The exported functions of libParluneDa.
#include "ParluneDa.h"

#include <cstring>
#include <string>

#include "AudioSink.h"
#include "EngineConfig.h"
#include "HandleRegistry.h"
#include "Speaker.h"

namespace {

thread_local std::string t_createError;
thread_local std::string t_createWarning;

int clampedSpeed(int32_t speed) {
    if (speed < PARLUNE_DA_SPEED_MIN) {
        return PARLUNE_DA_SPEED_MIN;
    }
    return speed > PARLUNE_DA_SPEED_MAX ? PARLUNE_DA_SPEED_MAX : speed;
}

}  // namespace

extern "C" {

ParluneDaHandle ParluneDa_Create(void) {
    t_createError.clear();
    t_createWarning.clear();
    std::optional<parlune::EngineConfig> config =
        parlune::EngineConfig::fromEnvironment(t_createError);
    if (!config) {
        return nullptr;
    }
    parlune::Speaker::Options options;
    options.helperPath = config->helperPath;
    options.helperArguments = config->helperArguments();
    options.encoding = config->encoding;
    options.helperTimeoutMs = config->helperTimeoutMs;
    options.queueBytes = PARLUNE_DA_QUEUE_BYTES;
    options.queueTexts = PARLUNE_DA_QUEUE_TEXTS;
    options.makeSink = [sinkConfig = *config](const std::atomic<bool>& stop) {
        return parlune::AudioSink::create(sinkConfig, stop);
    };
    std::unique_ptr<parlune::Speaker> speaker =
        parlune::Speaker::start(std::move(options), t_createError);
    if (!speaker) {
        return nullptr;
    }
    t_createError.clear();
    t_createWarning = speaker->warning();
    return parlune::HandleRegistry::instance().add(std::move(speaker));
}

int ParluneDa_Play(ParluneDaHandle handle, const char* text, int32_t speed, int32_t, int32_t,
                   int32_t) {
    std::shared_ptr<parlune::Speaker> speaker = parlune::HandleRegistry::instance().find(handle);
    if (!speaker) {
        return PARLUNE_DA_E_HANDLE;
    }
    if (text == nullptr) {
        return PARLUNE_DA_E_TEXT_NULL;
    }
    size_t size = ::strnlen(text, PARLUNE_DA_MAX_TEXT_BYTES + 1);
    if (size > PARLUNE_DA_MAX_TEXT_BYTES) {
        return PARLUNE_DA_E_TEXT_TOO_LONG;
    }
    return speaker->play(std::string(text, size), clampedSpeed(speed));
}

void ParluneDa_Release(ParluneDaHandle handle) {
    std::shared_ptr<parlune::Speaker> speaker = parlune::HandleRegistry::instance().remove(handle);
    if (speaker) {
        speaker->stop();
    }
}

const char* ParluneDa_CreateError(void) { return t_createError.c_str(); }

const char* ParluneDa_CreateWarning(void) { return t_createWarning.c_str(); }

int64_t ParluneDa_SkippedTexts(ParluneDaHandle handle) {
    std::shared_ptr<parlune::Speaker> speaker = parlune::HandleRegistry::instance().find(handle);
    return speaker ? static_cast<int64_t>(speaker->skippedTexts()) : -1;
}

}  // extern "C"
