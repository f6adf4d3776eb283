// Benchmarks of the input window's hand-over, each against a baseline
// measured in the same run:
//
//   fetch/empty        GetString with the window open and nothing pending
//                      (ns per call, allocations per call);
//                      baseline: a bare std::mutex lock + unlock
//   fetch/nowindow     GetString with no window (for reference)
//   fetch/deliver255   a GetString that delivers 255 bytes (ASCII, and
//                      2-byte UTF-8 characters), press injected before each
//                      fetch and not timed; baseline: memcpy of 256 bytes
//   press-to-readable  a Space key event sent to the window on a separate X
//                      connection until GetString returns it;
//                      baseline: one X round trip (XSync) on that connection
//   stop-to-end        stopGUI() until the window thread has ended (window
//                      destroyed); baseline: waking a thread blocked in
//                      poll() on a pipe and joining it
// The last two alternate with their baselines round by round, so both see
// the same load.
//
// Output: one line per figure: name, median, p99, unit, ratio of the medians
// to the baseline. Run it on a display, e.g.
//   tests/support/with-xvfb build/bench/stringout/stringout_bench [ROUNDS]
#include "FltkLock.h"
#include "StringInputForm.h"

#include <FL/Fl.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Allocation counting: every malloc family call of the measuring thread
// while counting is on.
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {
thread_local bool t_counting = false;
thread_local long t_allocations = 0;
}  // namespace

extern "C" void* malloc(size_t n) {
    if (t_counting) ++t_allocations;
    return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t m) {
    if (t_counting) ++t_allocations;
    return __libc_calloc(n, m);
}
extern "C" void* realloc(void* p, size_t n) {
    if (t_counting) ++t_allocations;
    return __libc_realloc(p, n);
}
extern "C" void free(void* p) { __libc_free(p); }

namespace {

using Clock = std::chrono::steady_clock;

double nsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
}

struct Stats {
    double median = 0;
    double p99 = 0;
};

Stats stats(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.median = v[v.size() / 2];
    s.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    return s;
}

void report(const char* name, const Stats& s, const char* unit, const Stats* baseline) {
    if (baseline != nullptr && baseline->median > 0) {
        std::printf("%-34s %12.1f %12.1f %-4s  x%.2f\n", name, s.median, s.p99, unit,
                    s.median / baseline->median);
    } else {
        std::printf("%-34s %12.1f %12.1f %-4s\n", name, s.median, s.p99, unit);
    }
}

// Per-call cost of fn: rounds of batch calls, each round's mean per call.
template <typename Fn>
std::vector<double> perCall(int rounds, int batch, Fn fn) {
    std::vector<double> out;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = Clock::now();
        for (int i = 0; i < batch; ++i) fn();
        out.push_back(nsSince(t0) / batch);
    }
    return out;
}

class BenchWindow {
  public:
    BenchWindow() {
        prepareGUI();
        m_thread = std::thread([] { startGUI(); });
        while (!shown()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~BenchWindow() { close(); }
    void close() {
        stopGUI();
        if (m_thread.joinable()) m_thread.join();
    }
    std::thread& thread() { return m_thread; }

    static bool shown() {
        StringOut::FltkLock lock;
        Fl_Window* w = Fl::first_window();
        return w != nullptr && w->shown();
    }
    static ::Window xid() {
        StringOut::FltkLock lock;
        return fl_xid(Fl::first_window());
    }
    // Puts text into the field and presses the button, on this thread,
    // under the toolkit lock (as the window thread would).
    static void press(const char* text) {
        StringOut::FltkLock lock;
        Fl_Window* w = Fl::first_window();
        static_cast<Fl_Input*>(w->child(0))->value(text);
        w->child(1)->do_callback();
    }

  private:
    std::thread m_thread;
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    if (Display* probe = XOpenDisplay(nullptr)) {
        XCloseDisplay(probe);
    } else {
        std::fprintf(stderr, "stringout_bench: needs an X display (tests/support/with-xvfb)\n");
        return 1;
    }
    std::printf("%-34s %12s %12s %-4s  %s\n", "figure", "median", "p99", "unit", "vs baseline");
    char buf[256];

    // --- nothing pending ---
    // Everything is measured while the window thread exists: a process with
    // a single thread takes cheaper paths in its locks.
    {
        BenchWindow window;
        std::mutex mutex;
        const Stats lockUnlock = stats(perCall(rounds, 10000, [&] {
            mutex.lock();
            mutex.unlock();
        }));
        report("baseline/mutex-lock-unlock", lockUnlock, "ns", nullptr);
        GetString(buf, 256);  // this thread's first look at the new window
        const Stats empty = stats(perCall(rounds, 10000, [&] { GetString(buf, 256); }));
        report("fetch/empty", empty, "ns", &lockUnlock);
        t_allocations = 0;
        t_counting = true;
        for (int i = 0; i < 100000; ++i) GetString(buf, 256);
        t_counting = false;
        std::printf("%-34s %12.3f\n", "fetch/empty allocations per call", t_allocations / 100000.0);

        // --- delivering 255 bytes ---
        char src[256];
        std::memset(src, 'a', sizeof(src));
        const Stats copy = stats(perCall(rounds, 10000, [&] {
            std::memcpy(buf, src, sizeof(src));
            asm volatile("" ::: "memory");
        }));
        report("baseline/memcpy-256", copy, "ns", nullptr);
        const std::string ascii(255, 'x');
        std::string twoByte;
        for (int i = 0; i < 127; ++i) twoByte += "\xC3\xA9";
        twoByte += "x";  // 255 bytes
        const std::vector<std::pair<const char*, const std::string*>> texts = {
            {"fetch/deliver255-ascii", &ascii}, {"fetch/deliver255-2byte", &twoByte}};
        for (const auto& text : texts) {
            std::vector<double> times;
            long allocations = 0;
            for (int r = 0; r < rounds * 10; ++r) {
                BenchWindow::press(text.second->c_str());
                t_allocations = 0;
                t_counting = true;
                const auto t0 = Clock::now();
                const int n = GetString(buf, 256);
                const double ns = nsSince(t0);
                t_counting = false;
                times.push_back(ns);
                allocations += t_allocations;
                if (n != 256) std::fprintf(stderr, "unexpected count %d\n", n);
            }
            report(text.first, stats(times), "ns", &copy);
            std::printf("%-34s %12.3f\n", (std::string(text.first) + " allocations").c_str(),
                        static_cast<double>(allocations) / (rounds * 10));
        }

        // --- press to readable ---
        // Baseline and figure alternate round by round, so both see the
        // same load on the machine and the X server.
        Display* d = XOpenDisplay(nullptr);
        XSync(d, False);
        std::vector<double> roundTrips;
        const ::Window target = BenchWindow::xid();
        XEvent ev;
        std::memset(&ev, 0, sizeof(ev));
        ev.xkey.display = d;
        ev.xkey.window = target;
        ev.xkey.root = DefaultRootWindow(d);
        ev.xkey.keycode = XKeysymToKeycode(d, XK_space);
        ev.xkey.same_screen = True;
        std::vector<double> pressTimes;
        for (int r = 0; r < rounds; ++r) {
            const auto s0 = Clock::now();
            XSync(d, False);
            roundTrips.push_back(nsSince(s0));
            ev.type = KeyPress;
            const auto t0 = Clock::now();
            XSendEvent(d, target, True, KeyPressMask, &ev);
            XFlush(d);
            while (GetString(buf, 256) == 0) {
            }
            pressTimes.push_back(nsSince(t0));
            ev.type = KeyRelease;
            XSendEvent(d, target, True, KeyReleaseMask, &ev);
            XSync(d, False);
        }
        const Stats roundTrip = stats(roundTrips);
        report("baseline/x-round-trip", roundTrip, "ns", nullptr);
        report("press-to-readable", stats(pressTimes), "ns", &roundTrip);
        XCloseDisplay(d);
    }

    // --- no window (a helper thread keeps the process multi-threaded) ---
    {
        std::atomic<bool> quit{false};
        std::thread idle([&] {
            while (!quit.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        std::mutex mutex;
        const Stats lockUnlock = stats(perCall(rounds, 10000, [&] {
            mutex.lock();
            mutex.unlock();
        }));
        const Stats noWindow = stats(perCall(rounds, 10000, [&] { GetString(buf, 256); }));
        report("fetch/nowindow", noWindow, "ns", &lockUnlock);
        quit.store(true);
        idle.join();
    }

    // --- stop to thread end (alternating with its baseline) ---
    std::vector<double> wakeJoin;
    std::vector<double> stopTimes;
    for (int r = 0; r < std::max(20, rounds / 4); ++r) {
        int fds[2];
        if (pipe(fds) != 0) return 1;
        std::thread t([&] {
            pollfd p{fds[0], POLLIN, 0};
            poll(&p, 1, -1);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        auto t0 = Clock::now();
        if (write(fds[1], "x", 1) != 1) return 1;
        t.join();
        wakeJoin.push_back(nsSince(t0));
        close(fds[0]);
        close(fds[1]);

        BenchWindow window;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        t0 = Clock::now();
        stopGUI();
        window.thread().join();
        stopTimes.push_back(nsSince(t0));
    }
    const Stats wake = stats(wakeJoin);
    report("baseline/pipe-wake-join", wake, "ns", nullptr);
    report("stop-to-end", stats(stopTimes), "ns", &wake);
    return 0;
}
