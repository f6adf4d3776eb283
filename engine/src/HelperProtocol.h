// Messages between the library and parlune-da-helper over a stream socket.
// Every message is a FrameHeader followed by `size` payload bytes.
#pragma once

#include <cstdint>

namespace parlune::protocol {

// The helper finds its end of the socket on this descriptor.
constexpr int kHelperFd = 3;

enum FrameType : uint32_t {
    // helper -> library, once at start: HelloPayload.
    kHello = 1,
    // library -> helper: SpeakHeader followed by the text bytes (no NUL).
    kSpeak = 2,
    // helper -> library: signed 16-bit mono samples at the hello's rate.
    kPcm = 3,
    // helper -> library, ends every kSpeak: int32_t status (0 = spoken).
    kEnd = 4,
};

struct FrameHeader {
    uint32_t type;
    uint32_t size;
};

enum HelloStatus : int32_t {
    kHelloOk = 0,
    kHelloNoData = 1,   // espeak-ng could not load its data
    kHelloNoVoice = 2,  // the requested voice does not exist
};

struct HelloPayload {
    int32_t status;
    int32_t sampleRate;
};

struct SpeakHeader {
    int32_t wordsPerMinute;
};

enum EndStatus : int32_t {
    kEndOk = 0,
    kEndSynthFailed = 1,
};

// Upper bounds a reader enforces before trusting a size field.
constexpr uint32_t kMaxPcmBytes = 1u << 20;
constexpr uint32_t kMaxSpeakBytes = 1u << 20;

}  // namespace parlune::protocol
