#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace trelvo {

// Hands blocks 0 .. count-1, in order, to take(block), while a second thread
// makes the next ones with make(b, block) (block comes empty). Writing a
// large file this way overlaps making its bytes with writing them, and needs
// a few blocks of memory instead of the whole file. take returning false
// stops both and gives false; an exception from either comes out here once
// the other thread is done.
template <typename Make, typename Take>
bool blocksInOrder(std::size_t count, Make make, Take take) {
    constexpr std::size_t slots = 3;
    std::array<std::string, slots> blocks;
    auto oneByOne = [&] {
        for (std::size_t b = 0; b < count; ++b) {
            blocks[0].clear();
            make(b, blocks[0]);
            if (!take(static_cast<const std::string&>(blocks[0]))) return false;
        }
        return true;
    };
    if (count <= 1) return oneByOne();

    std::mutex mutex;
    std::condition_variable changed;
    std::size_t made = 0, taken = 0;
    bool stopped = false;
    std::exception_ptr failure;
    auto stop = [&](std::exception_ptr cause) {
        {
            std::lock_guard lock(mutex);
            stopped = true;
            if (cause && !failure) failure = cause;
        }
        changed.notify_all();
    };

    std::thread maker;
    try {
        maker = std::thread([&] {
            try {
                for (std::size_t b = 0; b < count; ++b) {
                    {
                        std::unique_lock lock(mutex);
                        changed.wait(lock, [&] { return stopped || b < taken + slots; });
                        if (stopped) return;
                    }
                    std::string& block = blocks[b % slots];
                    block.clear();
                    make(b, block);
                    {
                        std::lock_guard lock(mutex);
                        made = b + 1;
                    }
                    changed.notify_all();
                }
            } catch (...) {
                stop(std::current_exception());
            }
        });
    } catch (const std::system_error&) {
        return oneByOne();
    }

    bool ok = true;
    try {
        for (std::size_t b = 0; b < count && ok; ++b) {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stopped || made > b; });
                if (made <= b) break;  // the maker failed
            }
            ok = take(static_cast<const std::string&>(blocks[b % slots]));
            {
                std::lock_guard lock(mutex);
                taken = b + 1;
            }
            changed.notify_all();
        }
    } catch (...) {
        stop(std::current_exception());
    }
    if (!ok) stop(nullptr);
    maker.join();
    if (failure) std::rethrow_exception(failure);
    return ok;
}

}  // namespace trelvo
