// One engine instance: a queue of texts, a worker thread that speaks them in
// order, the synthesis helper the worker talks to, and the audio sink.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "AudioSink.h"
#include "AudioTap.h"
#include "EventQueue.h"
#include "HelperProcess.h"
#include "HelperProtocol.h"
#include "MarkQueue.h"
#include "TextDecoder.h"
#include "UniqueFd.h"

namespace parlune {

class Speaker {
  public:
    using SinkFactory = std::function<std::unique_ptr<AudioSink>(const std::atomic<bool>& stop)>;

    struct Options {
        std::string helperPath;
        std::vector<std::string> helperArguments;     // voice settings; none: the defaults
        std::vector<std::string> encodings{"UTF-8"};  // of texts that are not UTF-8
        int helperTimeoutMs = 10000;                  // longest silence of a helper at work
        size_t queueBytes = 4u << 20;                 // text bytes waiting, at most
        size_t queueTexts = 4096;                     // texts waiting, at most
        SinkFactory makeSink;
    };

    // Starts the worker and the helper; null when the helper cannot start,
    // with `error` saying why.
    static std::unique_ptr<Speaker> start(Options options, std::string& error);
    ~Speaker();
    Speaker(const Speaker&) = delete;
    Speaker& operator=(const Speaker&) = delete;

    // Queues a text; returns a ParluneDaResult: queue full, a stopped
    // speaker, or an audio failure left by an earlier text (this text is
    // queued all the same) instead of OK.
    // `speed` is percent of the normal rate, 50..300; `volume` percent of
    // the voice's level, 0..200; `pitch` percent of its pitch, 50..200.
    int play(std::string text, int speed, int volume = 100, int pitch = 100);

    // Silences the text being spoken at once (it ends FINISHED "interrupted",
    // or DROPPED "interrupted" when none of it was heard yet) and drops the
    // queued ones (DROPPED "interrupted"); texts played afterwards are spoken
    // as usual. Returns a ParluneDaResult: OK, or E_HANDLE once stopped.
    int interrupt();

    // Texts not spoken because the helper crashed, hung or failed on them,
    // and texts of which a sentence failed and was left out.
    uint64_t skippedTexts() const { return m_skipped; }

    // Takes the oldest warning the worker left (see ParluneDa_NextWarning).
    bool takeWarning(std::string& line);

    // What became of each text queued after events were enabled.
    EventQueue& events() { return m_events; }

    // The sound played, as data, once enabled (from the next text on).
    AudioTap& audio() { return m_audio; }
    // The timing marks of each text queued after marks were enabled.
    MarkQueue& marks() { return m_marks; }

    // What the first helper said was missing from the voices asked for
    // (one line each), "" when nothing was. Set before start returns.
    const std::string& warning() const { return m_warning; }

    // Stops the current utterance, drops the queue, ends the helper and
    // joins the worker. Idempotent.
    void stop();

  private:
    struct Item {
        std::string text;
        int speed = 0;
        int volume = 100;
        int pitch = 100;
        uint64_t generation = 0;  // interrupts before it was queued
        uint64_t ordinal = 0;     // 1 for the first text accepted, 2 for the next...
        bool reported = false;    // events were on when it was queued
        bool marked = false;      // marks were on when it was queued
    };
    // The text being spoken, as far as the pieces of it have come.
    struct Utterance {
        const Item& item;
        bool audioOk = true;  // false once the sink failed: the rest is discarded
        bool started = false;
        int64_t startedNs = 0;  // when its first sample is heard
        // Marks: samples of the text so far, the piece under way, the
        // sentence whose samples come next, and where each word heard ends.
        size_t samples = 0;
        int64_t heardRealtimeNs = 0;  // startedNs on the wall clock, once known
        size_t pieceOffset = 0;
        size_t pieceBytes = 0;
        std::vector<protocol::MarkRecord> pending{};
        size_t pendingBefore = 0;
        std::vector<std::pair<size_t, size_t>> words{};  // sample it starts, byte after it
        // The sentences of the piece under way heard: their bytes in the
        // text, their first sample and the sample after them.
        struct Heard {
            size_t from = 0;
            size_t to = 0;
            size_t startSample = 0;
            size_t endSample = 0;
        };
        std::vector<Heard> heardSentences{};
        // The first sentence left out: where the sound went past it and its
        // first byte; npos while none was.
        size_t leftOutSample = 0;
        size_t leftOutByte = std::string::npos;
    };
    enum class Wait { HelperReady, Woken, TimedOut };
    using Clock = std::chrono::steady_clock;

    enum class Piece { Spoken, PartlySpoken, Crashed, Hung, Refused, AudioFailed, Stopped, Cut };

    explicit Speaker(Options options);
    void run(std::promise<bool>& started, std::string& error);
    bool startHelper(std::string* error = nullptr);
    bool nextItem(Item& item);
    void speak(const Item& item);
    Piece speakPiece(std::string_view piece, uint32_t flags, Utterance& utterance);
    // Whether an interrupt came since `item` was queued.
    bool isCut(const Item& item) const { return item.generation != m_generation.load(); }
    // Ends the cut utterance in the sink at once.
    void silence(const Utterance& utterance);
    // Silences the sink and has the helper end the piece under way early.
    Piece cancelPiece(const Utterance& utterance);
    void noteStarted(Utterance& utterance, size_t samples);
    // Notes where the first sentence of the piece under way that was left
    // out starts, from the sentences of it heard.
    void noteLeftOut(Utterance& utterance, std::string_view text) const;
    // Appends the text's final event, and IDLE when no text waits.
    void noteEnd(const Utterance& utterance, ParluneDaEventKind kind, const char* detail);
    // Marks: a sentence's records from the helper, its sample once the
    // text's first sample is written, the sample saying where a cut text stopped.
    void takeMarks(Utterance& utterance, const std::vector<char>& payload);
    void queueMarks(Utterance& utterance);
    void noteStopped(const Utterance& utterance, const char* why);
    void replaceHelper();
    // A helper ended while idle: a new one after a pause (see Speaker.cpp).
    void scheduleRestart();
    Wait waitForHelper(Clock::time_point deadline);
    void wake();
    void fail(int code);

    const Options m_options;
    UniqueFd m_wake;  // eventfd: work queued or stop requested
    std::atomic<bool> m_stop{false};
    // Ends the sink's waits: set by a stop or an interrupt, cleared by the
    // worker when it takes up a text queued after the last interrupt.
    std::atomic<bool> m_hush{false};
    std::atomic<uint64_t> m_generation{0};  // interrupts so far
    std::atomic<int> m_failure{0};          // first failure not yet reported
    std::atomic<uint64_t> m_skipped{0};

    std::mutex m_mutex;  // guards m_queue, m_queuedBytes, m_accepted, m_closed, m_warnings
    std::deque<Item> m_queue;
    size_t m_queuedBytes = 0;
    uint64_t m_accepted = 0;  // texts queued since start
    bool m_closed = false;
    std::deque<std::string> m_warnings;  // not yet taken; a handful at most
    bool m_busy = false;                 // the worker took a text and has not ended it yet
    // QUEUED, final and IDLE events are appended under m_mutex: QUEUED in
    // the order texts are queued, IDLE only while the queue is empty.
    EventQueue m_events;
    AudioTap m_audio;
    MarkQueue m_marks;

    std::mutex m_stopMutex;
    std::thread m_worker;

    // Used by the worker thread only.
    std::unique_ptr<HelperProcess> m_helper;
    std::unique_ptr<AudioSink> m_sink;
    bool m_tapped = false;  // m_sink also hands its samples to m_audio
    std::unique_ptr<TextDecoder> m_decoder;
    int m_sampleRate = 0;
    std::string m_warning;  // written before start returns, read-only after
    bool m_firstHelper = true;
    Clock::time_point m_helperSince;  // when the current helper greeted
    std::chrono::milliseconds m_restartDelay{0};
    Clock::time_point m_restartAt;
    bool m_restartPending = false;
    bool m_restartsWarned = false;  // for the current run of early ends
};

}  // namespace parlune
