// Loadable component modules: dlopen along the load path, then the module's
// init function ("file.so" calls fileInit, "file.so(Func)" calls Func).
#pragma once

#include <rtm/RTC.h>

#include <mutex>
#include <string>
#include <vector>

namespace RTC {

class Manager;

class ModuleLoader {
  public:
    explicit ModuleLoader(Manager& manager);
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // Relative names are looked up along load_path (comma separated
    // directories); an empty initfunc means the file name without extension
    // followed by "Init".
    ReturnCode_t load(const std::string& load_path, const std::string& fname,
                      const std::string& initfunc);
    // Loads every entry of a comma separated "file.so" / "file.so(Func)" list.
    void preload(const std::string& load_path, const std::string& list);

    // Splits "file.so(Func)" into its file and function (empty when absent).
    static void splitEntry(const std::string& entry, std::string& file, std::string& func);

  private:
    struct Module {
        std::string path;
        void* handle;
    };

    Manager& m_manager;
    std::mutex m_mutex;
    std::vector<Module> m_modules;
};

}  // namespace RTC
