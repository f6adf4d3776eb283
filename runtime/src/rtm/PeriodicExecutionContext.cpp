#include <rtm/PeriodicExecutionContext.h>
#include <rtm/RTObject.h>

#include <pthread.h>

#include <algorithm>
#include <string>

namespace RTC {

namespace {
const char* stateName(LifeCycleState s) {
    switch (s) {
        case CREATED_STATE:
            return "CREATED";
        case INACTIVE_STATE:
            return "INACTIVE";
        case ACTIVE_STATE:
            return "ACTIVE";
        case ERROR_STATE:
            return "ERROR";
        default:
            return "UNKNOWN";
    }
}
}  // namespace

PeriodicExecutionContext::PeriodicExecutionContext(RTObject_impl* owner, double rate, UniqueId id)
    : m_owner(owner),
      m_id(id),
      m_rate(rateInRange(rate) ? rate : kDefaultRate),
      m_state(CREATED_STATE),
      m_running(false),
      m_cycles(0),
      m_stopRequested(false) {}

PeriodicExecutionContext::~PeriodicExecutionContext() { stop(); }

std::chrono::steady_clock::duration PeriodicExecutionContext::period() const {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / m_rate.load()));
}

double PeriodicExecutionContext::get_rate() const { return m_rate.load(); }

ReturnCode_t PeriodicExecutionContext::set_rate(double rate) {
    if (!rateInRange(rate)) return BAD_PARAMETER;
    m_rate = rate;
    if (m_running.load()) submit(Request::RateChanged);
    return RTC_OK;
}

ReturnCode_t PeriodicExecutionContext::start() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_running.load()) return PRECONDITION_NOT_MET;
        m_stopRequested = false;
        m_startedUp = false;
        m_state = INACTIVE_STATE;
        m_running = true;
        m_thread = std::thread(&PeriodicExecutionContext::run, this);
        m_threadId = m_thread.get_id();
    }
    // onStartup has run when start() returns. The context's lock is not held
    // meanwhile: onStartup may call back into its own context.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait(lock, [this] { return m_startedUp; });
    return RTC_OK;
}

ReturnCode_t PeriodicExecutionContext::stop() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (!m_thread.joinable()) return PRECONDITION_NOT_MET;
        // A callback stopping its own context: the thread ends after it returns.
        if (std::this_thread::get_id() == m_threadId) {
            m_stopRequested = true;
            return RTC_OK;
        }
        m_stopRequested = true;
    }
    m_cond.notify_all();
    m_thread.join();
    return RTC_OK;
}

ReturnCode_t PeriodicExecutionContext::activate_component() { return submit(Request::Activate); }
ReturnCode_t PeriodicExecutionContext::deactivate_component() {
    return submit(Request::Deactivate);
}
ReturnCode_t PeriodicExecutionContext::reset_component() { return submit(Request::Reset); }

ReturnCode_t PeriodicExecutionContext::submit(Request request) {
    auto pending = std::make_shared<Pending>();
    pending->request = request;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_running.load() || m_stopRequested) return PRECONDITION_NOT_MET;
        // Validate now so the caller gets an answer even from the context thread.
        const LifeCycleState s = m_state.load();
        if ((request == Request::Activate && s != INACTIVE_STATE) ||
            (request == Request::Deactivate && s != ACTIVE_STATE) ||
            (request == Request::Reset && s != ERROR_STATE)) {
            return PRECONDITION_NOT_MET;
        }
        m_requests.push_back(pending);
        if (std::this_thread::get_id() == m_threadId) return RTC_OK;
        m_cond.notify_all();
    }
    // From here on only the request is touched: the context may be gone.
    std::unique_lock<std::mutex> wait(pending->mutex);
    pending->cond.wait(wait, [&] { return pending->done; });
    return pending->result;
}

void PeriodicExecutionContext::Pending::finish(ReturnCode_t r) {
    std::lock_guard<std::mutex> guard(mutex);
    result = r;
    done = true;
    cond.notify_all();
}

void PeriodicExecutionContext::processRequests(std::unique_lock<std::mutex>& lock) {
    while (!m_requests.empty()) {
        std::shared_ptr<Pending> pending = m_requests.front();
        m_requests.pop_front();
        lock.unlock();
        pending->finish(carryOut(pending->request));
        lock.lock();
    }
}

void PeriodicExecutionContext::enterError() {
    // Leaving ACTIVE for ERROR: exit action, then the error entry action.
    m_owner->on_deactivated(m_id);
    m_state = ERROR_STATE;
    m_owner->on_aborting(m_id);
}

ReturnCode_t PeriodicExecutionContext::carryOut(Request request) {
    const LifeCycleState before = m_state.load();
    ReturnCode_t result = RTC_OK;
    switch (request) {
        case Request::Activate:
            if (before != INACTIVE_STATE) return PRECONDITION_NOT_MET;
            m_state = ACTIVE_STATE;
            m_activated = true;
            if (m_owner->on_activated(m_id) != RTC_OK) {
                enterError();
                result = RTC_ERROR;
            }
            break;
        case Request::Deactivate:
            if (before != ACTIVE_STATE) return PRECONDITION_NOT_MET;
            m_owner->on_deactivated(m_id);
            m_state = INACTIVE_STATE;
            break;
        case Request::Reset:
            if (before != ERROR_STATE) return PRECONDITION_NOT_MET;
            if (m_owner->on_reset(m_id) == RTC_OK) {
                m_state = INACTIVE_STATE;
            } else {
                result = RTC_ERROR;
            }
            break;
        case Request::RateChanged:
            m_owner->on_rate_changed(m_id);
            m_rateChanged = true;
            return RTC_OK;
    }
    const LifeCycleState after = m_state.load();
    if (after != before) {
        Logger rtclog(m_owner->getInstanceName());
        RTC_INFO(("state %s -> %s", stateName(before), stateName(after)));
    }
    return result;
}

void PeriodicExecutionContext::run() {
    std::string thread_name = std::string("ec:") + m_owner->getInstanceName();
    pthread_setname_np(pthread_self(), thread_name.substr(0, 15).c_str());

    m_owner->on_startup(m_id);
    auto next = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_startedUp = true;
    m_cond.notify_all();
    while (true) {
        processRequests(lock);
        if (m_stopRequested) break;
        // Nothing to run while inactive: sleep until a request comes.
        if (m_state.load() == INACTIVE_STATE) {
            m_cond.wait(lock, [&] { return m_stopRequested || !m_requests.empty(); });
            next = std::chrono::steady_clock::now();
            continue;
        }
        lock.unlock();

        const auto cycle_start = std::chrono::steady_clock::now();
        m_owner->getConfigAdmin().update();
        switch (m_state.load()) {
            case ACTIVE_STATE:
                if (m_owner->on_execute(m_id) != RTC_OK ||
                    m_owner->on_state_update(m_id) != RTC_OK) {
                    enterError();
                    Logger rtclog(m_owner->getInstanceName());
                    RTC_ERROR(("state ACTIVE -> ERROR"));
                }
                break;
            case ERROR_STATE:
                m_owner->on_error(m_id);
                break;
            default:
                break;
        }
        m_cycles.fetch_add(1, std::memory_order_relaxed);

        // Absolute deadlines; a late cycle starts the next one at once
        // instead of running the missed ones.
        next += period();
        const auto now = std::chrono::steady_clock::now();
        if (next < now) next = now;
        lock.lock();
        m_activated = m_rateChanged = false;
        while (!m_stopRequested) {
            if (!m_requests.empty()) processRequests(lock);
            if (m_stopRequested) break;
            // The deadline follows what happened since the last cycle: an
            // activation runs its first cycle at once, a new rate counts from
            // the start of the cycle that just ran.
            if (m_activated) {
                next = std::chrono::steady_clock::now();
            } else if (m_rateChanged) {
                next = std::max(std::chrono::steady_clock::now(), cycle_start + period());
            }
            m_activated = m_rateChanged = false;
            if (m_cond.wait_until(lock, next,
                                  [&] { return m_stopRequested || !m_requests.empty(); }))
                continue;
            break;
        }
    }
    lock.unlock();

    if (m_state.load() == ACTIVE_STATE) {
        m_owner->on_deactivated(m_id);
        m_state = INACTIVE_STATE;
        Logger rtclog(m_owner->getInstanceName());
        RTC_INFO(("state ACTIVE -> INACTIVE"));
    }
    m_owner->on_shutdown(m_id);
    lock.lock();
    m_running = false;
    // Answer anyone still waiting for a request that will never run.
    for (const std::shared_ptr<Pending>& pending : m_requests)
        pending->finish(PRECONDITION_NOT_MET);
    m_requests.clear();
    m_cond.notify_all();
}

}  // namespace RTC
