// A launcher-like program for tests: creates one "Probe" component (profile
// rate from PROBE_PROFILE_RATE when set), prints its execution rate and its
// lifecycle callbacks on stdout, and runs the manager until shutdown.
// PROBE_EXIT_IN_EXECUTE=1: once "ready" is printed, the component calls
// exit() from onExecute and asks the manager to shut down at the same time,
// and its onFinalize takes a while. PROBE_NAMES=1: each line names the
// component it comes from (for processes with more than one).
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/DataFlowComponentBase.h>
#include <rtm/Manager.h>
#include <rtm/PeriodicExecutionContext.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

namespace {

std::atomic<bool> g_ready{false};

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && std::string(v) == "1";
}

bool exitInExecute() { return envSet("PROBE_EXIT_IN_EXECUTE"); }

std::string line(const char* what, const RTC::RTObject_impl* comp) {
    return envSet("PROBE_NAMES") ? std::string(what) + " " + comp->getInstanceName() : what;
}

class Probe : public RTC::DataFlowComponentBase {
  public:
    explicit Probe(RTC::Manager* m) : RTC::DataFlowComponentBase(m) {}
    RTC::ReturnCode_t onActivated(RTC::UniqueId) override { return say("onActivated"); }
    RTC::ReturnCode_t onDeactivated(RTC::UniqueId) override { return say("onDeactivated"); }
    RTC::ReturnCode_t onShutdown(RTC::UniqueId) override { return say("onShutdown"); }
    RTC::ReturnCode_t onExecute(RTC::UniqueId) override {
        if (exitInExecute() && g_ready.load() && !m_exited) {
            m_exited = true;
            exit();
            m_pManager->terminate();
        }
        return RTC::RTC_OK;
    }
    RTC::ReturnCode_t onFinalize() override {
        // A slow finalization: the process must still wait for it.
        if (exitInExecute()) std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return say("onFinalize");
    }

  private:
    bool m_exited = false;
    RTC::ReturnCode_t say(const char* what) {
        std::cout << line(what, this) << std::endl;
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
            std::cout << line("deleted", c) << std::endl;
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
    g_ready = true;
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
