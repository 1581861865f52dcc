#pragma once

#include <exception>
#include <system_error>
#include <thread>

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

} // namespace zelvora
