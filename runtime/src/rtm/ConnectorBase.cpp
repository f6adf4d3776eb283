#include "ConnectorBase.h"
#include "Publisher.h"

namespace RTC {

ConnectorBase::ConnectorBase(const ConnectorInfo& info) : m_info(info) {}

ConnectorBase::~ConnectorBase() { stopPublisher(); }

void ConnectorBase::startPublisher(const PublisherSettings& settings) {
    stopPublisher();
    if (settings.kind == PublisherSettings::Kind::Flush) return;
    m_publisher.reset(new Publisher(settings, [this](const unsigned char* data, std::size_t size) {
        return putCdr(data, size);
    }));
}

void ConnectorBase::stopPublisher() {
    if (m_publisher) m_publisher->stop();
}

}  // namespace RTC
