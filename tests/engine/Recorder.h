// Records the null sink "cap" of the with-pulse server into a raw file
// (signed 16-bit mono, 22050 Hz) with parec, stopped by its process id.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/Process.h"

namespace parlune::test {

class Recorder {
  public:
    explicit Recorder(std::string rawPath);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    bool running() const { return m_parec && m_parec->started() && !m_parec->ended(); }
    void stop();

    // sox's "Maximum amplitude" of what is recorded so far (0..1), or -1.
    double soxMaximumAmplitude() const;
    // For each 50 ms of the recording so far: whether it is audible.
    std::vector<bool> loudWindows() const;

  private:
    std::string m_path;
    std::unique_ptr<testsupport::Process> m_parec;
};

}  // namespace parlune::test
