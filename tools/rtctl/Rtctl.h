#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "CommandLine.h"
#include "DataPort_OpenRTM.hh"
#include "NamingBrowser.h"
#include "OrbSession.h"
#include "RemoteComponent.h"
#include "RemotePort.h"
#include "TerminationSignals.h"

namespace rtctl {

// Carries out one rtctl command. Failures are thrown as ToolError.
class Rtctl {
  public:
    // `signals` is held for the commands that must undo a temporary
    // connection before the program ends (inject, print); may be null.
    Rtctl(OrbSession& session, const CommandLine& line, TerminationSignals* signals);

    // The exit status.
    int run();

  private:
    int list();
    int state();
    int changeState(RemoteComponent::Change change, const char* verb);
    int connect();
    int disconnect();
    int configure();
    int inject();
    int print();

    NamingBrowser& naming(const std::string& address);
    RemoteComponent component(const std::string& text);
    // `owner`, when given, receives the port's component.
    RemotePort port(const std::string& text, std::optional<RemoteComponent>* owner = nullptr);
    // The InPortCdr object an input port published in notify_connect.
    OpenRTM::InPortCdr_ptr inPortObject(const RemotePort& target,
                                        const SDOPackage::NVList& properties);
    // Sleeps; false when a termination signal cut the wait short.
    bool pause(double seconds);
    // Removes a connector this program made directly on `port`.
    void dropConnector(const RemotePort& port, const std::string& id);

    OrbSession& m_session;
    const CommandLine& m_line;
    TerminationSignals* m_signals;
    std::map<std::string, std::unique_ptr<NamingBrowser>> m_naming;
};

}  // namespace rtctl
