// parlune-rtcd: a generic component daemon. It runs a framework manager with
// nothing of its own: component modules come from manager.modules.preload,
// instances from manager.components.precreate, all taken from the manager's
// command-line options and configuration file.
#include <rtm/Manager.h>

int main(int argc, char** argv) {
    RTC::Manager* manager = RTC::Manager::init(argc, argv);
    manager->activateManager();
    manager->runManager(false);
    return 0;
}
