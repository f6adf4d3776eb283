// Stands in for parlune-da-helper in tests, misbehaving as FAKE_HELPER_MODE
// says, after a correct hello on descriptor 3:
//   deaf    - stops reading (shuts its receiving side) and waits
//   garbage - answers a request with a frame far larger than allowed
//   silent  - reads requests and never answers
//   refusing - answers each read of requests with "synthesis failed"
//   partly  - answers each read of requests with two samples and "partly spoken"
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kFd = 3;

bool sendWords(const uint32_t* words, size_t count) {
    return ::send(kFd, words, count * sizeof(uint32_t), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(count * sizeof(uint32_t));
}

}  // namespace

int main() {
    const char* mode = std::getenv("FAKE_HELPER_MODE");
    const uint32_t hello[] = {1, 8, 0, 22050};  // kHello, size, status ok, rate
    if (mode == nullptr || !sendWords(hello, 4)) {
        return 1;
    }
    if (std::strcmp(mode, "deaf") == 0) {
        ::shutdown(kFd, SHUT_RD);
        ::sleep(60);
        return 0;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(kFd, buffer, sizeof buffer);
        if (n <= 0) {
            return 0;
        }
        if (std::strcmp(mode, "refusing") == 0) {
            const uint32_t failed[] = {4, 4, 1};  // kEnd, size, kEndSynthFailed
            sendWords(failed, 3);
        }
        if (std::strcmp(mode, "partly") == 0) {
            const uint32_t partly[] = {3, 4, 0x30003000, 4, 4, 2};  // kPcm, kEnd partly spoken
            sendWords(partly, 6);
        }
        if (std::strcmp(mode, "garbage") == 0) {
            const uint32_t huge[] = {3, 0x7fffffff, 0, 0};  // kPcm of 2 GiB
            sendWords(huge, 4);
        }
    }
}
