#include "corbakit/TimedStringCdr.h"

#include "BasicDataType.hh"
#include "corbakit/CdrCodec.h"

namespace corbakit {

std::vector<std::uint8_t> TimedStringCdr::encode(const Sample& sample, bool littleEndian) {
    RTC::TimedString value;
    value.tm.sec = sample.sec;
    value.tm.nsec = sample.nsec;
    value.data = sample.data.c_str();
    cdrMemoryStream stream;
    encodeCdr(value, littleEndian, stream);
    const auto* begin = static_cast<const std::uint8_t*>(stream.bufPtr());
    return std::vector<std::uint8_t>(begin, begin + stream.bufSize());
}

std::optional<TimedStringCdr::Sample> TimedStringCdr::decode(const std::uint8_t* bytes,
                                                             std::size_t size, bool littleEndian) {
    RTC::TimedString value;
    if (!decodeCdr(bytes, size, littleEndian, value)) return std::nullopt;
    Sample sample;
    sample.sec = value.tm.sec;
    sample.nsec = value.tm.nsec;
    sample.data = static_cast<const char*>(value.data);
    return sample;
}

}  // namespace corbakit
