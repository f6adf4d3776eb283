// Cross-process probe for the end-to-end benchmarks (bench/e2e/run.sh).
//
//   e2e_probe startup NAMING PATH LOG -- PROGRAM [ARGS...]
//       Starts PROGRAM (output to LOG), then asks the naming service NAMING
//       (host:port) every millisecond for PATH (e.g. host.host_cxt/X0.rtc).
//       Prints the milliseconds until the name resolved ("registered"),
//       until the component answered its state through its execution
//       context ("ready"), then sends SIGINT and prints the milliseconds
//       until the process ended and whether the name was removed.
//   e2e_probe press DIR COUNT
//       Presses Alt+S COUNT times at random gaps, through the X server's XTEST
//       extension (libXtst, loaded at run time), in the focused window, and
//       prints the milliseconds from each key press to the first new file in
//       DIR (a speech sink writing there: PARLUNE_AUDIO=wav:DIR), seen
//       through inotify. Focus the window and put text into its field first.
//   e2e_probe sound SOURCE COUNT
//       The same presses, at gaps long enough for each utterance to end,
//       timed to the first audible sample at the PulseAudio server: SOURCE
//       is the monitor of the sink the speech plays on (e.g. cap.monitor).
//   e2e_probe play SOURCE COUNT
//       The speech engine's part of that: COUNT calls of ParluneDa_Play in
//       this process, at the same gaps, each timed to the first audible
//       sample at SOURCE (PARLUNE_AUDIO as for the speech launcher).
//
// Prints "key=value" lines; the exit status is 0 when everything was seen.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <omniORB4/CORBA.h>
#include <omniORB4/omniORB.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <omniORB4/Naming.hh>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "FileDescriptor.h"
#include "ParluneDa.h"
#include "Percentile.h"
#include "RTC.hh"
#include "SoundMonitor.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Starts argv[0] (searched on PATH) with stdout and stderr to log; -1 on failure.
pid_t spawn(const std::vector<std::string>& args, const std::string& log) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "e2e_probe: cannot start %s: %s\n", argv[0], std::strerror(rc));
        return -1;
    }
    return pid;
}

// Waits up to timeout_ms for pid; true when it ended.
bool waitFor(pid_t pid, double timeout_ms, int* status) {
    const Clock::time_point start = Clock::now();
    while (true) {
        const pid_t r = waitpid(pid, status, WNOHANG);
        if (r == pid) return true;
        if (r < 0) return false;
        if (millisSince(start) > timeout_ms) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

CosNaming::Name toName(const std::string& path) {
    std::vector<std::string> parts;
    std::string::size_type begin = 0;
    while (begin <= path.size()) {
        const std::string::size_type slash = path.find('/', begin);
        const std::string part =
            path.substr(begin, slash == std::string::npos ? std::string::npos : slash - begin);
        if (!part.empty()) parts.push_back(part);
        if (slash == std::string::npos) break;
        begin = slash + 1;
    }
    CosNaming::Name name;
    name.length(static_cast<CORBA::ULong>(parts.size()));
    for (CORBA::ULong i = 0; i < name.length(); ++i) {
        const std::string::size_type dot = parts[i].rfind('.');
        name[i].id = parts[i].substr(0, dot).c_str();
        name[i].kind = dot == std::string::npos ? "" : parts[i].substr(dot + 1).c_str();
    }
    return name;
}

// 0 resolved and answered, 1 resolved only, 2 not found or unreachable.
int probeComponent(CosNaming::NamingContext_ptr root, const CosNaming::Name& name) {
    CORBA::Object_var obj;
    try {
        obj = root->resolve(name);
    } catch (...) {
        return 2;
    }
    try {
        omniORB::setClientCallTimeout(obj.in(), 500);
        RTC::RTObject_var comp = RTC::RTObject::_narrow(obj.in());
        if (CORBA::is_nil(comp.in())) return 1;
        RTC::ExecutionContextList_var ecs = comp->get_owned_contexts();
        if (ecs->length() == 0) return 1;
        omniORB::setClientCallTimeout(ecs[0], 500);
        ecs[0]->get_component_state(comp.in());
        return 0;
    } catch (...) {
        return 1;
    }
}

int startup(CORBA::ORB_ptr orb, const std::string& naming, const std::string& path,
            const std::string& log, const std::vector<std::string>& program) {
    CosNaming::NamingContext_var root;
    try {
        CORBA::Object_var obj =
            orb->string_to_object(("corbaloc:iiop:" + naming + "/NameService").c_str());
        omniORB::setClientCallTimeout(obj.in(), 2000);
        root = CosNaming::NamingContext::_narrow(obj.in());
    } catch (...) {
    }
    if (CORBA::is_nil(root.in())) {
        std::fprintf(stderr, "e2e_probe: no naming service at %s\n", naming.c_str());
        return 1;
    }
    const CosNaming::Name name = toName(path);
    try {
        root->unbind(name);  // a stale entry must not count as registered
    } catch (...) {
    }

    const Clock::time_point start = Clock::now();
    const pid_t pid = spawn(program, log);
    if (pid < 0) return 1;
    double registered = -1.0, ready = -1.0;
    int status = 0;
    bool ended = false;
    while (millisSince(start) < 20000.0) {
        const int state = probeComponent(root.in(), name);
        if (state <= 1 && registered < 0.0) registered = millisSince(start);
        if (state == 0) {
            ready = millisSince(start);
            break;
        }
        if (waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (ended) {
        std::fprintf(stderr, "e2e_probe: %s ended before it was ready (see %s)\n",
                     program[0].c_str(), log.c_str());
        return 1;
    }

    const Clock::time_point stop = Clock::now();
    kill(pid, SIGINT);
    double exited = -1.0;
    if (waitFor(pid, 10000.0, &status)) {
        exited = millisSince(stop);
    } else {
        std::fprintf(stderr, "e2e_probe: %s did not end on SIGINT; killed\n", program[0].c_str());
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    bool unbound = false;
    try {
        CORBA::Object_var left = root->resolve(name);
    } catch (const CosNaming::NamingContext::NotFound&) {
        unbound = true;
    } catch (...) {
    }
    std::printf("startup registered_ms=%.1f ready_ms=%.1f exit_ms=%.1f unbound=%s\n", registered,
                ready, exited, unbound ? "yes" : "no");
    return ready >= 0.0 && exited >= 0.0 ? 0 : 1;
}

// XTestFakeKeyEvent of libXtst (X11/extensions/XTest.h is not installed).
using FakeKeyEvent = int (*)(Display*, unsigned int keycode, Bool is_press, unsigned long delay);

// Sends Alt+S; the returned time is just before the S key goes down.
Clock::time_point pressAltS(Display* display, FakeKeyEvent fake) {
    const unsigned int alt = XKeysymToKeycode(display, XK_Alt_L);
    const unsigned int s = XKeysymToKeycode(display, XK_s);
    fake(display, alt, True, CurrentTime);
    XSync(display, False);
    const Clock::time_point pressed = Clock::now();
    fake(display, s, True, CurrentTime);
    XSync(display, False);
    fake(display, s, False, CurrentTime);
    fake(display, alt, False, CurrentTime);
    XSync(display, False);
    return pressed;
}

// Milliseconds until the next file event in the watched directory, or -1.
double nextFileEvent(int fd, Clock::time_point since, double timeout_ms) {
    alignas(inotify_event) char buffer[4096];
    while (true) {
        const double left = timeout_ms - millisSince(since);
        if (left <= 0.0) return -1.0;
        pollfd pfd{fd, POLLIN, 0};
        const int r = poll(&pfd, 1, static_cast<int>(left) + 1);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return -1.0;
        const double at = millisSince(since);
        if (read(fd, buffer, sizeof buffer) > 0) return at;
    }
}

void drain(int fd) {
    alignas(inotify_event) char buffer[4096];
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
}

int press(const std::string& dir, int count) {
    FileDescriptor watch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!watch.valid() ||
        inotify_add_watch(watch.get(), dir.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
        std::fprintf(stderr, "e2e_probe: cannot watch %s: %s\n", dir.c_str(), std::strerror(errno));
        return 1;
    }
    void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
    FakeKeyEvent fake =
        xtst ? reinterpret_cast<FakeKeyEvent>(dlsym(xtst, "XTestFakeKeyEvent")) : nullptr;
    if (fake == nullptr) {
        std::fprintf(stderr, "e2e_probe: no XTestFakeKeyEvent in libXtst.so.6\n");
        return 1;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "e2e_probe: cannot open the display (DISPLAY=%s)\n",
                     std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
        return 1;
    }
    // Random gaps spread the presses over the phases of both components' cycles.
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> gap(150, 400);
    std::vector<double> latency;
    int missed = 0;
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
        drain(watch.get());
        const Clock::time_point pressed = pressAltS(display, fake);
        const double seen = nextFileEvent(watch.get(), pressed, 3000.0);
        if (seen < 0.0) {
            ++missed;
            continue;
        }
        latency.push_back(seen);
    }
    XCloseDisplay(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::printf("press count=%d missed=%d lat_p50_ms=%.1f lat_p99_ms=%.1f lat_max_ms=%.1f\n", count,
                missed, percentile(latency, 0.5), percentile(latency, 0.99),
                percentile(latency, 1.0));
    for (double l : latency) std::printf("press_ms %.2f\n", l);
    return missed == 0 ? 0 : 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: e2e_probe startup NAMING PATH LOG -- PROGRAM [ARGS...]\n"
                 "       e2e_probe press DIR COUNT\n"
                 "       e2e_probe sound SOURCE COUNT\n"
                 "       e2e_probe play SOURCE COUNT\n");
    return 2;
}

}  // namespace

int sound(const std::string& source, int count) {
    SoundMonitor monitor(source);
    if (!monitor.ok()) {
        std::fprintf(stderr, "e2e_probe: cannot record %s\n", source.c_str());
        return 1;
    }
    void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
    FakeKeyEvent fake =
        xtst ? reinterpret_cast<FakeKeyEvent>(dlsym(xtst, "XTestFakeKeyEvent")) : nullptr;
    Display* display = fake != nullptr ? XOpenDisplay(nullptr) : nullptr;
    if (display == nullptr) {
        std::fprintf(stderr, "e2e_probe: no XTEST or no display\n");
        return 1;
    }
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> gap(900, 1300);  // an utterance lasts ~0.6 s
    std::vector<double> latency;
    int missed = 0;
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
        const Clock::time_point pressed = pressAltS(display, fake);
        const double heard = monitor.firstSoundAfter(pressed, std::chrono::seconds(3));
        if (heard < 0.0) {
            ++missed;
            continue;
        }
        latency.push_back(heard);
    }
    XCloseDisplay(display);
    std::printf("sound count=%d missed=%d lat_p50_ms=%.1f lat_p99_ms=%.1f lat_max_ms=%.1f\n", count,
                missed, percentile(latency, 0.5), percentile(latency, 0.99),
                percentile(latency, 1.0));
    for (double l : latency) std::printf("sound_ms %.2f\n", l);
    return missed == 0 ? 0 : 1;
}

int play(const std::string& source, int count) {
    SoundMonitor monitor(source);
    if (!monitor.ok()) {
        std::fprintf(stderr, "e2e_probe: cannot record %s\n", source.c_str());
        return 1;
    }
    ParluneDaHandle h = ParluneDa_Create();
    if (h == nullptr) {
        std::fprintf(stderr, "e2e_probe: the speech engine did not start: %s\n",
                     ParluneDa_CreateError());
        return 1;
    }
    // The first text opens the audio stream, as the speech component's first one does.
    ParluneDa_Play(h, "Warm up.", 100, 0, 0, 0);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> gap(900, 1300);
    std::vector<double> latency;
    int missed = 0;
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
        const Clock::time_point called = Clock::now();
        if (ParluneDa_Play(h, "sound", 100, 0, 0, 0) != PARLUNE_DA_OK) {
            ++missed;
            continue;
        }
        const double heard = monitor.firstSoundAfter(called, std::chrono::seconds(3));
        if (heard < 0.0) {
            ++missed;
            continue;
        }
        latency.push_back(heard);
    }
    ParluneDa_Release(h);
    std::printf("play count=%d missed=%d lat_p50_ms=%.1f lat_p99_ms=%.1f lat_max_ms=%.1f\n", count,
                missed, percentile(latency, 0.5), percentile(latency, 0.99),
                percentile(latency, 1.0));
    for (double l : latency) std::printf("play_ms %.2f\n", l);
    return missed == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "sound" && argc == 4) {
        return sound(argv[2], std::atoi(argv[3]));
    }
    if (command == "play" && argc == 4) {
        return play(argv[2], std::atoi(argv[3]));
    }
    if (command == "press") {
        if (argc != 4) return usage();
        const int count = std::atoi(argv[3]);
        if (count <= 0) return usage();
        return press(argv[2], count);
    }
    if (command != "startup" || argc < 7 || std::strcmp(argv[5], "--") != 0) return usage();
    std::vector<std::string> program(argv + 6, argv + argc);
    int orb_argc = 1;
    char* orb_argv[] = {argv[0], nullptr};
    CORBA::ORB_var orb = CORBA::ORB_init(orb_argc, orb_argv);
    const int rc = startup(orb.in(), argv[2], argv[3], argv[4], program);
    orb->destroy();
    return rc;
}
