#include "AccountFill.h"

namespace {
thread_local const AccountFill *runningFill = nullptr;
}

void AccountFill::start(std::function<void()> work)
{
    wait();
    std::lock_guard lock(m_mutex);
    m_thread = std::thread([this, work = std::move(work)] {
        runningFill = this;
        work();
        runningFill = nullptr;
    });
}

void AccountFill::wait() const
{
    if (runningFill == this)
        return;
    std::lock_guard lock(m_mutex);
    if (m_thread.joinable())
        m_thread.join();
}
