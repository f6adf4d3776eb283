// The three exported functions of libParluneDa.
#include "ParluneDa.h"

#include <cstring>
#include <string>

#include "AudioSink.h"
#include "EngineConfig.h"
#include "HandleRegistry.h"
#include "Speaker.h"

namespace {

// espeak-ng's normal rate; speed 100 maps onto it, proportionally.
constexpr int kNormalWordsPerMinute = 175;

int wordsPerMinute(int32_t speed) {
    return (kNormalWordsPerMinute * speed + PARLUNE_DA_SPEED_NORMAL / 2) / PARLUNE_DA_SPEED_NORMAL;
}

}  // namespace

extern "C" {

ParluneDaHandle ParluneDa_Create(void) {
    std::optional<parlune::EngineConfig> config = parlune::EngineConfig::fromEnvironment();
    if (!config) {
        return nullptr;
    }
    parlune::Speaker::Options options;
    options.helperPath = config->helperPath;
    options.voice = config->voice;
    options.helperTimeoutMs = config->helperTimeoutMs;
    options.queueCapacity = PARLUNE_DA_QUEUE_CAPACITY;
    options.makeSink = [sinkConfig = *config](const std::atomic<bool>& stop) {
        return parlune::AudioSink::create(sinkConfig, stop);
    };
    std::unique_ptr<parlune::Speaker> speaker = parlune::Speaker::start(std::move(options));
    if (!speaker) {
        return nullptr;
    }
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
    if (speed < PARLUNE_DA_SPEED_MIN || speed > PARLUNE_DA_SPEED_MAX) {
        return PARLUNE_DA_E_SPEED;
    }
    return speaker->play(std::string(text, size), wordsPerMinute(speed));
}

void ParluneDa_Release(ParluneDaHandle handle) {
    std::shared_ptr<parlune::Speaker> speaker = parlune::HandleRegistry::instance().remove(handle);
    if (speaker) {
        speaker->stop();
    }
}

}  // extern "C"
