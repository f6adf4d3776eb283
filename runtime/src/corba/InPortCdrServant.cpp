#include "InPortCdrServant.h"

namespace RTC {
namespace corba {

OpenRTM::PortStatus InPortCdrServant::put(const OpenRTM::CdrData& data) {
    std::shared_lock<std::shared_mutex> lock(m_entry->lock);
    if (m_entry->comp == nullptr) return OpenRTM::PORT_ERROR;
    switch (m_port->putCdr(data.get_buffer(), data.length(), m_littleEndian)) {
        case DataPortStatus::PORT_OK:
            return OpenRTM::PORT_OK;
        case DataPortStatus::BUFFER_FULL:
            return OpenRTM::BUFFER_FULL;
        default:
            return OpenRTM::PORT_ERROR;
    }
}

}  // namespace corba
}  // namespace RTC
