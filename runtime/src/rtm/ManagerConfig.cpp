#include "ManagerConfig.h"

#include <coil/stringutil.h>

#include <unistd.h>

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

ManagerConfig::ManagerConfig() : m_config(kDefaultConfig) {}

void ManagerConfig::parseArgs(int argc, char** argv) {
    const std::string prog = programName(argc, argv);
    std::string config_file;
    std::vector<std::pair<std::string, std::string>> overrides;
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
            std::cerr << prog << ": option " << arg << " needs a value; ignored" << std::endl;
            return false;
        };
        if (arg.compare(0, 2, "-f") == 0) {
            std::string v;
            if (value(v)) config_file = v;
        } else if (arg.compare(0, 2, "-o") == 0) {
            std::string v;
            if (!value(v)) continue;
            std::string key, val;
            coil::Properties::splitKeyValue(v, key, val);
            key = coil::eraseBothEndsBlank(key);
            if (key.empty()) {
                std::cerr << prog << ": option -o needs KEY:VALUE, got '" << v << "'; ignored"
                          << std::endl;
                continue;
            }
            overrides.emplace_back(key, coil::eraseBothEndsBlank(val));
        } else if (arg == "-h" || arg == "--help") {
            std::cout << "Usage: " << prog << " [-f FILE] [-o KEY:VALUE]... [-h]\n"
                      << kUsage << std::flush;
            std::exit(0);
        } else if (arg == "-a" || arg == "-d") {
            // Manager servant options of the framework: nothing to do here.
        } else if (arg == "-p" || arg == "-l") {
            if (i + 1 < argc) ++i;
        } else {
            std::cerr << prog << ": unknown argument '" << arg << "' ignored (see -h)" << std::endl;
        }
    }

    if (!config_file.empty()) {
        loadFile(config_file, true);
    } else if (const char* env = std::getenv("RTC_MANAGER_CONFIG")) {
        if (*env) loadFile(env, true);
    } else if (access("./rtc.conf", R_OK) == 0) {
        loadFile("./rtc.conf", false);
    }
    for (const auto& kv : overrides) {
        m_config.setProperty(kv.first, kv.second);
        m_setByUser.setProperty(kv.first, kv.second);
    }
}

void ManagerConfig::loadFile(const std::string& path, bool must_exist) {
    std::ifstream in(path);
    if (!in) {
        if (must_exist) {
            std::cerr << "manager: cannot read configuration file '" << path
                      << "': " << std::strerror(errno) << "; using defaults" << std::endl;
        }
        return;
    }
    coil::Properties file;
    file.load(in);
    m_config << file;
    m_setByUser << file;
}

}  // namespace RTC
