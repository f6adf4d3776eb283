// The texts the engine accepted and has not finished with yet: which engine
// ordinal belongs to which text's time stamp, and the stamp of the text that
// ended last.
#pragma once

// The data type header must come before the other framework headers.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <cstdint>
#include <map>
#include <vector>

class TextLedger {
  public:
    // Forgets everything; the next accepted text is ordinal 1 again (a new
    // engine instance counts from 1).
    void reset();
    // Records the next accepted text; returns its ordinal.
    std::uint64_t accept(const RTC::Time& tm);
    // The stamp of an open text; false when n is unknown or already ended.
    bool find(std::uint64_t n, RTC::Time& tm) const;
    // Ends an open text: its stamp goes to *tm and becomes lastEnded();
    // false when n is unknown or already ended (nothing changes).
    bool end(std::uint64_t n, RTC::Time& tm);
    // The stamps of every open text, oldest first; they count as ended.
    std::vector<RTC::Time> takeOpen();
    const RTC::Time& lastEnded() const { return m_lastEnded; }
    std::size_t open() const { return m_open.size(); }

  private:
    std::uint64_t m_accepted = 0;
    std::map<std::uint64_t, RTC::Time> m_open;
    RTC::Time m_lastEnded{0, 0};
};
