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
#include "HelperProcess.h"
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
    // `speed` is percent of the normal rate, 50..300.
    int play(std::string text, int speed);

    // Texts not spoken because the helper crashed, hung or failed on them,
    // and texts of which a sentence failed and was left out.
    uint64_t skippedTexts() const { return m_skipped; }

    // What the first helper said was missing from the voices asked for
    // (one line each), "" when nothing was. Set before start returns.
    const std::string& warning() const { return m_warning; }

    // Stops the current utterance, drops the queue, ends the helper and
    // joins the worker. Idempotent.
    void stop();

  private:
    struct Item {
        std::string text;
        int speed;
    };
    enum class Wait { HelperReady, Woken, TimedOut };
    using Clock = std::chrono::steady_clock;

    enum class Piece { Spoken, PartlySpoken, Skip, AudioFailed, Stopped };

    explicit Speaker(Options options);
    void run(std::promise<bool>& started, std::string& error);
    bool startHelper(std::string* error = nullptr);
    bool nextItem(Item& item);
    void speak(const Item& item);
    Piece speakPiece(std::string_view piece, int speed, uint32_t flags, bool& audioOk);
    void replaceHelper();
    Wait waitForHelper(Clock::time_point deadline);
    void wake();
    void fail(int code);

    const Options m_options;
    UniqueFd m_wake;  // eventfd: work queued or stop requested
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_failure{0};  // first failure not yet reported
    std::atomic<uint64_t> m_skipped{0};

    std::mutex m_mutex;  // guards m_queue, m_queuedBytes and m_closed
    std::deque<Item> m_queue;
    size_t m_queuedBytes = 0;
    bool m_closed = false;

    std::mutex m_stopMutex;
    std::thread m_worker;

    // Used by the worker thread only.
    std::unique_ptr<HelperProcess> m_helper;
    std::unique_ptr<AudioSink> m_sink;
    std::unique_ptr<TextDecoder> m_decoder;
    int m_sampleRate = 0;
    std::string m_warning;  // written before start returns, read-only after
    bool m_firstHelper = true;
};

}  // namespace parlune
