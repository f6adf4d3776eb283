// A launcher-like program for tests: creates one "Probe" component (profile
// rate from PROBE_PROFILE_RATE when set), prints its execution rate and its
// lifecycle callbacks on stdout, and runs the manager until shutdown.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/DataFlowComponentBase.h>
#include <rtm/Manager.h>
#include <rtm/PeriodicExecutionContext.h>

#include <cstdlib>
#include <iostream>

namespace {

class Probe : public RTC::DataFlowComponentBase {
  public:
    explicit Probe(RTC::Manager* m) : RTC::DataFlowComponentBase(m) {}
    RTC::ReturnCode_t onActivated(RTC::UniqueId) override { return say("onActivated"); }
    RTC::ReturnCode_t onDeactivated(RTC::UniqueId) override { return say("onDeactivated"); }
    RTC::ReturnCode_t onShutdown(RTC::UniqueId) override { return say("onShutdown"); }
    RTC::ReturnCode_t onFinalize() override { return say("onFinalize"); }

  private:
    RTC::ReturnCode_t say(const char* what) {
        std::cout << what << std::endl;
        return RTC::RTC_OK;
    }
};

void ProbeInit(RTC::Manager* manager) {
    coil::Properties profile;
    profile.setProperty("implementation_id", "Probe");
    profile.setProperty("type_name", "Probe");
    profile.setProperty("category", "Test");
    if (const char* rate = std::getenv("PROBE_PROFILE_RATE"))
        profile.setProperty("exec_cxt.periodic.rate", rate);
    manager->registerFactory(
        profile, [](RTC::Manager* m) -> RTC::RTObject_impl* { return new Probe(m); },
        [](RTC::RTObject_impl* c) {
            std::cout << "deleted" << std::endl;
            delete c;
        });
    RTC::RTObject_impl* comp = manager->createComponent("Probe");
    if (comp == nullptr) {
        std::cout << "create failed" << std::endl;
        return;
    }
    std::cout << "rate=" << comp->getOwnedExecutionContext()->get_rate() << std::endl;
    comp->getOwnedExecutionContext()->activate_component();
    std::cout << "ready" << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    RTC::Manager* manager = RTC::Manager::init(argc, argv);
    manager->setModuleInitProc(ProbeInit);
    manager->activateManager();
    manager->runManager(false);
    std::cout << "exit" << std::endl;
    return 0;
}
