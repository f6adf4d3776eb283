// Standalone launcher: runs one component module's component in a process of
// its own. Built once per module; PARLUNE_MODULE_INIT and
// PARLUNE_COMPONENT_NAME are fixed at build time.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/Manager.h>

#include <cstdlib>
#include <iostream>

#if !defined(PARLUNE_MODULE_INIT) || !defined(PARLUNE_COMPONENT_NAME)
#error "PARLUNE_MODULE_INIT and PARLUNE_COMPONENT_NAME must be defined by the build"
#endif

extern "C" void PARLUNE_MODULE_INIT(RTC::Manager* manager);

static void LauncherModuleInit(RTC::Manager* manager) {
    PARLUNE_MODULE_INIT(manager);
    RTC::RTObject_impl* comp = manager->createComponent(PARLUNE_COMPONENT_NAME);
    if (comp == nullptr) {
        std::cerr << "Component create failed." << std::endl;
        std::abort();
    }
}

int main(int argc, char** argv) {
    RTC::Manager* manager = RTC::Manager::init(argc, argv);
    manager->setModuleInitProc(LauncherModuleInit);
    manager->activateManager();
    manager->runManager(false);
    return 0;
}
