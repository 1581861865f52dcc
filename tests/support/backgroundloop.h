#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace zelvora::test {

// Runs `step` again and again on a thread of its own, from construction until stop() or the end of
// the object, so that a failing assertion cannot leave the thread running.
class BackgroundLoop
{
public:
    explicit BackgroundLoop(std::function<void()> step)
        : m_thread([this, step = std::move(step)] {
              while (!m_stop) {
                  step();
                  ++m_rounds;
              }
          })
    {}
    ~BackgroundLoop() { stop(); }
    BackgroundLoop(const BackgroundLoop &) = delete;
    BackgroundLoop &operator=(const BackgroundLoop &) = delete;

    // Returns how many times the step ran to its end.
    int stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_rounds;
    }

private:
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_rounds = 0;
    std::thread m_thread;
};

} // namespace zelvora::test
