#pragma once

#include <system_error>
#include <thread>

namespace zelvora {

// Runs `work(0)` on a thread of its own beside `work(1)` on this one, and returns when both are done.
// Without a thread to be had, runs them one after the other.
template <typename Work> void onTwoCores(Work &&work)
{
    std::thread other;
    try {
        other = std::thread([&work] { work(0); });
    } catch (const std::system_error &) {
        work(0);
    }
    work(1);
    if (other.joinable())
        other.join();
}

} // namespace zelvora
