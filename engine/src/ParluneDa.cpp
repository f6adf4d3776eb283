// The exported functions of libParluneDa.
#include "ParluneDa.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "AudioSink.h"
#include "EngineConfig.h"
#include "HandleRegistry.h"
#include "Speaker.h"

namespace {

thread_local std::string t_createError;
thread_local std::string t_createWarning;

// Why Create failed with an exception (no memory, no thread to be had). The
// message itself may not fit: then the reason stays empty.
void noteCreateFailure(const char* why) {
    try {
        t_createError = std::string("the engine could not start: ") + why;
    } catch (...) {
        t_createError.clear();
    }
}

int clamped(int32_t value, int low, int high) {
    if (value < low) {
        return low;
    }
    return value > high ? high : value;
}

ParluneDaHandle createEngine() {
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
    options.encodings = config->encodings;
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

int playText(ParluneDaHandle handle, const char* text, int32_t speed, int32_t volume,
             int32_t pitch) {
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
    return speaker->play(std::string(text, size),
                         clamped(speed, PARLUNE_DA_SPEED_MIN, PARLUNE_DA_SPEED_MAX),
                         clamped(volume, PARLUNE_DA_VOLUME_MIN, PARLUNE_DA_VOLUME_MAX),
                         clamped(pitch, PARLUNE_DA_PITCH_MIN, PARLUNE_DA_PITCH_MAX));
}

}  // namespace

extern "C" {

// No C++ exception leaves these functions: their callers may be C. An
// exception (std::bad_alloc, std::system_error from a thread that could not
// be started) becomes the result the header promises for a failure.

ParluneDaHandle ParluneDa_Create(void) {
    try {
        return createEngine();
    } catch (const std::bad_alloc&) {
        noteCreateFailure("out of memory");
    } catch (const std::exception& e) {
        noteCreateFailure(e.what());
    } catch (...) {
        noteCreateFailure("unexpected failure");
    }
    return nullptr;
}

int ParluneDa_Play(ParluneDaHandle handle, const char* text, int32_t speed, int32_t, int32_t,
                   int32_t) {
    try {
        return playText(handle, text, speed, PARLUNE_DA_VOLUME_NORMAL, PARLUNE_DA_PITCH_NORMAL);
    } catch (...) {
        // No room for the text: it was not queued, as with a full queue, and
        // the caller may offer it again.
        return PARLUNE_DA_E_QUEUE_FULL;
    }
}

int ParluneDa_PlayWith(ParluneDaHandle handle, const char* text, int32_t speed, int32_t volume,
                       int32_t pitch) {
    try {
        return playText(handle, text, speed, volume, pitch);
    } catch (...) {
        return PARLUNE_DA_E_QUEUE_FULL;  // as Play
    }
}

int ParluneDa_Interrupt(ParluneDaHandle handle) {
    try {
        std::shared_ptr<parlune::Speaker> speaker =
            parlune::HandleRegistry::instance().find(handle);
        return speaker ? speaker->interrupt() : PARLUNE_DA_E_HANDLE;
    } catch (...) {
        return PARLUNE_DA_E_HANDLE;
    }
}

void ParluneDa_Release(ParluneDaHandle handle) {
    try {
        std::shared_ptr<parlune::Speaker> speaker =
            parlune::HandleRegistry::instance().remove(handle);
        if (speaker) {
            speaker->stop();
        }
    } catch (...) {
        // Nothing to report through: the handle is forgotten either way.
    }
}

const char* ParluneDa_CreateError(void) { return t_createError.c_str(); }

const char* ParluneDa_CreateWarning(void) { return t_createWarning.c_str(); }

int64_t ParluneDa_SkippedTexts(ParluneDaHandle handle) {
    try {
        std::shared_ptr<parlune::Speaker> speaker =
            parlune::HandleRegistry::instance().find(handle);
        return speaker ? static_cast<int64_t>(speaker->skippedTexts()) : -1;
    } catch (...) {
        return -1;
    }
}

int ParluneDa_NextWarning(ParluneDaHandle handle, char* buffer, size_t size) {
    try {
        if (buffer == nullptr || size == 0) {
            return -1;
        }
        std::shared_ptr<parlune::Speaker> speaker =
            parlune::HandleRegistry::instance().find(handle);
        if (!speaker) {
            return -1;
        }
        std::string line;
        if (!speaker->takeWarning(line)) {
            return 0;
        }
        const size_t length = std::min(line.size(), size - 1);
        std::memcpy(buffer, line.data(), length);
        buffer[length] = '\0';
        return 1;
    } catch (...) {
        return -1;
    }
}

int ParluneDa_EnableEvents(ParluneDaHandle handle) {
    try {
        std::shared_ptr<parlune::Speaker> speaker =
            parlune::HandleRegistry::instance().find(handle);
        if (!speaker) {
            return PARLUNE_DA_E_HANDLE;
        }
        speaker->events().enable();
        return PARLUNE_DA_OK;
    } catch (...) {
        return PARLUNE_DA_E_HANDLE;
    }
}

int ParluneDa_NextEvent(ParluneDaHandle handle, ParluneDaEvent* event) {
    try {
        if (event == nullptr) {
            return -1;
        }
        std::shared_ptr<parlune::Speaker> speaker =
            parlune::HandleRegistry::instance().find(handle);
        if (!speaker) {
            return -1;
        }
        return speaker->events().pop(*event, parlune::EventQueue::now()) ? 1 : 0;
    } catch (...) {
        return -1;
    }
}

int ParluneDa_EnableAudio(ParluneDaHandle handle, int32_t rate) {
    try {
        std::shared_ptr<parlune::Speaker> speaker =
            parlune::HandleRegistry::instance().find(handle);
        if (!speaker) {
            return PARLUNE_DA_E_HANDLE;
        }
        return speaker->audio().enable(rate) ? PARLUNE_DA_OK : -1;
    } catch (...) {
        return PARLUNE_DA_E_HANDLE;
    }
}

int ParluneDa_NextAudio(ParluneDaHandle handle, ParluneDaAudioChunk* chunk, int32_t wait_ms) {
    try {
        if (chunk == nullptr) {
            return -1;
        }
        std::shared_ptr<parlune::Speaker> speaker =
            parlune::HandleRegistry::instance().find(handle);
        if (!speaker) {
            return -1;
        }
        return speaker->audio().pop(*chunk, clamped(wait_ms, 0, 1000)) ? 1 : 0;
    } catch (...) {
        return -1;
    }
}

int ParluneDa_EnableMarks(ParluneDaHandle handle) {
    try {
        std::shared_ptr<parlune::Speaker> speaker =
            parlune::HandleRegistry::instance().find(handle);
        if (!speaker) {
            return PARLUNE_DA_E_HANDLE;
        }
        speaker->marks().enable();
        return PARLUNE_DA_OK;
    } catch (...) {
        return PARLUNE_DA_E_HANDLE;
    }
}

int64_t ParluneDa_NextMarks(ParluneDaHandle handle, uint64_t* text, char* buffer, size_t size) {
    try {
        if (text == nullptr || buffer == nullptr) {
            return -1;
        }
        std::shared_ptr<parlune::Speaker> speaker =
            parlune::HandleRegistry::instance().find(handle);
        if (!speaker) {
            return -1;
        }
        return static_cast<int64_t>(speaker->marks().pop(*text, buffer, size));
    } catch (...) {
        return -1;
    }
}

}  // extern "C"
