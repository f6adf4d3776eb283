// One running parlune-da-helper and the library's end of its socket.
// Destroying it kills the helper and reaps it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "HelperProtocol.h"
#include "UniqueFd.h"

namespace parlune {

class HelperProcess {
  public:
    // Starts the helper with these command-line arguments; null when it
    // cannot be started. The hello has not been read yet.
    static std::unique_ptr<HelperProcess> spawn(const std::string& path,
                                                const std::vector<std::string>& arguments);
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // Readable when the helper has sent something or has ended.
    int fd() const { return m_socket.get(); }
    pid_t pid() const { return m_pid; }
    // Readable once the helper process has ended, even while a program it
    // started still holds its socket; -1 without pidfd support.
    int exitFd() const { return m_pidfd.valid() ? m_pidfd.get() : -1; }
    // Whether the helper process has ended (false when that cannot be told).
    bool ended() const;

    // Sends a speak request; false when the helper is gone or stopped
    // reading. `flags` are protocol::SpeakFlags.
    bool sendSpeak(int32_t speed, uint32_t flags, std::string_view text, int32_t volume = 100,
                   int32_t pitch = 100);
    // Asks the helper to end the kSpeak under way early; false when it cannot
    // be told.
    bool sendCancel();

    // Reads what has arrived without blocking; false when the helper has
    // closed its end (ended or crashed) or sent more than a frame may hold.
    bool receive();
    enum class Frame { Complete, Incomplete, Malformed };
    // Takes the next complete frame out of what has been received.
    Frame nextFrame(protocol::FrameHeader& header, std::vector<char>& payload);

  private:
    HelperProcess(pid_t pid, UniqueFd pidfd, UniqueFd socket);
    bool sendMessage(const std::vector<char>& message);

    pid_t m_pid;
    // Refers to this helper even after its number is reused: signals and the
    // wait go through it, never through m_pid. Invalid only on kernels
    // without pidfd support.
    UniqueFd m_pidfd;
    UniqueFd m_socket;
    std::vector<char> m_input;
    size_t m_inputStart = 0;
};

}  // namespace parlune
