#pragma once

#include <functional>
#include <mutex>
#include <thread>

// The account fills run on a thread of their own so that the window shows
// and takes input without waiting for the directory. Everything that reads
// or changes the lists waits for that thread first (wait()); on the thread
// itself, wait() returns at once.
class AccountFill
{
public:
    AccountFill() = default;
    ~AccountFill() { wait(); }
    AccountFill(const AccountFill &) = delete;
    AccountFill &operator=(const AccountFill &) = delete;

    // Runs work on the fill thread; a fill still running is waited for first.
    void start(std::function<void()> work);
    void wait() const;

private:
    mutable std::mutex m_mutex;
    mutable std::thread m_thread;
};
