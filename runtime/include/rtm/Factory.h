// Component factories registered with the manager.
#pragma once

#include <coil/Properties.h>
#include <rtm/RTObject.h>

#include <type_traits>

namespace RTC {

class Manager;
class RTObject_impl;

typedef RTObject_impl* (*RtcNewFunc)(Manager* manager);
typedef void (*RtcDeleteFunc)(RTObject_impl* rtc);

// What Create<T> makes: T with a destructor that runs before T's own. There
// a component still driven by its context (deleted behind the manager's
// back) leaves the manager, so no callback can run while T is destroyed.
template <class T>
class Hosted final : public T {
  public:
    using T::T;
    ~Hosted() override { this->leaveManager(); }
};

// Ready-made factory functions for a component class T constructed from the
// manager: registerFactory(profile, RTC::Create<T>, RTC::Delete<T>).
template <class T>
RTObject_impl* Create(Manager* manager) {
    if constexpr (std::is_final<T>::value) {
        return new T(manager);
    } else {
        return new Hosted<T>(manager);
    }
}

// The manager calls it after it has stopped the component's context and
// finalized the component.
template <class T>
void Delete(RTObject_impl* rtc) {
    delete rtc;
}

class FactoryBase {
  public:
    explicit FactoryBase(const coil::Properties& profile) : m_profile(profile) {}
    virtual ~FactoryBase() {}
    virtual RTObject_impl* create(Manager* mgr) = 0;
    virtual void destroy(RTObject_impl* comp) = 0;
    virtual coil::Properties& profile() { return m_profile; }

  protected:
    coil::Properties m_profile;
};

class FactoryCXX : public FactoryBase {
  public:
    FactoryCXX(const coil::Properties& profile, RtcNewFunc new_func, RtcDeleteFunc delete_func)
        : FactoryBase(profile), m_New(new_func), m_Delete(delete_func) {}
    RTObject_impl* create(Manager* mgr) override { return m_New(mgr); }
    void destroy(RTObject_impl* comp) override { m_Delete(comp); }

  private:
    RtcNewFunc m_New;
    RtcDeleteFunc m_Delete;
};

}  // namespace RTC
