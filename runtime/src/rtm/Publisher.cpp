#include "Publisher.h"

#include <pthread.h>

#include <chrono>

namespace RTC {

namespace {

// Pause before a sample the receiver had no room for is offered again.
const std::chrono::milliseconds kBusyRetry(10);

// The receiver answered that it could not store the sample: it is offered again.
bool receiverBusy(DataPortStatus::Enum status) {
    return status == DataPortStatus::SEND_FULL || status == DataPortStatus::BUFFER_FULL ||
           status == DataPortStatus::BUFFER_TIMEOUT;
}

// Done with the sample: stored, or the call timed out and it may have arrived.
bool consumed(DataPortStatus::Enum status) {
    return status == DataPortStatus::PORT_OK || status == DataPortStatus::SEND_TIMEOUT;
}

}  // namespace

Publisher::Publisher(const PublisherSettings& settings, Send send)
    : m_settings(settings), m_send(std::move(send)), m_buffer(settings.buffer) {
    m_thread = std::thread(&Publisher::run, this);
}

Publisher::~Publisher() { stop(); }

DataPortStatus::Enum Publisher::write(const unsigned char* data, std::size_t size) {
    const DataPortStatus::Enum last = m_lastSend.load();
    if (last == DataPortStatus::CONNECTION_LOST) return last;
    const DataPortStatus::Enum stored = m_buffer.write(data, size);
    if (m_settings.kind == PublisherSettings::Kind::New) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_pending < m_buffer.length()) ++m_pending;
        }
        m_wake.notify_one();
    }
    // The receiver's own buffer was full at the last send: the writer hears of it.
    if (stored == DataPortStatus::PORT_OK && last == DataPortStatus::SEND_FULL)
        return DataPortStatus::BUFFER_FULL;
    return stored;
}

void Publisher::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_buffer.release();
    std::lock_guard<std::mutex> joining(m_joinMutex);
    if (!m_thread.joinable()) return;
    if (m_thread.get_id() == std::this_thread::get_id()) {
        m_thread.detach();  // asked from a send: the thread ends on its own
        return;
    }
    m_thread.join();
}

bool Publisher::stopping() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stop;
}

void Publisher::run() {
    pthread_setname_np(pthread_self(), "publisher");
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_settings.kind == PublisherSettings::Kind::New) {
        while (true) {
            m_wake.wait(lock, [this] { return m_stop || m_pending > 0; });
            if (m_stop) return;
            --m_pending;
            lock.unlock();
            const DataPortStatus::Enum status = push();
            lock.lock();
            // A receiver that had no room gets what waits again shortly, not
            // only at the next write: the end of a burst is not left behind.
            if (receiverBusy(status) && m_pending == 0 && m_buffer.readable() > 0) {
                if (m_wake.wait_for(lock, kBusyRetry, [this] { return m_stop || m_pending > 0; }) &&
                    m_stop)
                    return;
                if (m_pending == 0) m_pending = 1;
            }
        }
    }
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / m_settings.pushRate));
    auto next = std::chrono::steady_clock::now() + period;
    while (true) {
        if (m_wake.wait_until(lock, next, [this] { return m_stop; })) return;
        lock.unlock();
        push();
        lock.lock();
        // A send that took longer than a period is not made up for by a burst.
        next += period;
        const auto now = std::chrono::steady_clock::now();
        if (next < now) next = now + period;
    }
}

DataPortStatus::Enum Publisher::push() {
    // Nothing more goes to a receiver that is gone.
    if (m_lastSend.load() == DataPortStatus::CONNECTION_LOST)
        return DataPortStatus::CONNECTION_LOST;
    if (m_buffer.readable() == 0) return DataPortStatus::BUFFER_EMPTY;
    switch (m_settings.policy) {
        case PublisherSettings::PushPolicy::All:
            return pushAll();
        case PublisherSettings::PushPolicy::Fifo:
            return pushOne(m_buffer.oldest());
        case PublisherSettings::PushPolicy::Skip:
            return pushSkip();
        case PublisherSettings::PushPolicy::New:
            return pushNew();
    }
    return pushNew();
}

DataPortStatus::Enum Publisher::sendNumber(std::uint64_t number, bool& sent) {
    // The sample may have been overwritten since it was counted.
    sent = m_buffer.copy(number, m_sample);
    if (!sent) return DataPortStatus::PORT_OK;
    const DataPortStatus::Enum status = m_send(m_sample.data(), m_sample.size());
    m_lastSend = status;
    return status;
}

DataPortStatus::Enum Publisher::pushOne(std::uint64_t number) {
    bool sent = false;
    const DataPortStatus::Enum status = sendNumber(number, sent);
    // Kept for the next wake-up when the send failed.
    if (consumed(status)) m_buffer.dropBefore(number + 1);
    return status;
}

DataPortStatus::Enum Publisher::pushAll() {
    while (m_buffer.readable() > 0 && !stopping()) {
        const DataPortStatus::Enum status = pushOne(m_buffer.oldest());
        if (!consumed(status)) return status;
    }
    return DataPortStatus::PORT_OK;
}

DataPortStatus::Enum Publisher::pushNew() {
    const std::uint64_t newest = m_buffer.oldest() + m_buffer.readable() - 1;
    m_buffer.dropBefore(newest);
    return pushOne(newest);
}

DataPortStatus::Enum Publisher::pushSkip() {
    // Sends every (n + 1)-th sample counted across wake-ups; m_leftSkip is how
    // many were left out since the last one sent.
    const std::size_t n = static_cast<std::size_t>(m_settings.skipCount);
    const std::uint64_t first = m_buffer.oldest();
    const std::size_t readable = m_buffer.readable();
    std::size_t offset = n - m_leftSkip;
    while (offset < readable && !stopping()) {
        bool sent = false;
        const DataPortStatus::Enum status = sendNumber(first + offset, sent);
        if (!consumed(status)) {
            // The failed one is the first to go next time.
            m_buffer.dropBefore(first + offset);
            m_leftSkip = n;
            return status;
        }
        offset += n + 1;
    }
    m_buffer.dropBefore(first + readable);
    m_leftSkip = (readable + m_leftSkip) % (n + 1);
    return DataPortStatus::PORT_OK;
}

}  // namespace RTC
