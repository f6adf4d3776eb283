// The live engine instances of the process, keyed by the handles given out.
// A handle is a number, never a pointer to anything; numbers are not reused.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "ParluneDa.h"

namespace parlune {

class Speaker;

class HandleRegistry {
  public:
    // The process-wide registry. It is never destroyed, so that handles
    // still live at exit do not tear the process down.
    static HandleRegistry& instance();

    ParluneDaHandle add(std::shared_ptr<Speaker> speaker);
    // Null for NULL, unknown and released handles.
    std::shared_ptr<Speaker> find(ParluneDaHandle handle);
    // Removes and returns the instance; null when there is none.
    std::shared_ptr<Speaker> remove(ParluneDaHandle handle);

  private:
    HandleRegistry() = default;

    std::mutex m_mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<Speaker>> m_speakers;
    uintptr_t m_lastKey = 0;
};

}  // namespace parlune
