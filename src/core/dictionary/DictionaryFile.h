#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "DictionaryHeader.h"
#include "EntryList.h"
#include "WholeFile.h"

namespace trelvo {

// Limits of the format: every text and picture passes a 10000-byte buffer.
constexpr std::size_t maxTextLength = 9998;
constexpr std::size_t maxImageLength = 10000;
constexpr std::size_t maxNameLength = 999;

// The largest dictionary the program reads or writes, which bounds the memory
// any dictionary file can make it take. Another limit is given only by tests.
struct DictionaryLimits {
    std::size_t fileSize = dictionaryLimit;
    std::size_t entryCount = dictionaryEntryLimit;

    bool admit(std::size_t size, std::size_t entries) const { return size <= fileSize && entries <= entryCount; }
};

// The most bytes a header and the entry count after it take in a file.
constexpr std::size_t maxHeadLength =
    3 + (2 + maxNameLength) + 2 * ((2 + maxTextLength) + 4 + (4 + maxImageLength)) + 5 * (2 + maxTextLength) + 4;

// The entry count a dictionary file gives after its header, from head, the
// file's first bytes (at least maxHeadLength of them, or the whole file),
// and the file's size; nothing when they are no dictionary's or the size
// cannot hold that many entries. The entries themselves are not read.
std::optional<std::uint32_t> parseEntryCount(std::string_view head, std::uint64_t fileSize);

// The display name of a dictionary file, reading only its beginning.
std::optional<std::string> readDictionaryName(const std::string& path);

// Reads a whole dictionary. On any failure (cannot open, not "DSL", cut short,
// a length beyond the limits, a file larger or with more entries than limits
// admit) returns false and leaves header and entries as they were. Does not
// touch header.filePath.
bool readDictionaryFile(const std::string& path, DictionaryHeader& header, EntryList& entries,
                        const DictionaryLimits& limits = {});
// The same over the file's bytes, which become the storage of the entries.
bool parseDictionary(LargeString bytes, DictionaryHeader& header, EntryList& entries,
                     const DictionaryLimits& limits = {});
// The same over a copy of bytes.
bool parseDictionary(std::string_view bytes, DictionaryHeader& header, EntryList& entries,
                     const DictionaryLimits& limits = {});

// The bytes entry n takes in a dictionary file.
std::size_t storedEntrySize(const EntryList& entries, std::size_t n);
// The size of the dictionary file for header and entries, without making it.
std::size_t storedSize(const DictionaryHeader& header, const EntryList& entries);
// The file's bytes for a dictionary; header texts are cut at a NUL and at
// maxTextLength (the name at maxNameLength).
std::string serializeDictionary(const DictionaryHeader& header, const EntryList& entries);
// Writes the dictionary to a temporary file beside path and renames it over
// path, so that a failed write leaves the old file as it was. A dictionary
// beyond limits is not written at all: the reader would refuse the file.
bool writeDictionaryFile(const DictionaryHeader& header, const EntryList& entries,
                         const std::string& path, const DictionaryLimits& limits = {});

}  // namespace trelvo
