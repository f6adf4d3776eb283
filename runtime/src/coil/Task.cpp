#include <coil/Task.h>

namespace coil {

Task::Task() : m_count(0) {}

Task::~Task() {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_thread.joinable()) return;
    if (m_thread.get_id() == std::this_thread::get_id()) {
        m_thread.detach();
    } else {
        m_thread.join();
    }
}

int Task::open(void*) { return 0; }

int Task::close(unsigned long) { return 0; }

int Task::svc() { return 0; }

void Task::activate() {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_count > 0) return;
    // A previous run that already ended is joined before starting anew.
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id()) return;
        m_thread.join();
    }
    ++m_count;
    m_thread = std::thread(&Task::svc_run, this);
}

int Task::wait() {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_thread.joinable()) return 0;
    if (m_thread.get_id() == std::this_thread::get_id()) return -1;
    m_thread.join();
    return 0;
}

int Task::suspend() { return 0; }

int Task::resume() { return 0; }

void Task::reset() { m_count = 0; }

void Task::finalize() { reset(); }

void* Task::svc_run(void* args) {
    Task* t = static_cast<Task*>(args);
    t->svc();
    t->finalize();
    return nullptr;
}

}  // namespace coil
