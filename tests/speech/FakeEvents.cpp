#include "FakeEvents.h"

#include "ParluneDa.h"

#include <cstring>
#include <deque>
#include <mutex>

namespace fake_events {

namespace {
std::mutex g_mutex;
std::deque<ParluneDaEvent> g_due;
ParluneDaHandle g_enabled = nullptr;
int g_enableCalls = 0;
}  // namespace

void reset() {
    std::lock_guard<std::mutex> g(g_mutex);
    g_due.clear();
    g_enabled = nullptr;
    g_enableCalls = 0;
}

void push(int kind, std::uint64_t text, const std::string& detail) {
    ParluneDaEvent event{};
    event.kind = kind;
    event.text = text;
    std::strncpy(event.detail, detail.c_str(), sizeof event.detail - 1);
    std::lock_guard<std::mutex> g(g_mutex);
    g_due.push_back(event);
}

int enableCalls() {
    std::lock_guard<std::mutex> g(g_mutex);
    return g_enableCalls;
}

std::size_t due() {
    std::lock_guard<std::mutex> g(g_mutex);
    return g_due.size();
}

}  // namespace fake_events

extern "C" int ParluneDa_EnableEvents(ParluneDaHandle handle) {
    std::lock_guard<std::mutex> g(fake_events::g_mutex);
    ++fake_events::g_enableCalls;
    if (handle == nullptr) return PARLUNE_DA_E_HANDLE;
    fake_events::g_enabled = handle;
    return PARLUNE_DA_OK;
}

extern "C" int ParluneDa_NextEvent(ParluneDaHandle handle, ParluneDaEvent* event) {
    std::lock_guard<std::mutex> g(fake_events::g_mutex);
    if (event == nullptr || handle == nullptr || handle != fake_events::g_enabled) return -1;
    if (fake_events::g_due.empty()) return 0;
    *event = fake_events::g_due.front();
    fake_events::g_due.pop_front();
    return 1;
}
