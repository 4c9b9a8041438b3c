#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "LargeAllocator.h"

namespace trelvo {

// Hands blocks 0 .. count-1, in order, to take(block), made by
// make(b, block) (block comes empty) on two threads: a second one makes
// blocks all along, and this one makes the next free block whenever the one
// it is to hand over is not ready yet. Writing a large file this way overlaps
// making its bytes with writing them, on both cores, and needs a few blocks
// of memory instead of the whole file. take returning false stops both and
// gives false; an exception from either thread comes out here once the other
// is done.
template <typename Make, typename Take>
bool blocksInOrder(std::size_t count, Make make, Take take) {
    constexpr std::size_t slots = 4;
    // Each block starts at a huge page: blocks of about a megabyte would
    // otherwise grow by doubling through small pages, each faulted in alone.
    constexpr std::size_t hugePageRoom = (std::size_t{2} << 20) - 1;  // and its closing NUL
    std::array<LargeString, slots> blocks;
    for (LargeString& block : blocks) block.reserve(hugePageRoom);
    auto oneByOne = [&] {
        for (std::size_t b = 0; b < count; ++b) {
            blocks[0].clear();
            make(b, blocks[0]);
            if (!take(static_cast<const LargeString&>(blocks[0]))) return false;
        }
        return true;
    };
    if (count <= 1) return oneByOne();

    std::mutex mutex;
    std::condition_variable changed;
    std::size_t claimed = 0, taken = 0;  // blocks handed to a maker, blocks taken
    std::array<std::size_t, slots> madeIn{};  // per slot, the block made in it + 1; 0: none yet
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
    // Under the lock: whether a block may be claimed now. Block b + slots
    // takes the slot of block b, so it waits until b is taken.
    auto claimable = [&] { return !stopped && claimed < count && claimed < taken + slots; };
    // Makes the claimed block with the lock released, and says it is made.
    auto makeClaimed = [&](std::unique_lock<std::mutex>& lock) {
        const std::size_t b = claimed++;
        lock.unlock();
        LargeString& block = blocks[b % slots];
        block.clear();
        make(b, block);
        lock.lock();
        madeIn[b % slots] = b + 1;
        changed.notify_all();
    };

    std::thread maker;
    try {
        maker = std::thread([&] {
            try {
                std::unique_lock lock(mutex);
                for (;;) {
                    changed.wait(lock, [&] { return stopped || claimed >= count || claimable(); });
                    if (!claimable()) return;
                    makeClaimed(lock);
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
                while (!stopped && madeIn[b % slots] != b + 1) {
                    if (claimable()) makeClaimed(lock);
                    else changed.wait(lock);
                }
                if (madeIn[b % slots] != b + 1) break;  // stopped: a maker failed
            }
            ok = take(static_cast<const LargeString&>(blocks[b % slots]));
            if (!ok) break;  // before its slot is freed: the maker would fill it in vain
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
