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
    // helper -> library, ends every kSpeak: int32_t status (EndStatus).
    kEnd = 4,
    // helper -> library, before the hello: one line of text worth a warning
    // (a voice that could not be loaded and what speaks instead).
    kNotice = 5,
    // helper -> library, no payload: a back end is still busy with the
    // current kSpeak. Sent at least every quarter of the helper's timeout
    // while nothing else is, so that only a helper that says nothing at all
    // is taken for hung.
    kKeepAlive = 6,
    // library -> helper, no payload: stop the kSpeak under way; the helper
    // ends it with kEnd kEndCancelled. A cancel that reaches an idle helper
    // (its kEnd crossed the cancel) is ignored and answered with nothing.
    kCancel = 7,
    // helper -> library, only for a kSpeak with kSpeakWantsMarks: MarkRecord
    // entries timing the sentence whose samples follow. All of a sentence's
    // kMark frames come before its first kPcm.
    kMark = 8,
};

struct FrameHeader {
    uint32_t type;
    uint32_t size;
};

enum HelloStatus : int32_t {
    kHelloOk = 0,
    kHelloNoData = 1,   // espeak-ng could not load its data
    kHelloNoVoice = 2,  // the requested voice does not exist (a kNotice says which)
};

struct HelloPayload {
    int32_t status;
    int32_t sampleRate;
};

enum SpeakFlags : uint32_t {
    // The first piece of an utterance: its leading silence is cut away.
    kSpeakStartsUtterance = 1,
    // Time each sentence: kMark frames before its samples (which the helper
    // holds back only until the sentence's marks are known).
    kSpeakWantsMarks = 2,
};

struct SpeakHeader {
    int32_t speed;  // percent of each voice's normal rate, 50..300
    uint32_t flags;
    int32_t volume = 100;  // percent of the voice's level, 0..200, applied after trimming
    int32_t pitch = 100;   // percent of the voice's normal pitch, 50..200
};

enum EndStatus : int32_t {
    kEndOk = 0,
    kEndSynthFailed = 1,
    // Some sentences could not be synthesised and were left out; the rest
    // was spoken.
    kEndPartlySpoken = 2,
    // A kCancel stopped it; what was sent before the kEnd was spoken.
    kEndCancelled = 3,
};

enum MarkKind : uint32_t {
    kMarkSentence = 1,  // offset, length: the sentence's bytes
    kMarkWord = 2,      // offset, length: the word's bytes
    kMarkViseme = 3,    // name: one of the 15 mouth shapes (see Viseme.h)
    kMarkPhoneme = 4,   // name: the synthesiser's own symbol
};

// One mark. Times are samples at the hello's rate from the first sample of
// the kPcm frames that follow; byte offsets are into the kSpeak text.
struct MarkRecord {
    uint32_t kind;
    uint32_t start;
    uint32_t end;
    uint32_t offset;
    uint32_t length;
    char name[12];  // NUL-padded; a longer symbol is cut
};

// Upper bounds a reader enforces before trusting a size field.
constexpr uint32_t kMaxPcmBytes = 1u << 20;
constexpr uint32_t kMaxSpeakBytes = 1u << 20;
constexpr uint32_t kMaxNoticeBytes = 4096;
constexpr uint32_t kMaxMarkBytes = 1024 * sizeof(MarkRecord);

}  // namespace parlune::protocol
