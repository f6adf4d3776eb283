#include "corbakit/InPortCdrReceiver.h"

namespace corbakit {

OpenRTM::PortStatus InPortCdrReceiver::put(const OpenRTM::CdrData& data) {
    try {
        return m_handler(data.get_buffer(), data.length());
    } catch (...) {
        return OpenRTM::PORT_ERROR;
    }
}

}  // namespace corbakit
