#include "LocalConnection.h"
#include <rtm/SystemLogger.h>
#include "ConnectorBase.h"
#include "PublisherSettings.h"

#include <atomic>
#include <cstdio>
#include <random>

namespace RTC {

namespace {

// The sending end: delivers straight into the receiving port's buffer, in
// write() for flush, from the thread of a new or periodic one.
class LocalOutConnector : public ConnectorBase {
  public:
    LocalOutConnector(const ConnectorInfo& info, InPortBase& in) : ConnectorBase(info), m_in(in) {}
    ~LocalOutConnector() override { stopPublisher(); }
    InPortBase* localInPort() const override { return &m_in; }
    DataPortStatus::Enum putCdr(const unsigned char* data, std::size_t length) override {
        const DataPortStatus::Enum status = m_in.putCdr(id(), data, length, littleEndian());
        // The receiver's buffer, not ours: the sender's side says so. Its
        // BUFFER_TIMEOUT (not stored) stays, unlike a call's SEND_TIMEOUT.
        if (status == DataPortStatus::BUFFER_FULL) return DataPortStatus::SEND_FULL;
        return status;
    }
    void onDisconnect() override { m_in.removeConnector(id()); }

  private:
    InPortBase& m_in;
};

// The receiving end: only remembers whom to tell when it goes away.
class LocalInConnector : public ConnectorBase {
  public:
    LocalInConnector(const ConnectorInfo& info, OutPortBase& out)
        : ConnectorBase(info), m_out(out) {}
    void onDisconnect() override { m_out.removeConnectorAfterSending(id()); }

  private:
    OutPortBase& m_out;
};

}  // namespace

std::string newConnectorId() {
    // Random UUID-shaped id, unique enough across processes.
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937_64 rng(std::random_device{}() ^
                                            (counter.fetch_add(1) * 0x9e3779b97f4a7c15ULL));
    unsigned long long a = rng(), b = rng();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08llx-%04llx-4%03llx-%04llx-%012llx", a >> 32,
                  (a >> 16) & 0xffff, a & 0xfff, ((b >> 48) & 0x3fff) | 0x8000,
                  b & 0xffffffffffffULL);
    return buf;
}

ReturnCode_t connectLocal(OutPortBase& out, InPortBase& in, const coil::Properties& requested,
                          std::string* id) {
    if (out.dataType() != in.dataType()) return BAD_PARAMETER;
    const coil::Properties prop = out.connectionProperties(requested);
    PublisherSettings settings;
    std::string error;
    if (!PublisherSettings::fromConnection(prop, settings, &error)) {
        Logger rtclog("manager");
        RTC_ERROR(("connect %s -> %s refused: %s", out.getName().c_str(), in.getName().c_str(),
                   error.c_str()));
        return BAD_PARAMETER;
    }
    ConnectorInfo info;
    info.id = newConnectorId();
    info.name = prop.getProperty("name", out.getName() + "_" + in.getName());
    info.ports = {out.getName(), in.getName()};
    info.properties << prop;
    info.properties.setProperty("dataport.interface_type", "corba_cdr");
    info.properties.setProperty("dataport.dataflow_type", "push");
    if (info.properties.getProperty("dataport.subscription_type").empty()) {
        info.properties.setProperty("dataport.subscription_type", settings.kindName());
    }
    auto sender = std::make_shared<LocalOutConnector>(info, in);
    sender->startPublisher(settings);
    out.addConnector(sender);
    in.addConnector(std::make_shared<LocalInConnector>(info, out));
    if (id != nullptr) *id = info.id;
    return RTC_OK;
}

}  // namespace RTC
