#include "ManagerConfig.h"

#include <coil/stringutil.h>
#include <rtm/SystemLogger.h>

#include <unistd.h>

#include "coil/ConfigReader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <utility>
#include <vector>

namespace RTC {

namespace {

const char* const kDefaultConfig[] = {
    "config.version",
    "1.0.0",
    "openrtm.name",
    "parlune-embedded-1.0.0",
    "manager.name",
    "manager",
    "manager.instance_name",
    "manager",
    "manager.modules.load_path",
    "./",
    "manager.modules.preload",
    "",
    "manager.components.precreate",
    "",
    "manager.components.preconnect",
    "",
    "manager.components.preactivation",
    "",
    "manager.shutdown_on_nortcs",
    "YES",
    "logger.enable",
    "YES",
    "logger.file_name",
    "./rtc%p.log",
    "logger.log_level",
    "INFO",
    "exec_cxt.periodic.type",
    "PeriodicExecutionContext",
    "naming.enable",
    "YES",
    "naming.formats",
    "%h.host_cxt/%n.rtc",
    "corba.nameservers",
    "127.0.0.1",
    "corba.endpoints",
    "127.0.0.1",
    "",
};

const char kUsage[] =
    "Options of the component manager:\n"
    "  -f FILE          read the configuration from FILE (default: ./rtc.conf when present)\n"
    "  -o KEY:VALUE     set one configuration value (repeatable; wins over the file)\n"
    "  -h               print this help and exit\n";

std::string programName(int argc, char** argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr) return "manager";
    const char* slash = std::strrchr(argv[0], '/');
    return slash ? slash + 1 : argv[0];
}

}  // namespace

ManagerConfig::ManagerConfig() : m_config(kDefaultConfig), m_messages(&std::cerr) {}

void ManagerConfig::parseArgs(int argc, char** argv) {
    const Arguments args = readArgs(argc, argv);
    if (args.help) {
        std::cout << "Usage: " << m_prog << " [-f FILE] [-o KEY:VALUE]... [-h]\n"
                  << kUsage << std::flush;
        std::exit(0);
    }
    if (!args.configFile.empty()) {
        loadFile(args.configFile);
    } else if (const char* env = std::getenv("RTC_MANAGER_CONFIG")) {
        if (*env) loadFile(env);
    } else if (access("./rtc.conf", F_OK) == 0) {
        loadFile("rtc.conf");
    }
    for (const auto& kv : args.overrides) {
        m_config.setProperty(kv.first, kv.second);
        m_setByUser.setProperty(kv.first, kv.second);
    }
    finishWarnings();
}

ManagerConfig::Arguments ManagerConfig::readArgs(int argc, char** argv) {
    m_prog = programName(argc, argv);
    Arguments args;
    for (int i = 1; i < argc && argv != nullptr && argv[i] != nullptr; ++i) {
        const std::string arg = argv[i];
        // Options with a value take it from the same word ("-ofoo:bar") or the next one.
        auto value = [&](std::string& out) -> bool {
            if (arg.size() > 2) {
                out = arg.substr(2);
                return true;
            }
            if (i + 1 < argc && argv[i + 1] != nullptr) {
                out = argv[++i];
                return true;
            }
            warn("option " + arg + " needs a value; ignored");
            return false;
        };
        if (arg.compare(0, 2, "-f") == 0) {
            std::string v;
            if (value(v)) args.configFile = v;
        } else if (arg.compare(0, 2, "-o") == 0) {
            std::string v;
            if (value(v)) addOption(v, args);
        } else if (arg == "-h" || arg == "--help") {
            args.help = true;
        } else if (arg == "-a" || arg == "-d") {
            // Manager servant options of the framework: nothing to do here.
        } else if (arg == "-p" || arg == "-l") {
            if (i + 1 < argc) ++i;
        } else {
            warn("unknown argument '" + coil::ConfigReader::printable(arg, kMaxEcho) +
                 "' ignored (see -h)");
        }
    }
    return args;
}

void ManagerConfig::addOption(const std::string& word, Arguments& args) {
    // The key ends at the first ':', as the framework's manager reads -o.
    const auto colon = word.find(':');
    const std::string key =
        colon == std::string::npos ? "" : coil::eraseBothEndsBlank(word.substr(0, colon));
    if (key.empty()) {
        warn("option -o needs KEY:VALUE, got '" + coil::ConfigReader::printable(word, kMaxEcho) +
             "'; ignored");
        return;
    }
    const std::string val = coil::eraseBothEndsBlank(word.substr(colon + 1));
    const std::string why = coil::ConfigReader::checkEntry(key, val);
    if (!why.empty()) {
        warn("option -o '" + coil::ConfigReader::printable(word, kMaxEcho) + "': " + why +
             "; ignored");
        return;
    }
    args.overrides.emplace_back(key, val);
}

void ManagerConfig::loadFile(const std::string& path) {
    coil::ConfigReader reader;
    coil::Properties file;
    const bool is_text = reader.readFile(path, file);
    useFile(reader, is_text, file, path);
}

void ManagerConfig::loadText(std::istream& in, const std::string& name) {
    coil::ConfigReader reader;
    coil::Properties file;
    const bool is_text = reader.read(in, file);
    useFile(reader, is_text, file, name);
}

void ManagerConfig::useFile(const coil::ConfigReader& reader, bool is_text,
                            const coil::Properties& file, const std::string& name) {
    const std::string shown = coil::ConfigReader::printable(name, kMaxEcho);
    if (!is_text) {
        std::string why = reader.problems().empty() ? "unreadable" : reader.problems()[0].reason;
        if (!reader.problems().empty() && reader.problems()[0].line > 0)
            why = "line " + std::to_string(reader.problems()[0].line) + " " + why;
        warn("cannot read configuration file '" + shown + "': " + why + "; using defaults");
        return;
    }
    for (const auto& problem : reader.problems()) {
        warn(shown + ":" + std::to_string(problem.line) + ": " + problem.reason + ", line skipped");
    }
    // Problems the reader only counted, for the summary line.
    m_problems += reader.problemCount() - reader.problems().size();
    m_config << file;
    m_setByUser << file;
}

void ManagerConfig::warn(const std::string& message) {
    ++m_problems;
    if (m_problems > kMaxWarnings) return;
    m_warnings.push_back(message);
    *m_messages << m_prog << ": " << message << std::endl;
}

void ManagerConfig::finishWarnings() {
    if (m_problems <= kMaxWarnings) return;
    const std::size_t more = m_problems - kMaxWarnings;
    m_warnings.push_back(std::to_string(more) + " more configuration problem" +
                         (more == 1 ? "" : "s") + " not shown");
    *m_messages << m_prog << ": " << m_warnings.back() << std::endl;
}

void ManagerConfig::addWarning(const std::string& message) {
    m_warnings.push_back(message);
    *m_messages << m_prog << ": " << message << std::endl;
}

void ManagerConfig::logWarnings() const {
    Logger rtclog("manager");
    for (const std::string& line : m_warnings) RTC_WARN_STR(line);
}

}  // namespace RTC
