#include "TextLedger.h"

void TextLedger::reset() {
    m_accepted = 0;
    m_open.clear();
}

std::uint64_t TextLedger::accept(const RTC::Time& tm) {
    m_open[++m_accepted] = tm;
    return m_accepted;
}

bool TextLedger::find(std::uint64_t n, RTC::Time& tm) const {
    const auto it = m_open.find(n);
    if (it == m_open.end()) return false;
    tm = it->second;
    return true;
}

bool TextLedger::end(std::uint64_t n, RTC::Time& tm) {
    const auto it = m_open.find(n);
    if (it == m_open.end()) return false;
    tm = it->second;
    m_lastEnded = tm;
    m_open.erase(it);
    return true;
}

std::vector<RTC::Time> TextLedger::takeOpen() {
    std::vector<RTC::Time> stamps;
    for (const auto& entry : m_open) stamps.push_back(entry.second);
    if (!stamps.empty()) m_lastEnded = stamps.back();
    m_open.clear();
    return stamps;
}
