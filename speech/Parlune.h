// Speech component: speaks every TimedString arriving on "in" through the
// speech engine, at the speed in the configuration parameter "speed".
// With "status.enable: YES" in its configuration it also reports what became
// of each text on the TimedString port "status": one sample per event,
// stamped with the text's own tm ("queued", "started", "finished",
// "skipped <why>", "dropped [why]", "idle").
// With "interrupt.enable: YES" a TimedString on the port "interrupt" silences
// what is playing, drops every text waiting, and is spoken next (an empty
// one only silences). With "controls.enable: YES" the parameters "volume"
// (percent, 0..200) and "pitch" (percent, 50..200) join "speed".
// With "audio.enable: YES" the TimedOctetSeq port "audio" carries the sound
// as it is played: 16-bit signed little-endian mono PCM at the property
// "audio.rate" (16000 by default, 22050 or 48000), chunks of at most 20 ms,
// each stamped with when its first sample is heard. With "marks.enable: YES"
// the TimedString port "marks" carries each sentence's timing (words,
// visemes, phonemes; see the README), stamped with its text's tm.
#pragma once

// The data type header must come before the other framework headers.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/DataFlowComponentBase.h>
#include <rtm/DataInPort.h>
#include <rtm/Manager.h>
#include <rtm/OutPort.h>

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "AudioSender.h"
#include "ParluneDa.h"
#include "SampleSender.h"
#include "TextLedger.h"

// The engine's diagnostics; weak, so that an engine without them still links.
extern "C" const char* ParluneDa_CreateError(void) __attribute__((weak));
extern "C" const char* ParluneDa_CreateWarning(void) __attribute__((weak));
extern "C" int ParluneDa_NextWarning(ParluneDaHandle handle, char* buffer, size_t size)
    __attribute__((weak));
// The engine's per-text events; without them "status" reports only what the
// component itself knows (queued, dropped).
extern "C" int ParluneDa_EnableEvents(ParluneDaHandle handle) __attribute__((weak));
extern "C" int ParluneDa_NextEvent(ParluneDaHandle handle, ParluneDaEvent* event)
    __attribute__((weak));
// Steering; without them an interrupt drops only what waits in the component,
// and volume and pitch stay the voice's own.
extern "C" int ParluneDa_Interrupt(ParluneDaHandle handle) __attribute__((weak));
extern "C" int ParluneDa_PlayWith(ParluneDaHandle handle, const char* text, std::int32_t speed,
                                  std::int32_t volume, std::int32_t pitch) __attribute__((weak));
// The sound as data (ParluneDa_NextAudio is declared in AudioSender.h); without
// it the audio port stays silent.
extern "C" int ParluneDa_EnableAudio(ParluneDaHandle handle, std::int32_t rate)
    __attribute__((weak));

// The engine's timing marks; without them "marks" stays silent.
extern "C" int ParluneDa_EnableMarks(ParluneDaHandle handle) __attribute__((weak));
extern "C" std::int64_t ParluneDa_NextMarks(ParluneDaHandle handle, std::uint64_t* text,
                                            char* buffer, size_t size) __attribute__((weak));

class Parlune : public RTC::DataFlowComponentBase {
  public:
    explicit Parlune(RTC::Manager* manager);
    ~Parlune() override;

    RTC::ReturnCode_t onInitialize() override;
    RTC::ReturnCode_t onActivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onDeactivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onExecute(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onReset(RTC::UniqueId ec_id) override;

  protected:
    std::int32_t m_speed;
    RTC::TimedString m_in;
    RTC::InPort<RTC::TimedString> m_inIn;
    ParluneDaHandle m_handle;
    // m_in holds a text the engine's full queue did not take yet.
    bool m_waiting;
    // The opt-in status port, registered only when enabled.
    bool m_statusEnabled;
    RTC::TimedString m_status;
    RTC::OutPort<RTC::TimedString> m_statusOut;
    // Writes the events to m_statusOut, so that no connection holds up the
    // context; it owns m_status.
    SampleSender m_statusSender;
    // The engine reports each accepted text's fate (events enabled).
    bool m_engineEvents;
    TextLedger m_texts;
    // The opt-in interrupt port and steering parameters.
    bool m_interruptEnabled;
    RTC::TimedString m_interrupt;
    RTC::InPort<RTC::TimedString> m_interruptIn;
    bool m_controlsEnabled;
    std::int32_t m_volume;
    std::int32_t m_pitch;
    // The opt-in audio port, registered only when enabled, and its rate.
    bool m_audioEnabled;
    std::int32_t m_audioRate;
    RTC::TimedOctetSeq m_audio;
    RTC::OutPort<RTC::TimedOctetSeq> m_audioOut;
    // Relays the engine's sound to m_audioOut; it owns m_audio.
    AudioSender m_audioSender;
    // The opt-in marks port: one sample per sentence, stamped with its
    // text's tm; the stamps of the texts accepted, by engine ordinal.
    bool m_marksEnabled;
    bool m_engineMarks;
    RTC::TimedString m_marks;
    RTC::OutPort<RTC::TimedString> m_marksOut;
    SampleSender m_marksSender;
    std::uint64_t m_marksAccepted;
    std::deque<std::pair<std::uint64_t, RTC::Time>> m_markStamps;
    std::vector<char> m_markBuffer;

  private:
    // Reads an extension's "<name>.enable"; a value neither YES nor NO is
    // warned about, ending with `otherwise`.
    bool wanted(const char* name, const char* otherwise);
    // Writes one event about the text stamped tm to "status".
    void report(const RTC::Time& tm, const std::string& event);
    // Queues a text with the engine, with volume and pitch when they are on.
    int play(const std::string& text);
    // The outcome of one Play of the text stamped tm.
    void reportPlay(const RTC::Time& tm, int result);
    // Silences the engine, drops what waits, plays the urgent texts read.
    void interrupt();
    // Passes on the engine's events that are due.
    void drainEvents();
    // The property "audio.rate"; a rate not offered is warned about.
    std::int32_t audioRate();
    // Notes the stamp of a text Play accepted, for its marks.
    void noteMarked(const RTC::Time& tm, int result);
    // Passes on the engine's marks.
    void drainMarks();
};

#define PARLUNE_MODULE_EXPORT __attribute__((visibility("default")))

extern "C" {
PARLUNE_MODULE_EXPORT void ParluneRTCInit(RTC::Manager* manager);
}
