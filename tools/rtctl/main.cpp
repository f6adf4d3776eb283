// rtctl: a command-line client for RT components in a naming service.
#include <csignal>
#include <cstdio>
#include <optional>

#include "CommandLine.h"
#include "OrbSession.h"
#include "Rtctl.h"
#include "TerminationSignals.h"
#include "ToolError.h"

int main(int argc, char* argv[]) {
    using rtctl::CommandLine;
    using rtctl::ToolError;
    // A closed standard output shows up as a failed write, not as a signal.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        CommandLine line = CommandLine::parse(argc, argv);
        if (line.help()) {
            std::fputs(CommandLine::usage(), stdout);
            return 0;
        }
        std::optional<rtctl::TerminationSignals> signals;
        if (line.verb() == "inject" || line.verb() == "print") signals.emplace();
        rtctl::OrbSession session(line);
        rtctl::Rtctl tool(session, line, signals ? &*signals : nullptr);
        return tool.run();
    } catch (const ToolError& e) {
        if (e.status() == ToolError::kUsage)
            std::fprintf(stderr, "rtctl: %s (rtctl -h shows the usage)\n", e.what());
        else
            std::fprintf(stderr, "rtctl: %s\n", e.what());
        return e.status();
    } catch (const CORBA::SystemException& e) {
        const char* minor = e.NP_minorString();
        std::fprintf(stderr, "rtctl: CORBA error %s\n", minor != nullptr ? minor : e._name());
    } catch (const CORBA::Exception& e) {
        std::fprintf(stderr, "rtctl: CORBA error %s\n", e._name());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rtctl: %s\n", e.what());
    }
    return ToolError::kFailure;
}
