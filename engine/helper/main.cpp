// parlune-da-helper: synthesises texts for libParluneDa in a process of its
// own, so that a text that crashes a synthesiser ends only this process.
//
// Usage: parlune-da-helper [voice=NAME] [ja=NAME] [en=NAME]
//        [locale=VOICE,VOICE...] [timeout=MS]
// with a connected stream socket on descriptor 3 (see HelperProtocol.h).
// The voice files are looked for in $PARLUNE_VOICE_DIR, else in
// ../share/parlune/voices beside this program, else in the directory it was
// built for. Exits when the socket closes.
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HelperProtocol.h"
#include "KeepAlive.h"
#include "PcmOutput.h"
#include "Priority.h"
#include "VoiceRouter.h"

namespace {

namespace proto = parlune::protocol;
using parlune::helper::KeepAlive;
using parlune::helper::PcmOutput;
using parlune::helper::VoiceRouter;

bool sendAll(const void* head, size_t headSize, const void* body, size_t bodySize) {
    iovec iov[2] = {{const_cast<void*>(head), headSize}, {const_cast<void*>(body), bodySize}};
    msghdr msg{};
    msg.msg_iov = iov;
    msg.msg_iovlen = bodySize > 0 ? 2 : 1;
    while (msg.msg_iovlen > 0) {
        ssize_t n = ::sendmsg(proto::kHelperFd, &msg, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        // Skip what was sent, across the two buffers.
        while (msg.msg_iovlen > 0 && static_cast<size_t>(n) >= msg.msg_iov[0].iov_len) {
            n -= static_cast<ssize_t>(msg.msg_iov[0].iov_len);
            ++msg.msg_iov;
            --msg.msg_iovlen;
        }
        if (msg.msg_iovlen > 0) {
            msg.msg_iov[0].iov_base = static_cast<char*>(msg.msg_iov[0].iov_base) + n;
            msg.msg_iov[0].iov_len -= static_cast<size_t>(n);
        }
    }
    return true;
}

bool sendFrame(uint32_t type, const void* body, size_t size) {
    proto::FrameHeader head{type, static_cast<uint32_t>(size)};
    return sendAll(&head, sizeof head, body, size);
}

bool readAll(void* buffer, size_t size) {
    char* p = static_cast<char*>(buffer);
    while (size > 0) {
        ssize_t n = ::read(proto::kHelperFd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Takes a kCancel waiting on the socket, without blocking; anything else
// waiting stays for the main loop.
bool cancelArrived() {
    proto::FrameHeader head{};
    ssize_t n = ::recv(proto::kHelperFd, &head, sizeof head, MSG_PEEK | MSG_DONTWAIT);
    if (n != static_cast<ssize_t>(sizeof head) || head.type != proto::kCancel || head.size != 0) {
        return false;
    }
    return readAll(&head, sizeof head);
}

bool sendHello(int32_t status, int32_t rate) {
    proto::HelloPayload hello{status, rate};
    return sendFrame(proto::kHello, &hello, sizeof hello);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string voiceDirectory() {
    const char* configured = std::getenv("PARLUNE_VOICE_DIR");
    if (configured != nullptr && configured[0] != '\0') {
        return configured;
    }
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string path(self, static_cast<size_t>(n));
        std::string installed = path.substr(0, path.rfind('/')) + "/../share/parlune/voices";
        if (isDirectory(installed)) {
            return installed;
        }
    }
    return PARLUNE_VOICE_DIR_DEFAULT;
}

std::vector<std::string> commaList(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            comma = text.size();
        }
        if (comma > start) {
            items.push_back(text.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return items;
}

VoiceRouter::Settings settingsFrom(int argc, char** argv) {
    VoiceRouter::Settings settings;
    settings.voiceDir = voiceDirectory();
    settings.dictionary = PARLUNE_OPEN_JTALK_DICTIONARY;
    const char* faults = std::getenv("PARLUNE_HELPER_FAULTS");
    settings.faults = faults != nullptr ? faults : "";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        size_t eq = arg.find('=');
        std::string key = arg.substr(0, eq);
        std::string value = eq == std::string::npos ? std::string() : arg.substr(eq + 1);
        if (key == "voice") {
            settings.voice = value;
        } else if (key == "ja") {
            settings.japanese = value;
        } else if (key == "en") {
            settings.english = value;
        } else if (key == "locale") {
            settings.localeVoices = commaList(value);
        } else if (key == "timeout") {
            settings.timeoutMs = std::atoi(value.c_str());
        }
    }
    return settings;
}

}  // namespace

int main(int argc, char** argv) {
    // Die with the thread that started us; EOF on the socket covers the rest.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::close_range(proto::kHelperFd + 1, ~0u, 0);
    // Whatever a synthesiser might start must not hold the engine's socket:
    // our end of it has to close when this process ends.
    ::fcntl(proto::kHelperFd, F_SETFD, FD_CLOEXEC);
    ::signal(SIGPIPE, SIG_IGN);
    // Before the voices load: loading is on the way to the first sound too.
    parlune::helper::Priority::raise();

    VoiceRouter router;
    std::vector<std::string> notices;
    const VoiceRouter::Settings settings = settingsFrom(argc, argv);
    VoiceRouter::Start start = router.start(settings, notices);
    for (const std::string& notice : notices) {
        sendFrame(proto::kNotice, notice.data(),
                  std::min<size_t>(notice.size(), proto::kMaxNoticeBytes));
    }
    if (start != VoiceRouter::Start::Ok) {
        sendHello(start == VoiceRouter::Start::NoData ? proto::kHelloNoData : proto::kHelloNoVoice,
                  0);
        return 1;
    }
    if (!sendHello(proto::kHelloOk, VoiceRouter::kOutputRate)) {
        return 1;
    }
    router.warmUp();

    // Well within the library's patience, however the threads are scheduled.
    KeepAlive keepAlive(std::chrono::milliseconds(std::max(10, settings.timeoutMs / 5)),
                        [] { return sendFrame(proto::kKeepAlive, nullptr, 0); });
    bool cancelled = false;  // the speak under way was cancelled
    PcmOutput output(
        VoiceRouter::kOutputRate, [&keepAlive, &cancelled](const int16_t* samples, size_t count) {
            // Between chunks: a cancel ends the synthesis here.
            if (cancelArrived()) {
                cancelled = true;
                return false;
            }
            return keepAlive.send(
                [&] { return sendFrame(proto::kPcm, samples, count * sizeof(int16_t)); }, true);
        });
    // A sentence's marks, in frames of at most kMaxMarkBytes.
    const VoiceRouter::MarkSink sendMarks =
        [&keepAlive](const std::vector<proto::MarkRecord>& marks) {
            const size_t perFrame = proto::kMaxMarkBytes / sizeof(proto::MarkRecord);
            for (size_t at = 0; at < marks.size(); at += perFrame) {
                const size_t n = std::min(perFrame, marks.size() - at);
                if (!keepAlive.send(
                        [&] {
                            return sendFrame(proto::kMark, marks.data() + at,
                                             n * sizeof(proto::MarkRecord));
                        },
                        true)) {
                    return false;
                }
            }
            return true;
        };
    std::vector<char> payload;
    for (;;) {
        proto::FrameHeader head{};
        if (!readAll(&head, sizeof head)) {
            return 0;  // the library closed the socket
        }
        if (head.type == proto::kCancel && head.size == 0) {
            continue;  // it crossed the kEnd of what it meant to cancel
        }
        if (head.type != proto::kSpeak || head.size < sizeof(proto::SpeakHeader) ||
            head.size > proto::kMaxSpeakBytes) {
            return 2;
        }
        payload.assign(head.size, '\0');
        if (!readAll(payload.data(), head.size)) {
            return 0;
        }
        proto::SpeakHeader speak{};
        std::memcpy(&speak, payload.data(), sizeof speak);
        std::string_view text(payload.data() + sizeof speak, head.size - sizeof speak);
        parlune::helper::Prosody prosody{std::clamp(speak.speed, 50, 300),
                                         std::clamp(speak.pitch, 50, 200)};

        output.setVolume(std::clamp(speak.volume, 0, 200));
        cancelled = false;
        keepAlive.begin();
        const bool wantsMarks = (speak.flags & proto::kSpeakWantsMarks) != 0;
        VoiceRouter::Outcome outcome =
            router.speak(text, prosody, (speak.flags & proto::kSpeakStartsUtterance) != 0, output,
                         wantsMarks ? &sendMarks : nullptr);
        if (outcome.stopped && !cancelled) {
            return 0;
        }
        // Partly spoken only when some of it was synthesised.
        int32_t status = cancelled             ? proto::kEndCancelled
                         : outcome.failed == 0 ? proto::kEndOk
                         : outcome.spoken > 0  ? proto::kEndPartlySpoken
                                               : proto::kEndSynthFailed;
        if (!keepAlive.send([&] { return sendFrame(proto::kEnd, &status, sizeof status); },
                            false)) {
            return 0;
        }
    }
}
