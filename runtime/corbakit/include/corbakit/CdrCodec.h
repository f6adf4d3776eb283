// The CDR form of data port samples as corba_cdr connectors carry them: no
// encapsulation byte-order octet, the byte order agreed by the connection.
// Strings need the ORB's code sets: the ORB must be initialised first.
#pragma once

#include <omniORB4/CORBA.h>

#include <cstddef>

namespace corbakit {

template <class DataType>
void encodeCdr(const DataType& value, bool little_endian, cdrMemoryStream& stream) {
    stream.rewindPtrs();
    stream.setByteSwapFlag(little_endian);
    value >>= stream;
}

// False for a truncated or inconsistent encoding; value is then unchanged.
template <class DataType>
bool decodeCdr(const unsigned char* data, std::size_t length, bool little_endian, DataType& value) {
    if (data == nullptr) return false;
    try {
        cdrMemoryStream stream(const_cast<unsigned char*>(data), static_cast<CORBA::ULong>(length));
        stream.setByteSwapFlag(little_endian);
        DataType tmp;
        tmp <<= stream;
        value = tmp;
        return true;
    } catch (const CORBA::SystemException&) {
        return false;
    } catch (...) {
        return false;
    }
}

}  // namespace corbakit
