#pragma once

#include <cstddef>
#include <limits>
#include <string>

#include "LargeAllocator.h"

namespace trelvo {

// The largest files of each kind the program reads, so that a device or a
// huge file chosen by mistake ends in a clear error, not an endless read.
inline constexpr std::size_t wordListLimit = std::size_t{1} << 30;    // word lists, CSV, TBX: 1 GiB
inline constexpr std::size_t searchListLimit = std::size_t{1} << 30;  // trelvo-tool search --from: 1 GiB
inline constexpr std::size_t tablesLimit = std::size_t{1} << 20;      // upchar.dat: 1 MiB
inline constexpr std::size_t locationsLimit = std::size_t{1} << 20;   // net.ini: 1 MiB
inline constexpr std::size_t dictionaryLimit = std::size_t{1} << 30;  // .dsl dictionaries: 1 GiB
// The most entries a dictionary may hold, 16,777,216. Opening one builds a
// place and two index records for every entry, some 80 bytes apart from its
// texts, so a file of empty entries would otherwise take far more memory
// than its size suggests.
inline constexpr std::size_t dictionaryEntryLimit = std::size_t{1} << 24;

// Reads the whole of a regular file into bytes. Returns false for anything
// else (a folder, a pipe, a device), for a file larger than limit, for a file
// that cannot be opened, and for one that gives fewer bytes than its size or
// a read error.
// Bytes is std::string or, for a dictionary's texts, LargeString. With
// roomToGrow, a quarter more is reserved than the file holds, which costs
// address space only until it is used: the texts an import or a merge
// appends then need not move the file's bytes.
template <typename Bytes>
bool readWholeFile(const std::string& path, Bytes& bytes, std::size_t limit = std::numeric_limits<std::size_t>::max(),
                   bool roomToGrow = false);

}  // namespace trelvo
