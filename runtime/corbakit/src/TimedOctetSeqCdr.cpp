#include "corbakit/TimedOctetSeqCdr.h"

#include <cstring>

#include "BasicDataType.hh"
#include "corbakit/CdrCodec.h"

namespace corbakit {

std::vector<std::uint8_t> TimedOctetSeqCdr::encode(const Sample& sample, bool littleEndian) {
    RTC::TimedOctetSeq value;
    value.tm.sec = sample.sec;
    value.tm.nsec = sample.nsec;
    value.data.length(static_cast<CORBA::ULong>(sample.data.size()));
    if (!sample.data.empty()) {
        std::memcpy(value.data.get_buffer(), sample.data.data(), sample.data.size());
    }
    cdrMemoryStream stream;
    encodeCdr(value, littleEndian, stream);
    const auto* begin = static_cast<const std::uint8_t*>(stream.bufPtr());
    return std::vector<std::uint8_t>(begin, begin + stream.bufSize());
}

std::optional<TimedOctetSeqCdr::Sample> TimedOctetSeqCdr::decode(const std::uint8_t* bytes,
                                                                 std::size_t size,
                                                                 bool littleEndian) {
    RTC::TimedOctetSeq value;
    if (!decodeCdr(bytes, size, littleEndian, value)) return std::nullopt;
    Sample sample;
    sample.sec = value.tm.sec;
    sample.nsec = value.tm.nsec;
    const CORBA::Octet* octets = value.data.get_buffer();
    sample.data.assign(octets, octets + value.data.length());
    return sample;
}

}  // namespace corbakit
