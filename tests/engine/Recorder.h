// Records the null sink "cap" of the with-pulse server into a raw file
// (signed 16-bit mono, 22050 Hz) with parec, stopped by its process id.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace parlune::test {

class Recorder {
  public:
    explicit Recorder(std::string rawPath);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    bool running() const { return m_pid > 0; }
    void stop();

    // sox's "Maximum amplitude" of what is recorded so far (0..1), or -1.
    double soxMaximumAmplitude() const;
    // For each 50 ms of the recording so far: whether it is audible.
    std::vector<bool> loudWindows() const;

  private:
    std::string m_path;
    pid_t m_pid = -1;
};

}  // namespace parlune::test
