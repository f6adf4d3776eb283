// write() on an output port whose only connection goes to a receiver in
// another process, with subscription type flush (sent inside write()) and
// new (sent by the connection's thread), to a receiver that sleeps in every
// put and to one that does not.
//
//   tests/support/with-naming publisher_bench [--paced N] [--burst N] [--sleep MS]
//
// Prints lines "publisher/<figure> <value>":
//   <type>/slow/paced_p50_us, _p99_us, _max_us  write() at 1 kHz, receiver
//                                               sleeping MS per put
//   <type>/slow/burst_writes_per_s              back-to-back write() rate, same
//   <type>/fast/burst_writes_per_s              same, receiver not sleeping
//   <type>/fast/delivered_per_s                 samples the receiver took per
//                                               second of that burst
// The slow receiver's connection has the defaults (new: push policy new,
// ring of 8); the fast one push policy all and a ring of 65536, so that
// every sample of the burst arrives.
//   ratio/...                                   new over flush
// Needs PARLUNE_NAMING (the wrapper sets it); the receiver is this program
// started with --receiver, stopped by closing its standard input.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <omniORB4/CORBA.h>
#include <rtm/DataFlowComponentBase.h>
#include <rtm/Manager.h>
#include <rtm/Orb.h>
#include <rtm/OutPort.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "DataPort_OpenRTM.hh"
#include "RTC.hh"

namespace {

typedef std::chrono::steady_clock Clock;

// ---------------------------------------------------------------- receiver

class SleepingReceiver : public POA_OpenRTM::InPortCdr {
  public:
    explicit SleepingReceiver(int sleep_ms) : m_sleep(sleep_ms) {}
    OpenRTM::PortStatus put(const OpenRTM::CdrData&) override {
        if (m_sleep > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_sleep));
        ++m_count;
        return OpenRTM::PORT_OK;
    }
    unsigned long count() const { return m_count.load(); }

  private:
    const int m_sleep;
    std::atomic<unsigned long> m_count{0};
};

// Prints its IOR, then answers "count" lines with the puts taken so far;
// ends when its standard input closes.
int runReceiver(int sleep_ms) {
    int argc = 3;
    char prog[] = "receiver", ep[] = "-ORBendPoint", addr[] = "giop:tcp:127.0.0.1:";
    char* argv[] = {prog, ep, addr, nullptr};
    CORBA::ORB_var orb = CORBA::ORB_init(argc, argv);
    CORBA::Object_var obj = orb->resolve_initial_references("RootPOA");
    PortableServer::POA_var poa = PortableServer::POA::_narrow(obj.in());
    auto* servant = new SleepingReceiver(sleep_ms);
    PortableServer::ObjectId_var id = poa->activate_object(servant);
    CORBA::Object_var ref = poa->id_to_reference(id.in());
    PortableServer::POAManager_var pm = poa->the_POAManager();
    pm->activate();
    CORBA::String_var ior = orb->object_to_string(ref.in());
    std::printf("%s\n", static_cast<const char*>(ior));
    std::fflush(stdout);
    std::thread commands([&] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line == "count") {
                std::printf("%lu\n", servant->count());
                std::fflush(stdout);
            }
        }
        orb->shutdown(false);
    });
    orb->run();
    commands.join();
    orb->destroy();
    return 0;
}

struct Child {
    pid_t pid = -1;
    FILE* in = nullptr;   // its standard input
    FILE* out = nullptr;  // its standard output

    bool start(int sleep_ms) {
        int to[2], from[2];
        if (pipe(to) != 0 || pipe(from) != 0) return false;
        pid = fork();
        if (pid < 0) return false;
        if (pid == 0) {
            dup2(to[0], 0);
            dup2(from[1], 1);
            close(to[1]);
            close(from[0]);
            const std::string ms = std::to_string(sleep_ms);
            execl("/proc/self/exe", "publisher_bench", "--receiver", ms.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(to[0]);
        close(from[1]);
        in = fdopen(to[1], "w");
        out = fdopen(from[0], "r");
        return in != nullptr && out != nullptr;
    }
    std::string line() {
        char buf[4096];
        if (std::fgets(buf, sizeof buf, out) == nullptr) return "";
        std::string s(buf);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        return s;
    }
    unsigned long count() {
        std::fputs("count\n", in);
        std::fflush(in);
        return std::strtoul(line().c_str(), nullptr, 10);
    }
    ~Child() {
        if (in != nullptr) std::fclose(in);
        if (out != nullptr) std::fclose(out);
        if (pid > 0) {
            int status = 0;
            for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (waitpid(pid, &status, WNOHANG) == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
            }
        }
    }
};

// ------------------------------------------------------------------ sender

class Sender : public RTC::DataFlowComponentBase {
  public:
    explicit Sender(RTC::Manager* m) : RTC::DataFlowComponentBase(m), m_outOut("out", m_out) {}
    RTC::ReturnCode_t onInitialize() override {
        addOutPort("out", m_outOut);
        return RTC::RTC_OK;
    }
    RTC::TimedString m_out;
    RTC::OutPort<RTC::TimedString> m_outOut;
};

std::string naming() {
    const char* n = std::getenv("PARLUNE_NAMING");
    return n ? n : "";
}

RTC::PortService_ptr findOut(const char* instance) {
    char host[256] = {0};
    gethostname(host, sizeof host - 1);
    const std::string url =
        "corbaname::" + naming() + "#" + host + ".host_cxt/" + instance + ".rtc";
    CORBA::Object_var obj = RTC::orb()->string_to_object(url.c_str());
    RTC::RTObject_var rtc = RTC::RTObject::_narrow(obj.in());
    RTC::PortServiceList_var ports = rtc->get_ports();
    for (CORBA::ULong i = 0; i < ports->length(); ++i) {
        RTC::PortProfile_var pp = ports[i]->get_port_profile();
        if (std::string(instance) + ".out" == static_cast<const char*>(pp->name))
            return RTC::PortService::_duplicate(ports[i]);
    }
    return RTC::PortService::_nil();
}

void add(RTC::ConnectorProfile& p, const char* name, const std::string& value) {
    const CORBA::ULong n = p.properties.length();
    p.properties.length(n + 1);
    p.properties[n].name = name;
    p.properties[n].value <<= value.c_str();
}

// Connects out to the receiver; the connection's id, empty on failure.
// keep_all: push policy all and a ring of 65536, so that every sample
// arrives; else the defaults (push policy new, 8 samples).
std::string subscribe(RTC::PortService_ptr out, const std::string& ior, const std::string& type,
                      int n, bool keep_all) {
    RTC::ConnectorProfile p;
    p.name = "bench";
    p.connector_id = ("bench-" + type + "-" + std::to_string(n)).c_str();
    p.ports.length(1);
    p.ports[0] = RTC::PortService::_duplicate(out);
    add(p, "dataport.interface_type", "corba_cdr");
    add(p, "dataport.dataflow_type", "push");
    add(p, "dataport.subscription_type", type);
    if (keep_all) {
        add(p, "dataport.publisher.push_policy", "all");
        add(p, "dataport.buffer.length", "65536");
    }
    add(p, "dataport.corba_cdr.inport_ior", ior);
    if (out->notify_connect(p) != RTC::RTC_OK) return "";
    return static_cast<const char*>(p.connector_id);
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()));
    return v[i];
}

struct Figures {
    double p50 = 0, p99 = 0, max = 0, slowBurst = 0, fastBurst = 0, delivered = 0;
};

// write() once per millisecond, as a context at 1000 Hz would; microseconds.
std::vector<double> paced(Sender& s, int n) {
    std::vector<double> us;
    us.reserve(n);
    auto next = Clock::now();
    for (int i = 0; i < n; ++i) {
        s.m_out.data = ("paced " + std::to_string(i)).c_str();
        const auto t0 = Clock::now();
        s.m_outOut.write();
        const auto t1 = Clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        next += std::chrono::milliseconds(1);
        if (next > t1) std::this_thread::sleep_until(next);
    }
    return us;
}

double burst(Sender& s, int n) {
    const auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        s.m_out.data = ("burst " + std::to_string(i)).c_str();
        s.m_outOut.write();
    }
    return n / std::chrono::duration<double>(Clock::now() - t0).count();
}

bool measure(Sender& s, RTC::PortService_ptr out, const std::string& type, int paced_n, int burst_n,
             int sleep_ms, Figures& f) {
    static int serial = 0;
    {
        Child slow;
        if (!slow.start(sleep_ms)) return false;
        const std::string id = subscribe(out, slow.line(), type, ++serial, false);
        if (id.empty()) return false;
        std::vector<double> us = paced(s, paced_n);
        f.p50 = percentile(us, 0.50);
        f.p99 = percentile(us, 0.99);
        f.max = percentile(us, 1.0);
        f.slowBurst = burst(s, type == "flush" ? std::max(1, burst_n / 500) : burst_n);
        out->disconnect(id.c_str());
    }
    Child fast;
    if (!fast.start(0)) return false;
    const std::string id = subscribe(out, fast.line(), type, ++serial, true);
    if (id.empty()) return false;
    const unsigned long before = fast.count();
    const auto t0 = Clock::now();
    f.fastBurst = burst(s, burst_n);
    // Delivered: until the receiver has all of them (or 30 s passed).
    unsigned long got = 0;
    while ((got = fast.count()) - before < static_cast<unsigned long>(burst_n) &&
           Clock::now() - t0 < std::chrono::seconds(30)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    f.delivered = (got - before) / std::chrono::duration<double>(Clock::now() - t0).count();
    out->disconnect(id.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--receiver") == 0)
        return runReceiver(std::atoi(argv[2]));
    int paced_n = 2000, burst_n = 20000, sleep_ms = 50;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--paced") == 0) paced_n = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--burst") == 0) burst_n = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--sleep") == 0) sleep_ms = std::max(0, std::atoi(argv[i + 1]));
    }
    if (naming().empty()) {
        std::fprintf(stderr, "publisher_bench: run it under tests/support/with-naming\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    static std::string servers = "corba.nameservers:" + naming();
    char prog[] = "publisher_bench", o[] = "-o", log[] = "logger.enable:NO", o2[] = "-o",
         ep[] = "corba.endpoints:127.0.0.1", o3[] = "-o";
    char* margv[] = {prog, o, log, o2, ep, o3, &servers[0], nullptr};
    RTC::Manager* manager = RTC::Manager::init(7, margv);
    coil::Properties profile;
    profile.setProperty("implementation_id", "BenchSender");
    profile.setProperty("type_name", "BenchSender");
    manager->registerFactory(
        profile, [](RTC::Manager* m) -> RTC::RTObject_impl* { return new Sender(m); },
        [](RTC::RTObject_impl* c) { delete c; });
    auto* sender = dynamic_cast<Sender*>(manager->createComponent("BenchSender"));
    if (sender == nullptr) {
        std::fprintf(stderr, "publisher_bench: no sender component\n");
        return 1;
    }
    RTC::PortService_var out = findOut(sender->getInstanceName());
    if (CORBA::is_nil(out.in())) {
        std::fprintf(stderr, "publisher_bench: the sender's port is not in the naming service\n");
        return 1;
    }
    // flush is slow against a sleeping receiver: fewer paced writes for it.
    Figures flush, fresh;
    const int flush_paced = std::max(1, std::min(paced_n, 100));
    if (!measure(*sender, out.in(), "flush", flush_paced, burst_n, sleep_ms, flush) ||
        !measure(*sender, out.in(), "new", paced_n, burst_n, sleep_ms, fresh)) {
        std::fprintf(stderr, "publisher_bench: could not connect to a receiver\n");
        return 1;
    }
    for (const auto& t : {std::make_pair("flush", flush), std::make_pair("new", fresh)}) {
        std::printf("publisher/%s/slow/paced_p50_us %.1f\n", t.first, t.second.p50);
        std::printf("publisher/%s/slow/paced_p99_us %.1f\n", t.first, t.second.p99);
        std::printf("publisher/%s/slow/paced_max_us %.1f\n", t.first, t.second.max);
        std::printf("publisher/%s/slow/burst_writes_per_s %.0f\n", t.first, t.second.slowBurst);
        std::printf("publisher/%s/fast/burst_writes_per_s %.0f\n", t.first, t.second.fastBurst);
        std::printf("publisher/%s/fast/delivered_per_s %.0f\n", t.first, t.second.delivered);
    }
    std::printf("publisher/ratio/slow/paced_p99_new_over_flush %.5f\n", fresh.p99 / flush.p99);
    std::printf("publisher/ratio/slow/burst_new_over_flush %.1f\n",
                fresh.slowBurst / flush.slowBurst);
    std::printf("publisher/ratio/fast/burst_new_over_flush %.2f\n",
                fresh.fastBurst / flush.fastBurst);
    std::printf("publisher/ratio/fast/delivered_new_over_flush %.2f\n",
                fresh.delivered / flush.delivered);
    std::printf(
        "(paced: %d writes for new, %d for flush, one per ms; burst: %d writes; "
        "receiver sleep %d ms)\n",
        paced_n, flush_paced, burst_n, sleep_ms);
    manager->deleteComponent(sender);
    manager->shutdown();
    return 0;
}
