#include "InPortBuffer.h"

#include <algorithm>

namespace RTC {

InPortBuffer::InPortBuffer(const BufferSettings& unconnected) : m_unconnected(unconnected) {
    // Present from the start, so that its read policy holds before any write.
    shareFor(std::string());
}

void InPortBuffer::open(const std::string& id, const BufferSettings& settings) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::shared_ptr<Share>& share = m_shares[id];
    if (!share) share = std::make_shared<Share>();
    share->settings = settings;
    if (share->settings.length == 0) share->settings.length = 1;
    // A longer share may have room now.
    m_room.notify_all();
}

void InPortBuffer::close(const std::string& id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_shares.find(id);
    if (it == m_shares.end()) return;
    it->second->closed = true;
    m_shares.erase(it);
    m_room.notify_all();
}

std::shared_ptr<InPortBuffer::Share> InPortBuffer::shareFor(const std::string& id) {
    auto it = m_shares.find(id);
    if (it != m_shares.end()) return it->second;
    // An id no open() announced, or one whose connection has ended (a put
    // that lost the race with the disconnect): the port's own share takes
    // it, so that no share is made that nothing would remove.
    std::shared_ptr<Share>& share = m_shares[std::string()];
    if (!share) {
        share = std::make_shared<Share>();
        share->settings = m_unconnected;
        if (share->settings.length == 0) share->settings.length = 1;
    }
    return share;
}

void InPortBuffer::dropOldestOf(const Share& share) {
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const Entry& e) { return e.share.get() == &share; });
    if (it == m_entries.end()) return;
    m_entries.erase(it);
}

DataPortStatus::Enum InPortBuffer::write(const std::string& id, Sample&& sample,
                                         bool little_endian) {
    std::unique_lock<std::mutex> lock(m_mutex);
    std::shared_ptr<Share> share = shareFor(id);
    if (share->count >= share->settings.length) {
        switch (share->settings.full) {
            case BufferSettings::Full::Overwrite:
                dropOldestOf(*share);
                --share->count;
                break;
            case BufferSettings::Full::DoNothing:
                return DataPortStatus::BUFFER_FULL;
            case BufferSettings::Full::Block:
                // The share stays ours while we wait, even if the connection ends.
                if (!m_room.wait_for(
                        lock, share->settings.writeTimeout,
                        [&] { return share->closed || share->count < share->settings.length; }) ||
                    share->closed) {
                    return DataPortStatus::BUFFER_TIMEOUT;
                }
                break;
        }
    }
    m_entries.push_back(Entry{share, std::move(sample), little_endian});
    ++share->count;
    m_arrived.notify_all();
    return DataPortStatus::PORT_OK;
}

DataPortStatus::Enum InPortBuffer::read(Sample& out, bool& little_endian) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_entries.empty()) {
        // The shortest read timeout among the connections that ask to wait.
        bool block = false;
        std::chrono::nanoseconds timeout = std::chrono::nanoseconds::max();
        for (const auto& kv : m_shares) {
            if (kv.second->settings.empty != BufferSettings::Empty::Block) continue;
            block = true;
            timeout = std::min(timeout, kv.second->settings.readTimeout);
        }
        if (!block) return DataPortStatus::BUFFER_EMPTY;
        if (!m_arrived.wait_for(lock, timeout, [this] { return !m_entries.empty(); }))
            return DataPortStatus::BUFFER_TIMEOUT;
    }
    Entry& front = m_entries.front();
    out = std::move(front.sample);
    little_endian = front.little;
    --front.share->count;
    m_entries.pop_front();
    m_room.notify_all();
    return DataPortStatus::PORT_OK;
}

std::size_t InPortBuffer::readable() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries.size();
}

std::size_t InPortBuffer::held(const std::string& id) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_shares.find(id);
    return it == m_shares.end() ? 0 : it->second->count;
}

BufferSettings InPortBuffer::settings(const std::string& id) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_shares.find(id);
    return it == m_shares.end() ? m_unconnected : it->second->settings;
}

}  // namespace RTC
