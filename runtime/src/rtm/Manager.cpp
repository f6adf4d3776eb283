#include <rtm/LocalConnection.h>
#include <rtm/Manager.h>
#include <rtm/PeriodicExecutionContext.h>

#include "../corba/CorbaLayer.h"
#include "LogSink.h"

#include <coil/stringutil.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

namespace RTC {

namespace {

Manager* g_manager = nullptr;
std::mutex g_instanceMutex;
// Written by the signal handler and by terminate(); runManager() waits on it.
int g_wakePipe[2] = {-1, -1};

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

void onSignal(int) {
    const char byte = 's';
    const int saved = errno;
    if (g_wakePipe[1] >= 0) {
        ssize_t n = write(g_wakePipe[1], &byte, 1);
        (void)n;
    }
    errno = saved;
}

std::string programName(int argc, char** argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr) return "manager";
    const char* slash = std::strrchr(argv[0], '/');
    return slash ? slash + 1 : argv[0];
}

}  // namespace

struct Manager::FactoryEntry {
    std::unique_ptr<FactoryBase> factory;
    std::string implementationId;
};

struct Manager::ModuleEntry {
    std::string path;
    void* handle;
};

Manager::Manager()
    : m_config(kDefaultConfig), rtclog("manager"), m_initProc(nullptr), m_shutdownDone(false) {}

Manager::~Manager() {}

Manager* Manager::init(int argc, char** argv) {
    std::lock_guard<std::mutex> guard(g_instanceMutex);
    if (g_manager != nullptr) return g_manager;
    g_manager = new Manager();
    g_manager->parseArgs(argc, argv);
    g_manager->configureLogger();
    installSignalHandlers();
    corba::attachCorbaLayer(*g_manager, g_manager->m_config);
    Logger& rtclog = g_manager->rtclog;
    RTC_INFO(("manager started (%s, pid %d)",
              g_manager->m_config.getProperty("openrtm.name").c_str(), static_cast<int>(getpid())));
    return g_manager;
}

Manager& Manager::instance() {
    {
        std::lock_guard<std::mutex> guard(g_instanceMutex);
        if (g_manager != nullptr) return *g_manager;
    }
    char name[] = "manager";
    char* argv[] = {name, nullptr};
    return *init(1, argv);
}

void Manager::installSignalHandlers() {
    if (g_wakePipe[0] < 0) {
        if (pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            g_wakePipe[0] = g_wakePipe[1] = -1;
            return;
        }
    }
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void Manager::parseArgs(int argc, char** argv) {
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
        loadConfigFile(config_file, true);
    } else if (const char* env = std::getenv("RTC_MANAGER_CONFIG")) {
        if (*env) loadConfigFile(env, true);
    } else if (access("./rtc.conf", R_OK) == 0) {
        loadConfigFile("./rtc.conf", false);
    }
    for (const auto& kv : overrides) {
        m_config.setProperty(kv.first, kv.second);
        m_setByUser.setProperty(kv.first, kv.second);
    }
}

void Manager::loadConfigFile(const std::string& path, bool must_exist) {
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

void Manager::configureLogger() {
    const bool enable = coil::toBool(m_config.getProperty("logger.enable"), "YES", "NO", true);
    int level = Logger::strToLogLevel(m_config.getProperty("logger.log_level"));
    if (level < 0) {
        std::cerr << "manager: unknown logger.log_level '"
                  << m_config.getProperty("logger.log_level") << "'; using INFO" << std::endl;
        level = Logger::RTL_INFO;
    }
    for (const std::string& f :
         LogSink::instance().configure(enable, m_config.getProperty("logger.file_name"), level)) {
        std::cerr << "manager: cannot open log file '" << f << "': " << std::strerror(errno)
                  << std::endl;
    }
}

void Manager::terminate() {
    const char byte = 't';
    if (g_wakePipe[1] >= 0) {
        ssize_t n = write(g_wakePipe[1], &byte, 1);
        (void)n;
    }
}

void Manager::waitForShutdownRequest() {
    if (g_wakePipe[0] < 0) {
        // Without the pipe there is no way to be woken: sleep until killed.
        while (true) pause();
    }
    struct pollfd pfd;
    pfd.fd = g_wakePipe[0];
    pfd.events = POLLIN;
    while (true) {
        int r = poll(&pfd, 1, -1);
        if (r > 0) break;
        if (r < 0 && errno != EINTR) break;
    }
    char buf[16];
    while (read(g_wakePipe[0], buf, sizeof buf) > 0) {
    }
}

void Manager::runManager(bool no_block) {
    if (!no_block) {
        waitForShutdownRequest();
        shutdown();
        return;
    }
    if (m_runner.joinable()) return;
    m_runner = std::thread([this] {
        waitForShutdownRequest();
        shutdown();
    });
}

void Manager::join() {
    if (m_runner.joinable() && m_runner.get_id() != std::this_thread::get_id()) m_runner.join();
}

void Manager::shutdown() {
    std::lock_guard<std::mutex> once(m_shutdownMutex);
    if (m_shutdownDone) return;
    RTC_INFO(("shutting down"));
    std::vector<RTObject_impl*> comps;
    {
        std::lock_guard<std::recursive_mutex> guard(m_mutex);
        comps = m_components;
    }
    // Newest first, so that a component outlives those created after it.
    for (auto it = comps.rbegin(); it != comps.rend(); ++it) deleteComponent(*it);
    if (m_observer) m_observer->shutdown();
    RTC_INFO(("shutdown complete"));
    m_shutdownDone = true;
    LogSink::instance().close();
}

void Manager::setObserver(std::unique_ptr<Observer> observer) {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    m_observer = std::move(observer);
}

bool Manager::activateManager() {
    if (m_initProc != nullptr) m_initProc(this);
    preload();
    precreate();
    preconnect();
    preactivate();
    return true;
}

ReturnCode_t Manager::load(const std::string& fname, const std::string& initfunc) {
    if (fname.empty()) return BAD_PARAMETER;
    // Relative names are looked up along manager.modules.load_path.
    std::string path;
    if (fname.find('/') != std::string::npos) {
        path = fname;
    } else {
        for (std::string dir :
             coil::split(m_config.getProperty("manager.modules.load_path"), ",", true)) {
            if (!dir.empty() && dir.back() != '/') dir += '/';
            if (access((dir + fname).c_str(), R_OK) == 0) {
                path = dir + fname;
                break;
            }
        }
        if (path.empty()) path = fname;  // let the dynamic linker search
    }
    // Modules stay loaded: their static objects are registered with the ORB,
    // which tidies them up at process exit.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    if (handle == nullptr) {
        RTC_ERROR(("cannot load module %s: %s", fname.c_str(), dlerror()));
        return RTC_ERROR;
    }
    std::string func = initfunc;
    if (func.empty()) {
        std::string base =
            fname.substr(fname.rfind('/') == std::string::npos ? 0 : fname.rfind('/') + 1);
        func = base.substr(0, base.find('.')) + "Init";
    }
    void* sym = dlsym(handle, func.c_str());
    if (sym == nullptr) {
        RTC_ERROR(("module %s has no function %s", fname.c_str(), func.c_str()));
        return RTC_ERROR;
    }
    {
        std::lock_guard<std::recursive_mutex> guard(m_mutex);
        m_modules.push_back(std::unique_ptr<ModuleEntry>(new ModuleEntry{path, handle}));
    }
    RTC_INFO(("module %s loaded, calling %s", path.c_str(), func.c_str()));
    reinterpret_cast<ModuleInitProc>(sym)(this);
    return RTC_OK;
}

void Manager::preload() {
    for (const std::string& item :
         coil::split(m_config.getProperty("manager.modules.preload"), ",", true)) {
        // "file.so" or "file.so(InitFunc)"
        std::string file = item, func;
        const auto open = item.find('(');
        if (open != std::string::npos) {
            file = coil::eraseBothEndsBlank(item.substr(0, open));
            const auto close = item.find(')', open);
            func = coil::eraseBothEndsBlank(item.substr(
                open + 1, close == std::string::npos ? std::string::npos : close - open - 1));
        }
        load(file, func);
    }
}

void Manager::precreate() {
    for (const std::string& args :
         coil::split(m_config.getProperty("manager.components.precreate"), ",", true)) {
        if (createComponent(args.c_str()) == nullptr)
            RTC_ERROR(("precreate of %s failed", args.c_str()));
    }
}

void Manager::preconnect() {
    // "A0.out?port=B0.in&key=value" (current form) or "A0.out:B0.in(key=value,...)" (older form).
    for (const std::string& item :
         coil::split(m_config.getProperty("manager.components.preconnect"), ",", true)) {
        std::string out_port, in_port;
        coil::Properties prop;
        const auto q = item.find('?');
        if (q != std::string::npos) {
            out_port = item.substr(0, q);
            for (const std::string& kv : coil::split(item.substr(q + 1), "&", true)) {
                const auto eq = kv.find('=');
                const std::string key = kv.substr(0, eq);
                const std::string val = eq == std::string::npos ? "" : kv.substr(eq + 1);
                if (key == "port") {
                    in_port = val;
                } else {
                    prop.setProperty(key.find('.') == std::string::npos ? "dataport." + key : key,
                                     val);
                }
            }
        } else {
            const auto paren = item.find('(');
            std::string ports = item.substr(0, paren);
            if (paren != std::string::npos) {
                std::string opts = item.substr(paren + 1);
                if (!opts.empty() && opts.back() == ')') opts.pop_back();
                for (const std::string& kv : coil::split(opts, ",", true)) {
                    const auto eq = kv.find('=');
                    const std::string key = kv.substr(0, eq);
                    prop.setProperty(key.find('.') == std::string::npos ? "dataport." + key : key,
                                     eq == std::string::npos ? "" : kv.substr(eq + 1));
                }
            }
            // Split at the ':' that separates two port names (rtcname:// targets contain ':' too).
            const auto colon = ports.find(':', ports.find('.'));
            out_port = coil::eraseBothEndsBlank(ports.substr(0, colon));
            in_port =
                colon == std::string::npos ? "" : coil::eraseBothEndsBlank(ports.substr(colon + 1));
        }
        if (out_port.empty() || in_port.empty()) {
            RTC_ERROR(("preconnect entry '%s' names no pair of ports", item.c_str()));
            continue;
        }
        if (connectPorts(out_port, in_port, prop) != RTC_OK) {
            RTC_ERROR(("preconnect %s -> %s failed", out_port.c_str(), in_port.c_str()));
        }
    }
}

void Manager::preactivate() {
    for (const std::string& name :
         coil::split(m_config.getProperty("manager.components.preactivation"), ",", true)) {
        if (name.find("://") != std::string::npos) {
            if (!m_observer || !m_observer->activateRemote(name))
                RTC_ERROR(("preactivation of %s failed", name.c_str()));
            continue;
        }
        RTObject_impl* comp = getComponent(name.c_str());
        if (comp == nullptr || comp->getOwnedExecutionContext() == nullptr) {
            RTC_ERROR(("preactivation: no component %s", name.c_str()));
            continue;
        }
        ReturnCode_t r = comp->getOwnedExecutionContext()->activate_component();
        if (r != RTC_OK)
            RTC_ERROR(("preactivation of %s failed (%d)", name.c_str(), static_cast<int>(r)));
    }
}

bool Manager::registerFactory(coil::Properties& profile, RtcNewFunc new_func,
                              RtcDeleteFunc delete_func) {
    const std::string id = profile.getProperty("implementation_id");
    if (id.empty() || new_func == nullptr || delete_func == nullptr) {
        RTC_ERROR(("registerFactory: profile without implementation_id or missing functions"));
        return false;
    }
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    for (const auto& f : m_factories) {
        if (f->implementationId == id) {
            RTC_WARN(("factory %s is registered already", id.c_str()));
            return false;
        }
    }
    m_factories.push_back(std::unique_ptr<FactoryEntry>(new FactoryEntry{
        std::unique_ptr<FactoryBase>(new FactoryCXX(profile, new_func, delete_func)), id}));
    RTC_INFO(("factory %s registered", id.c_str()));
    return true;
}

std::vector<coil::Properties> Manager::getFactoryProfiles() const {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    std::vector<coil::Properties> profiles;
    for (const auto& f : m_factories) profiles.push_back(f->factory->profile());
    return profiles;
}

double Manager::executionRate(const std::string& profile_rate, const std::string& file_rate) const {
    double rate = PeriodicExecutionContext::kDefaultRate;
    auto take = [&rate](const std::string& text) {
        double v = 0.0;
        if (!text.empty() && coil::stringTo(v, text.c_str()) && v > 0.0 && std::isfinite(v))
            rate = v;
    };
    take(profile_rate);
    take(m_setByUser.getProperty("exec_cxt.periodic.rate"));
    take(file_rate);
    return rate;
}

RTObject_impl* Manager::createComponent(const char* comp_args) {
    if (comp_args == nullptr || comp_args[0] == '\0') {
        RTC_ERROR(("createComponent: empty component name"));
        return nullptr;
    }
    // "Type?key=value&..." ; also "RTC:vendor:category:Type:language:version".
    std::string args = coil::eraseBothEndsBlank(comp_args);
    std::string type = args.substr(0, args.find('?'));
    coil::Properties arg_prop;
    if (args.find('?') != std::string::npos) {
        for (const std::string& kv : coil::split(args.substr(args.find('?') + 1), "&", true)) {
            const auto eq = kv.find('=');
            arg_prop.setProperty(kv.substr(0, eq),
                                 eq == std::string::npos ? "" : kv.substr(eq + 1));
        }
    }
    if (type.compare(0, 4, "RTC:") == 0) {
        std::vector<std::string> id = coil::split(type, ":");
        if (id.size() >= 4) type = id[3];
    }

    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    FactoryEntry* entry = nullptr;
    for (const auto& f : m_factories) {
        if (f->implementationId == type) entry = f.get();
    }
    if (entry == nullptr) {
        RTC_ERROR(("createComponent: no factory for '%s'", type.c_str()));
        return nullptr;
    }
    coil::Properties& profile = entry->factory->profile();

    // Instance count and the first free number for the default name.
    long max_instance = 0;
    coil::stringTo(max_instance, profile.getProperty("max_instance").c_str());
    int count = 0;
    std::vector<std::string> names;
    for (RTObject_impl* c : m_components) {
        if (type == c->getTypeName()) ++count;
        names.push_back(c->getInstanceName());
    }
    if (max_instance > 0 && count >= max_instance) {
        RTC_ERROR(("createComponent: %s has reached max_instance %ld", type.c_str(), max_instance));
        return nullptr;
    }
    std::string instance_name = arg_prop.getProperty("instance_name");
    if (instance_name.empty()) {
        for (int n = 0;; ++n) {
            instance_name = type + std::to_string(n);
            if (std::find(names.begin(), names.end(), instance_name) == names.end()) break;
        }
    } else if (std::find(names.begin(), names.end(), instance_name) != names.end()) {
        RTC_ERROR(("createComponent: instance name %s is taken", instance_name.c_str()));
        return nullptr;
    }

    // Properties: profile, then arguments, then the component's own file.
    coil::Properties comp_prop(profile);
    comp_prop << arg_prop;
    comp_prop.setProperty("instance_name", instance_name);
    coil::Properties file_prop;
    const std::string category = profile.getProperty("category");
    for (const std::string& key : {category + "." + instance_name + ".config_file",
                                   category + "." + type + ".config_file"}) {
        const std::string& file = m_config.getProperty(key);
        if (file.empty()) continue;
        std::ifstream in(file);
        if (!in) {
            RTC_ERROR(("cannot read component configuration file %s", file.c_str()));
            continue;
        }
        file_prop.load(in);
        break;
    }
    comp_prop << file_prop;

    RTObject_impl* comp = nullptr;
    try {
        comp = entry->factory->create(this);
    } catch (...) {
        comp = nullptr;
    }
    if (comp == nullptr) {
        RTC_ERROR(("createComponent: the factory of %s failed", type.c_str()));
        return nullptr;
    }
    comp->setProperties(comp_prop);
    comp->setInstanceName(instance_name.c_str());
    if (comp->initialize() != RTC_OK) {
        RTC_ERROR(("createComponent: onInitialize of %s failed", instance_name.c_str()));
        try {
            entry->factory->destroy(comp);
        } catch (...) {
        }
        return nullptr;
    }

    std::string profile_rate = arg_prop.getProperty("exec_cxt.periodic.rate");
    if (profile_rate.empty()) profile_rate = profile.getProperty("exec_cxt.periodic.rate");
    const double rate =
        executionRate(profile_rate, file_prop.getProperty("exec_cxt.periodic.rate"));
    comp->attachExecutionContext(
        std::unique_ptr<PeriodicExecutionContext>(new PeriodicExecutionContext(comp, rate)));
    m_components.push_back(comp);
    comp->getOwnedExecutionContext()->start();
    RTC_INFO(("component %s created (%g Hz)", instance_name.c_str(), rate));
    if (m_observer) m_observer->componentCreated(comp);
    return comp;
}

void Manager::destroyComponent(RTObject_impl* comp) {
    FactoryBase* factory = nullptr;
    {
        std::lock_guard<std::recursive_mutex> guard(m_mutex);
        for (const auto& f : m_factories) {
            if (f->implementationId == comp->getTypeName()) factory = f->factory.get();
        }
    }
    const std::string name = comp->getInstanceName();
    if (m_observer) m_observer->componentDeleting(comp);
    if (PeriodicExecutionContext* ec = comp->getOwnedExecutionContext()) ec->stop();
    comp->finalize();
    std::unique_ptr<PeriodicExecutionContext> ec = comp->detachExecutionContext();
    if (factory != nullptr) {
        try {
            factory->destroy(comp);
        } catch (...) {
            RTC_ERROR(("the delete function of %s threw", name.c_str()));
        }
    }
    RTC_INFO(("component %s deleted", name.c_str()));
}

void Manager::deleteComponent(RTObject_impl* comp) {
    if (comp == nullptr) return;
    bool none_left = false;
    {
        std::lock_guard<std::recursive_mutex> guard(m_mutex);
        auto it = std::find(m_components.begin(), m_components.end(), comp);
        if (it == m_components.end()) return;
        m_components.erase(it);
        none_left = m_components.empty();
    }
    // As the framework does: a process whose last component has gone ends.
    if (none_left &&
        coil::toBool(m_config.getProperty("manager.shutdown_on_nortcs"), "YES", "NO", true)) {
        terminate();
    }
    // A component deleting itself from its own callback: finish on another thread.
    PeriodicExecutionContext* ec = comp->getOwnedExecutionContext();
    if (ec != nullptr && ec->is_running()) {
        bool own_thread = false;
        {
            // stop() from the context thread only flags; detect that case.
            own_thread = ec->stop() == RTC_OK && ec->is_running();
        }
        if (own_thread) {
            std::thread([this, comp] {
                while (comp->getOwnedExecutionContext()->is_running()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                destroyComponent(comp);
            }).detach();
            return;
        }
    }
    destroyComponent(comp);
}

void Manager::deleteComponent(const char* instance_name) {
    deleteComponent(getComponent(instance_name));
}

RTObject_impl* Manager::getComponent(const char* instance_name) const {
    if (instance_name == nullptr) return nullptr;
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    for (RTObject_impl* c : m_components) {
        if (std::strcmp(c->getInstanceName(), instance_name) == 0) return c;
    }
    return nullptr;
}

std::vector<RTObject_impl*> Manager::getComponents() const {
    std::lock_guard<std::recursive_mutex> guard(m_mutex);
    return m_components;
}

ReturnCode_t Manager::connectPorts(const std::string& out_port, const std::string& in_port,
                                   const coil::Properties& prop) {
    auto find = [this](const std::string& full) -> PortBase* {
        const auto dot = full.rfind('.');
        if (dot == std::string::npos) return nullptr;
        RTObject_impl* comp = getComponent(full.substr(0, dot).c_str());
        return comp ? comp->findPort(full.substr(dot + 1)) : nullptr;
    };
    if (out_port.find("://") != std::string::npos || in_port.find("://") != std::string::npos) {
        if (m_observer && m_observer->connectRemote(out_port, in_port, prop)) return RTC_OK;
        RTC_ERROR(("cannot connect %s -> %s: remote ports are not reachable", out_port.c_str(),
                   in_port.c_str()));
        return RTC_ERROR;
    }
    auto* out = dynamic_cast<OutPortBase*>(find(out_port));
    auto* in = dynamic_cast<InPortBase*>(find(in_port));
    if (out == nullptr || in == nullptr) {
        // The pair may be given in the other order.
        out = dynamic_cast<OutPortBase*>(find(in_port));
        in = dynamic_cast<InPortBase*>(find(out_port));
    }
    if (out == nullptr || in == nullptr) {
        if (m_observer && m_observer->connectRemote(out_port, in_port, prop)) return RTC_OK;
        RTC_ERROR(
            ("cannot connect %s -> %s: no such pair of ports", out_port.c_str(), in_port.c_str()));
        return BAD_PARAMETER;
    }
    ReturnCode_t r = connectLocal(*out, *in, prop);
    if (r != RTC_OK) {
        RTC_ERROR(("cannot connect %s -> %s: data types differ (%s, %s)", out_port.c_str(),
                   in_port.c_str(), out->dataType().c_str(), in->dataType().c_str()));
    }
    return r;
}

}  // namespace RTC
