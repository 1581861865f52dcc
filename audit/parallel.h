#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace zelvora {

// Runs `work(0)` on a thread of its own beside `work(1)` on this one, and returns when both are done.
// Without a thread to be had, runs them one after the other. An exception of either (out of memory)
// is thrown here once both have ended: a running thread must not outlive the stack it works on.
template <typename Work> void onTwoCores(Work &&work)
{
    std::exception_ptr otherFailed;
    std::thread other;
    try {
        other = std::thread([&work, &otherFailed] {
            try {
                work(0);
            } catch (...) {
                otherFailed = std::current_exception();
            }
        });
    } catch (const std::system_error &) {
        work(0);
    }
    std::exception_ptr failed;
    try {
        work(1);
    } catch (...) {
        failed = std::current_exception();
    }
    if (other.joinable())
        other.join();
    if (failed)
        std::rethrow_exception(failed);
    if (otherFailed)
        std::rethrow_exception(otherFailed);
}

// Runs `work(part, range)` on two threads as onTwoCores does, where `range` yields the indices of
// [0, count) that thread takes, a chunk at a time: on a busy machine a thread that gets no core
// leaves the rest to the other instead of holding back half of the work.
template <typename Work> void onTwoCoresSharing(std::size_t count, Work &&work)
{
    constexpr std::size_t kChunk = 2048;
    std::atomic<std::size_t> next{0};
    class Range
    {
    public:
        class Iterator
        {
        public:
            Iterator(std::atomic<std::size_t> *next, std::size_t count) : m_next(next), m_count(count) { take(); }
            std::size_t operator*() const { return m_at; }
            Iterator &operator++()
            {
                if (++m_at == m_end)
                    take();
                return *this;
            }
            bool operator!=(std::default_sentinel_t) const { return m_at < m_end; }

        private:
            void take()
            {
                m_at = std::min(m_next->fetch_add(kChunk), m_count);
                m_end = std::min(m_at + kChunk, m_count);
            }
            std::atomic<std::size_t> *m_next;
            std::size_t m_count;
            std::size_t m_at = 0;
            std::size_t m_end = 0;
        };
        Range(std::atomic<std::size_t> *next, std::size_t count) : m_next(next), m_count(count) {}
        Iterator begin() const { return {m_next, m_count}; }
        std::default_sentinel_t end() const { return {}; }

    private:
        std::atomic<std::size_t> *m_next;
        std::size_t m_count;
    };
    onTwoCores([&](int part) { work(part, Range(&next, count)); });
}

// Runs `work(i)` for i in [0, count) on every core (at most `most` threads); the first exception is
// thrown once all have ended.
template <typename Work> void onAllCores(std::size_t count, const Work &work, unsigned most = 16)
{
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failed;
    std::mutex failedMutex;
    const auto worker = [&] {
        try {
            for (std::size_t i = next.fetch_add(1); i < count && !stop.load(); i = next.fetch_add(1))
                work(i);
        } catch (...) {
            stop = true;
            const std::lock_guard lock(failedMutex);
            if (!failed)
                failed = std::current_exception();
        }
    };
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1U, std::max(most, 1U));
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < cores && count > i; ++i) {
        try {
            helpers.emplace_back(worker);
        } catch (const std::system_error &) {
            break; // fewer cores, same result
        }
    }
    worker();
    for (std::thread &helper : helpers)
        helper.join();
    if (failed)
        std::rethrow_exception(failed);
}

} // namespace zelvora
