// CDR encoding of data port samples without encapsulation byte, as data
// ports carry them between processes, with the ORB made ready first.
#pragma once

#include <corbakit/CdrCodec.h>
#include <omniORB4/CORBA.h>
#include <rtm/Orb.h>

#include <cstddef>
#include <string>

namespace RTC {

// Repository id of an IDL-generated type, e.g. "IDL:RTC/TimedString:1.0".
template <class DataType>
std::string toRepositoryId() {
    ensureOrb();
    CORBA::Any any;
    DataType tmp;
    any <<= tmp;
    CORBA::TypeCode_var tc = any.type();
    return std::string(tc->id());
}

namespace detail {
struct OrbReady {
    OrbReady() { ensureOrb(); }
};
}  // namespace detail

// A memory stream for encoding; the ORB's code sets (needed for strings)
// exist before the stream takes them.
class CdrStream : private detail::OrbReady, public cdrMemoryStream {};

template <class DataType>
void encodeCdr(const DataType& value, bool little_endian, CdrStream& stream) {
    corbakit::encodeCdr(value, little_endian, stream);
}

// False for a truncated or inconsistent encoding; value is then unchanged.
template <class DataType>
bool decodeCdr(const unsigned char* data, std::size_t length, bool little_endian, DataType& value) {
    ensureOrb();
    return corbakit::decodeCdr(data, length, little_endian, value);
}

}  // namespace RTC
