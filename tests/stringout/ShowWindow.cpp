// Shows the input window until standard input closes, then closes it and
// prints what was submitted last (if anything). For screenshots and manual
// checks: tests/stringout/screenshot.sh.
#include "StringInputForm.h"

#include <cstdio>
#include <thread>

int main() {
    prepareGUI();
    std::thread window(startGUI);
    int c;
    while ((c = std::getchar()) != EOF) {
    }
    char buf[256];
    const int n = GetString(buf, sizeof(buf));
    stopGUI();
    window.join();
    if (n > 0) std::printf("%s\n", buf);
    return 0;
}
