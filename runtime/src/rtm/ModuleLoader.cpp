#include "ModuleLoader.h"

#include <coil/stringutil.h>
#include <rtm/Manager.h>
#include <rtm/SystemLogger.h>

#include <dlfcn.h>
#include <unistd.h>

namespace RTC {

ModuleLoader::ModuleLoader(Manager& manager) : m_manager(manager) {}

ReturnCode_t ModuleLoader::load(const std::string& load_path, const std::string& fname,
                                const std::string& initfunc) {
    Logger rtclog("manager");
    if (fname.empty()) return BAD_PARAMETER;
    std::string path;
    if (fname.find('/') != std::string::npos) {
        path = fname;
    } else {
        for (std::string dir : coil::split(load_path, ",", true)) {
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
        std::lock_guard<std::mutex> guard(m_mutex);
        m_modules.push_back(Module{path, handle});
    }
    RTC_INFO(("module %s loaded, calling %s", path.c_str(), func.c_str()));
    reinterpret_cast<ModuleInitProc>(sym)(&m_manager);
    return RTC_OK;
}

void ModuleLoader::splitEntry(const std::string& entry, std::string& file, std::string& func) {
    file = entry;
    func.clear();
    const auto open = entry.find('(');
    if (open == std::string::npos) return;
    file = coil::eraseBothEndsBlank(entry.substr(0, open));
    const auto close = entry.find(')', open);
    func = coil::eraseBothEndsBlank(
        entry.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1));
}

void ModuleLoader::preload(const std::string& load_path, const std::string& list) {
    for (const std::string& item : coil::split(list, ",", true)) {
        std::string file, func;
        splitEntry(item, file, func);
        load(load_path, file, func);
    }
}

}  // namespace RTC
