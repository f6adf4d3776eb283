// RTC::TimedOctetSeq in its corba_cdr form: ulong sec, ulong nsec, ulong
// length, the octets. Needs an initialised ORB (see CdrCodec.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace corbakit {

class TimedOctetSeqCdr {
  public:
    struct Sample {
        std::uint32_t sec = 0;
        std::uint32_t nsec = 0;
        std::vector<std::uint8_t> data;
    };

    static std::vector<std::uint8_t> encode(const Sample& sample, bool littleEndian);
    // Empty when the bytes are not one well-formed sample.
    static std::optional<Sample> decode(const std::uint8_t* bytes, std::size_t size,
                                        bool littleEndian);
};

}  // namespace corbakit
