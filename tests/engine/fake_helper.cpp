// Stands in for parlune-da-helper in tests, misbehaving as FAKE_HELPER_MODE
// says, after a correct hello on descriptor 3:
//   deaf    - stops reading (shuts its receiving side) and waits
//   garbage - answers a request with a frame far larger than allowed
//   silent  - reads requests and never answers
//   deaf-once - deaf if the file FAKE_HELPER_MARK does not exist yet (and
//             creates it, writing its process number there); otherwise answers every request with
//             an empty, successful end
//   gone-once - like deaf-once, but instead of going deaf it ends right
//             after its hello, leaving a child of its own that holds the
//             socket open for a few seconds
//   short-lived - appends a line to FAKE_HELPER_MARK and ends right after
//             its hello, every time it is started
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kFd = 3;

bool sendWords(const uint32_t* words, size_t count) {
    return ::send(kFd, words, count * sizeof(uint32_t), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(count * sizeof(uint32_t));
}

bool readAll(void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = ::read(kFd, p, size);
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads each request whole and answers it with a successful end and no sound.
int answerEmpty() {
    std::vector<char> body;
    for (;;) {
        uint32_t head[2];
        if (!readAll(head, sizeof head)) {
            return 0;
        }
        body.resize(head[1]);
        if (!readAll(body.data(), body.size())) {
            return 0;
        }
        const uint32_t end[] = {4, 4, 0};  // kEnd, size, status ok
        if (!sendWords(end, 3)) {
            return 0;
        }
    }
}

}  // namespace

int main() {
    const char* mode = std::getenv("FAKE_HELPER_MODE");
    if (mode == nullptr) {
        return 1;
    }
    if (std::strcmp(mode, "short-lived") == 0) {
        const char* mark = std::getenv("FAKE_HELPER_MARK");
        int fd = mark != nullptr ? ::open(mark, O_WRONLY | O_CREAT | O_APPEND, 0600) : -1;
        if (fd >= 0) {
            (void)!::write(fd, "started\n", 8);
            ::close(fd);
        }
        const uint32_t hello[] = {1, 8, 0, 22050};
        return sendWords(hello, 4) ? 0 : 1;
    }
    bool deaf = std::strcmp(mode, "deaf") == 0;
    const bool once = std::strcmp(mode, "deaf-once") == 0 || std::strcmp(mode, "gone-once") == 0;
    if (once) {
        const char* mark = std::getenv("FAKE_HELPER_MARK");
        int fd = mark != nullptr ? ::open(mark, O_WRONLY | O_CREAT | O_EXCL, 0600) : -1;
        deaf = fd >= 0;
        if (fd >= 0) {
            // Our number, for a test that waits for us to end.
            std::string pid = std::to_string(::getpid());
            (void)!::write(fd, pid.data(), pid.size());
            ::close(fd);
        }
    }
    const bool gone = deaf && std::strcmp(mode, "gone-once") == 0;
    if (gone) {
        const uint32_t hello[] = {1, 8, 0, 22050};
        if (!sendWords(hello, 4)) {
            return 1;
        }
        if (::fork() == 0) {
            ::sleep(5);
        }
        return 0;
    }
    // Deaf before the hello, so that every request is refused.
    if (deaf) {
        ::shutdown(kFd, SHUT_RD);
    }
    const uint32_t hello[] = {1, 8, 0, 22050};  // kHello, size, status ok, rate
    if (!sendWords(hello, 4)) {
        return 1;
    }
    if (deaf) {
        ::sleep(60);
        return 0;
    }
    if (once) {
        return answerEmpty();
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(kFd, buffer, sizeof buffer);
        if (n <= 0) {
            return 0;
        }
        if (std::strcmp(mode, "garbage") == 0) {
            const uint32_t huge[] = {3, 0x7fffffff, 0, 0};  // kPcm of 2 GiB
            sendWords(huge, 4);
        }
    }
}
