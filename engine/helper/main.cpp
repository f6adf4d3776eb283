// parlune-da-helper: synthesises texts for libParluneDa in a process of its
// own, so that a text that crashes espeak-ng ends only this process.
//
// Usage: parlune-da-helper VOICE..., with a connected stream socket on
// descriptor 3 (see HelperProtocol.h); the first voice espeak-ng has is
// used. Exits when the socket closes.
#include <espeak-ng/speak_lib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <vector>

#include "HelperProtocol.h"

namespace {

namespace proto = parlune::protocol;

bool g_peerGone = false;

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

int onSamples(short* samples, int count, espeak_EVENT*) {
    if (g_peerGone) {
        return 1;
    }
    if (samples != nullptr && count > 0 &&
        !sendFrame(proto::kPcm, samples, static_cast<size_t>(count) * sizeof(short))) {
        g_peerGone = true;
        return 1;  // abort synthesis
    }
    return 0;
}

bool sendHello(int32_t status, int32_t rate) {
    proto::HelloPayload hello{status, rate};
    return sendFrame(proto::kHello, &hello, sizeof hello);
}

}  // namespace

int main(int argc, char** argv) {
    // Die with the thread that started us; EOF on the socket covers the rest.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::close_range(proto::kHelperFd + 1, ~0u, 0);

    int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 20, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0) {
        sendHello(proto::kHelloNoData, 0);
        return 1;
    }
    bool voiceSet = argc < 2 && espeak_SetVoiceByName("en") == EE_OK;
    for (int i = 1; i < argc && !voiceSet; ++i) {
        voiceSet = espeak_SetVoiceByName(argv[i]) == EE_OK;
    }
    if (!voiceSet) {
        sendHello(proto::kHelloNoVoice, 0);
        return 1;
    }
    espeak_SetSynthCallback(onSamples);
    if (!sendHello(proto::kHelloOk, rate)) {
        return 1;
    }

    std::vector<char> payload;
    for (;;) {
        proto::FrameHeader head{};
        if (!readAll(&head, sizeof head)) {
            return 0;  // the library closed the socket
        }
        if (head.type != proto::kSpeak || head.size < sizeof(proto::SpeakHeader) ||
            head.size > proto::kMaxSpeakBytes) {
            return 2;
        }
        payload.assign(head.size + 1, '\0');  // the extra byte terminates the text
        if (!readAll(payload.data(), head.size)) {
            return 0;
        }
        proto::SpeakHeader speak{};
        std::memcpy(&speak, payload.data(), sizeof speak);
        const char* text = payload.data() + sizeof speak;
        size_t textSize = head.size - sizeof speak + 1;

        espeak_SetParameter(espeakRATE, speak.wordsPerMinute, 0);
        espeak_ERROR err =
            espeak_Synth(text, textSize, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
        if (g_peerGone) {
            return 0;
        }
        int32_t status = err == EE_OK ? proto::kEndOk : proto::kEndSynthFailed;
        if (!sendFrame(proto::kEnd, &status, sizeof status)) {
            return 0;
        }
    }
}
