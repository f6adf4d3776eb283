// libFuzzer target: bytes that arrive in an InPortCdr put() for a TimedString
// input port. A sample is accepted whole or not at all: an accepted sample is
// read back out of the port, and a rejected one leaves the port empty. The
// first input byte chooses the byte order.
// The generated type's Any operators first: the port's templates find them by name.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/InPort.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static RTC::TimedString value;
    static RTC::InPort<RTC::TimedString> port("in", value);
    const bool little_endian = (data[0] & 1) != 0;
    const RTC::DataPortStatus::Enum status = port.putCdr(data + 1, size - 1, little_endian);
    if (status == RTC::DataPortStatus::PORT_OK) {
        if (!port.isNew() || !port.read()) std::abort();
        // The string is NUL-terminated within what arrived.
        const char* text = value.data;
        if (text == nullptr || std::strlen(text) + 13 > size - 1) std::abort();
    } else if (port.isNew()) {
        std::abort();
    }
    return 0;
}
