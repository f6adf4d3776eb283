// In-process TimedString hand-over: OutPort::write() into a connected InPort,
// then InPort::read() on the same thread, against a std::mutex +
// std::deque<std::string> queue measured in the same run.
//
// Figures per payload size (16 and 1024 bytes), each the median over the
// rounds: p50 and p99 of one write+read, and strings/s for batches of 8
// writes followed by 8 reads (8 fits every ring buffer default).
//
// Built against the embedded runtime the ports are joined by a local
// connection; against OpenRTM-aist by a corba_cdr connection (the default
// interface type) and, as a second figure, by a "direct" one. A direct
// connection hands over one sample without a buffer, so its batches hold 1.
//
// Output: "handover/<channel>/<size>B/<figure> <value>" lines for run.sh.
// Usage: handover_bench [--rounds N]
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/InPort.h>
#include <rtm/Manager.h>
#include <rtm/OutPort.h>
#ifdef PARLUNE_WITH_OPENRTM
#include <rtm/CORBA_RTCUtil.h>
#else
#include "rtm/LocalConnection.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxLatencyOps = 20000;
constexpr auto kLatencyBudget = std::chrono::milliseconds(250);
constexpr auto kThroughputBudget = std::chrono::milliseconds(200);

// The baseline: a locked queue of strings.
struct QueueChannel {
    const int batch = 8;
    std::mutex mutex;
    std::deque<std::string> queue;

    bool write(const std::string& text) {
        std::lock_guard<std::mutex> guard(mutex);
        queue.push_back(text);
        return true;
    }
    bool read(std::string& text) {
        std::lock_guard<std::mutex> guard(mutex);
        if (queue.empty()) return false;
        text = std::move(queue.front());
        queue.pop_front();
        return true;
    }
};

// A connected OutPort/InPort pair, used as a component would use it.
struct PortChannel {
    RTC::TimedString outValue;
    RTC::TimedString inValue;
    RTC::OutPort<RTC::TimedString> out{"out", outValue};
    RTC::InPort<RTC::TimedString> in{"in", inValue};
    const int batch;
    bool connected = false;

    explicit PortChannel(const char* interfaceType)
        : batch(std::strcmp(interfaceType, "direct") == 0 ? 1 : 8) {
#ifdef PARLUNE_WITH_OPENRTM
        coil::Properties inProp;
        coil::Properties outProp;
        in.init(inProp);
        out.init(outProp);
        coil::Properties prop;
        prop["dataport.interface_type"] = interfaceType;
        prop["dataport.dataflow_type"] = "push";
        prop["dataport.subscription_type"] = "flush";
        connected =
            CORBA_RTCUtil::connect("bench", prop, out.getPortRef(), in.getPortRef()) == RTC::RTC_OK;
#else
        (void)interfaceType;
        connected = RTC::connectLocal(out, in) == RTC::RTC_OK;
#endif
    }
    bool write(const std::string& text) {
        outValue.data = text.c_str();
        return out.write();
    }
    bool read(std::string& text) {
        if (!in.read()) return false;
        text = static_cast<const char*>(inValue.data);
        return true;
    }
};

double rank(std::vector<double>& values, double q) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1,
                           static_cast<std::size_t>(q * static_cast<double>(values.size())))];
}

struct RoundResult {
    double p50Ns = 0;
    double p99Ns = 0;
    double stringsPerSecond = 0;
    long mismatches = 0;
};

template <class Channel>
RoundResult runRound(Channel& channel, const std::string& payload) {
    RoundResult result;
    std::string received;
    // Warm-up: allocations and first-call paths.
    for (int i = 0; i < 1000; ++i) {
        channel.write(payload);
        if (!channel.read(received) || received != payload) ++result.mismatches;
    }

    std::vector<double> latencies;
    latencies.reserve(kMaxLatencyOps);
    const Clock::time_point latencyEnd = Clock::now() + kLatencyBudget;
    for (int i = 0; i < kMaxLatencyOps && Clock::now() < latencyEnd; ++i) {
        const Clock::time_point t0 = Clock::now();
        channel.write(payload);
        const bool got = channel.read(received);
        const Clock::time_point t1 = Clock::now();
        latencies.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
        if (!got || received != payload) ++result.mismatches;
    }
    result.p50Ns = rank(latencies, 0.50);
    result.p99Ns = rank(latencies, 0.99);

    long strings = 0;
    const Clock::time_point start = Clock::now();
    Clock::time_point now = start;
    while (now - start < kThroughputBudget) {
        for (int i = 0; i < channel.batch; ++i) channel.write(payload);
        for (int i = 0; i < channel.batch; ++i) {
            if (!channel.read(received) || received != payload) ++result.mismatches;
        }
        strings += channel.batch;
        now = Clock::now();
    }
    result.stringsPerSecond =
        static_cast<double>(strings) / std::chrono::duration<double>(now - start).count();
    return result;
}

// Per figure name, the values of all rounds.
using Figures = std::map<std::string, std::vector<double>>;

template <class Channel>
bool measure(Channel& channel, const std::string& name, std::size_t size, Figures& figures) {
    const std::string payload(size, 'a');
    const RoundResult r = runRound(channel, payload);
    const std::string key = "handover/" + name + "/" + std::to_string(size) + "B/";
    figures[key + "p50_ns"].push_back(r.p50Ns);
    figures[key + "p99_ns"].push_back(r.p99Ns);
    figures[key + "strings_per_s"].push_back(r.stringsPerSecond);
    if (r.mismatches != 0) {
        std::fprintf(stderr, "handover_bench: %s lost or changed %ld strings\n", name.c_str(),
                     r.mismatches);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: handover_bench [--rounds N]\n");
            return 2;
        }
    }
    if (rounds < 1) {
        std::fprintf(stderr, "handover_bench: --rounds must be at least 1\n");
        return 2;
    }

#ifdef PARLUNE_WITH_OPENRTM
    // Ports need the manager's ORB; nothing is registered or listened for
    // beyond loopback.
    const char* managerArgs[] = {"handover_bench",
                                 "-o",
                                 "naming.enable:NO",
                                 "-o",
                                 "corba.endpoints:127.0.0.1",
                                 "-o",
                                 "logger.enable:NO",
                                 "-o",
                                 "manager.shutdown_on_nortcs:NO",
                                 "-o",
                                 "manager.shutdown_auto:NO"};
    int managerArgc = static_cast<int>(sizeof(managerArgs) / sizeof(managerArgs[0]));
    RTC::Manager* manager = RTC::Manager::init(managerArgc, const_cast<char**>(managerArgs));
    manager->activateManager();
    manager->runManager(true);
    const std::vector<std::string> portChannels{"ports", "ports_direct"};
    const char* framework = "openrtm";
#else
    const std::vector<std::string> portChannels{"ports"};
    const char* framework = "embedded";
#endif

    bool ok = true;
    Figures figures;
    {
        QueueChannel queue;
        std::vector<std::unique_ptr<PortChannel>> ports;
        for (const std::string& name : portChannels) {
            ports.push_back(
                std::make_unique<PortChannel>(name == "ports_direct" ? "direct" : "corba_cdr"));
            if (!ports.back()->connected) {
                std::fprintf(stderr, "handover_bench: connecting the %s pair failed\n",
                             name.c_str());
                ok = false;
            }
        }
        // Rounds interleave the channels, so drift on a shared machine hits
        // them alike.
        for (int round = 0; ok && round < rounds; ++round) {
            for (std::size_t size : {std::size_t(16), std::size_t(1024)}) {
                ok = measure(queue, "queue", size, figures) && ok;
                for (std::size_t i = 0; i < ports.size(); ++i) {
                    ok = measure(*ports[i], portChannels[i], size, figures) && ok;
                }
            }
        }
    }

    std::printf("framework %s\nrounds %d\n", framework, rounds);
    for (auto& entry : figures)
        std::printf("%s %.1f\n", entry.first.c_str(), rank(entry.second, 0.5));

#ifdef PARLUNE_WITH_OPENRTM
    manager->terminate();
    manager->join();
#endif
    return ok ? 0 : 1;
}
