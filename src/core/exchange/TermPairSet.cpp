#include "TermPairSet.h"

#include <bit>
#include <functional>

#include "core/dictionary/InHalves.h"

namespace trelvo {

TermPairSet::TermPairSet(const EntryList& entries) : entries_(entries) {
    const std::size_t count = entries.size();
    // At most half full, so that a search for a missing pair ends soon.
    slots_.resize(std::bit_ceil(std::max<std::size_t>(2 * count, 16)));
    mask_ = slots_.size() - 1;

    // The hashes are made on both cores; the table is filled in one pass,
    // each slot fetched a few entries ahead, as the slots are scattered.
    std::vector<std::uint64_t> hashes(count);
    inHalves(count, [&](std::size_t from, std::size_t to) {
        for (std::size_t n = from; n < to; ++n) hashes[n] = hashOf(entries.term(n), entries.translation(n));
    });
    constexpr std::size_t ahead = 8;
    for (std::size_t n = 0; n < count; ++n) {
        if (n + ahead < count) __builtin_prefetch(&slots_[home(hashes[n + ahead])]);
        if (const std::size_t at = place(hashes[n], entries.term(n), entries.translation(n)); slots_[at].number == 0)
            slots_[at] = {static_cast<std::uint32_t>(hashes[n] >> 32), static_cast<std::uint32_t>(n + 1)};
    }
}

std::size_t TermPairSet::place(std::uint64_t hash, std::string_view term, std::string_view translation) const {
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t at = home(hash);; at = (at + 1) & mask_) {
        const Slot& slot = slots_[at];
        if (slot.number == 0) return at;
        if (slot.tag == tag) {
            const std::size_t n = slot.number - 1;
            if (entries_.term(n) == term && entries_.translation(n) == translation) return at;
        }
    }
}

std::uint64_t TermPairSet::hashOf(std::string_view term, std::string_view translation) {
    const std::uint64_t a = std::hash<std::string_view>{}(term);
    const std::uint64_t b = std::hash<std::string_view>{}(translation);
    // Mixed so that both the low bits (the slot) and the high ones (the tag)
    // depend on both texts.
    std::uint64_t h = a ^ (b * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL);
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    return h;
}

bool TermPairSet::contains(std::uint64_t hash, std::string_view term, std::string_view translation) const {
    return slots_[place(hash, term, translation)].number != 0;
}

}  // namespace trelvo
