#include "CommandLine.h"

#include <corbakit/EndpointList.h>

#include <cstdlib>

#include "ObjectNames.h"
#include "ToolError.h"

namespace rtctl {

namespace {
[[noreturn]] void bad(const std::string& message) { throw ToolError(message, ToolError::kUsage); }

unsigned long positive(const std::string& option, const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        bad(option + " needs a positive whole number, not '" + text + "'");
    unsigned long value = std::stoul(text);
    if (value == 0) bad(option + " needs a positive whole number, not '" + text + "'");
    return value;
}

double seconds(const std::string& option, const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || !(value >= 0.0 && value <= 3600.0))
        bad(option + " needs a number of seconds from 0 to 3600, not '" + text + "'");
    return value;
}

const std::string& valueOf(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size()) bad("option " + args[i] + " needs a value");
    return args[++i];
}

void expectCount(const std::string& verb, const std::vector<std::string>& operands, std::size_t low,
                 std::size_t high) {
    if (operands.size() < low) bad(verb + ": missing operand");
    if (operands.size() > high) bad(verb + ": unexpected operand '" + operands[high] + "'");
}
}  // namespace

const char* CommandLine::usage() {
    return "usage: rtctl [-n HOST:PORT] [--endpoint ADDRESS] [TLS OPTIONS] [-ORBoption VALUE]...\n"
           "             COMMAND [ARGS]\n"
           "  --endpoint ADDRESS            rtctl's own listener, which components call back\n"
           "                                (print, inject): HOST, HOST:PORT, all, or giop:...\n"
           "                                (default $RTCTL_ENDPOINT, else 127.0.0.1)\n"
           "  --ca FILE --key FILE          speak TLS to components: the certificate authority\n"
           "  [--cert FILE]                 and rtctl's key with its certificate (in the key\n"
           "  [--key-password PW]           file, or in --cert)\n"
           "commands:\n"
           "  ls [-l]                       list components (-l: state and ports too)\n"
           "  state COMP                    print the component's state\n"
           "  activate COMP                 activate, deactivate or reset the component\n"
           "  deactivate COMP                 in its execution context\n"
           "  reset COMP\n"
           "  connect PORT1 PORT2 [-p KEY=VALUE]... [--name NAME]\n"
           "                                connect two data ports (push, corba_cdr, flush);\n"
           "                                prints the connector id\n"
           "  disconnect PORT1 [PORT2|ID]   remove the connections between two ports, one by\n"
           "                                its id, or all of PORT1's; prints the ids removed\n"
           "  conf COMP                     print the active configuration set as NAME=VALUE\n"
           "  conf COMP get NAME            print one parameter\n"
           "  conf COMP set NAME VALUE      change one parameter of the active set\n"
           "  inject [--keep] [-w SECONDS] PORT TEXT...\n"
           "                                send each TEXT as a TimedString to an input port\n"
           "                                through a temporary connection, closed SECONDS\n"
           "                                (default 1) after the last TEXT; --keep leaves it\n"
           "                                and prints its id (remove: disconnect PORT ID)\n"
           "  print PORT [-n COUNT] [-t SECONDS] [--tm]\n"
           "                                print the data of each TimedString an output port\n"
           "                                sends, one per line (a TimedOctetSeq's octets in\n"
           "                                hexadecimal); --tm puts its time stamp\n"
           "                                (SEC.NANOSEC and a space) before it\n"
           "COMP is Name0 (looked up in the naming service), a path under the naming\n"
           "root such as host.host_cxt/Name0.rtc, or /HOST:PORT/path/Name0.rtc.\n"
           "PORT is COMP.port or COMP:port. The naming service is 127.0.0.1:2809 unless -n.\n"
           "Exit status: 0 done, 1 failed, 2 wrong command line.\n";
}

CommandLine CommandLine::parse(int argc, const char* const argv[]) {
    CommandLine line;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            line.m_help = true;
            return line;
        }
        if (arg == "-n") {
            line.m_naming = namingAddress(valueOf(args, i));
            continue;
        }
        if (arg == "--endpoint") {
            line.m_endpoint = valueOf(args, i);
            continue;
        }
        if (arg == "--ca" || arg == "--key" || arg == "--cert" || arg == "--key-password") {
            std::string& target = arg == "--ca"     ? line.m_ca
                                  : arg == "--key"  ? line.m_key
                                  : arg == "--cert" ? line.m_cert
                                                    : line.m_keyPassword;
            target = valueOf(args, i);
            if (target.empty()) bad("option " + arg + " needs a value");
            continue;
        }
        if (arg.compare(0, 4, "-ORB") == 0 && arg.size() > 4) {
            line.m_orbOptions.push_back(arg);
            line.m_orbOptions.push_back(valueOf(args, i));
            continue;
        }
        if (!arg.empty() && arg[0] == '-') bad("unknown option '" + arg + "'");
        break;
    }
    line.checkNetwork();
    if (i >= args.size()) bad("no command given");
    line.m_verb = args[i];
    line.parseVerb(std::vector<std::string>(args.begin() + static_cast<long>(i) + 1, args.end()));
    return line;
}

void CommandLine::parseVerb(const std::vector<std::string>& args) {
    const std::string& verb = m_verb;
    static const char* const verbs[] = {"ls",      "state",      "activate", "deactivate", "reset",
                                        "connect", "disconnect", "conf",     "inject",     "print"};
    bool known = false;
    for (const char* name : verbs) known = known || verb == name;
    if (!known) bad("unknown command '" + verb + "'");
    parseOperands(args);
    // Names are checked here too, so that a typo never reaches the network.
    if (verb == "state" || verb == "activate" || verb == "deactivate" || verb == "reset" ||
        verb == "conf")
        componentPath(m_operands[0]);
    else if (verb != "ls") {
        std::size_t ports = verb == "connect" ? 2 : 1;
        if (verb == "disconnect" && m_operands.size() == 2 && !isConnectorId(m_operands[1]))
            ports = 2;
        for (std::size_t i = 0; i < ports; ++i) portPath(m_operands[i]);
    }
}

void CommandLine::parseOperands(const std::vector<std::string>& args) {
    const std::string& verb = m_verb;
    // These take free text (which may start with '-') and no options.
    if (verb == "inject") {
        // Options come before the port; everything after it is text.
        std::size_t i = 0;
        for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
            if (args[i] == "--keep")
                m_keep = true;
            else if (args[i] == "-w")
                m_wait = seconds("-w", valueOf(args, i));
            else
                bad(verb + ": unknown option '" + args[i] + "'");
        }
        m_operands.assign(args.begin() + static_cast<long>(i), args.end());
        expectCount(verb, m_operands, 2, m_operands.size());
        return;
    }
    if (verb == "conf") {
        m_operands = args;
        expectCount(verb, m_operands, 1, 4);
        if (m_operands.size() == 1) return;
        const std::string& action = m_operands[1];
        if (action == "get")
            expectCount("conf get", m_operands, 3, 3);
        else if (action == "set")
            expectCount("conf set", m_operands, 4, 4);
        else
            bad("conf: unknown action '" + action + "' (get or set)");
        return;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            m_operands.push_back(arg);
            continue;
        }
        if (verb == "ls" && arg == "-l")
            m_long = true;
        else if (verb == "connect" && arg == "-p")
            m_properties.push_back(valueOf(args, i));
        else if (verb == "connect" && arg == "--name")
            m_connectorName = valueOf(args, i);
        else if (verb == "print" && arg == "-n")
            m_count = positive("-n", valueOf(args, i));
        else if (verb == "print" && arg == "-t")
            m_timeout = positive("-t", valueOf(args, i));
        else if (verb == "print" && arg == "--tm")
            m_stamps = true;
        else
            bad(verb + ": unknown option '" + arg + "'");
    }
    if (verb == "ls")
        expectCount(verb, m_operands, 0, 0);
    else if (verb == "state" || verb == "activate" || verb == "deactivate" || verb == "reset")
        expectCount(verb, m_operands, 1, 1);
    else if (verb == "connect")
        expectCount(verb, m_operands, 2, 2);
    else if (verb == "disconnect")
        expectCount(verb, m_operands, 1, 2);
    else
        expectCount(verb, m_operands, 1, 1);
    for (const std::string& property : m_properties) {
        if (property.find('=') == std::string::npos || property[0] == '=')
            bad("property '" + property + "' is not KEY=VALUE");
    }
}

void CommandLine::checkNetwork() {
    std::string endpoint = m_endpoint;
    if (endpoint.empty()) {
        const char* env = std::getenv("RTCTL_ENDPOINT");
        endpoint = env != nullptr && *env != '\0' ? env : "127.0.0.1";
    }
    std::string why;
    if (!corbakit::EndpointList::toEndpoint(endpoint, m_endpoint, why))
        bad("endpoint '" + endpoint + "': " + why);
    if (!tls() && m_keyPassword.empty()) return;
    if (m_ca.empty() || m_key.empty()) bad("TLS needs both --ca and --key");
}

bool CommandLine::isConnectorId(const std::string& text) {
    return !text.empty() && text.find_first_of(".:/") == std::string::npos;
}

bool CommandLine::help() const { return m_help; }

const std::string& CommandLine::naming() const { return m_naming; }

const std::vector<std::string>& CommandLine::orbOptions() const { return m_orbOptions; }

const std::string& CommandLine::endpoint() const { return m_endpoint; }

const std::string& CommandLine::caFile() const { return m_ca; }

const std::string& CommandLine::keyFile() const { return m_key; }

const std::string& CommandLine::certFile() const { return m_cert; }

const std::string& CommandLine::keyPassword() const { return m_keyPassword; }

bool CommandLine::tls() const { return !m_ca.empty() || !m_key.empty() || !m_cert.empty(); }

const std::string& CommandLine::verb() const { return m_verb; }

const std::vector<std::string>& CommandLine::operands() const { return m_operands; }

bool CommandLine::longListing() const { return m_long; }

const std::vector<std::string>& CommandLine::properties() const { return m_properties; }

const std::string& CommandLine::connectorName() const { return m_connectorName; }

unsigned long CommandLine::count() const { return m_count; }

bool CommandLine::keep() const { return m_keep; }

double CommandLine::waitSeconds() const { return m_wait; }

unsigned long CommandLine::timeoutSeconds() const { return m_timeout; }

bool CommandLine::stamps() const { return m_stamps; }

}  // namespace rtctl
