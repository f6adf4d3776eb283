#include "EngineFixture.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "WavFile.h"

namespace parlune::test {

namespace {

constexpr auto kDeadline = std::chrono::seconds(60);
constexpr const char* kLocaleVariables[] = {"LANG", "LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LOCPATH"};

}  // namespace

void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void EngineFixture::SetUp() {
    for (const char* name :
         {"PARLUNE_AUDIO", "PARLUNE_VOICE", "PARLUNE_VOICE_JA", "PARLUNE_VOICE_EN",
          "PARLUNE_VOICE_DIR", "PARLUNE_ENCODING", "PARLUNE_HELPER", "PARLUNE_HELPER_TIMEOUT_MS",
          "PARLUNE_HELPER_FAULTS"}) {
        ::unsetenv(name);
    }
    // Tests that choose a locale get the one the suite started with back.
    for (const char* name : kLocaleVariables) {
        const char* value = std::getenv(name);
        m_locale.emplace_back(name, value != nullptr ? std::optional<std::string>(value)
                                                     : std::optional<std::string>());
    }
    ::setenv("PARLUNE_AUDIO", ("wav:" + m_wavDir.path()).c_str(), 1);
}

void EngineFixture::TearDown() {
    for (ParluneDaHandle handle : m_handles) {
        ParluneDa_Release(handle);
    }
    m_handles.clear();
    for (const auto& [name, value] : m_locale) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
}

bool EngineFixture::waitForSkipped(ParluneDaHandle handle, int64_t count) {
    auto end = std::chrono::steady_clock::now() + kDeadline;
    while (ParluneDa_SkippedTexts(handle) < count) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        pause(20);
    }
    return true;
}

std::vector<ParluneDaEvent> EngineFixture::eventsThrough(ParluneDaHandle handle, uint64_t last,
                                                         int deadlineSeconds) {
    std::vector<ParluneDaEvent> events;
    auto ended = [&] {
        size_t n = events.size();
        return n >= 2 && events[n - 1].kind == PARLUNE_DA_EVENT_IDLE &&
               events[n - 2].text == last &&
               (events[n - 2].kind == PARLUNE_DA_EVENT_FINISHED ||
                events[n - 2].kind == PARLUNE_DA_EVENT_SKIPPED);
    };
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
    while (!ended() && std::chrono::steady_clock::now() < end) {
        ParluneDaEvent event{};
        int taken = ParluneDa_NextEvent(handle, &event);
        if (taken < 0) {
            ADD_FAILURE() << "NextEvent failed";
            break;
        }
        if (taken == 1) {
            events.push_back(event);
        } else {
            pause(5);
        }
    }
    return events;
}

ParluneDaHandle EngineFixture::create() {
    ParluneDaHandle handle = ParluneDa_Create();
    if (handle != nullptr) {
        m_handles.push_back(handle);
    }
    return handle;
}

void EngineFixture::release(ParluneDaHandle handle) {
    ParluneDa_Release(handle);
    m_handles.erase(std::remove(m_handles.begin(), m_handles.end(), handle), m_handles.end());
}

std::vector<std::string> EngineFixture::waitForWavs(size_t count, int deadlineSeconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
    std::vector<std::string> wavs = m_wavDir.namesEndingIn(".wav");
    while (wavs.size() < count && std::chrono::steady_clock::now() < end) {
        pause(count > 100 ? 200 : 20);  // listing a large directory costs
        wavs = m_wavDir.namesEndingIn(".wav");
    }
    EXPECT_GE(wavs.size(), count) << "WAV files did not appear in " << m_wavDir.path();
    return wavs;
}

std::vector<std::string> EngineFixture::utterancesOf(const std::string& text) {
    std::vector<std::string> result;
    for (const std::string& wav : m_wavDir.namesEndingIn(".wav")) {
        std::string base = wav.substr(0, wav.size() - 4);
        if (readFile(m_wavDir.file(base + ".txt")) == text) {
            result.push_back(base);
        }
    }
    return result;
}

std::string EngineFixture::waitForUtterance(const std::string& text) {
    auto end = std::chrono::steady_clock::now() + kDeadline;
    for (;;) {
        std::vector<std::string> found = utterancesOf(text);
        if (!found.empty()) {
            return found.front();
        }
        if (std::chrono::steady_clock::now() >= end) {
            return std::string();
        }
        pause(20);
    }
}

std::vector<WavFile> EngineFixture::spoken(const std::vector<std::string>& texts, int speed) {
    ParluneDaHandle h = create();
    EXPECT_NE(h, nullptr) << ParluneDa_CreateError();
    if (h == nullptr) {
        return {};
    }
    size_t before = m_wavDir.namesEndingIn(".wav").size();
    for (const std::string& text : texts) {
        EXPECT_EQ(ParluneDa_Play(h, text.c_str(), speed, 0, 0, 0), PARLUNE_DA_OK);
    }
    std::vector<std::string> wavs = waitForWavs(before + texts.size());
    std::vector<WavFile> result;
    for (size_t i = before; i < wavs.size(); ++i) {
        result.emplace_back(m_wavDir.file(wavs[i]));
        EXPECT_TRUE(result.back().valid()) << wavs[i];
    }
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 0);
    release(h);
    return result;
}

int EngineFixture::waitForFailure(ParluneDaHandle handle) {
    auto end = std::chrono::steady_clock::now() + kDeadline;
    for (;;) {
        int result = ParluneDa_Play(handle, "", PARLUNE_DA_SPEED_NORMAL, 0, 0, 0);
        if ((result != PARLUNE_DA_OK && result != PARLUNE_DA_E_QUEUE_FULL) ||
            std::chrono::steady_clock::now() >= end) {
            return result;
        }
        pause(20);
    }
}

}  // namespace parlune::test
