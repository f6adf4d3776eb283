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
#include <thread>

#include "AudioSink.h"
#include "HelperProcess.h"
#include "UniqueFd.h"

namespace parlune {

class Speaker {
  public:
    using SinkFactory = std::function<std::unique_ptr<AudioSink>(const std::atomic<bool>& stop)>;

    struct Options {
        std::string helperPath;
        std::string voice = "en";
        int helperTimeoutMs = 10000;  // longest silence of a helper at work
        size_t queueCapacity = 32;
        SinkFactory makeSink;
    };

    // Starts the worker and the helper; null when the helper cannot start.
    static std::unique_ptr<Speaker> start(Options options);
    ~Speaker();
    Speaker(const Speaker&) = delete;
    Speaker& operator=(const Speaker&) = delete;

    // Queues a text; returns a ParluneDaResult (queue full, a failure left
    // by an earlier text, or a stopped speaker instead of OK).
    int play(std::string text, int wordsPerMinute);

    // Stops the current utterance, drops the queue, ends the helper and
    // joins the worker. Idempotent.
    void stop();

  private:
    struct Item {
        std::string text;
        int wordsPerMinute;
    };
    enum class Wait { HelperReady, Woken, TimedOut };
    using Clock = std::chrono::steady_clock;

    explicit Speaker(Options options);
    void run(std::promise<bool>& started);
    bool startHelper();
    bool nextItem(Item& item);
    void speak(const Item& item);
    void helperFailed(bool abandonSink);
    Wait waitForHelper(Clock::time_point deadline);
    void wake();
    void fail(int code);

    const Options m_options;
    UniqueFd m_wake;  // eventfd: work queued or stop requested
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_failure{0};  // first failure not yet reported

    std::mutex m_mutex;  // guards m_queue and m_closed
    std::deque<Item> m_queue;
    bool m_closed = false;

    std::mutex m_stopMutex;
    std::thread m_worker;

    // Used by the worker thread only.
    std::unique_ptr<HelperProcess> m_helper;
    std::unique_ptr<AudioSink> m_sink;
    int m_sampleRate = 0;
};

}  // namespace parlune
