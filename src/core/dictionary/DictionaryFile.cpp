#include "DictionaryFile.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include "AtomicFile.h"
#include "BlocksInOrder.h"
#include "InHalves.h"
#include "TextScrambler.h"
#include "WholeFile.h"

namespace trelvo {

namespace {

constexpr std::string_view magic = "DSL";

// A bounds-checked cursor over the file's bytes: every read either fits or
// marks the whole parse as failed.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }

    std::uint32_t u32() {
        if (!need(4)) return 0;
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes_.data() + pos_);
        pos_ += 4;
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

    std::uint16_t u16() {
        if (!need(2)) return 0;
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes_.data() + pos_);
        pos_ += 2;
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }

    std::string_view raw(std::size_t length) {
        if (!need(length)) return {};
        std::string_view part = bytes_.substr(pos_, length);
        pos_ += length;
        return part;
    }

    // A text item: 16-bit length and its scrambled bytes.
    std::string_view scrambledText(std::size_t limit = maxTextLength) {
        std::size_t length = u16();
        if (length > limit) ok_ = false;
        return raw(length);
    }

    // A header text, unscrambled; a NUL ends it in memory.
    void text(std::string& out, std::size_t limit = maxTextLength) {
        std::string_view scrambled = scrambledText(limit);
        if (!ok_) return;
        const std::size_t length = scrambled.size();
        out.resize(length);
        unscrambleText(reinterpret_cast<const std::uint8_t*>(scrambled.data()),
                       reinterpret_cast<std::uint8_t*>(out.data()), length);
        if (std::size_t nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
    }

    void image(std::string& out) {
        std::uint32_t size = u32();
        if (size > maxImageLength) ok_ = false;
        std::string_view bytes = raw(size);
        if (ok_) out.assign(bytes);
    }

    std::size_t remaining() const { return bytes_.size() - pos_; }

private:
    bool need(std::size_t n) {
        if (!ok_ || bytes_.size() - pos_ < n) ok_ = false;
        return ok_;
    }

    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

void putU16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void putU32(std::string& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void putText(std::string& out, std::string_view text) {
    std::size_t length = std::min(text.find('\0'), std::min(text.size(), maxTextLength));
    putU16(out, static_cast<std::uint16_t>(length));
    std::size_t at = out.size();
    out.resize(at + length);
    scrambleText(reinterpret_cast<const std::uint8_t*>(text.data()),
                 reinterpret_cast<std::uint8_t*>(out.data() + at), length);
}

// Entry n as the file holds it, at out, storedEntrySize() bytes; returns the end.
char* putEntry(const EntryList& entries, std::size_t n, char* out) {
    std::uint8_t* at[3];
    for (int k = 0; k < 3; ++k) {
        const std::size_t length = entries.text(n, k).size();  // within the limit, with no NUL
        *out++ = static_cast<char>(length & 0xFF);
        *out++ = static_cast<char>(length >> 8);
        at[k] = reinterpret_cast<std::uint8_t*>(out);
        out += length;
    }
    auto plain = [&](int k) { return reinterpret_cast<const std::uint8_t*>(entries.text(n, k).data()); };
    scrambleTwoTexts(plain(0), at[0], entries.term(n).size(), plain(1), at[1], entries.translation(n).size());
    scrambleText(plain(2), at[2], entries.note(n).size());
    const std::uint32_t flags = entries.flags(n);
    for (int shift = 0; shift < 32; shift += 8) *out++ = static_cast<char>((flags >> shift) & 0xFF);
    return out;
}

void putImage(std::string& out, const std::string& image) {
    putU32(out, static_cast<std::uint32_t>(image.size()));
    out += image;
}

// The header and the entry count that follows it; nothing when they do not fit.
std::optional<std::uint32_t> readHead(ByteReader& in, DictionaryHeader& h) {
    if (in.raw(3) != magic) return std::nullopt;
    in.text(h.name, maxNameLength);
    for (int k = 0; k < 2; ++k) {
        in.text(h.languageName[k]);
        h.languageCharset[k] = static_cast<std::int32_t>(in.u32());
        in.image(h.languageImage[k]);
    }
    in.text(h.author);
    in.text(h.version);
    in.text(h.note);
    in.text(h.updateStamp);
    in.text(h.idAndAccessCode);
    const std::uint32_t count = in.u32();
    if (!in.ok()) return std::nullopt;
    return count;
}

}  // namespace

std::optional<std::uint32_t> parseEntryCount(std::string_view head, std::uint64_t fileSize) {
    ByteReader in(head);
    DictionaryHeader h;
    const std::optional<std::uint32_t> count = readHead(in, h);
    const std::uint64_t headSize = head.size() - in.remaining();
    // Every entry takes at least 10 bytes.
    if (!count || fileSize < headSize || *count > (fileSize - headSize) / 10) return std::nullopt;
    return count;
}

std::optional<std::string> readDictionaryName(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    char head[5];
    if (!file.read(head, sizeof head) || std::string_view(head, 3) != magic) return std::nullopt;
    std::size_t length = static_cast<std::uint8_t>(head[3]) | (static_cast<std::uint8_t>(head[4]) << 8);
    if (length > maxNameLength) return std::nullopt;
    std::string scrambled(length, '\0');
    if (!file.read(scrambled.data(), static_cast<std::streamsize>(length))) return std::nullopt;
    std::string name(length, '\0');
    unscrambleText(reinterpret_cast<const std::uint8_t*>(scrambled.data()),
                   reinterpret_cast<std::uint8_t*>(name.data()), length);
    if (std::size_t nul = name.find('\0'); nul != std::string::npos) name.resize(nul);
    return name;
}

bool parseDictionary(LargeString bytes, DictionaryHeader& header, EntryList& entries,
                     const DictionaryLimits& limits) {
    ByteReader in(bytes);
    DictionaryHeader h;
    const std::optional<std::uint32_t> counted = readHead(in, h);
    if (!counted) return false;
    const std::uint32_t count = *counted;
    // Every entry takes at least 10 bytes, so a count the file cannot hold is
    // refused before anything is allocated for it, and so is one above the limit.
    if (count > in.remaining() / 10 || !limits.admit(bytes.size(), count)) return false;
    if (bytes.size() > UINT32_MAX) return false;  // entry offsets are 32-bit

    // The texts are unscrambled where they stand: the file's bytes become the
    // entries' storage. Their places are found and checked on this thread, in
    // order, while the other unscrambles the entries found so far, a piece at
    // a time; once all are found, this one takes pieces too.
    LargeVector<EntryList::Slot> slots;
    slots.resize(count);
    constexpr std::size_t piece = 4096;
    std::atomic<std::size_t> found{0};  // entries whose places are known and checked
    std::atomic<bool> broken{false};    // a text runs past the file or the limit
    std::atomic<std::size_t> nextPiece{0};
    auto unscramblePieces = [&] {
        for (;;) {
            const std::size_t from = nextPiece.fetch_add(1, std::memory_order_relaxed) * piece;
            if (from >= count) return;
            const std::size_t to = std::min<std::size_t>(count, from + piece);
            while (found.load(std::memory_order_acquire) < to) {
                if (broken.load(std::memory_order_acquire)) return;
                std::this_thread::yield();
            }
            for (std::size_t n = from; n < to; ++n) {
                EntryList::Slot& slot = slots[n];
                auto at = [&](int k) { return reinterpret_cast<std::uint8_t*>(bytes.data() + slot.offset[k]); };
                unscrambleTwoTexts(at(0), at(0), slot.length[0], at(1), at(1), slot.length[1]);
                unscrambleText(at(2), at(2), slot.length[2]);
                for (int k = 0; k < 3; ++k) {
                    const char* text = bytes.data() + slot.offset[k];
                    // In memory a text ends at a NUL.
                    const std::size_t length = std::string_view(text, slot.length[k]).find('\0');
                    if (length != std::string_view::npos) slot.length[k] = static_cast<std::uint16_t>(length);
                }
            }
        }
    };
    auto findPlaces = [&] {
        for (std::size_t n = 0; n < count; ++n) {
            EntryList::Slot& slot = slots[n];
            for (int k = 0; k < 3; ++k) {
                std::string_view scrambled = in.scrambledText();
                if (!in.ok()) return broken.store(true, std::memory_order_release);
                slot.offset[k] = static_cast<std::uint32_t>(scrambled.data() - bytes.data());
                slot.length[k] = static_cast<std::uint16_t>(scrambled.size());
            }
            slot.flags = in.u32();
            if (!in.ok()) return broken.store(true, std::memory_order_release);
            if ((n + 1) % piece == 0) found.store(n + 1, std::memory_order_release);
        }
        found.store(count, std::memory_order_release);
        unscramblePieces();
    };
    if (count >= sharedFrom) bothAtOnce(findPlaces, unscramblePieces);
    else findPlaces();
    if (broken.load()) return false;

    h.filePath = std::move(header.filePath);
    header = std::move(h);
    entries.slots_ = std::move(slots);
    entries.storage_ = std::move(bytes);
    return true;
}

bool readDictionaryFile(const std::string& path, DictionaryHeader& header, EntryList& entries,
                        const DictionaryLimits& limits) {
    LargeString bytes;
    if (!readWholeFile(path, bytes, limits.fileSize, true)) return false;
    return parseDictionary(std::move(bytes), header, entries, limits);
}

bool parseDictionary(std::string_view bytes, DictionaryHeader& header, EntryList& entries,
                     const DictionaryLimits& limits) {
    return parseDictionary(LargeString(bytes), header, entries, limits);
}

std::size_t storedEntrySize(const EntryList& entries, std::size_t n) {
    // Texts in memory are already within the limit and end at no NUL.
    return 10 + entries.term(n).size() + entries.translation(n).size() + entries.note(n).size();
}

namespace {

// Everything before the entries.
std::string serializedHead(const DictionaryHeader& header, std::size_t count) {
    std::string out;
    out += magic;
    // The name passes the 1000-byte buffer of the dictionary menu when read.
    putText(out, std::string_view(header.name).substr(0, maxNameLength));
    for (int k = 0; k < 2; ++k) {
        putText(out, header.languageName[k]);
        putU32(out, static_cast<std::uint32_t>(header.languageCharset[k]));
        putImage(out, header.languageImage[k]);
    }
    putText(out, header.author);
    putText(out, header.version);
    putText(out, header.note);
    putText(out, header.updateStamp);
    putText(out, header.idAndAccessCode);
    putU32(out, static_cast<std::uint32_t>(count));
    return out;
}

// Entries per block of a streamed file: about a megabyte of usual entries.
constexpr std::size_t entriesPerBlock = 16384;

// The head, then the entries in blocks, scrambled on both threads while
// the blocks before them are handed to put.
bool putDictionary(std::string_view head, const EntryList& entries, const ByteSink& put) {
    const std::size_t count = entries.size();
    if (!put(head)) return false;
    return blocksInOrder(
        (count + entriesPerBlock - 1) / entriesPerBlock,
        [&](std::size_t b, LargeString& block) {
            const std::size_t from = b * entriesPerBlock, to = std::min(count, from + entriesPerBlock);
            std::size_t size = 0;
            for (std::size_t n = from; n < to; ++n) size += storedEntrySize(entries, n);
            block.resize(size);
            char* at = block.data();
            for (std::size_t n = from; n < to; ++n) at = putEntry(entries, n, at);
        },
        [&](const LargeString& block) { return put(block); });
}

}  // namespace

std::size_t storedSize(const DictionaryHeader& header, const EntryList& entries) {
    std::size_t size = serializedHead(header, entries.size()).size();
    for (std::size_t n = 0; n < entries.size(); ++n) size += storedEntrySize(entries, n);
    return size;
}

std::string serializeDictionary(const DictionaryHeader& header, const EntryList& entries) {
    std::string out;
    putDictionary(serializedHead(header, entries.size()), entries, [&](std::string_view piece) {
        out += piece;
        return true;
    });
    return out;
}

bool writeDictionaryFile(const DictionaryHeader& header, const EntryList& entries,
                         const std::string& path, const DictionaryLimits& limits) {
    // A dictionary grown by merges or imports past the limits stays unsaved:
    // the file it would become could not be opened again.
    if (!limits.admit(0, entries.size())) return false;
    const std::string head = serializedHead(header, entries.size());
    std::size_t size = head.size();
    for (std::size_t n = 0; n < entries.size(); ++n) size += storedEntrySize(entries, n);
    return limits.admit(size, entries.size()) &&
           replaceFileAtomically(path, [&](const ByteSink& put) { return putDictionary(head, entries, put); });
}

}  // namespace trelvo
