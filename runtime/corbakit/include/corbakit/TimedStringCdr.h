// RTC::TimedString in its corba_cdr form: ulong sec, ulong nsec, ulong length
// (including the terminating NUL), the bytes, NUL. Bytes pass unchanged in
// both directions. Needs an initialised ORB (see CdrCodec.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corbakit {

class TimedStringCdr {
  public:
    struct Sample {
        std::uint32_t sec = 0;
        std::uint32_t nsec = 0;
        std::string data;
    };

    // A CORBA string ends at its first NUL: the text is cut there.
    static std::vector<std::uint8_t> encode(const Sample& sample, bool littleEndian);
    // Empty when the bytes are not one well-formed sample.
    static std::optional<Sample> decode(const std::uint8_t* bytes, std::size_t size,
                                        bool littleEndian);
};

}  // namespace corbakit
