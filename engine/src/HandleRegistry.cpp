#include "HandleRegistry.h"

namespace parlune {

HandleRegistry& HandleRegistry::instance() {
    static HandleRegistry* registry = new HandleRegistry;
    return *registry;
}

ParluneDaHandle HandleRegistry::add(std::shared_ptr<Speaker> speaker) {
    std::lock_guard<std::mutex> lock(m_mutex);
    uintptr_t key = ++m_lastKey;
    m_speakers.emplace(key, std::move(speaker));
    return reinterpret_cast<ParluneDaHandle>(key);
}

std::shared_ptr<Speaker> HandleRegistry::find(ParluneDaHandle handle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_speakers.find(reinterpret_cast<uintptr_t>(handle));
    return it == m_speakers.end() ? nullptr : it->second;
}

std::shared_ptr<Speaker> HandleRegistry::remove(ParluneDaHandle handle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_speakers.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_speakers.end()) {
        return nullptr;
    }
    std::shared_ptr<Speaker> speaker = std::move(it->second);
    m_speakers.erase(it);
    return speaker;
}

}  // namespace parlune
