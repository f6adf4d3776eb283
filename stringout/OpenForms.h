// The process's list of open input windows (at most one), and the sessions
// that lead to one: each startGUI() call is a session with a ticket number.
//
// A stop request (stopGUI) covers every session that exists when it comes:
// the open window, a window being built, and a session announced by
// prepareGUI() whose thread has not called startGUI() yet. Sessions that
// start later get higher tickets, so a stop never reaches the next
// activation's window.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace StringOut {

class StringInputForm;

class OpenForms {
  public:
    // The process-wide list. Never destroyed, so threads still fetching
    // while the process exits find it intact.
    static OpenForms& instance();

    // Announces a session whose startGUI() call is still to come.
    void reserve();
    // startGUI() begins: takes the announced ticket or a new one. 0 when
    // another session is running (one input window per process).
    std::uint64_t begin();
    // startGUI() ends (whatever happened): withdraws its window, if listed.
    void end(std::uint64_t ticket);

    // True when a stop request covers the session.
    bool stopped(std::uint64_t ticket);
    // Lists the session's window as open; false (nothing listed) when a stop
    // request covers the session.
    bool publish(std::uint64_t ticket, const std::shared_ptr<StringInputForm>& form);
    // The window closed: it leaves the list, its mailbox delivers no more.
    void withdraw(std::uint64_t ticket);

    // stopGUI(): marks every existing session stopped and withdraws the open
    // window. True when a window thread may be waiting for events and must be
    // woken to notice.
    bool requestStop();

    // The open window, or null. The calling thread keeps a reference to it
    // until its next call after the list has changed, so the result stays
    // valid for the current call even if the window closes meanwhile. When
    // the list has not changed since the thread's last call this takes no
    // lock and allocates nothing.
    StringInputForm* find();

  private:
    OpenForms() = default;

    std::mutex m_lock;               // guards the members below
    std::uint64_t m_lastTicket = 0;  // highest ticket handed out
    std::uint64_t m_reserved = 0;    // announced, startGUI() not yet called
    std::uint64_t m_running = 0;     // inside startGUI()
    std::uint64_t m_stopUpTo = 0;    // sessions up to this ticket are stopped
    std::uint64_t m_openTicket = 0;  // session of m_open
    std::shared_ptr<StringInputForm> m_open;
    std::atomic<std::uint64_t> m_version{1};  // changes whenever m_open does
};

}  // namespace StringOut
