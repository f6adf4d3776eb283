#include "Rtctl.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include <corbakit/CdrConnection.h>
#include <corbakit/InPortCdrReceiver.h>
#include <corbakit/NameValues.h>
#include <corbakit/TimedStringCdr.h>

#include "ConnectorRequest.h"
#include "ObjectNames.h"
#include "RemoteCall.h"
#include "SamplePrinter.h"
#include "ToolError.h"

namespace rtctl {

namespace {
const char* const kTimedString = "TimedString";
const char* const kTimedOctetSeq = "TimedOctetSeq";

std::string portSubject(const RemotePort& port) { return "port '" + port.label() + "'"; }

void printLine(const std::string& text) { std::printf("%s\n", text.c_str()); }

// inject carries TimedString only; print also TimedOctetSeq when `octetsToo`.
void requireStringPort(const RemotePort& port, const char* wantedType, const char* verb,
                       bool octetsToo = false) {
    std::string type = port.portType();
    if (!type.empty() && type != wantedType)
        throw ToolError(verb + std::string(" needs a ") +
                        (std::string(wantedType) == "DataInPort" ? "data input" : "data output") +
                        " port; '" + port.label() + "' is a " + type);
    std::string data = port.dataType();
    const std::string name = data.empty() ? kTimedString : RemotePort::typeName(data);
    if (name != kTimedString && !(octetsToo && name == kTimedOctetSeq))
        throw ToolError("type mismatch: '" + port.label() + "' carries " + data + ", " + verb +
                        (octetsToo ? " handles TimedString and TimedOctetSeq only"
                                   : " handles TimedString only"));
}

bool isDataPort(const std::string& type) { return type == "DataInPort" || type == "DataOutPort"; }
}  // namespace

Rtctl::Rtctl(OrbSession& session, const CommandLine& line, TerminationSignals* signals)
    : m_session(session), m_line(line), m_signals(signals) {}

int Rtctl::run() {
    const std::string& verb = m_line.verb();
    if (verb == "ls") return list();
    if (verb == "state") return state();
    if (verb == "activate") return changeState(RemoteComponent::Change::Activate, "activate");
    if (verb == "deactivate") return changeState(RemoteComponent::Change::Deactivate, "deactivate");
    if (verb == "reset") return changeState(RemoteComponent::Change::Reset, "reset");
    if (verb == "connect") return connect();
    if (verb == "disconnect") return disconnect();
    if (verb == "conf") return configure();
    if (verb == "inject") return inject();
    if (verb == "print") return print();
    throw ToolError("unknown command '" + verb + "'", ToolError::kUsage);
}

NamingBrowser& Rtctl::naming(const std::string& address) {
    std::unique_ptr<NamingBrowser>& slot = m_naming[address];
    if (!slot) slot = std::make_unique<NamingBrowser>(m_session.orb(), address);
    return *slot;
}

RemoteComponent Rtctl::component(const std::string& text) {
    corbakit::NamingPath path = componentPath(text);
    const std::string& address =
        path.form() == corbakit::NamingPath::Form::Absolute ? path.server() : m_line.naming();
    NamingBrowser::Entry entry = naming(address).find(path);
    return RemoteComponent(entry.object, path.text());
}

RemotePort Rtctl::port(const std::string& text, std::optional<RemoteComponent>* owner) {
    corbakit::NamingPath path = portPath(text);
    RemoteComponent comp = component(path.text());
    RemotePort found = comp.port(path.portName());
    if (owner != nullptr) owner->emplace(comp);
    return RemotePort(found.ref(), found.profile(), text);
}

bool Rtctl::pause(double seconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(seconds));
    for (;;) {
        if (m_signals != nullptr && m_signals->takePending()) return false;
        Clock::duration left = end - Clock::now();
        if (left <= Clock::duration::zero()) return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(50)));
    }
}

int Rtctl::list() {
    NamingBrowser& browser = naming(m_line.naming());
    for (const NamingBrowser::Entry& entry : browser.components()) {
        if (!m_line.longListing()) {
            printLine(entry.path);
            continue;
        }
        try {
            RemoteComponent comp(entry.object, entry.path);
            std::string header = entry.path + "  " + CorbaText::state(comp.state());
            std::vector<RemotePort> ports = comp.ports();
            printLine(header);
            for (const RemotePort& port : ports) {
                std::string line = "  " + port.shortName() + "  " + port.portType();
                if (!port.dataType().empty()) line += "  " + port.dataType();
                line +=
                    "  connectors=" + std::to_string(port.profile().connector_profiles.length());
                printLine(line);
            }
        } catch (const ToolError& e) {
            // A stale entry from a process that has gone: show it and go on.
            std::string reason = e.what();
            const std::string prefix = "component '" + entry.path + "' ";
            if (reason.compare(0, prefix.size(), prefix) == 0)
                reason = reason.substr(prefix.size());
            printLine(entry.path + "  (" + reason + ")");
        }
    }
    return 0;
}

int Rtctl::state() {
    RemoteComponent comp = component(m_line.operands()[0]);
    printLine(CorbaText::state(comp.state()));
    return 0;
}

int Rtctl::changeState(RemoteComponent::Change change, const char* verb) {
    RemoteComponent comp = component(m_line.operands()[0]);
    RTC::ReturnCode_t code = comp.change(change);
    if (code == RTC::RTC_OK) return 0;
    std::string now;
    try {
        now = " (state now " + CorbaText::state(comp.state()) + ")";
    } catch (const ToolError&) {
        // The state is only extra information here.
    }
    throw ToolError(std::string(verb) + " '" + comp.label() + "': the execution context answered " +
                    CorbaText::returnCode(code) + now);
}

int Rtctl::connect() {
    RemotePort first = port(m_line.operands()[0]);
    RemotePort second = port(m_line.operands()[1]);
    for (const RemotePort* p : {&first, &second}) {
        if (!p->portType().empty() && !isDataPort(p->portType()))
            throw ToolError("'" + p->label() + "' is a " + p->portType() +
                            "; rtctl connects data ports only");
    }
    if (!first.portType().empty() && first.portType() == second.portType())
        throw ToolError("'" + first.label() + "' and '" + second.label() + "' are both " +
                        first.portType() + "s; connect an output port to an input port");
    if (first.ref()->_is_equivalent(second.ref()))
        throw ToolError("cannot connect '" + first.label() + "' to itself");
    std::string firstType = RemotePort::typeName(first.dataType());
    std::string secondType = RemotePort::typeName(second.dataType());
    if (!firstType.empty() && !secondType.empty() && firstType != secondType)
        throw ToolError("type mismatch: '" + first.label() + "' carries " + first.dataType() +
                        ", '" + second.label() + "' carries " + second.dataType());

    std::string name = m_line.connectorName();
    if (name.empty())
        name = std::string(static_cast<const char*>(first.profile().name)) + "_" +
               static_cast<const char*>(second.profile().name);
    ConnectorRequest request(name, "little,big");
    for (const std::string& property : m_line.properties()) request.setProperty(property);
    request.addPort(first.ref());
    request.addPort(second.ref());
    RTC::ConnectorProfile& profile = request.profile();
    // As the framework's tools do: connect() on the first port, which passes
    // notify_connect() along the list of ports.
    RTC::ReturnCode_t code =
        remoteCall(portSubject(first), "connect", [&] { return first.ref()->connect(profile); });
    if (code != RTC::RTC_OK) {
        std::string hint = code == RTC::PRECONDITION_NOT_MET
                               ? " (already connected, or no more connections allowed)"
                               : "";
        throw ToolError("connect '" + first.label() + "' to '" + second.label() +
                        "' failed: " + CorbaText::returnCode(code) + hint);
    }
    printLine(static_cast<const char*>(profile.connector_id));
    return 0;
}

int Rtctl::disconnect() {
    RemotePort first = port(m_line.operands()[0]);
    if (m_line.operands().size() == 1) {
        RTC::ConnectorProfileList_var all =
            remoteCall(portSubject(first), "get_connector_profiles",
                       [&] { return first.ref()->get_connector_profiles(); });
        RTC::ReturnCode_t code = remoteCall(portSubject(first), "disconnect_all",
                                            [&] { return first.ref()->disconnect_all(); });
        if (code != RTC::RTC_OK)
            throw ToolError("disconnect '" + first.label() +
                            "' failed: " + CorbaText::returnCode(code));
        for (CORBA::ULong i = 0; i < all->length(); ++i)
            printLine(static_cast<const char*>(all[i].connector_id));
        return 0;
    }
    if (CommandLine::isConnectorId(m_line.operands()[1])) {
        const std::string& id = m_line.operands()[1];
        RTC::ReturnCode_t code = remoteCall(portSubject(first), "disconnect",
                                            [&] { return first.ref()->disconnect(id.c_str()); });
        if (code != RTC::RTC_OK)
            throw ToolError("'" + first.label() + "' has no connector '" + id + "' to remove (" +
                            CorbaText::returnCode(code) + ")");
        printLine(id);
        return 0;
    }
    RemotePort second = port(m_line.operands()[1]);
    RTC::ConnectorProfileList_var all =
        remoteCall(portSubject(first), "get_connector_profiles",
                   [&] { return first.ref()->get_connector_profiles(); });
    std::vector<std::string> ids;
    for (CORBA::ULong i = 0; i < all->length(); ++i) {
        const RTC::PortServiceList& ports = all[i].ports;
        for (CORBA::ULong j = 0; j < ports.length(); ++j) {
            if (!CORBA::is_nil(ports[j]) && ports[j]->_is_equivalent(second.ref())) {
                ids.emplace_back(static_cast<const char*>(all[i].connector_id));
                break;
            }
        }
    }
    if (ids.empty())
        throw ToolError("'" + first.label() + "' and '" + second.label() + "' are not connected");
    for (const std::string& id : ids) {
        RTC::ReturnCode_t code = remoteCall(portSubject(first), "disconnect",
                                            [&] { return first.ref()->disconnect(id.c_str()); });
        if (code != RTC::RTC_OK)
            throw ToolError("disconnect " + id + " failed: " + CorbaText::returnCode(code));
        printLine(id);
    }
    return 0;
}

int Rtctl::configure() {
    const std::vector<std::string>& operands = m_line.operands();
    RemoteComponent comp = component(operands[0]);
    SDOPackage::Configuration_var config = comp.configuration();
    const std::string subject = "configuration of '" + comp.label() + "'";
    SDOPackage::ConfigurationSet_var active =
        remoteCall(subject, "get_active_configuration_set",
                   [&] { return config->get_active_configuration_set(); });
    SDOPackage::NVList& data = active->configuration_data;
    if (operands.size() == 1) {
        for (CORBA::ULong i = 0; i < data.length(); ++i)
            printLine(std::string(static_cast<const char*>(data[i].name)) + "=" +
                      corbakit::describeValue(data[i].value));
        return 0;
    }
    const std::string& name = operands[2];
    if (!corbakit::hasName(data, name))
        throw ToolError("'" + comp.label() + "' has no parameter '" + name +
                        "' in its active configuration set '" +
                        static_cast<const char*>(active->id) + "'");
    if (operands[1] == "get") {
        for (CORBA::ULong i = 0; i < data.length(); ++i) {
            if (name == static_cast<const char*>(data[i].name))
                printLine(corbakit::describeValue(data[i].value));
        }
        return 0;
    }
    // As the framework's own utility does: store the changed set, then activate
    // it again so that the component applies it.
    corbakit::setString(data, name, operands[3]);
    bool stored = remoteCall(subject, "set_configuration_set_values",
                             [&] { return config->set_configuration_set_values(active.in()); });
    if (!stored) throw ToolError("'" + comp.label() + "' refused the value for '" + name + "'");
    std::string id = static_cast<const char*>(active->id);
    bool activated = remoteCall(subject, "activate_configuration_set",
                                [&] { return config->activate_configuration_set(id.c_str()); });
    if (!activated)
        throw ToolError("'" + comp.label() + "' stored '" + name + "' but did not activate set '" +
                        id + "'");
    return 0;
}

void Rtctl::dropConnector(const RemotePort& port, const std::string& id) {
    RTC::ReturnCode_t code = remoteCall(portSubject(port), "notify_disconnect",
                                        [&] { return port.ref()->notify_disconnect(id.c_str()); });
    if (code != RTC::RTC_OK)
        throw ToolError("removing the temporary connector from '" + port.label() +
                        "' failed: " + CorbaText::returnCode(code));
}

int Rtctl::inject() {
    const std::vector<std::string>& operands = m_line.operands();
    std::optional<RemoteComponent> owner;
    RemotePort target = port(operands[0], &owner);
    requireStringPort(target, "DataInPort", "inject");

    // The framework reads an input port's buffer only while the port has a
    // connection: what is put through a connection that closes before the
    // component reads it stays unread until another connection exists.
    bool otherConnections = target.profile().connector_profiles.length() > 0;
    RTC::LifeCycleState state = owner->state();
    if (!m_line.keep() && !otherConnections && state != RTC::ACTIVE_STATE)
        throw ToolError(
            "'" + owner->label() + "' is " + CorbaText::state(state) + " and '" + target.label() +
            "' has no other connection: the text would stay unread once rtctl disconnects"
            " (activate it first, or use --keep)");
    // One execution period between texts, so that a component reading one
    // sample per cycle sees every one.
    double period = 0.1;
    try {
        RTC::ExecutionContext_var ec = owner->context();
        double rate = ec->get_rate();
        if (rate > 0.0) period = std::min(1.0, std::max(0.001, 1.0 / rate));
    } catch (const CORBA::Exception&) {
        // Keep the default period.
    } catch (const ToolError&) {
        // Keep the default period.
    }

    // rtctl stands in for an output port: the input port creates its
    // InPortCdr object in notify_connect and returns its reference.
    ConnectorRequest request("rtctl.inject", "little");
    request.setId(ConnectorRequest::newId());
    request.addPort(target.ref());
    RTC::ConnectorProfile& profile = request.profile();
    const std::string id = static_cast<const char*>(profile.connector_id);
    RTC::ReturnCode_t code = remoteCall(portSubject(target), "notify_connect",
                                        [&] { return target.ref()->notify_connect(profile); });
    if (code != RTC::RTC_OK)
        throw ToolError("'" + target.label() +
                        "' refused the connection: " + CorbaText::returnCode(code));

    try {
        OpenRTM::InPortCdr_var sink = inPortObject(target, profile.properties);
        for (std::size_t i = 1; i < operands.size(); ++i) {
            if (i > 1 && !pause(period))
                throw ToolError("interrupted after " + std::to_string(i - 1) + " of " +
                                std::to_string(operands.size() - 1) + " texts");
            timespec now = {};
            clock_gettime(CLOCK_REALTIME, &now);
            corbakit::TimedStringCdr::Sample sample;
            sample.sec = static_cast<std::uint32_t>(now.tv_sec);
            sample.nsec = static_cast<std::uint32_t>(now.tv_nsec);
            sample.data = operands[i];
            std::vector<std::uint8_t> bytes = corbakit::TimedStringCdr::encode(sample, true);
            OpenRTM::CdrData data(static_cast<CORBA::ULong>(bytes.size()),
                                  static_cast<CORBA::ULong>(bytes.size()), bytes.data(), false);
            OpenRTM::PortStatus status =
                remoteCall(portSubject(target), "put", [&] { return sink->put(data); });
            if (status != OpenRTM::PORT_OK)
                throw ToolError("'" + target.label() + "' did not take '" + operands[i] +
                                "': " + CorbaText::portStatus(status));
        }
    } catch (const ToolError&) {
        if (!m_line.keep()) {
            try {
                dropConnector(target, id);
            } catch (const ToolError&) {
                // The first failure is the one to report.
            }
        }
        throw;
    }
    if (m_line.keep()) {
        printLine(id);
        return 0;
    }
    // Give the component time to read before the connection goes; an
    // interrupt only shortens the wait.
    if (!otherConnections) pause(m_line.waitSeconds());
    dropConnector(target, id);
    return 0;
}

OpenRTM::InPortCdr_ptr Rtctl::inPortObject(const RemotePort& target,
                                           const SDOPackage::NVList& properties) {
    OpenRTM::InPortCdr_var sink = remoteCall(portSubject(target), "_is_a", [&] {
        return corbakit::publishedInPortCdr(m_session.orb(), properties);
    });
    if (!CORBA::is_nil(sink)) return sink._retn();
    throw ToolError("'" + target.label() +
                    "' published no InPortCdr object (is it a corba_cdr input port?)");
}

int Rtctl::print() {
    RemotePort source = port(m_line.operands()[0]);
    requireStringPort(source, "DataOutPort", "print", true);
    const bool octets = RemotePort::typeName(source.dataType()) == kTimedOctetSeq;

    PortableServer::POA_ptr poa = m_session.rootPoa();
    // Shared with the receiving object, which may still be in a call when this returns.
    auto printer = std::make_shared<SamplePrinter>(m_line.count(), true, m_line.stamps(), octets);
    PortableServer::Servant_var<corbakit::InPortCdrReceiver> servant =
        new corbakit::InPortCdrReceiver([printer](const unsigned char* data, std::size_t size) {
            return printer->print(data, size);
        });
    PortableServer::ObjectId_var oid = poa->activate_object(servant.in());
    CORBA::Object_var object = poa->id_to_reference(oid.in());
    OpenRTM::InPortCdr_var sink = OpenRTM::InPortCdr::_narrow(object);

    // rtctl stands in for an input port that has published its InPortCdr object.
    ConnectorRequest request("rtctl.print", "little");
    request.setId(ConnectorRequest::newId());
    request.addPort(source.ref());
    corbakit::publishInPortCdr(m_session.orb(), sink, request.profile().properties);
    RTC::ConnectorProfile& profile = request.profile();
    const std::string id = static_cast<const char*>(profile.connector_id);
    RTC::ReturnCode_t code = remoteCall(portSubject(source), "notify_connect",
                                        [&] { return source.ref()->notify_connect(profile); });
    if (code != RTC::RTC_OK)
        throw ToolError("'" + source.label() +
                        "' refused the connection: " + CorbaText::returnCode(code));

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastCheck = start;
    bool interrupted = false;
    bool lost = false;
    bool timedOut = false;
    while (!printer->waitFinished(std::chrono::milliseconds(100))) {
        if (m_signals != nullptr && m_signals->takePending()) {
            interrupted = true;
            break;
        }
        Clock::time_point now = Clock::now();
        if (m_line.timeoutSeconds() != 0 &&
            now - start >= std::chrono::seconds(m_line.timeoutSeconds())) {
            timedOut = true;
            break;
        }
        // Notice an output port whose process has gone.
        if (now - lastCheck >= std::chrono::seconds(2)) {
            lastCheck = now;
            try {
                lost = source.ref()->_non_existent();
            } catch (const CORBA::SystemException&) {
                lost = true;
            }
            if (lost) break;
        }
    }
    if (!lost) dropConnector(source, id);
    poa->deactivate_object(oid.in());

    const std::size_t printed = printer->printed();
    if (lost)
        throw ToolError("'" + source.label() + "' went away after " + std::to_string(printed) +
                        " strings");
    if (timedOut)
        throw ToolError("timed out after " + std::to_string(m_line.timeoutSeconds()) + " s with " +
                        std::to_string(printed) + " of " + std::to_string(m_line.count()) +
                        " strings");
    if (interrupted && m_line.count() != 0)
        throw ToolError("interrupted after " + std::to_string(printed) + " of " +
                        std::to_string(m_line.count()) + " strings");
    return 0;
}

}  // namespace rtctl
