#include "OpenForms.h"

#include "StringInputForm.h"

#include <utility>

namespace StringOut {

namespace {

// A fetching thread's view of the list: the window it found and the list
// version it found it in. Holding the reference keeps that window's mutex and
// mailbox alive for the thread's current and later calls, so the common
// call (list unchanged) is one atomic load.
struct FoundForm {
    std::uint64_t version = 0;
    std::shared_ptr<StringInputForm> form;
};

thread_local FoundForm t_found;

}  // namespace

OpenForms& OpenForms::instance() {
    // Deliberately never destroyed: window and fetching threads may still
    // use it while static destructors run at process exit.
    static OpenForms* const forms = new OpenForms;
    return *forms;
}

void OpenForms::reserve() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_reserved = ++m_lastTicket;
}

std::uint64_t OpenForms::begin() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_running != 0) {
        m_reserved = 0;  // the refused call was most likely the announced one
        return 0;
    }
    m_running = (m_reserved != 0) ? m_reserved : ++m_lastTicket;
    m_reserved = 0;
    return m_running;
}

void OpenForms::end(std::uint64_t ticket) {
    withdraw(ticket);
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_running == ticket) m_running = 0;
}

bool OpenForms::stopped(std::uint64_t ticket) {
    std::lock_guard<std::mutex> lock(m_lock);
    return ticket <= m_stopUpTo;
}

bool OpenForms::publish(std::uint64_t ticket, const std::shared_ptr<StringInputForm>& form) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (ticket <= m_stopUpTo || m_open) return false;
    m_open = form;
    m_openTicket = ticket;
    m_version.fetch_add(1);
    return true;
}

void OpenForms::withdraw(std::uint64_t ticket) {
    std::shared_ptr<StringInputForm> gone;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open || m_openTicket != ticket) return;
        m_open->markClosed();
        gone.swap(m_open);
        m_openTicket = 0;
        m_version.fetch_add(1);
    }
}

bool OpenForms::requestStop() {
    std::shared_ptr<StringInputForm> gone;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_reserved == 0 && m_running == 0) return false;  // nothing open or starting
    m_stopUpTo = m_lastTicket;
    if (m_open) {
        m_open->markClosed();
        gone.swap(m_open);
        m_openTicket = 0;
        m_version.fetch_add(1);
    }
    return m_running != 0;
}

StringInputForm* OpenForms::find() {
    const std::uint64_t version = m_version.load(std::memory_order_acquire);
    if (version != t_found.version) {
        std::shared_ptr<StringInputForm> previous;  // released after the lock
        std::lock_guard<std::mutex> lock(m_lock);
        previous = std::move(t_found.form);
        t_found.form = m_open;
        t_found.version = m_version.load(std::memory_order_relaxed);
    }
    return t_found.form.get();
}

}  // namespace StringOut
