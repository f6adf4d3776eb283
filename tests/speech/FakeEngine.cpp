#include "FakeEngine.h"

#include "support/Wait.h"

#include "ParluneDa.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace fake_engine {

namespace {
std::mutex g_mutex;
std::vector<Call> g_calls;
std::uintptr_t g_next = 0x1000;
std::string g_failText;
int g_failResult = 0;
int g_failTimes = -1;
std::function<std::uint64_t()> g_cycle;
}  // namespace

std::vector<Call> calls() {
    std::lock_guard<std::mutex> g(g_mutex);
    return g_calls;
}

std::vector<Call> plays() {
    std::vector<Call> out;
    for (const Call& c : calls()) {
        if (c.function == "Play" || c.function == "PlayWith") out.push_back(c);
    }
    return out;
}

void reset() {
    std::lock_guard<std::mutex> g(g_mutex);
    g_calls.clear();
    g_failText.clear();
    g_failResult = 0;
    g_failTimes = -1;
    g_cycle = nullptr;
}

void failOn(const std::string& failText, int result, int times) {
    std::lock_guard<std::mutex> g(g_mutex);
    g_failText = failText;
    g_failResult = result;
    g_failTimes = times;
}

void setCycleSource(std::function<std::uint64_t()> source) {
    std::lock_guard<std::mutex> g(g_mutex);
    g_cycle = std::move(source);
}

bool waitForPlays(std::size_t count, int timeout_ms) {
    return testsupport::waitUntil([&] { return plays().size() >= count; },
                                  std::chrono::milliseconds(timeout_ms),
                                  std::chrono::milliseconds(1));
}

}  // namespace fake_engine

using fake_engine::Call;

extern "C" ParluneDaHandle ParluneDa_Create(void) {
    std::lock_guard<std::mutex> g(fake_engine::g_mutex);
    Call c;
    c.function = "Create";
    c.handle = fake_engine::g_next++;
    fake_engine::g_calls.push_back(c);
    return reinterpret_cast<ParluneDaHandle>(c.handle);
}

namespace {
int playCall(const char* function, ParluneDaHandle handle, const char* text, int32_t speed,
             int32_t a, int32_t b, int32_t d) {
    std::lock_guard<std::mutex> g(fake_engine::g_mutex);
    Call c;
    c.function = function;
    c.handle = reinterpret_cast<std::uintptr_t>(handle);
    c.text = text ? text : "<null>";
    c.speed = speed;
    c.extra[0] = a;
    c.extra[1] = b;
    c.extra[2] = d;
    if (fake_engine::g_cycle) c.cycle = fake_engine::g_cycle();
    fake_engine::g_calls.push_back(c);
    if (fake_engine::g_failText.empty() || c.text != fake_engine::g_failText) return 0;
    if (fake_engine::g_failTimes == 0) return 0;
    if (fake_engine::g_failTimes > 0) --fake_engine::g_failTimes;
    return fake_engine::g_failResult;
}
}  // namespace

extern "C" int ParluneDa_Play(ParluneDaHandle handle, const char* text, int32_t speed, int32_t a,
                              int32_t b, int32_t d) {
    return playCall("Play", handle, text, speed, a, b, d);
}

#ifdef FAKE_ENGINE_STEERING
// Only in the tests of an engine that can be steered: volume and pitch go to
// extra[0] and extra[1] of a "PlayWith" call.
extern "C" int ParluneDa_PlayWith(ParluneDaHandle handle, const char* text, int32_t speed,
                                  int32_t volume, int32_t pitch) {
    return playCall("PlayWith", handle, text, speed, volume, pitch, 0);
}

extern "C" int ParluneDa_Interrupt(ParluneDaHandle handle) {
    std::lock_guard<std::mutex> g(fake_engine::g_mutex);
    Call c;
    c.function = "Interrupt";
    c.handle = reinterpret_cast<std::uintptr_t>(handle);
    if (fake_engine::g_cycle) c.cycle = fake_engine::g_cycle();
    fake_engine::g_calls.push_back(c);
    return 0;
}
#endif

extern "C" void ParluneDa_Release(ParluneDaHandle handle) {
    std::lock_guard<std::mutex> g(fake_engine::g_mutex);
    Call c;
    c.function = "Release";
    c.handle = reinterpret_cast<std::uintptr_t>(handle);
    fake_engine::g_calls.push_back(c);
}
