#pragma once

#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>

namespace trelvo {

// Below this many items a pass over a dictionary runs on one thread; above
// it the work is shared with a second one.
inline constexpr std::size_t sharedFrom = std::size_t{1} << 15;

// Runs first and second, second on a thread of its own when one can be had.
// An exception from either comes out here once both are done.
template <typename First, typename Second>
void bothAtOnce(First first, Second second) {
    std::exception_ptr failure;
    std::thread other;
    try {
        other = std::thread([&] {
            try {
                second();
            } catch (...) {
                failure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        first();
        second();
        return;
    }
    try {
        first();
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
    if (failure) std::rethrow_exception(failure);
}

// work(from, to) over [0, count): in two halves at once from sharedFrom items
// on, the first half [0, count / 2).
template <typename Work>
void inHalves(std::size_t count, Work work) {
    if (count < sharedFrom) return work(std::size_t{0}, count);
    bothAtOnce([&] { work(std::size_t{0}, count / 2); }, [&] { work(count / 2, count); });
}

}  // namespace trelvo
