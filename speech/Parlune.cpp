#include "Parlune.h"

#include <coil/stringutil.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

// clang-format off
static const char* parlune_spec[] = {
    "implementation_id", "Parlune",
    "type_name",         "Parlune",
    "description",       "Parlune Component",
    "version",           "1.0.0",
    "vendor",            "orvane",
    "category",          "Etc",
    "activity_type",     "PERIODIC",
    "kind",              "DataFlowComponent",
    "max_instance",      "1",
    "language",          "C++",
    "lang_type",         "compile",
    "conf.default.speed", "100",
    ""
};
// clang-format on

namespace {

// Why Play refused a text for good, as the word after "dropped".
const char* refusal(int result) {
    switch (result) {
        case PARLUNE_DA_E_HANDLE:
            return "dropped no-engine";
        case PARLUNE_DA_E_TEXT_TOO_LONG:
            return "dropped too-long";
        default:
            return "dropped refused";
    }
}

bool accepted(int result) {
    return result == PARLUNE_DA_OK || result == PARLUNE_DA_E_SYNTHESIS ||
           result == PARLUNE_DA_E_AUDIO;
}

// The connection settings "status" starts from, each unless the
// configuration sets it; a connection may ask for others. A thread per
// connection sends; the component's sender waits (at most 1 s per event) while
// a connection's ring is full, so a reader that keeps reading loses nothing.
const char* const status_port_defaults[][2] = {
    {"port.outport.status.io_mode", "nonblock"},
    {"port.outport.status.buffer.length", "256"},
    {"port.outport.status.buffer.write.full_policy", "block"},
    {"port.outport.status.buffer.write.timeout", "1.0"},
    {"port.outport.status.publisher.push_policy", "all"},
};
// clang-format on

// The connection settings "audio" starts from, each unless the configuration
// sets it: a thread per connection sends from a ring of 1.28 s of chunks,
// the oldest overwritten when a reader falls behind; sound that comes late is
// of no use to a player.
const char* const audio_port_defaults[][2] = {
    {"port.outport.audio.io_mode", "nonblock"},
    {"port.outport.audio.buffer.length", "64"},
    {"port.outport.audio.buffer.write.full_policy", "overwrite"},
    {"port.outport.audio.publisher.push_policy", "all"},
};

// The same for "marks"; a face controller wants each sample as it is made.
const char* const marks_port_defaults[][2] = {
    {"port.outport.marks.io_mode", "nonblock"},
    {"port.outport.marks.buffer.length", "256"},
    {"port.outport.marks.buffer.write.full_policy", "block"},
    {"port.outport.marks.buffer.write.timeout", "1.0"},
    {"port.outport.marks.publisher.push_policy", "all"},
};

}  // namespace

Parlune::Parlune(RTC::Manager* manager)
    : RTC::DataFlowComponentBase(manager),
      m_inIn("in", m_in),
      m_handle(nullptr),
      m_waiting(false),
      m_statusEnabled(false),
      m_statusOut("status", m_status),
      // A final event for each text of a full engine queue (4096), each
      // with the two before it, and then some.
      m_statusSender(m_statusOut, m_status, 16384),
      m_engineEvents(false),
      m_interruptEnabled(false),
      m_interruptIn("interrupt", m_interrupt),
      m_controlsEnabled(false),
      m_volume(100),
      m_pitch(100),
      m_audioEnabled(false),
      m_audioRate(16000),
      m_audioOut("audio", m_audio),
      m_audioSender(m_audioOut, m_audio),
      m_marksEnabled(false),
      m_engineMarks(false),
      m_marksOut("marks", m_marks),
      // A sentence each: a full engine queue of short texts, and then some.
      m_marksSender(m_marksOut, m_marks, 8192),
      m_marksAccepted(0) {}

Parlune::~Parlune() {}

RTC::ReturnCode_t Parlune::onInitialize() {
    registerInPort("in", m_inIn);
    bindParameter("speed", m_speed, "100");
    m_controlsEnabled = wanted("controls", "volume and pitch stay the voice's own");
    if (m_controlsEnabled) {
        // In the default set beside speed, so that tools list and change them.
        coil::Properties& props = getProperties();
        for (const char* key : {"conf.default.volume", "conf.default.pitch"}) {
            if (props.getProperty(key).empty()) props.setProperty(key, "100");
        }
        bindParameter("volume", m_volume, "100");
        bindParameter("pitch", m_pitch, "100");
    }
    m_interruptEnabled = wanted("interrupt", "the interrupt port stays off");
    if (m_interruptEnabled) registerInPort("interrupt", m_interruptIn);
    m_statusEnabled = wanted("status", "the status port stays off");
    if (m_statusEnabled) {
        coil::Properties& props = getProperties();
        for (const auto& kv : status_port_defaults) {
            if (props.getProperty(kv[0]).empty()) props.setProperty(kv[0], kv[1]);
        }
        registerOutPort("status", m_statusOut);
        m_statusSender.start();
    }
    m_audioEnabled = wanted("audio", "the audio port stays off");
    if (m_audioEnabled) {
        m_audioRate = audioRate();
        coil::Properties& props = getProperties();
        for (const auto& kv : audio_port_defaults) {
            if (props.getProperty(kv[0]).empty()) props.setProperty(kv[0], kv[1]);
        }
        registerOutPort("audio", m_audioOut);
        m_audioSender.start();
    }
    m_marksEnabled = wanted("marks", "the marks port stays off");
    if (m_marksEnabled) {
        coil::Properties& props = getProperties();
        for (const auto& kv : marks_port_defaults) {
            if (props.getProperty(kv[0]).empty()) props.setProperty(kv[0], kv[1]);
        }
        registerOutPort("marks", m_marksOut);
        m_marksSender.start();
    }
    return RTC::RTC_OK;
}

std::int32_t Parlune::audioRate() {
    const std::string value = coil::normalize(getProperties().getProperty("audio.rate"));
    if (value.empty() || value == "16000") return 16000;
    if (value == "22050") return 22050;
    if (value == "48000") return 48000;
    RTC_WARN(("audio.rate '%s' is not 16000, 22050 or 48000; the audio port carries 16000 Hz",
              getProperties().getProperty("audio.rate").c_str()));
    return 16000;
}

bool Parlune::wanted(const char* name, const char* otherwise) {
    const std::string key = std::string(name) + ".enable";
    const std::string value = coil::normalize(getProperties().getProperty(key));
    if (value == "yes") return true;
    if (!value.empty() && value != "no") {
        RTC_WARN(("%s '%s' is neither YES nor NO; %s", key.c_str(),
                  getProperties().getProperty(key).c_str(), otherwise));
    }
    return false;
}

void Parlune::report(const RTC::Time& tm, const std::string& event) {
    m_statusSender.post(tm, event);
}

int Parlune::play(const std::string& text) {
    if (m_controlsEnabled && ParluneDa_PlayWith != nullptr) {
        return ParluneDa_PlayWith(m_handle, text.c_str(), m_speed, m_volume, m_pitch);
    }
    return ParluneDa_Play(m_handle, text.c_str(), m_speed, 0, 0, 0);
}

void Parlune::reportPlay(const RTC::Time& tm, int result) {
    if (!m_statusEnabled || result == PARLUNE_DA_E_QUEUE_FULL) return;
    if (!accepted(result)) {
        report(tm, refusal(result));
        return;
    }
    // The engine's own "queued" comes in order with its other events.
    if (m_engineEvents) {
        m_texts.accept(tm);
    } else {
        report(tm, "queued");
    }
}

void Parlune::interrupt() {
    std::vector<RTC::TimedString> urgent;
    while (m_interruptIn.isNew() && m_interruptIn.read()) urgent.push_back(m_interrupt);
    if (m_handle != nullptr && ParluneDa_Interrupt != nullptr) ParluneDa_Interrupt(m_handle);
    // Texts the engine never took: the one waiting for room, those in "in".
    if (m_waiting && m_statusEnabled) report(m_in.tm, "dropped interrupted");
    m_waiting = false;
    while (m_inIn.isNew() && m_inIn.read()) {
        if (m_statusEnabled) report(m_in.tm, "dropped interrupted");
    }
    // The engine's drops are reported before the urgent texts are queued.
    drainEvents();
    for (const RTC::TimedString& text : urgent) {
        if (text.data[0] == '\0') continue;  // an empty one only silences
        const int result = play(std::string(text.data));
        noteMarked(text.tm, result);
        // The queue was just emptied: no room now means none for it at all.
        if (result == PARLUNE_DA_E_QUEUE_FULL && m_statusEnabled) {
            report(text.tm, "dropped refused");
        }
        reportPlay(text.tm, result);
    }
}

void Parlune::drainEvents() {
    if (!m_engineEvents) return;
    ParluneDaEvent event;
    while (ParluneDa_NextEvent(m_handle, &event) == 1) {
        const std::string detail(event.detail, strnlen(event.detail, sizeof event.detail));
        RTC::Time tm{0, 0};
        switch (event.kind) {
            case PARLUNE_DA_EVENT_QUEUED:
                if (m_texts.find(event.text, tm)) report(tm, "queued");
                break;
            case PARLUNE_DA_EVENT_STARTED:
                if (m_texts.find(event.text, tm)) report(tm, "started");
                break;
            case PARLUNE_DA_EVENT_FINISHED:
                // Only an interrupt's cut is told apart; "partly" is finished.
                if (m_texts.end(event.text, tm))
                    report(tm, detail == "interrupted" ? "finished interrupted" : "finished");
                break;
            case PARLUNE_DA_EVENT_SKIPPED:
                if (m_texts.end(event.text, tm))
                    report(tm, detail.empty() ? "skipped" : "skipped " + detail);
                break;
            case PARLUNE_DA_EVENT_DROPPED:
                if (m_texts.end(event.text, tm))
                    report(tm, detail.empty() ? "dropped" : "dropped " + detail);
                break;
            case PARLUNE_DA_EVENT_IDLE:
                report(m_texts.lastEnded(), "idle");
                break;
            default:
                break;
        }
    }
}

void Parlune::noteMarked(const RTC::Time& tm, int result) {
    if (!m_engineMarks || !accepted(result)) return;
    m_markStamps.emplace_back(++m_marksAccepted, tm);
    // Marks come in the order of the texts; a text whose marks never come
    // (dropped, skipped) must not keep its stamp for ever.
    while (m_markStamps.size() > 2 * PARLUNE_DA_MARKS_KEPT) m_markStamps.pop_front();
}

void Parlune::drainMarks() {
    if (!m_engineMarks) return;
    if (m_markBuffer.empty()) m_markBuffer.resize(64 * 1024);
    std::uint64_t text = 0;
    for (;;) {
        const std::int64_t n =
            ParluneDa_NextMarks(m_handle, &text, m_markBuffer.data(), m_markBuffer.size());
        if (n <= 0) return;
        if (static_cast<std::size_t>(n) >= m_markBuffer.size()) {
            m_markBuffer.resize(static_cast<std::size_t>(n) + 1);  // taken on the next turn
            continue;
        }
        while (!m_markStamps.empty() && m_markStamps.front().first < text) {
            m_markStamps.pop_front();
        }
        if (m_markStamps.empty() || m_markStamps.front().first != text) continue;
        m_marksSender.post(m_markStamps.front().second,
                           std::string(m_markBuffer.data(), static_cast<std::size_t>(n)));
    }
}

RTC::ReturnCode_t Parlune::onActivated(RTC::UniqueId) {
    m_handle = ParluneDa_Create();
    if (m_handle == nullptr) {
        // Otherwise the first text's failure would be the only trace.
        const char* why = ParluneDa_CreateError != nullptr ? ParluneDa_CreateError() : "";
        RTC_WARN(("speech engine did not start, nothing will be spoken: %s",
                  why[0] != '\0' ? why : "no reason given"));
    } else if (ParluneDa_CreateWarning != nullptr && ParluneDa_CreateWarning()[0] != '\0') {
        RTC_WARN(("speech engine: %s", ParluneDa_CreateWarning()));
    }
    m_texts.reset();
    m_engineEvents = m_statusEnabled && m_handle != nullptr && ParluneDa_EnableEvents != nullptr &&
                     ParluneDa_NextEvent != nullptr &&
                     ParluneDa_EnableEvents(m_handle) == PARLUNE_DA_OK;
    if (m_audioEnabled && m_handle != nullptr) {
        if (ParluneDa_EnableAudio != nullptr && ParluneDa_NextAudio != nullptr &&
            ParluneDa_EnableAudio(m_handle, m_audioRate) == PARLUNE_DA_OK) {
            m_audioSender.attach(m_handle);
        } else {
            RTC_WARN(("the speech engine cannot hand out its sound; the audio port stays silent"));
        }
    }
    m_marksAccepted = 0;
    m_markStamps.clear();
    m_engineMarks = m_marksEnabled && m_handle != nullptr && ParluneDa_EnableMarks != nullptr &&
                    ParluneDa_NextMarks != nullptr &&
                    ParluneDa_EnableMarks(m_handle) == PARLUNE_DA_OK;
    return RTC::RTC_OK;
}

RTC::ReturnCode_t Parlune::onDeactivated(RTC::UniqueId) {
    // What already happened is reported as it happened, the rest as dropped.
    drainEvents();
    // Its thread may still be in a call with the handle: that is safe.
    m_audioSender.attach(nullptr);
    drainMarks();
    ParluneDa_Release(m_handle);
    m_engineMarks = false;
    if (m_engineEvents) {
        for (const RTC::Time& tm : m_texts.takeOpen()) report(tm, "dropped");
    }
    m_engineEvents = false;
    // A text the released engine refused went with it, like those it had queued.
    if (m_waiting && m_statusEnabled) report(m_in.tm, "dropped");
    m_waiting = false;
    return RTC::RTC_OK;
}

RTC::ReturnCode_t Parlune::onExecute(RTC::UniqueId) {
    // What the engine found wrong since (its helper ending again and again).
    char warning[512];
    if (ParluneDa_NextWarning != nullptr && m_handle != nullptr &&
        ParluneDa_NextWarning(m_handle, warning, sizeof warning) == 1) {
        RTC_WARN(("speech engine: %s", warning));
    }
    if (m_interruptEnabled && m_interruptIn.isNew()) interrupt();
    // A text the engine had no room for is offered again before another is read.
    if (!m_waiting) {
        if (!m_inIn.isNew()) {
            drainEvents();
            drainMarks();
            return RTC::RTC_OK;
        }
        m_inIn.read();
    }
    std::string text(m_in.data);
    int result = play(text);
    reportPlay(m_in.tm, result);
    noteMarked(m_in.tm, result);
    drainEvents();
    drainMarks();
    // A full queue is no failure: the text waits here, later ones in the port,
    // and a sender beyond the port's length is held back until there is room.
    m_waiting = result == PARLUNE_DA_E_QUEUE_FULL;
    if (m_waiting) return RTC::RTC_OK;
    return result == 0 ? RTC::RTC_OK : RTC::RTC_ERROR;
}

RTC::ReturnCode_t Parlune::onReset(RTC::UniqueId) { return RTC::RTC_OK; }

static RTC::RTObject_impl* ParluneCreate(RTC::Manager* manager) {
    return RTC::Create<Parlune>(manager);
}

static void ParluneDelete(RTC::RTObject_impl* rtc) { delete rtc; }

extern "C" {

void ParluneRTCInit(RTC::Manager* manager) {
    std::cout << "This library uses Parlune.dll. See https://github.com/espeak-ng/espeak-ng"
              << std::endl;
    coil::Properties profile(parlune_spec, 2147483647);
    manager->registerFactory(profile, ParluneCreate, ParluneDelete);
}
}
