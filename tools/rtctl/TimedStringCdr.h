#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The CDR form of RTC::TimedString as the corba_cdr data port carries it:
// no byte-order octet; ulong sec, ulong nsec, ulong length (including the
// terminating NUL), the bytes, NUL. Bytes pass unchanged in both directions.
class TimedStringCdr {
  public:
    struct Sample {
        std::uint32_t sec = 0;
        std::uint32_t nsec = 0;
        std::string data;
    };

    static std::vector<std::uint8_t> encode(const Sample& sample, bool littleEndian);
    // Empty when the bytes are not one well-formed sample.
    static std::optional<Sample> decode(const std::uint8_t* bytes, std::size_t size,
                                        bool littleEndian);
};
