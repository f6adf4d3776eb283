#include "TerminationSignals.h"

#include <pthread.h>

namespace rtctl {

TerminationSignals::TerminationSignals() {
    sigemptyset(&m_set);
    sigaddset(&m_set, SIGINT);
    sigaddset(&m_set, SIGTERM);
    sigaddset(&m_set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &m_set, &m_previous);
}

TerminationSignals::~TerminationSignals() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }

bool TerminationSignals::takePending() {
    const timespec now = {0, 0};
    return sigtimedwait(&m_set, nullptr, &now) > 0;
}

}  // namespace rtctl
