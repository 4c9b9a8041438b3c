#include "EntryList.h"

#include <algorithm>
#include <stdexcept>

#include "DictionaryFile.h"

namespace trelvo {

namespace {

std::string_view cut(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    return text.substr(0, maxTextLength);
}

}  // namespace

DictionaryEntry EntryList::entry(std::size_t n) const {
    DictionaryEntry e;
    for (int k = 0; k < 3; ++k) e.texts[static_cast<std::size_t>(k)] = std::string(text(n, k));
    e.flags = flags(n);
    return e;
}

std::uint32_t EntryList::store(std::string_view text, std::uint16_t& length) {
    text = cut(text);
    // Offsets are 32-bit: the storage of one dictionary stays below 4 GiB.
    if (storage_.size() + text.size() > UINT32_MAX) throw std::length_error("dictionary too large");
    auto offset = static_cast<std::uint32_t>(storage_.size());
    storage_.append(text);
    length = static_cast<std::uint16_t>(text.size());
    return offset;
}

void EntryList::append(std::string_view term, std::string_view translation, std::string_view note,
                       std::uint32_t flags) {
    Slot slot{};
    slot.offset[0] = store(term, slot.length[0]);
    slot.offset[1] = store(translation, slot.length[1]);
    slot.offset[2] = store(note, slot.length[2]);
    slot.flags = flags;
    slots_.push_back(slot);
}

void EntryList::append(const DictionaryEntry& entry) {
    append(entry.term(), entry.translation(), entry.note(), entry.flags);
}

void EntryList::insert(std::size_t n, const DictionaryEntry& entry) {
    append(entry);
    std::rotate(slots_.begin() + static_cast<std::ptrdiff_t>(n), slots_.end() - 1, slots_.end());
}

void EntryList::reserve(std::size_t count, std::size_t textBytes) {
    slots_.reserve(count);
    if (textBytes > storage_.capacity() - storage_.size()) storage_.reserve(storage_.size() + textBytes);
}

void EntryList::setText(std::size_t n, int k, std::string_view text) {
    // The text may be a view into this storage, which store() may move.
    std::string copy(text);
    Slot& slot = slots_[n];
    slot.offset[k] = store(copy, slot.length[k]);
}

void EntryList::remove(std::size_t n) { slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(n)); }

void EntryList::truncate(std::size_t count) {
    if (count >= slots_.size()) return;
    // Appended texts lie behind every text of the entries before them, so the
    // storage ends where the first dropped entry's texts begin; unless a text
    // set anew lies behind that, which then stays.
    std::size_t end = storage_.size();
    for (std::size_t n = count; n < slots_.size(); ++n) end = std::min<std::size_t>(end, slots_[n].offset[0]);
    slots_.resize(count);
    for (const Slot& slot : slots_)
        for (int k = 0; k < 3; ++k) end = std::max<std::size_t>(end, std::size_t{slot.offset[k]} + slot.length[k]);
    storage_.resize(std::min(end, storage_.size()));
}

void EntryList::keepOnly(const std::vector<std::uint32_t>& numbers) {
    LargeVector<Slot> kept(numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) kept[i] = slots_[numbers[i]];
    slots_ = std::move(kept);
}

void EntryList::prepend(const EntryList& other) {
    std::size_t bytes = 0;
    for (const Slot& slot : other.slots_) bytes += std::size_t{slot.length[0]} + slot.length[1] + slot.length[2];
    reserve(0, bytes);
    LargeVector<Slot> slots;
    slots.reserve(other.size() + size());
    for (std::size_t n = 0; n < other.size(); ++n) {
        Slot slot{};
        for (int k = 0; k < 3; ++k) slot.offset[k] = store(other.text(n, k), slot.length[k]);
        slot.flags = other.flags(n);
        slots.push_back(slot);
    }
    slots.insert(slots.end(), slots_.begin(), slots_.end());
    slots_ = std::move(slots);
}

void EntryList::clear() {
    slots_.clear();
    slots_.shrink_to_fit();
    storage_.clear();
    storage_.shrink_to_fit();
}

bool EntryList::operator==(const EntryList& other) const {
    if (size() != other.size()) return false;
    for (std::size_t n = 0; n < size(); ++n) {
        if (flags(n) != other.flags(n)) return false;
        for (int k = 0; k < 3; ++k)
            if (text(n, k) != other.text(n, k)) return false;
    }
    return true;
}

}  // namespace trelvo
