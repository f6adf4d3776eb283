// The receiving end of a corba_cdr connection, held by a test: the text of
// every TimedString put to it is recorded (see GatedRecorder for the gate,
// the sleep and the answer); a sample that does not decode is counted and
// answered PORT_ERROR.
#pragma once

#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/CdrCodec.h>

#include <chrono>

#include "DataPort_OpenRTM.hh"
#include "support/GatedRecorder.h"

class CdrReceiver : public POA_OpenRTM::InPortCdr,
                    public testsupport::GatedRecorder<OpenRTM::PortStatus> {
  public:
    explicit CdrReceiver(std::chrono::milliseconds sleep = std::chrono::milliseconds(0),
                         std::chrono::milliseconds holdLimit = std::chrono::seconds(10))
        : GatedRecorder(OpenRTM::PORT_OK, sleep, holdLimit) {}

    OpenRTM::PortStatus put(const OpenRTM::CdrData& data) override {
        RTC::TimedString sample;
        const bool ok = RTC::decodeCdr(data.get_buffer(), data.length(), true, sample);
        enter();
        if (!ok) return OpenRTM::PORT_ERROR;
        return take(static_cast<const char*>(sample.data));
    }
};
