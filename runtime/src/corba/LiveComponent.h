// Holds a component's entry shared for the length of one remote call.
#pragma once

#include <rtm/PeriodicExecutionContext.h>
#include <rtm/RTObject.h>

#include <shared_mutex>

#include "CorbaLayer.h"

namespace RTC {
namespace corba {

// A component that is being deleted answers as a gone object.
class LiveComponent {
  public:
    explicit LiveComponent(ComponentEntry& entry) : m_lock(entry.lock), m_comp(entry.comp) {
        if (m_comp == nullptr) throw CORBA::OBJECT_NOT_EXIST();
    }
    RTObject_impl* comp() const { return m_comp; }
    PeriodicExecutionContext& ec() const {
        PeriodicExecutionContext* ec = m_comp->getOwnedExecutionContext();
        if (ec == nullptr) throw CORBA::OBJECT_NOT_EXIST();
        return *ec;
    }

  private:
    std::shared_lock<std::shared_mutex> m_lock;
    RTObject_impl* m_comp;
};

}  // namespace corba
}  // namespace RTC
