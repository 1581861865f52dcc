#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>
#include <functional>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define ZELVORA_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZELVORA_TSAN 1
#endif
#endif
#ifdef ZELVORA_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace zelvora {

// Qt hands work between threads under locks inside its own library, which ThreadSanitizer cannot
// see when Qt is not built with it. These marks repeat each hand-over where it can: a release once
// the work is built, an acquire before the receiving thread touches it. They compile to nothing
// in other builds.
namespace handover {

// Only their addresses count, as ThreadSanitizer's marks: plain data, not constants, which may be
// placed in read-only memory.
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables)
// Only the main thread starts jobs, so acquiring this gives a job nothing it could not rely on.
inline char toWorkers;
inline char workersDone;
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

inline void release([[maybe_unused]] const void *sync)
{
#ifdef ZELVORA_TSAN
    __tsan_release(const_cast<void *>(sync));
#endif
}

inline void acquire([[maybe_unused]] const void *sync)
{
#ifdef ZELVORA_TSAN
    __tsan_acquire(const_cast<void *>(sync));
#endif
}

// Work in transit, marked at its own address so that parcels of different senders stay apart. Qt
// moves it into the object it queues; each move ends with a release, which the last one does after
// every write to that object. It acquires before it runs, and before it is destroyed: unrun on the
// receiving thread, or on the sending thread when that drops Qt's last reference after the run.
template <typename Work> class Parcel
{
public:
    explicit Parcel(Work work) : m_work(std::move(work)) { release(this); }
    Parcel(Parcel &&other) noexcept : m_work(std::move(other.m_work)) { release(this); }
    Parcel(const Parcel &) = delete;
    Parcel &operator=(const Parcel &) = delete;
    Parcel &operator=(Parcel &&) = delete;
    ~Parcel() { acquire(this); }

    void operator()()
    {
        acquire(this);
        m_work();
        release(this);
    }

private:
    Work m_work;
};

} // namespace handover

// Runs `work` later on the thread of `context` (the main thread for the controller), in request
// order, without waiting. Dropped unrun if `context` is destroyed first.
template <typename Work> void postToMainThread(QObject *context, Work &&work)
{
    QMetaObject::invokeMethod(context, handover::Parcel<std::decay_t<Work>>(std::forward<Work>(work)),
                              Qt::QueuedConnection);
}

// Runs `work` on a thread of `pool`, without waiting. Its captures are destroyed before the job
// ends, so a thread that has waited for the pool and acquired `handover::workersDone` may free
// what they shared.
inline void startOnPool(QThreadPool &pool, std::function<void()> work)
{
    std::function<void()> job = [work = std::move(work)]() mutable {
        handover::acquire(&handover::toWorkers);
        std::exchange(work, nullptr)();
        handover::release(&handover::workersDone);
    };
    // Moving `job` along only moves a pointer to what was built above.
    handover::release(&handover::toWorkers);
    pool.start(std::move(job));
}

} // namespace zelvora
