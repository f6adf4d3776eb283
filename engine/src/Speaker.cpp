#include "Speaker.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "MarkSample.h"
#include "PacedSink.h"
#include "ParluneDa.h"
#include "SentenceSplitter.h"
#include "TappedSink.h"
#include "WorkLimit.h"

namespace parlune {

namespace proto = protocol;

namespace {

// A helper that ends while idle is restarted after a pause that doubles from
// the first to the longest while it keeps ending within the longest.
constexpr std::chrono::milliseconds kFirstRestartDelay{100};
constexpr std::chrono::milliseconds kLongestRestartDelay{5000};

}  // namespace

Speaker::Speaker(Options options)
    : m_options(std::move(options)), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

std::unique_ptr<Speaker> Speaker::start(Options options, std::string& error) {
    std::unique_ptr<Speaker> speaker(new Speaker(std::move(options)));
    speaker->m_decoder = TextDecoder::open(speaker->m_options.encodings);
    if (!speaker->m_wake.valid() || !speaker->m_options.makeSink || !speaker->m_decoder) {
        error = "the engine could not set itself up";
        return nullptr;
    }
    std::promise<bool> started;
    std::future<bool> result = started.get_future();
    speaker->m_worker =
        std::thread([s = speaker.get(), &started, &error] { s->run(started, error); });
    if (!result.get()) {
        speaker->stop();
        return nullptr;
    }
    return speaker;
}

Speaker::~Speaker() { stop(); }

int Speaker::play(std::string text, int speed, int volume, int pitch) {
    int result = PARLUNE_DA_OK;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed) {
            return PARLUNE_DA_E_HANDLE;
        }
        if (m_queue.size() >= m_options.queueTexts ||
            text.size() > m_options.queueBytes - m_queuedBytes) {
            return PARLUNE_DA_E_QUEUE_FULL;
        }
        // Queue first: if that throws, neither the count nor a pending failure
        // report has changed.
        size_t size = text.size();
        const uint64_t ordinal = m_accepted + 1;
        const bool reported = m_events.enabled();
        m_queue.push_back(Item{std::move(text), speed, volume, pitch, m_generation.load(), ordinal,
                               reported, m_marks.enabled()});
        if (reported && !m_events.push(PARLUNE_DA_EVENT_QUEUED, ordinal, EventQueue::now())) {
            // No memory for its event: taken back, as when there is none for the text.
            m_queue.pop_back();
            return PARLUNE_DA_E_QUEUE_FULL;
        }
        m_accepted = ordinal;
        m_queuedBytes += size;
        // An earlier failure is reported, but this text is still spoken.
        result = m_failure.exchange(0);
    }
    wake();
    return result;
}

bool Speaker::takeWarning(std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_warnings.empty()) {
        return false;
    }
    line = std::move(m_warnings.front());
    m_warnings.pop_front();
    return true;
}

int Speaker::interrupt() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed) {
            return PARLUNE_DA_E_HANDLE;
        }
        // The text being spoken, if any, sees the new generation and is cut.
        ++m_generation;
        m_hush = true;
        const int64_t now = EventQueue::now();
        bool dropped = false;
        for (const Item& item : m_queue) {
            if (item.reported) {
                m_events.push(PARLUNE_DA_EVENT_DROPPED, item.ordinal, now, "interrupted");
                dropped = true;
            }
        }
        m_queue.clear();
        m_queuedBytes = 0;
        // With no text under way nobody else says that nothing waits now.
        if (dropped && !m_busy) {
            m_events.push(PARLUNE_DA_EVENT_IDLE, 0, now);
        }
    }
    wake();
    return PARLUNE_DA_OK;
}

void Speaker::stop() {
    std::lock_guard<std::mutex> stopLock(m_stopMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        m_stop = true;
        m_hush = true;
        m_queue.clear();
        m_queuedBytes = 0;
    }
    wake();
    m_audio.close();
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void Speaker::wake() {
    uint64_t one = 1;
    // Only fails when the counter is already non-zero enough to wake.
    (void)!::write(m_wake.get(), &one, sizeof one);
}

void Speaker::fail(int code) {
    if (m_stop) {
        return;  // nobody is left to hear about it
    }
    int none = 0;
    m_failure.compare_exchange_strong(none, code);
}

void Speaker::run(std::promise<bool>& started, std::string& error) {
    pthread_setname_np(pthread_self(), "parlune-speak");
    bool ok = startHelper(&error);
    started.set_value(ok);  // `started` and `error` are gone after this
    if (ok) {
        Item item;
        while (nextItem(item)) {
            speak(item);
        }
    }
    m_helper.reset();
    m_sink.reset();
}

Speaker::Wait Speaker::waitForHelper(Clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return Wait::TimedOut;
        }
        pollfd fds[2] = {{m_wake.get(), POLLIN, 0}, {m_helper->fd(), POLLIN, 0}};
        int n = ::poll(fds, 2, static_cast<int>(left.count()) + 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Wait::TimedOut;
        }
        if (fds[0].revents != 0) {
            uint64_t count;
            (void)!::read(m_wake.get(), &count, sizeof count);
            return Wait::Woken;
        }
        if (fds[1].revents != 0) {
            return Wait::HelperReady;
        }
    }
}

bool Speaker::startHelper(std::string* error) {
    auto report = [error](std::string why) {
        if (error != nullptr) {
            *error = std::move(why);
        }
    };
    const std::string helperName = "PARLUNE_HELPER=" + m_options.helperPath;
    m_helper = HelperProcess::spawn(m_options.helperPath, m_options.helperArguments);
    if (!m_helper) {
        report(helperName + ": the synthesis helper could not be started");
        return false;
    }
    auto deadline = Clock::now() + std::chrono::milliseconds(m_options.helperTimeoutMs);
    proto::FrameHeader header{};
    std::vector<char> payload;
    std::string notices;
    report(helperName + ": the synthesis helper ended without greeting");
    for (;;) {
        Wait wait = waitForHelper(deadline);
        if (m_stop) {
            break;
        }
        if (wait == Wait::TimedOut) {
            report(helperName + ": the synthesis helper did not greet in time");
            break;
        }
        if (wait == Wait::Woken) {
            continue;
        }
        bool open = m_helper->receive();
        HelperProcess::Frame frame;
        while ((frame = m_helper->nextFrame(header, payload)) == HelperProcess::Frame::Complete &&
               header.type == proto::kNotice && payload.size() <= proto::kMaxNoticeBytes) {
            notices += (notices.empty() ? "" : "; ") + std::string(payload.begin(), payload.end());
        }
        if (frame == HelperProcess::Frame::Complete) {
            proto::HelloPayload hello{};
            if (header.type != proto::kHello || payload.size() != sizeof hello) {
                break;
            }
            std::memcpy(&hello, payload.data(), sizeof hello);
            if (hello.status == proto::kHelloNoVoice) {
                report(notices.empty() ? "PARLUNE_VOICE: the synthesis helper has no such voice"
                                       : notices);
                break;
            }
            if (hello.status != proto::kHelloOk || hello.sampleRate <= 0) {
                report(helperName + ": espeak-ng could not load its data");
                break;
            }
            m_sampleRate = hello.sampleRate;
            m_helperSince = Clock::now();
            // Reported once: a replacement helper says the same again.
            if (m_firstHelper) {
                m_warning = notices;
                m_firstHelper = false;
            }
            return true;
        }
        if (frame == HelperProcess::Frame::Malformed || !open) {
            break;
        }
    }
    m_helper.reset();
    return false;
}

bool Speaker::nextItem(Item& item) {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop) {
                return false;
            }
            if (!m_queue.empty()) {
                item = std::move(m_queue.front());
                m_queue.pop_front();
                m_queuedBytes -= item.text.size();
                m_busy = true;
                // Queued after the last interrupt: the sink may wait again.
                if (!isCut(item)) {
                    m_hush = false;
                }
                return true;
            }
        }
        // Idle: wait for work, and notice a helper that ends meanwhile.
        pollfd fds[3] = {{m_wake.get(), POLLIN, 0},
                         {m_helper ? m_helper->fd() : -1, POLLIN, 0},
                         {m_helper ? m_helper->exitFd() : -1, POLLIN, 0}};
        int timeoutMs = -1;
        if (!m_helper && m_restartPending) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(m_restartAt - Clock::now());
            timeoutMs = static_cast<int>(std::max<int64_t>(0, left.count()));
        }
        int n = ::poll(fds, 3, timeoutMs);
        if (n < 0) {
            continue;  // EINTR
        }
        if (fds[0].revents != 0) {
            uint64_t count;
            (void)!::read(m_wake.get(), &count, sizeof count);
        }
        if (fds[1].revents != 0 || fds[2].revents != 0) {
            // No text was being spoken: replace the helper, report nothing.
            m_helper.reset();
            scheduleRestart();
        } else if (n == 0 && !m_helper && m_restartPending) {
            m_restartPending = false;
            startHelper();
        }
    }
}

void Speaker::scheduleRestart() {
    // One that lived long enough ended by chance: the pause starts afresh.
    const bool lived = Clock::now() - m_helperSince >= kLongestRestartDelay;
    m_restartDelay = lived || m_restartDelay.count() == 0
                         ? kFirstRestartDelay
                         : std::min(kLongestRestartDelay, m_restartDelay * 2);
    m_restartAt = Clock::now() + m_restartDelay;
    m_restartPending = true;
    // One warning per run of ends: at its second, when it is a run.
    m_restartsWarned = m_restartsWarned && !lived;
    if (!m_restartsWarned && m_restartDelay > kFirstRestartDelay) {
        m_restartsWarned = true;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_warnings.size() < 16) {
            m_warnings.push_back(
                "the synthesis helper keeps ending right after it starts; it is restarted "
                "after pauses growing to 5 s");
        }
    }
}

void Speaker::replaceHelper() {
    m_helper.reset();
    if (!m_stop && !startHelper()) {
        fail(PARLUNE_DA_E_SYNTHESIS);  // no helper: nothing can be spoken now
    }
}

void Speaker::speak(const Item& item) {
    Utterance utterance{item};
    // A helper that ended since it was last seen idle never gets this text:
    // the program it started may hold its socket open a moment longer.
    if (m_helper && m_helper->ended()) {
        m_helper.reset();
    }
    if (!m_helper && !startHelper()) {
        ++m_skipped;
        fail(PARLUNE_DA_E_SYNTHESIS);
        noteEnd(utterance, PARLUNE_DA_EVENT_SKIPPED, "nohelper");
        return;
    }
    if (!m_sink) {
        m_sink = m_options.makeSink(m_hush);
    }
    // The sound is handed out as data too: it leaves as it is heard, by the
    // wall clock where the sink has no clock of its own.
    if (m_audio.enabled() && !m_tapped) {
        if (!m_sink->hasClock()) {
            m_sink = std::make_unique<PacedSink>(std::move(m_sink), m_hush);
        }
        m_sink = std::make_unique<TappedSink>(std::move(m_sink), m_audio, m_hush);
        m_tapped = true;
    }
    if (isCut(item)) {
        noteEnd(utterance, PARLUNE_DA_EVENT_DROPPED, "interrupted");
        return;
    }
    m_audio.begin(item.ordinal);
    if (!m_sink->begin(item.text, m_sampleRate)) {
        if (isCut(item)) {
            noteEnd(utterance, PARLUNE_DA_EVENT_DROPPED, "interrupted");
            return;
        }
        fail(PARLUNE_DA_E_AUDIO);
        noteEnd(utterance, PARLUNE_DA_EVENT_SKIPPED, "audio");
        return;
    }
    const std::string text = m_decoder->toUtf8(item.text);
    bool partly = false;  // a sentence was left out
    bool heard = false;   // some of the text was synthesised
    uint32_t flags = proto::kSpeakStartsUtterance;
    for (std::string_view piece : SentenceSplitter::split(text)) {
        utterance.pieceOffset = static_cast<size_t>(piece.data() - text.data());
        utterance.pieceBytes = piece.size();
        utterance.heardSentences.clear();
        Piece result = isCut(item) ? Piece::Cut : speakPiece(piece, flags, utterance);
        flags = 0;
        if (result == Piece::PartlySpoken || result == Piece::Refused) {
            noteLeftOut(utterance, text);
        }
        const char* skipped = nullptr;  // why the text is dropped whole
        switch (result) {
            case Piece::Spoken:
                heard = true;
                continue;
            case Piece::PartlySpoken:
                heard = partly = true;
                continue;
            case Piece::Refused:
                partly = true;  // nothing of this piece; the rest may still be
                continue;
            case Piece::Stopped:
                m_sink->abandon();
                return;
            case Piece::Cut:
                // Cut between pieces, or again: idempotent.
                silence(utterance);
                noteStopped(utterance, "interrupted");
                noteEnd(utterance,
                        utterance.started ? PARLUNE_DA_EVENT_FINISHED : PARLUNE_DA_EVENT_DROPPED,
                        "interrupted");
                return;
            case Piece::Crashed:
                skipped = "crash";
                break;
            case Piece::Hung:
                skipped = "hang";
                break;
            case Piece::AudioFailed:
                break;
        }
        if (skipped != nullptr) {
            noteStopped(utterance, "failed");
            // The helper was replaced if needed.
            if (utterance.audioOk) {
                m_sink->abandon();
            }
            ++m_skipped;
            noteEnd(utterance, PARLUNE_DA_EVENT_SKIPPED, skipped);
            return;
        }
        break;
    }
    if (partly) {
        ++m_skipped;
    }
    if (partly && !heard && !isCut(item)) {
        // Nothing of it was synthesised: no sound, no file, not finished.
        if (utterance.audioOk) {
            m_sink->abandon();
        }
        noteEnd(utterance, PARLUNE_DA_EVENT_SKIPPED, "refused");
        return;
    }
    const bool finished = utterance.audioOk && m_sink->finish();
    if (isCut(item)) {
        // Cut while it played out: what was still to be heard is silenced.
        silence(utterance);
        noteStopped(utterance, "interrupted");
        noteEnd(utterance, utterance.started ? PARLUNE_DA_EVENT_FINISHED : PARLUNE_DA_EVENT_DROPPED,
                "interrupted");
        return;
    }
    if (!finished) {
        fail(PARLUNE_DA_E_AUDIO);
        noteEnd(utterance, PARLUNE_DA_EVENT_SKIPPED, "audio");
        return;
    }
    if (!utterance.started) {
        noteStarted(utterance, 0);  // nothing to hear: it starts where it ends
    }
    if (partly && utterance.item.marked && utterance.leftOutByte != std::string::npos) {
        // As after a failure midway: where the sound went past what was left out.
        const int64_t heard = utterance.heardRealtimeNs != 0
                                  ? utterance.heardRealtimeNs
                                  : MarkSample::realtimeOf(utterance.startedNs);
        m_marks.push(utterance.item.ordinal,
                     MarkSample::stopped(
                         heard, MarkSample::milliseconds(utterance.leftOutSample, m_sampleRate),
                         utterance.leftOutByte, "failed"));
    }
    noteEnd(utterance, PARLUNE_DA_EVENT_FINISHED, partly ? "partly" : "");
}

void Speaker::noteStarted(Utterance& utterance, size_t samples) {
    utterance.started = true;
    if (!utterance.item.reported && !utterance.item.marked) {
        return;
    }
    utterance.startedNs = samples > 0 ? m_sink->heardAtNs(samples) : EventQueue::now();
    if (!utterance.item.reported) {
        return;
    }
    m_events.push(PARLUNE_DA_EVENT_STARTED, utterance.item.ordinal, utterance.startedNs);
}

void Speaker::noteEnd(const Utterance& utterance, ParluneDaEventKind kind, const char* detail) {
    // Not before it started, however the sink's estimate of that was off.
    const int64_t at = std::max(EventQueue::now(), utterance.startedNs);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_busy = false;
    if (!utterance.item.reported || m_stop) {
        return;  // after a stop the caller reports what is left as dropped
    }
    m_events.push(kind, utterance.item.ordinal, at, detail);
    if (m_queue.empty()) {
        m_events.push(PARLUNE_DA_EVENT_IDLE, 0, at);
    }
}

Speaker::Piece Speaker::speakPiece(std::string_view piece, uint32_t flags, Utterance& utterance) {
    const Item& item = utterance.item;
    if (item.marked) {
        flags |= proto::kSpeakWantsMarks;
    }
    if (!m_helper->sendSpeak(item.speed, flags, piece, item.volume, item.pitch)) {
        // The helper never got this piece: it had ended (unnoticed while a
        // text was already waiting) or stopped reading. That is no fault of
        // the text, so a fresh helper gets it once.
        replaceHelper();
        if (!m_helper || !m_helper->sendSpeak(item.speed, flags, piece, item.volume, item.pitch)) {
            replaceHelper();
            return Piece::Crashed;
        }
    }
    // Silence beyond the timeout is a hung helper; so is work beyond the
    // piece's limit, however busy the helper says it is.
    const auto timeout = std::chrono::milliseconds(m_options.helperTimeoutMs);
    const auto workDeadline = Clock::now() + WorkLimit::of(m_options.helperTimeoutMs, piece.size());
    auto deadline = std::min(Clock::now() + timeout, workDeadline);
    proto::FrameHeader header{};
    std::vector<char> payload;
    for (;;) {
        Wait wait = waitForHelper(deadline);
        if (m_stop) {
            return Piece::Stopped;
        }
        if (wait == Wait::TimedOut) {
            replaceHelper();  // hung helper
            return Piece::Hung;
        }
        if (wait == Wait::Woken) {
            if (isCut(item)) {
                return cancelPiece(utterance);
            }
            continue;  // more text queued; it waits its turn
        }
        bool open = m_helper->receive();
        HelperProcess::Frame frame;
        while ((frame = m_helper->nextFrame(header, payload)) == HelperProcess::Frame::Complete) {
            if (header.type == proto::kPcm && payload.size() % sizeof(int16_t) == 0) {
                const size_t samples = payload.size() / sizeof(int16_t);
                // A later sentence's marks before its sound; the first one's
                // once its sound has a time.
                if (utterance.started) {
                    queueMarks(utterance);
                }
                if (utterance.audioOk &&
                    !m_sink->write(reinterpret_cast<const int16_t*>(payload.data()), samples)) {
                    utterance.audioOk = false;
                    m_sink->abandon();
                }
                if (m_stop) {
                    return Piece::Stopped;
                }
                if (isCut(item)) {
                    return cancelPiece(utterance);
                }
                if (utterance.audioOk && !utterance.started && samples > 0) {
                    noteStarted(utterance, samples);
                }
                utterance.samples += samples;
                queueMarks(utterance);
            } else if (header.type == proto::kMark && item.marked &&
                       payload.size() % sizeof(proto::MarkRecord) == 0 &&
                       payload.size() <= proto::kMaxMarkBytes) {
                takeMarks(utterance, payload);
            } else if (header.type == proto::kKeepAlive && payload.empty()) {
                continue;  // still at work
            } else if (header.type == proto::kEnd && payload.size() == sizeof(int32_t)) {
                int32_t status;
                std::memcpy(&status, payload.data(), sizeof status);
                queueMarks(utterance);  // a sentence without samples
                if (!utterance.audioOk) {
                    return Piece::AudioFailed;
                }
                if (status == proto::kEndPartlySpoken) {
                    return Piece::PartlySpoken;
                }
                if (status != proto::kEndOk) {
                    return Piece::Refused;  // the synthesiser refused it; the helper is fine
                }
                return Piece::Spoken;
            } else {
                replaceHelper();  // misbehaving helper
                return Piece::Crashed;
            }
        }
        if (frame == HelperProcess::Frame::Malformed || !open) {
            replaceHelper();  // crashed or misbehaved mid-utterance
            return Piece::Crashed;
        }
        deadline = std::min(Clock::now() + timeout, workDeadline);
    }
}

void Speaker::takeMarks(Utterance& utterance, const std::vector<char>& payload) {
    if (utterance.pending.empty()) {
        utterance.pendingBefore = utterance.samples;
    }
    const size_t count = payload.size() / sizeof(proto::MarkRecord);
    // A sentence has a few thousand; more only from a helper gone wrong.
    constexpr size_t kMostPending = 1u << 16;
    if (count > kMostPending - std::min(kMostPending, utterance.pending.size())) {
        return;
    }
    const size_t old = utterance.pending.size();
    utterance.pending.resize(old + count);
    std::memcpy(utterance.pending.data() + old, payload.data(), payload.size());
}

void Speaker::queueMarks(Utterance& utterance) {
    if (utterance.pending.empty()) {
        return;
    }
    // Before any sound (a sentence without any): heard from now on.
    if (utterance.heardRealtimeNs == 0 || !utterance.started) {
        utterance.heardRealtimeNs =
            MarkSample::realtimeOf(utterance.started ? utterance.startedNs : EventQueue::now());
    }
    MarkSample::Sentence where{utterance.heardRealtimeNs, utterance.pendingBefore, m_sampleRate,
                               utterance.pieceOffset, utterance.pieceBytes};
    for (const proto::MarkRecord& mark : utterance.pending) {
        if (mark.kind == proto::kMarkSentence && mark.offset <= utterance.pieceBytes &&
            mark.length <= utterance.pieceBytes - mark.offset) {
            utterance.heardSentences.push_back({utterance.pieceOffset + mark.offset,
                                                utterance.pieceOffset + mark.offset + mark.length,
                                                utterance.pendingBefore + mark.start,
                                                utterance.pendingBefore + mark.end});
        }
        if (mark.kind == proto::kMarkWord && mark.offset <= utterance.pieceBytes &&
            mark.length <= utterance.pieceBytes - mark.offset) {
            utterance.words.emplace_back(utterance.pendingBefore + mark.start,
                                         utterance.pieceOffset + mark.offset + mark.length);
        }
    }
    m_marks.push(utterance.item.ordinal, MarkSample::sentence(where, utterance.pending));
    utterance.pending.clear();
}

void Speaker::noteLeftOut(Utterance& utterance, std::string_view text) const {
    if (!utterance.item.marked || utterance.leftOutByte != std::string::npos) {
        return;  // only the first counts
    }
    auto heard = utterance.heardSentences;
    std::sort(heard.begin(), heard.end(),
              [](const Utterance::Heard& a, const Utterance::Heard& b) { return a.from < b.from; });
    // The first letter of `from..to` (a byte beyond ASCII counts as one).
    auto letter = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c >= 0x80 || std::isalnum(c)) {
                return i;
            }
        }
        return std::string::npos;
    };
    // The first letter of the piece no sentence heard holds, and where the
    // sound went past it: where the sentence after it starts, else where
    // the one before it ends.
    const size_t end = std::min(text.size(), utterance.pieceOffset + utterance.pieceBytes);
    size_t at = utterance.pieceOffset;
    size_t past = utterance.samples;
    for (const Utterance::Heard& h : heard) {
        const size_t gap = letter(at, std::min(h.from, end));
        if (gap != std::string::npos) {
            utterance.leftOutByte = gap;
            utterance.leftOutSample = h.startSample;
            return;
        }
        at = std::max(at, h.to);
        past = h.endSample;
    }
    utterance.leftOutByte = letter(at, end);
    utterance.leftOutSample = past;
}

void Speaker::noteStopped(const Utterance& utterance, const char* why) {
    if (!utterance.item.marked || !utterance.started) {
        return;  // nothing was heard: no marks were either
    }
    const int64_t total = MarkSample::milliseconds(utterance.samples, m_sampleRate);
    const int64_t at =
        std::clamp<int64_t>((EventQueue::now() - utterance.startedNs) / 1000000, 0, total);
    // The byte after the last word that started before the sound stopped.
    size_t offset = 0;
    for (const auto& [start, end] : utterance.words) {
        if (MarkSample::milliseconds(start, m_sampleRate) <= at) {
            offset = std::max(offset, end);
        }
    }
    const int64_t heard = utterance.heardRealtimeNs != 0
                              ? utterance.heardRealtimeNs
                              : MarkSample::realtimeOf(utterance.startedNs);
    m_marks.push(utterance.item.ordinal, MarkSample::stopped(heard, at, offset, why));
}

void Speaker::silence(const Utterance& utterance) {
    // What was heard stays where it is kept (a file); none heard, none kept.
    if (!utterance.started) {
        m_sink->abandon();
    } else if (!m_sink->cut()) {
        fail(PARLUNE_DA_E_AUDIO);
    }
}

Speaker::Piece Speaker::cancelPiece(const Utterance& utterance) {
    // Silence first: the helper's answer is not waited for.
    silence(utterance);
    if (!m_helper->sendCancel()) {
        replaceHelper();
        return Piece::Cut;
    }
    // What the helper made before it saw the cancel is discarded up to its
    // kEnd, which may already be among the frames received; the helper
    // stays, warm, for the next text.
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_options.helperTimeoutMs);
    proto::FrameHeader header{};
    std::vector<char> payload;
    bool open = true;
    for (;;) {
        HelperProcess::Frame frame;
        while ((frame = m_helper->nextFrame(header, payload)) == HelperProcess::Frame::Complete) {
            // Samples, keep-alives, marks: all of the cut piece.
            if (header.type == proto::kEnd) {
                return Piece::Cut;
            }
        }
        if (frame == HelperProcess::Frame::Malformed || !open) {
            replaceHelper();
            return Piece::Cut;
        }
        Wait wait = waitForHelper(deadline);
        if (m_stop) {
            return Piece::Stopped;
        }
        if (wait == Wait::TimedOut) {
            replaceHelper();
            return Piece::Cut;
        }
        if (wait == Wait::HelperReady) {
            open = m_helper->receive();
        }
    }
}

}  // namespace parlune
